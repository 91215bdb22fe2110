// Scale Model(s) over every model of a real-shaped archive of about 200 MB
// (bench/real_archive.h), as the user meets it: the program opens the
// archive from its command line, all rows are selected, and after the
// program has sat idle for a few seconds the command runs with 3 / 4 on all
// three axes. The time runs from the dialog's OK to the end of the command
// (every entry edited and stored, the models marked, the commit done).
//
// The floor is the library's own load and store of the same entries, in the
// order the command visits them, plus the floor of a commit (fresh memory
// and one copy of the image), in a process that opened the archive through
// the library alone and sat idle as long. Fresh memory is the faster of the
// archive image's own and plain heap memory, each in a process of its own.
//
// Every measurement runs in a fresh child process of this program, three
// times, alternately; the figures are medians:
//
//   scale_ms          the command, OK to its end
//   floor_ms          load + store + commit floor (its parts beside it)
//   scale_vs_floor    their ratio (goal: at most 1.3)
//
// KORVANE_BENCH_IDLE_S sets the idle time in seconds (3 when unset).
//
//   --scale ARCHIVE [SAVED]   one measurement; with SAVED the archive is
//                             saved there afterwards, so that two builds can
//                             be compared byte for byte
//   --floor ARCHIVE image|plain
//   --make PATH               writes the archive to PATH, for profiling

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>

#include "../fresh_process.h"
#include "../real_archive.h"
#include "app/korvane_app.h"
#include "program_bench.h"
#include "archive/dat_doc.h"
#include "platform/byte_image.h"
#include "platform/message.h"
#include "platform/qt/dialog.h"
#include "platform/qt/doc_template.h"
#include "platform/qt/frames.h"
#include "platform/text.h"
#include "resources/dialogs_geometry.h"
#include "resources/resource.h"
#include "s3d/s3d_model.h"
#include "support/bench_archive.h"
#include "ui/dat_view.h"
#include "ui/scale_dlg.h"


