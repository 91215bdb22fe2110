#include "platform/document.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <filesystem>
#include <new>
#include <system_error>

#include "platform/exceptions.h"
#include "platform/file.h"
#include "platform/message.h"
#include "platform/text.h"
#include "platform/wait_cursor.h"

namespace {
CDocument::SaveAsPrompt& Prompt() {
    static CDocument::SaveAsPrompt p;
    return p;
}
std::function<void(const std::wstring&)>& RecentFileHook() {
    static std::function<void(const std::wstring&)> h;
    return h;
}
}  // namespace

namespace kv {

void ReportSerializeFailure(std::exception_ptr failure, bool loading) {
    try {
        std::rethrow_exception(failure);
    } catch (const CUserException&) {
        // The thrower has shown its message.
    } catch (const CArchiveException&) {
        AfxMessageBox(loading ? L"Unexpected file format." : L"Failed to save document.", MB_OK | MB_ICONEXCLAMATION);
    } catch (const CMemoryException&) {
        AfxMessageBox(loading ? L"Failed to open document." : L"Failed to save document.", MB_OK | MB_ICONEXCLAMATION);
    } catch (const std::bad_alloc&) {
        AfxMessageBox(loading ? L"Failed to open document." : L"Failed to save document.", MB_OK | MB_ICONEXCLAMATION);
    } catch (...) {
        AfxMessageBox(loading ? L"Failed to open document." : L"Failed to save document.", MB_OK | MB_ICONEXCLAMATION);
    }
}

}  // namespace kv

CView::~CView() {
    if (m_pDocument) m_pDocument->RemoveView(this);
}

CDocument::~CDocument() {
    for (CView* v : m_views) v->m_pDocument = nullptr;
}

void CDocument::SetTitle(const std::wstring& title) {
    m_strTitle = title;
    for (CView* v : m_views) v->OnTitleChanged();
}

void CDocument::SetPathName(const std::wstring& path) {
    m_strPathName = path;
    SetTitle(kv::WideFromPath(kv::PathFromWide(path).filename()));
}

void CDocument::AddView(CView* view) {
    if (std::find(m_views.begin(), m_views.end(), view) == m_views.end()) m_views.push_back(view);
    view->m_pDocument = this;
}

void CDocument::RemoveView(CView* view) {
    m_views.erase(std::remove(m_views.begin(), m_views.end(), view), m_views.end());
    if (view->m_pDocument == this) view->m_pDocument = nullptr;
}

void CDocument::UpdateAllViews(CView* sender, std::intptr_t hint, std::intptr_t code) {
    // A view may close while it updates, itself or another one, so walk a
    // copy and pass over any view that has left the document meanwhile.
    std::vector<CView*> views = m_views;
    for (CView* v : views)
        if (v != sender && std::find(m_views.begin(), m_views.end(), v) != m_views.end()) v->OnUpdate(sender, hint, code);
}

bool CDocument::OnNewDocument() {
    m_strPathName.clear();
    SetModifiedFlag(false);
    return true;
}

