#pragma once
// The application object: the settings key, the recent-file list, the
// document templates, the main window, the command line, dropped files, and
// the shell's open requests. One exists at a time; AfxGetApp finds it.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QStringList>

#include "platform/qt/cmd_target.h"
#include "platform/wait_cursor.h"

class QLocalServer;
class QLocalSocket;
class QMenu;
class QSettings;
class CDocTemplate;
class CDocument;
class CMDIFrameWndEx;

class CRecentFileList {
public:
    CRecentFileList(std::wstring section, unsigned size) : m_strSection(std::move(section)), m_nSize(size) {}
    // Puts `path` first, removing an older entry of the same file.
    void Add(const std::wstring& path);
    void Remove(unsigned index);
    unsigned GetSize() const { return m_nSize; }
    const std::vector<std::wstring>& GetEntries() const { return m_entries; }
    // The menu text of entry `index` ("&1 ..."), shortened to fit.
    std::wstring GetDisplayName(unsigned index) const;
    void ReadList(QSettings& settings);
    void WriteList(QSettings& settings) const;

private:
    std::wstring m_strSection;
    unsigned m_nSize;
    std::vector<std::wstring> m_entries;
};

class CCommandLineInfo {
public:
    enum Shell { FileNew, FileOpen, FilePrint, FilePrintTo, FileDDE, FileNothing };
    void ParseParam(const std::wstring& param, bool flag, bool last);

    Shell m_nShellCommand = FileNew;
    std::wstring m_strFileName;
    bool m_bShowSplash = true;
};

// Registered popup menus shown at a point with their commands sent to one target.
class CContextMenuManager {
public:
    void AddMenu(const std::wstring& name, unsigned resourceId);
    unsigned GetMenuByName(const std::wstring& name) const;
    // Shows menu resource `resourceId`'s first popup at `screenPos`; its commands
    // go to `owner`, whose update handlers decide which entries are enabled.
    // Returns the menu, which lives until it closes.
    QMenu* ShowPopupMenu(unsigned resourceId, QPoint screenPos, CCmdTarget* owner);

private:
    std::vector<std::pair<std::wstring, unsigned>> m_menus;
};

class CWinAppEx : public QObject, public CCmdTarget {
    Q_OBJECT
public:
    explicit CWinAppEx(bool resourceSmartUpdate = false);
    ~CWinAppEx() override;

    virtual bool InitInstance();
    // Writes the recent-file list; the process's exit code.
    virtual int ExitInstance();
    virtual void PreLoadState() {}
    virtual void LoadCustomState() {}
    virtual void SaveCustomState() {}
    // The message loop, until the main window has closed.
    int Run();

    // Settings
    void SetRegistryKey(const std::wstring& key);
    std::unique_ptr<QSettings> GetSettings() const;
    void LoadStdProfileSettings(unsigned maxMru = 4);
    const std::wstring& GetRegistryKey() const { return m_strRegistryKey; }
    const std::wstring& GetProfileName() const { return m_strProfileName; }

    // Platform steps that stand for nothing here; they cannot fail.
    static bool InitCommonControls(unsigned size, unsigned classes);
    bool AfxOleInit() { return true; }
    void AfxEnableControlContainer() {}
    void InitContextMenuManager();
    void InitKeyboardManager() { m_bKeyboardManager = true; }
    void InitTooltipManager() { m_bTooltipManager = true; }
    void SetTooltipParams(unsigned typeMask, const std::vector<int>& params);
    CContextMenuManager* GetContextMenuManager() { return m_pContextMenuManager.get(); }
    void EnableHtmlHelp() { m_bHtmlHelp = true; }

    // Documents
    void AddDocTemplate(std::unique_ptr<CDocTemplate> tmpl);
    const std::vector<std::unique_ptr<CDocTemplate>>& GetTemplates() const { return m_templates; }
    CDocument* OpenDocumentFile(const std::wstring& path);
    void OnFileOpen();
    bool SaveAllModified();
    void CloseAllDocuments();
    void AddToRecentFileList(const std::wstring& path);
    CRecentFileList* GetRecentFileList() const { return m_pRecentFileList.get(); }
    void OnOpenRecentFile(unsigned id);

    // Main window
    CMDIFrameWndEx* m_pMainWnd = nullptr;
    void SetMainWnd(std::unique_ptr<CMDIFrameWndEx> frame);
    void DestroyMainWnd();
    int m_nCmdShow = 1;

    // Command line and shell
    void ParseCommandLine(CCommandLineInfo& info, const QStringList& args);
    bool ProcessShellCommand(CCommandLineInfo& info);
    // Accepts the shell's open requests on a local socket named after the
    // executable (topic "system", requests [open("path")]).
    void EnableShellOpen();
    QString GetShellOpenName() const { return m_strShellName; }
    // Runs one request the way the shell's would run; true when it succeeded.
    bool OnDDECommand(const QString& command);
    // Tests give the socket a name of their own.
    static void SetShellOpenNameOverride(const QString& name);

    // Help: <executable>.chm, opened by the desktop's handler.
    std::wstring GetHelpFilePath() const;
    void ShowHelp();

    // The application's title (string 57344).
    std::wstring m_pszAppName;

protected:
    bool m_bResourceSmartUpdate;
    bool m_bHtmlHelp = false;
    bool m_bKeyboardManager = false;
    bool m_bTooltipManager = false;
    std::wstring m_strRegistryKey;
    std::wstring m_strProfileName;
    std::unique_ptr<CRecentFileList> m_pRecentFileList;
    std::vector<std::unique_ptr<CDocTemplate>> m_templates;
    std::unique_ptr<CMDIFrameWndEx> m_pMainWndHolder;
    std::unique_ptr<CContextMenuManager> m_pContextMenuManager;
    QPointer<QLocalServer> m_pShellServer;
    QString m_strShellName;

private:
    // The wait-cursor handler this object replaced while it lives.
    kv::WaitCursorHandler m_oldWaitCursor;
    // Answers the complete request lines a shell client has sent.
    void ServeShellRequests(QLocalSocket& socket);
};

CWinAppEx* AfxGetApp();
CMDIFrameWndEx* AfxGetMainWnd();

namespace kv {
// How the program asks for a file to open or a name to save under; tests
// answer it. An empty answer cancels.
struct FilePrompt {
    bool open = true;
    std::wstring title;
    std::wstring filter;       // the Qt filter string
    std::wstring initialName;
    std::wstring defaultExt;   // without the dot
};
using FilePromptHook = std::function<std::wstring(const FilePrompt&)>;
FilePromptHook SetFilePromptHook(FilePromptHook hook);
std::wstring PromptForFileName(const FilePrompt& prompt);
}  // namespace kv