namespace {

using kvbench::FirstArchive;
using kvbench::ListOf;
using kvbench::PrivateSettings;
using kvbench::Settle;
using kvbench::Field;
using kvbench::Idle;
using kvbench::Median;
using kvbench::RunChild;
using kvbench::Runs;
using kvbench::WriteFile;
using Clock = std::chrono::steady_clock;
double Ms(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

constexpr std::size_t kMegabytes = 200;


// ---------------------------------------------------------------- children

int ScaleChild(const std::string& archive, const std::string& saved) {
    auto app = std::make_unique<CKorvaneApp>();
    app->m_args = QStringList{QStringLiteral("korvane"), QString::fromStdString(archive)};
    if (!app->InitInstance()) return 1;
    app->m_pMainWnd->resize(1280, 900);
    Settle();
    CDATDoc* doc = FirstArchive(*app);
    CDATView* list = doc ? ListOf(*doc) : nullptr;
    if (!list) {
        std::cerr << "the archive did not open\n";
        return 1;
    }
    list->SelectAllItems();
    Settle();

    Clock::time_point ok{};
    kv::ModalHook old = kv::SetModalHook([&](QDialog& window) -> int {
        CDialog* dlg = CDialog::FromWindow(&window);
        if (!dynamic_cast<CScalePercDlg*>(dlg)) {
            std::cerr << "unexpected dialog " << window.windowTitle().toStdString() << "\n";
            return IDCANCEL;
        }
        dlg->GetDlgItemAs<QComboBox>(IDC_SCALE_WHAT)->setCurrentIndex(0);
        dlg->GetDlgItemAs<QLineEdit>(IDC_SCALE_NUMERATOR)->setText(QStringLiteral("3"));
        dlg->GetDlgItemAs<QLineEdit>(IDC_SCALE_DENOMINATOR)->setText(QStringLiteral("4"));
        ok = Clock::now();
        dlg->GetDlgItemAs<QPushButton>(IDOK)->click();
        return window.result();
    });
    Idle();
    list->OnCmdMsg(ID_EDIT_SCALEMODELS, nullptr);
    const auto end = Clock::now();
    kv::SetModalHook(std::move(old));

    std::size_t marked = 0;
    for (const _dat_model& m : doc->m_pModels) marked += m.szStatus[3] == L'S';
    if (ok == Clock::time_point{} || marked != doc->m_pModels.size() || doc->AnyPending() || !doc->IsModified()) {
        std::cerr << "the command did not complete (" << marked << " of " << doc->m_pModels.size() << " models marked)\n";
        return 1;
    }
    std::printf("ms %.3f\n", Ms(ok, end));
    if (!saved.empty() && !doc->OnSaveDocument(kv::Utf8ToWide(saved))) return 1;
    return 0;
}

int FloorChild(const std::string& archive, bool imageMemory) {
    CDATDoc doc;
    if (!doc.OnOpenDocument(kv::Utf8ToWide(archive))) return 1;
    std::vector<std::uint32_t> rows;
    for (const _dat_model& m : doc.m_pModels) {
        if (m.nViews != 20) {
            rows.push_back(static_cast<std::uint32_t>(m.nRow));
            continue;
        }
        for (int j = 0; j < 20; ++j) {
            const int row = doc.FindViewRow(m.nRow, j);
            if (row < 0) return 1;
            rows.push_back(static_cast<std::uint32_t>(row));
        }
    }
    Idle();
    const auto t0 = Clock::now();
    for (std::uint32_t row : rows) {
        bool compressed = false;
        std::uint32_t size = 0;
        auto model = doc.LoadModel(row, compressed, size);
        if (!model || !doc.StoreModel(row, std::move(model), compressed, size)) return 1;
    }
    const auto t1 = Clock::now();
    const std::size_t n = doc.m_pBuffer.size();
    kv::ByteImage image;
    std::unique_ptr<std::uint8_t[]> plain;
    std::uint8_t* copy;
    if (imageMemory) {
        image.resize(n);
        copy = image.data();
    } else {
        plain = std::make_unique_for_overwrite<std::uint8_t[]>(n);
        copy = plain.get();
    }
    std::memcpy(copy, doc.m_pBuffer.data(), n);
    const auto t2 = Clock::now();
    volatile std::uint8_t sink = copy[n / 2];
    (void)sink;
    std::printf("loadstore_ms %.3f\ncopy_ms %.3f\n", Ms(t0, t1), Ms(t1, t2));
    return 0;
}

// ---------------------------------------------------------------- parent






int Parent(const std::filesystem::path& dir) {
    std::filesystem::create_directories(dir);
    const std::string archive = (dir / "scale_bench.SC4Model").string();
    WriteFile(archive, kvbench::RealShapedArchive(kMegabytes));
    std::printf("archive: %.0f MB\n", static_cast<double>(std::filesystem::file_size(archive)) / 1e6);
    std::fflush(stdout);

    std::vector<double> scale, loadStore[2], copy[2];
    for (int run = 0; run < 3; ++run) {
        const std::string s = RunChild({"--scale", archive});
        if (Field(s, "ms") < 0) {
            std::cerr << "the scale run failed\n";
            return 1;
        }
        scale.push_back(Field(s, "ms"));
        for (int k = 0; k < 2; ++k) {
            const std::string f = RunChild({"--floor", archive, k == 0 ? "image" : "plain"});
            if (Field(f, "loadstore_ms") < 0) {
                std::cerr << "the floor run failed\n";
                return 1;
            }
            loadStore[k].push_back(Field(f, "loadstore_ms"));
            copy[k].push_back(Field(f, "copy_ms"));
        }
    }
    // The floor's load and store are the same work in both kinds of process.
    std::vector<double> ls = loadStore[0];
    ls.insert(ls.end(), loadStore[1].begin(), loadStore[1].end());
    const double commitFloor = std::min(Median(copy[0]), Median(copy[1]));
    const double floor = Median(ls) + commitFloor;
    std::printf("scale_ms             %.0f (runs:%s)\n", Median(scale), Runs(scale).c_str());
    std::printf("floor_ms             %.0f = load+store %.0f (runs:%s%s) + commit floor %.0f\n", floor, Median(ls),
                Runs(loadStore[0]).c_str(), Runs(loadStore[1]).c_str(), commitFloor);
    std::printf("  commit floor in image memory %.0f (runs:%s), in heap memory %.0f (runs:%s)\n", Median(copy[0]),
                Runs(copy[0]).c_str(), Median(copy[1]), Runs(copy[1]).c_str());
    std::printf("scale_vs_floor       %.2f\n", Median(scale) / floor);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        const auto dir = std::filesystem::temp_directory_path() / ("korvane-scale-bench-" + std::to_string(::getpid()));
        const int rc = Parent(dir);
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
        return rc;
    }
    if (args[0] == "--make" && args.size() == 2) {
        WriteFile(args[1], kvbench::RealShapedArchive(kMegabytes));
        return 0;
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const auto home = std::filesystem::temp_directory_path() / ("korvane-scale-bench-child-" + std::to_string(::getpid()));
    std::filesystem::create_directories(home);
    std::filesystem::permissions(home, std::filesystem::perms::owner_all);
    PrivateSettings(home, QStringLiteral("korvane-scale-bench"));
    int rc = 2;
    {
        QApplication qapp(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
        kvtest::PrintMessagesToStderr();
        if (args[0] == "--scale" && (args.size() == 2 || args.size() == 3)) rc = ScaleChild(args[1], args.size() == 3 ? args[2] : "");
        else if (args[0] == "--floor" && args.size() == 3) rc = FloorChild(args[1], args[2] == "image");
        // The measurement is over: the process ends without closing the
        // program's windows (a modified archive would ask to be saved).
        std::fflush(stdout);
        std::error_code ec;
        std::filesystem::remove_all(home, ec);
        std::_Exit(rc);
    }
}
