#include "platform/qt/doc_template.h"

#include <algorithm>

#include <QDir>
#include <QFileInfo>

#include "platform/document.h"
#include "platform/file.h"
#include "platform/qt/frames.h"
#include "platform/qt/strings.h"
#include "platform/qt/view.h"
#include "platform/qt/winapp.h"

namespace {
std::vector<CDocTemplate*>& AllTemplates() {
    static std::vector<CDocTemplate*> all;
    return all;
}

// The path a document is known by: absolute, with "." and ".." worked out,
// but a symbolic link stays the link, so that the title, the recent files and
// the messages name the file as the user opened it.
QString FullPath(const std::wstring& path) {
    return QDir::cleanPath(QFileInfo(QString::fromStdWString(path)).absoluteFilePath());
}

// The file itself, links resolved: one file reached by two names is open once.
QString SameFile(const std::wstring& path) {
    QString canonical = QFileInfo(QString::fromStdWString(path)).canonicalFilePath();
    return canonical.isEmpty() ? FullPath(path) : canonical;
}

// Whether two paths name one file: the same text once links are resolved, or
// the same file under another name (a hard link, a folder mounted twice).
bool IsSameFile(const std::wstring& a, const std::wstring& b) {
    if (SameFile(a) == SameFile(b)) return true;
    return kv::IdentityOf(a).SameFile(kv::IdentityOf(b));
}

// The frames whose views show `doc`, in the order of the document's views.
std::vector<CMDIChildWndEx*> FramesOf(CDocument* doc) {
    std::vector<CMDIChildWndEx*> frames;
    for (CView* v : doc->GetViews())
        if (auto* wv = dynamic_cast<CWndView*>(v); wv && wv->GetParentFrame()) frames.push_back(wv->GetParentFrame());
    return frames;
}

// Numbers the windows of a document when it has more than one.
void UpdateFrameCounts(CDocument* doc) {
    auto frames = FramesOf(doc);
    int n = 0;
    for (CMDIChildWndEx* f : frames) f->m_nWindow = frames.size() > 1 ? ++n : 0;
    for (CMDIChildWndEx* f : frames) f->OnUpdateFrameTitle();
}
}  // namespace

CDocTemplate* FindTemplateOf(const CDocument* doc) {
    for (CDocTemplate* t : AllTemplates())
        if (t->HasDocument(doc)) return t;
    return nullptr;
}

CDocTemplate::CDocTemplate(unsigned resourceId, DocFactory doc, FrameFactory frame, ViewFactory view)
    : m_nIDResource(resourceId), m_docFactory(std::move(doc)), m_frameFactory(std::move(frame)),
      m_viewFactory(std::move(view)) {
    AllTemplates().push_back(this);
}

CDocTemplate::~CDocTemplate() {
    m_docs.clear();
    auto& all = AllTemplates();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
}

std::wstring CDocTemplate::GetDocString(DocStringIndex index) const {
    std::wstring s = kv::LoadStringW(m_nIDResource);
    std::size_t start = 0;
    for (int i = 0; i < static_cast<int>(index); ++i) {
        std::size_t nl = s.find(L'\n', start);
        if (nl == std::wstring::npos) return {};
        start = nl + 1;
    }
    std::size_t end = s.find(L'\n', start);
    return s.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
}

QString CDocTemplate::FileDialogFilter() const {
    QString name = QString::fromStdWString(GetDocString(filterName));
    QString exts = QString::fromStdWString(GetDocString(filterExt));
    if (name.isEmpty() || exts.isEmpty()) return {};
    // The file system here tells capitals from small letters; the extensions
    // of the document string did not care.
    QStringList patterns;
    for (const QString& e : exts.split(u';', Qt::SkipEmptyParts)) {
        for (const QString& v : {e, e.toLower(), e.toUpper()})
            if (!patterns.contains(u'*' + v)) patterns << u'*' + v;
    }
    // The name is shown as the string has it; the patterns after it are what
    // the dialog matches (and hides).
    return name + QStringLiteral(" (") + patterns.join(u' ') + u')';
}

std::vector<CDocument*> CDocTemplate::GetDocuments() const {
    std::vector<CDocument*> out;
    for (const auto& d : m_docs) out.push_back(d.get());
    return out;
}

bool CDocTemplate::HasDocument(const CDocument* doc) const {
    return std::any_of(m_docs.begin(), m_docs.end(), [doc](const auto& d) { return d.get() == doc; });
}

CDocument* CDocTemplate::OpenDocumentFile(const std::wstring& path, bool addToMru) {
    for (CDocTemplate* t : AllTemplates()) {
        for (CDocument* d : t->GetDocuments()) {
            if (!d->GetPathName().empty() && IsSameFile(d->GetPathName(), path)) {
                auto frames = FramesOf(d);
                if (!frames.empty() && AfxGetMainWnd()) AfxGetMainWnd()->MDIActivate(frames.front());
                return d;
            }
        }
    }
    std::unique_ptr<CDocument> doc = m_docFactory();
    if (!doc) return nullptr;
    std::wstring wfull = FullPath(path).toStdWString();
    if (!doc->OnOpenDocument(wfull)) return nullptr;
    doc->SetPathName(wfull);
    CDocument* raw = doc.get();
    m_docs.push_back(std::move(doc));
    CMDIChildWndEx* frame = CreateNewFrame(raw, nullptr);
    if (!frame) {
        m_docs.pop_back();
        return nullptr;
    }
    InitialUpdateFrame(frame, raw, true);
    if (addToMru && AfxGetApp()) AfxGetApp()->AddToRecentFileList(wfull);
    return raw;
}

CMDIChildWndEx* CDocTemplate::CreateNewFrame(CDocument* doc, CMDIChildWndEx*) {
    CMDIFrameWndEx* main = AfxGetMainWnd();
    if (!main || !doc) return nullptr;
    CMDIChildWndEx* frame = m_frameFactory();
    if (!frame) return nullptr;
    CWndView* view = m_viewFactory(frame);
    if (!view) {
        delete frame;
        return nullptr;
    }
    doc->AddView(view);
    frame->SetView(view, this);
    main->AddChildFrame(frame);
    return frame;
}

void CDocTemplate::InitialUpdateFrame(CMDIChildWndEx* frame, CDocument* doc, bool makeVisible) {
    if (CWndView* v = frame->GetActiveView()) v->OnInitialUpdate();
    UpdateFrameCounts(doc);
    if (makeVisible) {
        frame->show();
        if (CMDIFrameWndEx* main = AfxGetMainWnd()) main->MDIActivate(frame);
    }
}

void CDocTemplate::CloseDocument(CDocument* doc) {
    for (CMDIChildWndEx* f : FramesOf(doc)) {
        if (CWndView* v = f->GetActiveView()) doc->RemoveView(v);
        f->hide();
        f->deleteLater();
    }
    auto it = std::find_if(m_docs.begin(), m_docs.end(), [doc](const auto& d) { return d.get() == doc; });
    if (it != m_docs.end()) m_docs.erase(it);
}

void CDocTemplate::CloseAllDocuments() {
    while (!m_docs.empty()) CloseDocument(m_docs.back().get());
}

void CDocTemplate::OnFrameClosed(CDocument* doc) {
    if (!doc->GetViews().empty()) {
        UpdateFrameCounts(doc);
        return;
    }
    auto it = std::find_if(m_docs.begin(), m_docs.end(), [doc](const auto& d) { return d.get() == doc; });
    if (it != m_docs.end()) m_docs.erase(it);
}
