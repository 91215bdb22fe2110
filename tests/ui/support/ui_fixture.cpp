#include "ui_fixture.h"

#include <QApplication>
#include <QSettings>

#include <gtest/gtest.h>

#include "archive/dat_doc.h"
#include "platform/qt/doc_template.h"
#include "platform/qt/frames.h"
#include "resources/resource.h"
#include "support/s3d_builder.h"
#include "ui/dat_view.h"
#include "ui/report_view.h"

namespace kvtest {

std::vector<std::uint8_t> BuildArchive(const std::vector<ModelSpec>& models) {
    DbpfBuilder b;
    bool anyCompressed = false;
    for (const ModelSpec& m : models) {
        auto add = [&](std::uint32_t instance) {
            S3DBuilder model = RealisticS3D(m.texture);
            if (m.opaque) {
                model.mats[0].flags = 0x2B;
                model.mats[0].settings = {0x04, 0x03, 0x01, 0x00};
            }
            std::vector<std::uint8_t> bytes = model.Build();
            if (m.compressed) {
                bytes = CompressEntry(bytes);
                anyCompressed = true;
            }
            b.Add(kTypeS3D, m.group, instance, std::move(bytes));
        };
        if (!m.twenty) {
            add(m.instance);
            continue;
        }
        for (int z = 0; z < 5; ++z)
            for (int r = 0; r < 4; ++r) add(m.instance + static_cast<std::uint32_t>(z) * 0x100 + static_cast<std::uint32_t>(r) * 0x10);
    }
    if (anyCompressed) b.AddDir();
    return b.Build();
}

QString WriteArchive(const std::string& name, const std::vector<ModelSpec>& models) {
    return QString::fromStdString(WriteTempFile(name, BuildArchive(models)));
}

QString WriteEmptyArchive(const std::string& name) {
    DbpfBuilder b;
    b.Add(0x12345678, 1, 2, std::vector<std::uint8_t>(8, 0));
    return QString::fromStdString(WriteTempFile(name, b.Build()));
}

ModalScript::ModalScript() {
    m_old = kv::SetModalHook([this](QDialog& dlg) -> int {
        m_titles.push_back(dlg.windowTitle());
        if (m_steps.empty()) {
            ++m_unanswered;
            return QDialog::Rejected;
        }
        Step s = std::move(m_steps.front());
        m_steps.pop_front();
        // As the modal loop would, the dialog shows before it is answered.
        dlg.show();
        return s(dlg);
    });
}

ModalScript::~ModalScript() { kv::SetModalHook(std::move(m_old)); }

FilePromptScript::FilePromptScript() {
    m_old = kv::SetFilePromptHook([this](const kv::FilePrompt& p) -> std::wstring {
        m_prompts.push_back(p);
        if (m_answers.empty()) return {};
        std::wstring a = m_answers.front();
        m_answers.pop_front();
        return a;
    });
}

FilePromptScript::~FilePromptScript() { kv::SetFilePromptHook(std::move(m_old)); }

Workspace::Workspace() {
    kv::RegisterKorvaneResources();
    app = std::make_unique<CWinAppEx>();
    auto archives = std::make_unique<CMultiDocTemplate>(
        IDR_DATFILETYPE, [] { return std::make_unique<CDATDoc>(); }, [] { return new CMDIChildWndEx(); },
        [](QWidget* parent) { return new CDATView(parent); });
    m_pArchives = archives.get();
    app->AddDocTemplate(std::move(archives));
    auto reports = std::make_unique<CMultiDocTemplate>(
        IDR_REPORTTYPE, [] { return std::make_unique<CDATDoc>(); }, [] { return new CMDIChildWndEx(); },
        [](QWidget* parent) { return new CS3DReportView(parent); });
    g_pReportTemplate = reports.get();
    app->AddDocTemplate(std::move(reports));
    auto frame = std::make_unique<CMDIFrameWndEx>();
    frame->resize(1000, 760);
    app->SetMainWnd(std::move(frame));
    app->m_pMainWnd->show();
    Settle();
}

Workspace::~Workspace() {
    app->CloseAllDocuments();
    Settle();
    g_pReportTemplate = nullptr;
    app.reset();
    Settle();
}

CDATDoc* Workspace::Open(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    std::string path = WriteTempFile(name, bytes);
    auto* doc = dynamic_cast<CDATDoc*>(m_pArchives->OpenDocumentFile(QString::fromStdString(path).toStdWString(), false));
    EXPECT_TRUE(doc) << name;
    Settle();
    return doc;
}

CDATView* Workspace::ListOf(CDATDoc* doc) {
    for (CView* v : doc->GetViews())
        if (auto* list = dynamic_cast<CDATView*>(v)) return list;
    return nullptr;
}

std::vector<std::wstring> Workspace::ReportTexts(CDATDoc* doc) {
    std::vector<std::wstring> out;
    for (CView* v : doc->GetViews())
        if (auto* r = dynamic_cast<CS3DReportView*>(v)) out.push_back(r->GetWindowText());
    return out;
}

void Workspace::Select(CDATDoc* doc, const std::vector<int>& models) {
    CDATView* list = ListOf(doc);
    list->ClearSelectedItems();
    for (int m : models) list->SetItemSelected(list->GetListModel().RowOf(m), true);
}

void Workspace::Run(CDATDoc* doc, unsigned id) { ListOf(doc)->OnCmdMsg(id, nullptr); }

bool Workspace::Enabled(CDATDoc* doc, unsigned id) {
    CCmdUI ui(id);
    ListOf(doc)->OnCmdMsg(id, &ui);
    return ui.m_bEnabled;
}

void ClearKorvaneSettings() {
    QSettings s(QStringLiteral("Tarnwick"), QStringLiteral("Korvane"));
    s.clear();
    s.sync();
}

void Settle() {
    for (int i = 0; i < 5; ++i) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

}  // namespace kvtest