bool CDocument::OnOpenDocument(const std::wstring& path) {
    kv::CFile file;
    if (!file.OpenForRead(path)) {
        AfxMessageBox(L"Cannot open " + path + L".", MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    CWaitCursor wait;
    try {
        CArchive ar(file);
        Serialize(ar);
    } catch (...) {
        kv::ReportSerializeFailure(std::current_exception(), true);
        return false;
    }
    m_strDiskPath = path;
    m_diskIdentity = file.GetIdentity();
    SetModifiedFlag(false);
    return true;
}

namespace {

// What a failed save tells the user: the step that failed, the system's
// reason when there is one, and what became of the file on disk.
std::wstring SaveFailureText(const kv::CSafeSaveFile& file, const std::wstring& path) {
    using Failure = kv::CSafeSaveFile::Failure;
    std::wstring reason;
    if (file.GetErrorCode() != 0) reason = L" (" + kv::Utf8ToWide(std::strerror(file.GetErrorCode())) + L")";
    std::wstring what;
    switch (file.GetFailure()) {
    case Failure::CannotCreate: what = L"Cannot create a file beside " + path + reason + L"."; break;
    case Failure::CannotOpen: what = L"Cannot open " + path + L" for writing" + reason + L"."; break;
    case Failure::NoRoom: what = L"There is not enough room on the disk for " + path + reason + L"."; break;
    case Failure::Flush: what = L"The new contents of " + path + L" could not be flushed to the disk" + reason + L"."; break;
    case Failure::Replace: what = L"The new file could not take the place of " + path + reason + L"."; break;
    default: what = L"An error occurred while writing " + path + reason + L"."; break;
    }
    if (file.TargetTouched())
        return L"Failed to save document.\n\n" + what +
               L" The file on disk may be incomplete: save the document under another name with Save As to keep "
               L"your work.";
    return L"Failed to save document.\n\n" + what + L" The file on disk was not changed.";
}

}  // namespace

bool CDocument::OnSaveDocument(const std::wstring& path) {
    kv::CSafeSaveFile file;
    bool written = file.Open(path);
    if (!written && file.AccessDenied()) {
        AfxMessageBox(L"Access to " + path + L" was denied.", MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    if (written) {
        CWaitCursor wait;
        try {
            CArchive ar(file);
            Serialize(ar);
        } catch (const CFileException&) {
            written = false;
        } catch (...) {
            kv::ReportSerializeFailure(std::current_exception(), false);
            written = false;
            if (!file.TargetTouched()) return false;
        }
        written = written && file.Commit();
    }
    if (!written) {
        // A file this document began to rewrite is its own now: a later save
        // over it does not ask whether someone else changed it.
        if (file.TargetTouched() && path == m_strDiskPath) m_diskIdentity = kv::IdentityOf(path);
        AfxMessageBox(SaveFailureText(file, path), MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    m_strDiskPath = path;
    m_diskIdentity = file.GetIdentity();
    SetModifiedFlag(false);
    return true;
}

bool CDocument::SaveModified() {
    if (!IsModified()) return true;
    std::wstring name = m_strPathName.empty() ? m_strTitle : kv::WideFromPath(kv::PathFromWide(m_strPathName).filename());
    switch (AfxMessageBox(L"Save changes to " + name + L"?", MB_YESNOCANCEL)) {
    case IDCANCEL: return false;
    case IDYES: return DoFileSave();
    default: return true;
    }
}

bool CDocument::DoFileSave() {
    // A file that is read-only, that this user may not write, or that is no
    // longer there is saved under a name the user chooses.
    std::error_code ec;
    if (m_strPathName.empty() || kv::IsReadOnlyFile(m_strPathName) ||
        !std::filesystem::exists(kv::PathFromWide(m_strPathName), ec))
        return DoSave(std::wstring());
    return DoSave(m_strPathName);
}

bool CDocument::DoSave(const std::wstring& path) {
    std::wstring target = path;
    if (target.empty()) {
        if (!Prompt()) return false;
        target = Prompt()(*this);
        if (target.empty()) return false;
    }
    // Another program has renamed a file over this one, or rewritten it,
    // since this document read or wrote it: its bytes were never seen here.
    if (target == m_strPathName && target == m_strDiskPath && m_diskIdentity.valid) {
        const kv::FileIdentity now = kv::IdentityOf(target);
        if (now.valid && now != m_diskIdentity &&
            AfxMessageBox(target + L"\n\nThis file has been changed by another program since it was opened or last "
                                   L"saved here.\n\nDo you want to replace it with this document?",
                          MB_YESNO | MB_ICONEXCLAMATION) != IDYES)
            return false;
    }
    if (!OnSaveDocument(target)) return false;
    if (target != m_strPathName) SetPathName(target);
    // A file just saved is the most recent one, as one just opened is.
    if (RecentFileHook()) RecentFileHook()(target);
    return true;
}

void CDocument::SetSaveAsPrompt(SaveAsPrompt prompt) { Prompt() = std::move(prompt); }

void CDocument::SetRecentFileHook(std::function<void(const std::wstring&)> hook) { RecentFileHook() = std::move(hook); }
