#include "platform/qt/winapp.h"

#include <clocale>

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMenu>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

#include "platform/document.h"
#include "platform/message.h"
#include "platform/qt/dialog.h"
#include "platform/qt/doc_template.h"
#include "platform/qt/frames.h"
#include "platform/qt/qt_message.h"
#include "platform/qt/resources.h"
#include "platform/qt/std_ids.h"
#include "platform/qt/strings.h"
#include "platform/qt/view.h"

namespace {

CWinAppEx* g_pApp = nullptr;
QString g_shellNameOverride;

QString Q(const std::wstring& s) { return QString::fromStdWString(s); }

kv::FilePromptHook& PromptHook() {
    static kv::FilePromptHook hook;
    return hook;
}

}  // namespace

CWinAppEx* AfxGetApp() { return g_pApp; }
CMDIFrameWndEx* AfxGetMainWnd() { return g_pApp ? g_pApp->m_pMainWnd : nullptr; }

namespace kv {

FilePromptHook SetFilePromptHook(FilePromptHook hook) { return std::exchange(PromptHook(), std::move(hook)); }

std::wstring PromptForFileName(const FilePrompt& prompt) {
    if (PromptHook()) return PromptHook()(prompt);
    QFileDialog dlg(QApplication::activeWindow(), Q(prompt.title));
    dlg.setAcceptMode(prompt.open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dlg.setFileMode(prompt.open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    // The filter shows its name as the document string gives it.
    dlg.setOption(QFileDialog::HideNameFilterDetails, true);
    if (!prompt.filter.empty()) dlg.setNameFilter(Q(prompt.filter));
    if (!prompt.defaultExt.empty()) dlg.setDefaultSuffix(Q(prompt.defaultExt));
    if (!prompt.initialName.empty()) dlg.selectFile(Q(prompt.initialName));
    if (RunModal(dlg) != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return {};
    return dlg.selectedFiles().front().toStdWString();
}

}  // namespace kv

// ---------------------------------------------------------------- CRecentFileList

void CRecentFileList::Add(const std::wstring& path) {
    QString full = QFileInfo(Q(path)).absoluteFilePath();
    std::wstring w = full.toStdWString();
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it)
        if (QFileInfo(Q(*it)).absoluteFilePath() == full) {
            m_entries.erase(it);
            break;
        }
    m_entries.insert(m_entries.begin(), w);
    if (m_entries.size() > m_nSize) m_entries.resize(m_nSize);
}

void CRecentFileList::Remove(unsigned index) {
    if (index < m_entries.size()) m_entries.erase(m_entries.begin() + index);
}

std::wstring CRecentFileList::GetDisplayName(unsigned index) const {
    if (index >= m_entries.size()) return {};
    QString path = QDir::toNativeSeparators(Q(m_entries[index]));
    // Long paths keep their start and their file name.
    constexpr int kMax = 48;
    if (path.size() > kMax) {
        QString name = QFileInfo(Q(m_entries[index])).fileName();
        int keep = kMax - static_cast<int>(name.size()) - 4;
        path = keep > 3 ? path.left(keep) + QStringLiteral("...") + QDir::separator() + name : name;
    }
    path.replace(u'&', QStringLiteral("&&"));
    // The tenth entry's mnemonic is its last digit ("1&0"), so "1" opens the newest.
    QString number = index < 9 ? QStringLiteral("&%1").arg(index + 1) : QStringLiteral("%1&%2").arg((index + 1) / 10).arg((index + 1) % 10);
    return (number + QStringLiteral(" ") + path).toStdWString();
}

void CRecentFileList::ReadList(QSettings& settings) {
    m_entries.clear();
    settings.beginGroup(Q(m_strSection));
    for (unsigned k = 1; k <= m_nSize; ++k) {
        QString v = settings.value(QStringLiteral("File%1").arg(k)).toString();
        if (!v.isEmpty()) m_entries.push_back(v.toStdWString());
    }
    settings.endGroup();
}

void CRecentFileList::WriteList(QSettings& settings) const {
    settings.beginGroup(Q(m_strSection));
    settings.remove(QString());
    for (unsigned k = 0; k < m_entries.size(); ++k) settings.setValue(QStringLiteral("File%1").arg(k + 1), Q(m_entries[k]));
    settings.endGroup();
}

// ---------------------------------------------------------------- CCommandLineInfo

void CCommandLineInfo::ParseParam(const std::wstring& param, bool flag, bool last) {
    if (flag) {
        QString p = Q(param).toLower();
        if (p == QStringLiteral("pt"))
            m_nShellCommand = FilePrintTo;
        else if (p == QStringLiteral("p"))
            m_nShellCommand = FilePrint;
        else if (p == QStringLiteral("dde"))
            m_nShellCommand = FileDDE;
        else if (p == QStringLiteral("nologo"))
            m_bShowSplash = false;
    } else if (m_strFileName.empty()) {
        m_strFileName = param;
    }
    if (last && m_nShellCommand == FileNew && !m_strFileName.empty()) m_nShellCommand = FileOpen;
}

// ---------------------------------------------------------------- CContextMenuManager

void CContextMenuManager::AddMenu(const std::wstring& name, unsigned resourceId) {
    m_menus.push_back({name, resourceId});
}

unsigned CContextMenuManager::GetMenuByName(const std::wstring& name) const {
    for (const auto& [n, id] : m_menus)
        if (n == name) return id;
    return 0;
}

QMenu* CContextMenuManager::ShowPopupMenu(unsigned resourceId, QPoint screenPos, CCmdTarget* owner) {
    const kv::MenuResource* res = kv::FindMenu(resourceId);
    if (!res || res->popups.empty() || !owner) return nullptr;
    auto* menu = new QMenu(QApplication::activeWindow());
    menu->setObjectName(QStringLiteral("ContextMenu%1").arg(resourceId));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    CMDIFrameWndEx* frame = AfxGetMainWnd();
    for (const kv::MenuItem& item : res->popups.front().items) {
        if (item.IsSeparator()) {
            menu->addSeparator();
            continue;
        }
        if (item.IsPopup()) continue;
        auto* a = menu->addAction(Q(item.text));
        a->setProperty("kvCommand", item.id);
        a->setStatusTip(Q(kv::PromptText(item.id)));
        if (frame) a->setIcon(frame->GetCommandAction(item.id)->icon());
        CCmdUI ui(item.id);
        bool known = owner->OnCmdMsg(item.id, &ui);
        a->setEnabled(known && ui.m_bEnabled);
        if (ui.m_nCheck >= 0) {
            a->setCheckable(true);
            a->setChecked(ui.m_nCheck != 0);
        }
        unsigned id = item.id;
        QObject::connect(a, &QAction::triggered, menu, [owner, id] {
            CCmdUI check(id);
            if (owner->OnCmdMsg(id, &check) && check.m_bEnabled) owner->OnCmdMsg(id, nullptr);
            if (CMDIFrameWndEx* f = AfxGetMainWnd()) f->RequestCommandUpdate();
        });
    }
    menu->popup(screenPos);
    return menu;
}

// ---------------------------------------------------------------- CWinAppEx

CWinAppEx::CWinAppEx(bool resourceSmartUpdate) : m_bResourceSmartUpdate(resourceSmartUpdate) {
    g_pApp = this;
    m_oldWaitCursor = kv::SetWaitCursorHandler(kv::QtWaitCursorHandler());
    m_pszAppName = kv::LoadStringW(AFX_IDS_APP_TITLE);
    MapCommand(ID_APP_EXIT, [this] {
        if (m_pMainWnd) m_pMainWnd->close();
    });
    MapCommandRange(
        ID_FILE_MRU_FILE1, ID_FILE_MRU_LAST, [this](unsigned id) { OnOpenRecentFile(id); },
        [this](CCmdUI* ui) { ui->Enable(m_pRecentFileList && !m_pRecentFileList->GetEntries().empty()); });
}

CWinAppEx::~CWinAppEx() {
    if (m_pShellServer) m_pShellServer->close();
    DestroyMainWnd();
    m_templates.clear();
    if (g_pApp == this) g_pApp = nullptr;
    kv::SetWaitCursorHandler(std::move(m_oldWaitCursor));
}

bool CWinAppEx::InitInstance() {
    // The program's numbers and texts are formatted by the C library the way
    // they were on the system it came from, whatever the user's locale says.
    std::setlocale(LC_NUMERIC, "C");
    kv::InstallQtMessageBoxes(true);
    CDocument::SetSaveAsPrompt([](CDocument& doc) {
        // The document's own path (or its title) is offered, in the folder it came from.
        CDocTemplate* t = FindTemplateOf(&doc);
        kv::FilePrompt p;
        p.open = false;
        p.title = L"Save As";
        p.filter = t ? t->FileDialogFilter().toStdWString() : std::wstring();
        std::wstring name = doc.GetPathName().empty() ? doc.GetTitle() : doc.GetPathName();
        while (!name.empty() && name.back() == L'*') name.pop_back();
        p.initialName = name;
        if (t) {
            std::wstring ext = t->GetDocString(CDocTemplate::filterExt);
            ext = ext.substr(0, ext.find(L';'));
            if (!ext.empty() && ext.front() == L'.') ext.erase(0, 1);
            p.defaultExt = ext;
        }
        return kv::PromptForFileName(p);
    });
    CDocument::SetRecentFileHook([](const std::wstring& path) {
        if (CWinAppEx* app = AfxGetApp()) app->AddToRecentFileList(path);
    });
    return true;
}

int CWinAppEx::ExitInstance() {
    if (m_pRecentFileList) {
        auto s = GetSettings();
        m_pRecentFileList->WriteList(*s);
    }
    return 0;
}

int CWinAppEx::Run() {
    QApplication::exec();
    return ExitInstance();
}

bool CWinAppEx::InitCommonControls(unsigned, unsigned) { return true; }

void CWinAppEx::InitContextMenuManager() {
    if (!m_pContextMenuManager) m_pContextMenuManager = std::make_unique<CContextMenuManager>();
}

void CWinAppEx::SetTooltipParams(unsigned, const std::vector<int>&) {
    // The tooltips here are the toolkit's; the parameters of the system's
    // tooltip control have nothing to set.
}

void CWinAppEx::SetRegistryKey(const std::wstring& key) {
    m_strRegistryKey = key;
    m_strProfileName = m_pszAppName;
}

std::unique_ptr<QSettings> CWinAppEx::GetSettings() const {
    return std::make_unique<QSettings>(Q(m_strRegistryKey), Q(m_strProfileName.empty() ? m_pszAppName : m_strProfileName));
}

void CWinAppEx::LoadStdProfileSettings(unsigned maxMru) {
    if (maxMru == 0) return;
    m_pRecentFileList = std::make_unique<CRecentFileList>(L"Recent File List", std::min(maxMru, 16u));
    auto s = GetSettings();
    m_pRecentFileList->ReadList(*s);
}

void CWinAppEx::AddDocTemplate(std::unique_ptr<CDocTemplate> tmpl) { m_templates.push_back(std::move(tmpl)); }

CDocument* CWinAppEx::OpenDocumentFile(const std::wstring& path) {
    // Files open with the first template that names a file type.
    for (const auto& t : m_templates)
        if (!t->FileDialogFilter().isEmpty()) return t->OpenDocumentFile(path);
    return m_templates.empty() ? nullptr : m_templates.front()->OpenDocumentFile(path);
}

void CWinAppEx::OnFileOpen() {
    kv::FilePrompt p;
    p.open = true;
    p.title = L"Open";
    QStringList filters;
    for (const auto& t : m_templates)
        if (QString f = t->FileDialogFilter(); !f.isEmpty()) filters << f;
    p.filter = filters.join(QStringLiteral(";;")).toStdWString();
    std::wstring path = kv::PromptForFileName(p);
    if (!path.empty()) OpenDocumentFile(path);
}

bool CWinAppEx::SaveAllModified() {
    for (const auto& t : m_templates)
        for (CDocument* d : t->GetDocuments())
            if (!d->SaveModified()) return false;
    return true;
}

void CWinAppEx::CloseAllDocuments() {
    for (const auto& t : m_templates) t->CloseAllDocuments();
}

void CWinAppEx::AddToRecentFileList(const std::wstring& path) {
    if (!m_pRecentFileList) return;
    m_pRecentFileList->Add(path);
    // Written at once, so that a list survives a program that does not end well.
    auto s = GetSettings();
    m_pRecentFileList->WriteList(*s);
    if (m_pMainWnd) m_pMainWnd->UpdateRecentFileMenu();
}

void CWinAppEx::OnOpenRecentFile(unsigned id) {
    if (!m_pRecentFileList) return;
    unsigned index = id - ID_FILE_MRU_FILE1;
    if (index >= m_pRecentFileList->GetEntries().size()) return;
    std::wstring path = m_pRecentFileList->GetEntries()[index];
    if (!OpenDocumentFile(path)) {
        m_pRecentFileList->Remove(index);
        auto s = GetSettings();
        m_pRecentFileList->WriteList(*s);
        if (m_pMainWnd) m_pMainWnd->UpdateRecentFileMenu();
    }
}

void CWinAppEx::SetMainWnd(std::unique_ptr<CMDIFrameWndEx> frame) {
    m_pMainWndHolder = std::move(frame);
    m_pMainWnd = m_pMainWndHolder.get();
}

void CWinAppEx::DestroyMainWnd() {
    m_pMainWnd = nullptr;
    m_pMainWndHolder.reset();
}

void CWinAppEx::ParseCommandLine(CCommandLineInfo& info, const QStringList& args) {
    // A path here may begin with a slash, so a slash starts a flag only
    // when one of the shell's flag words follows it.
    static const QStringList words = {"p", "pt", "dde", "nologo", "embedding", "automation",
                                      "register", "regserver", "unregister", "unregserver"};
    for (int i = 1; i < args.size(); ++i) {
        QString a = args[i];
        bool flag = a.size() > 1 && (a.startsWith(u'-') ||
                                     (a.startsWith(u'/') && words.contains(a.mid(1).toLower())));
        info.ParseParam((flag ? a.mid(1) : a).toStdWString(), flag, i + 1 == args.size());
    }
}

bool CWinAppEx::ProcessShellCommand(CCommandLineInfo& info) {
    switch (info.m_nShellCommand) {
    case CCommandLineInfo::FileNew:
        // Only a template with a File New command could make an empty document.
        OnCmdMsg(ID_FILE_NEW, nullptr);
        return true;
    case CCommandLineInfo::FileOpen: return OpenDocumentFile(info.m_strFileName) != nullptr;
    case CCommandLineInfo::FilePrint:
    case CCommandLineInfo::FilePrintTo:
        // Nothing here prints; the request ends the start as printing would.
        return false;
    case CCommandLineInfo::FileDDE:
    case CCommandLineInfo::FileNothing: return true;
    }
    return true;
}

void CWinAppEx::SetShellOpenNameOverride(const QString& name) { g_shellNameOverride = name; }

void CWinAppEx::EnableShellOpen() {
    QString base = g_shellNameOverride.isEmpty() ? QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName()
                                                  : g_shellNameOverride;
    // One socket per user: in the user's runtime folder when there is one.
    QString dir;
#ifdef Q_OS_UNIX
    if (qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")) dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
#endif
    // Without one, the user's name keeps two users' sockets apart.
    if (dir.isEmpty()) base += QStringLiteral("-") + qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME"));
    m_strShellName = dir.isEmpty() ? base : QDir(dir).filePath(base);
    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(m_strShellName)) {
        // A socket left behind by a program that ended badly answers nobody.
        QLocalSocket probe;
        probe.connectToServer(m_strShellName);
        if (!probe.waitForConnected(200)) {
            QLocalServer::removeServer(m_strShellName);
            server->listen(m_strShellName);
        }
    }
    if (!server->isListening()) {
        // Another instance serves the shell already; this one goes without.
        delete server;
        return;
    }
    m_pShellServer = server;
    connect(server, &QLocalServer::newConnection, this, [this, server] {
        while (QLocalSocket* s = server->nextPendingConnection()) {
            s->setProperty("kvTopic", QString());
            // A socket goes once it is closed, but never while its requests
            // are being served: a request may show a message box, whose loop
            // can see the client hang up, and the socket's own readyRead,
            // which called the requests, still uses it after they return.
            connect(s, &QLocalSocket::disconnected, s, [s] {
                if (!s->property("kvServing").toBool()) s->deleteLater();
            });
            connect(s, &QLocalSocket::readyRead, this, [this, s] {
                s->setProperty("kvServing", true);
                ServeShellRequests(*s);
                s->setProperty("kvServing", false);
                if (s->state() != QLocalSocket::ConnectedState) s->deleteLater();
            });
        }
    });
}

void CWinAppEx::ServeShellRequests(QLocalSocket& s) {
    // One line the topic, then one line per request; each gets an answer,
    // unless the client has hung up by the time it is known.
    while (s.canReadLine()) {
        QString line = QString::fromUtf8(s.readLine()).trimmed();
        if (s.bytesAvailable() > 65536) {
            s.abort();
            return;
        }
        if (!s.property("kvHasTopic").toBool()) {
            s.setProperty("kvHasTopic", true);
            s.setProperty("kvTopic", line);
            continue;
        }
        // A request that comes while a dialog or message box holds the
        // program is refused, not run beneath it: the command behind the
        // dialog may still be at work on the windows it would change.
        bool ok = s.property("kvTopic").toString().compare(QStringLiteral("system"), Qt::CaseInsensitive) == 0 &&
                  !QApplication::activeModalWidget() && OnDDECommand(line);
        if (s.state() != QLocalSocket::ConnectedState) return;
        s.write(ok ? "ACK\n" : "NAK\n");
        s.flush();
    }
}

bool CWinAppEx::OnDDECommand(const QString& command) {
    // [open("path")], one or more in a row.
    int i = 0;
    bool any = false;
    const QString& c = command;
    while (i < c.size()) {
        while (i < c.size() && c[i].isSpace()) ++i;
        if (i >= c.size()) break;
        if (c[i] != u'[') return false;
        int paren = c.indexOf(u'(', i);
        if (paren < 0) return false;
        QString verb = c.mid(i + 1, paren - i - 1).trimmed();
        int q1 = c.indexOf(u'"', paren);
        int q2 = q1 < 0 ? -1 : c.indexOf(u'"', q1 + 1);
        if (q1 < 0 || q2 < 0) return false;
        QString arg = c.mid(q1 + 1, q2 - q1 - 1);
        int close = c.indexOf(u')', q2);
        if (close < 0 || close + 1 >= c.size() || c[close + 1] != u']') return false;
        i = close + 2;
        if (verb.compare(QStringLiteral("open"), Qt::CaseInsensitive) != 0 || arg.isEmpty()) return false;
        if (!OpenDocumentFile(arg.toStdWString())) return false;
        if (m_pMainWnd) {
            if (m_pMainWnd->isMinimized()) m_pMainWnd->showNormal();
            m_pMainWnd->activateWindow();
        }
        any = true;
    }
    return any;
}

std::wstring CWinAppEx::GetHelpFilePath() const {
    QFileInfo exe(QCoreApplication::applicationFilePath());
    QDir dir = exe.absoluteDir();
    for (const QString& ext : {QStringLiteral(".chm"), QStringLiteral(".CHM")}) {
        QString p = dir.filePath(exe.completeBaseName() + ext);
        if (QFileInfo::exists(p)) return p.toStdWString();
    }
    return dir.filePath(exe.completeBaseName() + QStringLiteral(".chm")).toStdWString();
}

void CWinAppEx::ShowHelp() {
    QString path = Q(GetHelpFilePath());
    if (QFileInfo::exists(path) && QDesktopServices::openUrl(QUrl::fromLocalFile(path))) return;
    AfxMessageBox(kv::LoadStringW(AFX_IDP_FAILED_TO_LAUNCH_HELP), MB_OK | MB_ICONEXCLAMATION);
}
