#include "ui_fixture.h"

#include <QApplication>
#include <QSettings>

#include "support/s3d_builder.h"

namespace kvtest {

std::vector<std::uint8_t> BuildArchive(const std::vector<ModelSpec>& models) {
    DbpfBuilder b;
    bool anyCompressed = false;
    for (const ModelSpec& m : models) {
        auto add = [&](std::uint32_t instance) {
            std::vector<std::uint8_t> bytes = MakeRealisticS3D(m.texture);
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

void ClearKorvaneSettings() {
    QSettings s(QStringLiteral("Tarnwick"), QStringLiteral("Korvane"));
    s.clear();
    s.sync();
}

void Settle() {
    for (int i = 0; i < 5; ++i) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

}  // namespace kvtest
