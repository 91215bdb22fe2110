// The report window of a real-sized report, as the user meets it: the
// program opens an archive of 20,000 twenty-view sets (400,000 small entries,
// most with two material blocks, about 190 MB) and runs Set Transparency over
// all of it twice, each time opening the report window (731,439 lines).
//
// Every measurement runs in a fresh child process of this program on the
// offscreen platform; the timed ones after the child has been idle for a few
// seconds:
//
//   --memory ARCHIVE REPORT   opens ARCHIVE through the program, runs the two
//                             commands with their report windows, prints the
//                             peak resident size after the open and at the
//                             end, and writes the first report to REPORT (an
//                             empty REPORT: the same without report windows)
//   --fill ARCHIVE REPORT     opens the report window of REPORT on ARCHIVE (a
//                             small one) and prints how long it took, to the
//                             end of the paint that follows, and the view's size
//   --floor REPORT W H        the floor: the same text put into a fresh text
//                             view of W x H in the report font, with the line
//                             ends the view keeps, to the end of its paint
//
// Run without arguments it builds the archives, runs the memory child with
// and without report windows, then the other two three times each,
// alternately, and prints:
//
//   fill_ms, floor_ms     medians of the three runs
//   fill_vs_floor         their ratio (goal: at most 1.2)
//   open_peak_mb          peak resident size once the archive is open
//   run_peak_mb           peak resident size of the whole run
//   report_text_mb        the two reports' texts as the commands hold them
//                         (wide characters), and as UTF-16
//   over_open_vs_text     (run peak - open peak) / report text (goal: at most 2.5)
//   windows_add_vs_text   what the report windows add to the run's peak: the
//                         run peak against that of the same run whose result
//                         dialogs are closed without a report, over the text

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>

#include "app/korvane_app.h"
#include "program_bench.h"
#include "archive/dat_doc.h"
#include "platform/message.h"
#include "platform/qt/dialog.h"
#include "platform/qt/doc_template.h"
#include "platform/qt/frames.h"
#include "platform/text.h"
#include "resources/dialogs_material.h"
#include "resources/resource.h"
#include "support/bench_archive.h"
#include "ui/dat_view.h"
#include "ui/report_view.h"
#include "ui/rpt_dlg.h"
#include "ui/transparency_dlg.h"

