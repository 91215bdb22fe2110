#pragma once
// Helpers for the tests that drive the real widgets: archives with real S3D
// models written to temporary files, a script for modal dialogs and file
// prompts, and settings cleared between tests.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QDialog>
#include <QString>

#include "platform/qt/dialog.h"
#include "platform/qt/winapp.h"
#include "support/dbpf_builder.h"
#include "support/message_recorder.h"
#include "support/qt_printers.h"

class CDATDoc;
class CDATView;
class CDocTemplate;

namespace kvtest {

// One model of a test archive.
struct ModelSpec {
    std::uint32_t group = 0x1000;
    std::uint32_t instance = 0x10000;  // the base instance of a twenty-view set
    bool twenty = false;
    std::string texture = "Model";     // first texture name
    bool compressed = false;
    bool opaque = false;  // its material in the nontransparent pattern the transparency edit changes
};

// An archive of the models given, in this order (each twenty-view set as its
// twenty entries, zoom by zoom), with a DIR entry when anything is compressed.
std::vector<std::uint8_t> BuildArchive(const std::vector<ModelSpec>& models);
// The archive written to a temporary file; the file's path.
QString WriteArchive(const std::string& name, const std::vector<ModelSpec>& models);
// An archive without any S3D entry.
QString WriteEmptyArchive(const std::string& name);

// Answers the modal dialogs in order, each by one step; a dialog with no step
// left is cancelled and counted.
class ModalScript {
public:
    using Step = std::function<int(QDialog&)>;
    ModalScript();
    ~ModalScript();
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;
    void Then(Step step) { m_steps.push_back(std::move(step)); }
    int unanswered() const { return m_unanswered; }
    const std::vector<QString>& titles() const { return m_titles; }

private:
    std::deque<Step> m_steps;
    std::vector<QString> m_titles;
    int m_unanswered = 0;
    kv::ModalHook m_old;
};

// Answers file prompts in order; records each prompt.
class FilePromptScript {
public:
    FilePromptScript();
    ~FilePromptScript();
    FilePromptScript(const FilePromptScript&) = delete;
    FilePromptScript& operator=(const FilePromptScript&) = delete;
    void Answer(const QString& path) { m_answers.push_back(path.toStdWString()); }
    const std::vector<kv::FilePrompt>& prompts() const { return m_prompts; }

private:
    std::deque<std::wstring> m_answers;
    std::vector<kv::FilePrompt> m_prompts;
    kv::FilePromptHook m_old;
};

// The application's two document templates (archives in their list, and
// reports) over a shown main frame, as start-up leaves them, without the rest
// of start-up. Message boxes go to `messages`.
class Workspace {
public:
    Workspace();
    ~Workspace();
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    // Opens `bytes`, written to a temporary file named `name`, in an archive window.
    CDATDoc* Open(const std::string& name, const std::vector<std::uint8_t>& bytes);
    CDocTemplate* Archives() const { return m_pArchives; }
    static CDATView* ListOf(CDATDoc* doc);
    static std::vector<std::wstring> ReportTexts(CDATDoc* doc);
    // Selects the rows of these models (indices in m_pModels) and no others.
    static void Select(CDATDoc* doc, const std::vector<int>& models);
    // Runs command `id` through the list's message map.
    static void Run(CDATDoc* doc, unsigned id);
    static bool Enabled(CDATDoc* doc, unsigned id);

    MessageRecorder messages;
    std::unique_ptr<CWinAppEx> app;

private:
    CDocTemplate* m_pArchives = nullptr;
};

// Removes everything the program keeps in its settings.
void ClearKorvaneSettings();

// Runs the event loop until nothing more is queued.
void Settle();

}  // namespace kvtest