namespace {

using kvbench::FirstArchive;
using kvbench::ListOf;
using kvbench::PrivateSettings;
using kvbench::Settle;
using Clock = std::chrono::steady_clock;
double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

constexpr int kSets = 20000;
constexpr std::size_t kEntries = static_cast<std::size_t>(kSets) * 20;
// Entries with a second material block: with the two heading lines the
// report has 731,439 lines.
constexpr std::size_t kTwoBlockEntries = 331437;
constexpr auto kIdle = std::chrono::seconds(3);

// Peak resident size of this process so far, in kilobytes.
long PeakKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

// The program started on `archive`, as a user starts it from a file.
std::unique_ptr<CKorvaneApp> StartOn(const std::string& archive) {
    auto app = std::make_unique<CKorvaneApp>();
    app->m_args = QStringList{QStringLiteral("korvane"), QString::fromStdString(archive)};
    if (!app->InitInstance()) return nullptr;
    app->m_pMainWnd->resize(1280, 900);
    Settle();
    return app;
}

std::wstring ReadReport(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return kv::Utf8ToWide(bytes.str());
}

std::size_t Lines(const std::wstring& text) { return static_cast<std::size_t>(std::count(text.begin(), text.end(), L'\n')); }

// ---------------------------------------------------------------- children

// With `reportPath` empty the commands run the same way but the result
// dialog's box is cleared: what the commands cost without report windows.
int MemoryChild(const std::string& archive, const std::string& reportPath) {
    std::unique_ptr<CKorvaneApp> app = StartOn(archive);
    CDATDoc* doc = app ? FirstArchive(*app) : nullptr;
    CDATView* list = doc ? ListOf(*doc) : nullptr;
    if (!list) {
        std::cerr << "the archive did not open\n";
        return 1;
    }
    const long openPeak = PeakKb();

    // Set, then remove, transparency at every zoom level, each time asking
    // for the report.
    int setting = CTransparencyDlg::kSet;
    kv::ModalHook old = kv::SetModalHook([&](QDialog& window) -> int {
        CDialog* dlg = CDialog::FromWindow(&window);
        if (dynamic_cast<CTransparencyDlg*>(dlg)) {
            for (int id = IDC_TRANSP_ZOOM1; id <= IDC_TRANSP_ZOOM5; ++id) dlg->GetDlgItemAs<QComboBox>(id)->setCurrentIndex(setting);
        } else if (dynamic_cast<CRptDlg*>(dlg)) {
            dlg->CheckDlgButton(IDC_RPT_DISPLAY, reportPath.empty() ? 0 : 1);
        } else {
            std::cerr << "unexpected dialog " << window.windowTitle().toStdString() << "\n";
            return IDCANCEL;
        }
        dlg->GetDlgItemAs<QPushButton>(IDOK)->click();
        return window.result();
    });
    for (int setting_ : {CTransparencyDlg::kSet, CTransparencyDlg::kRemove}) {
        setting = setting_;
        list->SelectAllItems();
        list->OnCmdMsg(ID_EDIT_SETTRANSPARENCY, nullptr);
        Settle();
    }
    kv::SetModalHook(std::move(old));
    const long runPeak = PeakKb();

    std::cout << "open_peak_kb " << openPeak << "\nrun_peak_kb " << runPeak << "\n";
    std::vector<std::wstring> reports;
    for (CView* v : doc->GetViews())
        if (auto* r = dynamic_cast<CS3DReportView*>(v)) reports.push_back(r->GetWindowText());
    if (reportPath.empty()) return reports.empty() ? 0 : 1;
    if (reports.size() != 2) {
        std::cerr << "expected two report windows, found " << reports.size() << "\n";
        return 1;
    }
    std::ofstream(reportPath, std::ios::binary) << kv::WideToUtf8(reports[0]);
    std::cout << "chars " << reports[0].size() + reports[1].size() << "\nlines " << Lines(reports[0]) << " "
              << Lines(reports[1]) << "\n";
    return 0;
}

int FillChild(const std::string& archive, const std::string& reportPath) {
    std::unique_ptr<CKorvaneApp> app = StartOn(archive);
    CDATDoc* doc = app ? FirstArchive(*app) : nullptr;
    if (!doc) {
        std::cerr << "the archive did not open\n";
        return 1;
    }
    std::wstring report = ReadReport(reportPath);
    std::this_thread::sleep_for(kIdle);
    const auto t0 = Clock::now();
    CS3DReportView* view = OpenReportWindow(*doc, std::move(report));
    Settle();
    const double ms = Ms(Clock::now() - t0);
    if (!view) return 1;
    std::cout << "ms " << ms << "\nsize " << view->width() << " " << view->height() << "\n";
    return 0;
}

int FloorChild(const std::string& reportPath, int width, int height) {
    std::wstring report = ReadReport(reportPath);
    QString text = QString::fromStdWString(report);
    text.remove(u'\r');
    report = std::wstring();
    QPlainTextEdit view;
    view.setLineWrapMode(QPlainTextEdit::NoWrap);
    view.setReadOnly(true);
    view.setFont(ReportFont());
    view.resize(width, height);
    view.show();
    Settle();
    std::this_thread::sleep_for(kIdle);
    const auto t0 = Clock::now();
    view.setPlainText(text);
    Settle();
    const double ms = Ms(Clock::now() - t0);
    std::cout << "ms " << ms << "\n";
    return 0;
}

// ---------------------------------------------------------------- parent

// Runs this program with `args` and returns what it printed; empty on failure.
std::string RunChild(const std::string& args) {
    const std::string command = "\"/proc/" + std::to_string(::getpid()) + "/exe\" " + args;
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) return {};
    std::string out;
    char buf[4096];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    if (::pclose(p) != 0) return {};
    return out;
}

// The numbers after `key` in a child's output.
std::vector<double> Field(const std::string& out, const std::string& key) {
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string first;
        words >> first;
        if (first != key) continue;
        std::vector<double> v;
        for (double d; words >> d;) v.push_back(d);
        return v;
    }
    return {};
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void Write(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

int Parent(const std::filesystem::path& dir) {
    std::cout << "building the archives\n" << std::flush;
    std::filesystem::create_directories(dir);
    const auto big = dir / "report_bench.dat", small = dir / "small.dat", report = dir / "report.txt";
    {
        kvtest::BigArchiveShape shape;
        shape.sets = kSets;
        shape.vertices = 4;
        // Small models (4 to 16 vertices), so that the archive is near
        // 200 MB; the nontransparent pattern, so that setting and removing
        // change every block; a second material on kTwoBlockEntries of the
        // entries, spread evenly.
        std::size_t n = 0;
        shape.adjust = [&n](kvtest::S3DBuilder& s) {
            const std::size_t vertices = 4 + n % 13;
            s.vert[0].vertices.resize(vertices);
            s.indx[0].indices.resize(3 * (vertices - 2));
            s.prim[0].prims[0].count = static_cast<std::uint32_t>(3 * (vertices - 2));
            s.mats[0].flags = 0x2B;
            s.mats[0].settings = {0x04, 0x03, 0x01, 0x00};
            if ((n + 1) * kTwoBlockEntries / kEntries != n * kTwoBlockEntries / kEntries) s.mats.push_back(s.mats[0]);
            ++n;
        };
        Write(big, kvtest::BigArchive(shape).Build());
        kvtest::BigArchiveShape one;
        one.sets = 1;
        one.vertices = 4;
        Write(small, kvtest::BigArchive(one).Build());
    }
    std::cout << "archive: " << kSets << " twenty-view sets, " << std::filesystem::file_size(big) / 1e6 << " MB\n" << std::flush;

    const std::string memory = RunChild("--memory \"" + big.string() + "\" \"" + report.string() + "\"");
    const std::string bare = RunChild("--memory \"" + big.string() + "\" \"\"");
    const auto lines = Field(memory, "lines");
    if (memory.empty() || lines.size() != 2 || Field(bare, "run_peak_kb").empty()) {
        std::cerr << "the memory run failed\n";
        return 1;
    }
    std::vector<double> fill, floor;
    std::vector<double> size;
    for (int i = 0; i < 3; ++i) {
        const std::string f = RunChild("--fill \"" + small.string() + "\" \"" + report.string() + "\"");
        size = Field(f, "size");
        if (f.empty() || size.size() != 2) {
            std::cerr << "the fill run failed\n";
            return 1;
        }
        fill.push_back(Field(f, "ms").at(0));
        const std::string g = RunChild("--floor \"" + report.string() + "\" " + std::to_string(static_cast<int>(size[0])) + " " +
                                       std::to_string(static_cast<int>(size[1])));
        if (g.empty()) {
            std::cerr << "the floor run failed\n";
            return 1;
        }
        floor.push_back(Field(g, "ms").at(0));
    }

    const double openPeak = Field(memory, "open_peak_kb").at(0) / 1024, runPeak = Field(memory, "run_peak_kb").at(0) / 1024;
    const double barePeak = Field(bare, "run_peak_kb").at(0) / 1024;
    const double chars = Field(memory, "chars").at(0);
    const double wideMb = chars * sizeof(wchar_t) / 1048576, utf16Mb = chars * 2 / 1048576;
    std::printf("report lines         %.0f, %.0f\n", lines[0], lines[1]);
    std::printf("fill_ms              %.0f (runs:", Median(fill));
    for (double v : fill) std::printf(" %.0f", v);
    std::printf(")\nfloor_ms             %.0f (runs:", Median(floor));
    for (double v : floor) std::printf(" %.0f", v);
    std::printf(")\nfill_vs_floor        %.2f\n", Median(fill) / Median(floor));
    std::printf("open_peak_mb         %.0f\nrun_peak_mb          %.0f (without the report windows: %.0f)\n", openPeak,
                runPeak, barePeak);
    std::printf("report_text_mb       %.0f as wide characters, %.0f as UTF-16\n", wideMb, utf16Mb);
    std::printf("over_open_vs_text    %.2f (of the UTF-16 size: %.2f)\n", (runPeak - openPeak) / wideMb,
                (runPeak - openPeak) / utf16Mb);
    std::printf("windows_add_vs_text  %.2f (of the UTF-16 size: %.2f)\n", (runPeak - barePeak) / wideMb,
                (runPeak - barePeak) / utf16Mb);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        const auto dir = std::filesystem::temp_directory_path() / ("korvane-report-bench-" + std::to_string(::getpid()));
        const int rc = Parent(dir);
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
        return rc;
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const auto home = std::filesystem::temp_directory_path() / ("korvane-report-bench-child-" + std::to_string(::getpid()));
    std::filesystem::create_directories(home);
    std::filesystem::permissions(home, std::filesystem::perms::owner_all);
    PrivateSettings(home, QStringLiteral("korvane-report-bench"));
    int rc = 2;
    {
        QApplication qapp(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
        kvtest::PrintMessagesToStderr();
        if (args[0] == "--memory" && args.size() == 3) rc = MemoryChild(args[1], args[2]);
        else if (args[0] == "--fill" && args.size() == 3) rc = FillChild(args[1], args[2]);
        else if (args[0] == "--floor" && args.size() == 4) rc = FloorChild(args[1], std::stoi(args[2]), std::stoi(args[3]));
        // The measurement is over: the process ends without closing the
        // program's windows (a modified archive would ask to be saved).
        std::fflush(stdout);
        std::error_code ec;
        std::filesystem::remove_all(home, ec);
        std::_Exit(rc);
    }
}
