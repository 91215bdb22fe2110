#include "platform/document.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <new>
#include <system_error>

#include "platform/exceptions.h"
#include "platform/file.h"
#include "platform/message.h"
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
    SetModifiedFlag(false);
    return true;
}

bool CDocument::OnSaveDocument(const std::wstring& path) {
    kv::CSafeSaveFile file;
    if (!file.Open(path)) {
        if (file.AccessDenied())
            AfxMessageBox(L"Access to " + path + L" was denied.", MB_OK | MB_ICONEXCLAMATION);
        else
            AfxMessageBox(L"Failed to save document.\n\nCannot create a file beside " + path + L".",
                          MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    CWaitCursor wait;
    try {
        CArchive ar(file);
        Serialize(ar);
    } catch (const CFileException&) {
        AfxMessageBox(L"Failed to save document.\n\nAn error occurred while writing " + path +
                          L". The file on disk was not changed.",
                      MB_OK | MB_ICONEXCLAMATION);
        return false;
    } catch (...) {
        kv::ReportSerializeFailure(std::current_exception(), false);
        return false;
    }
    if (!file.Commit()) {
        AfxMessageBox(L"Failed to save document.\n\nAn error occurred while writing " + path +
                          L". The file on disk was not changed.",
                      MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
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
    if (!OnSaveDocument(target)) return false;
    if (target != m_strPathName) SetPathName(target);
    // A file just saved is the most recent one, as one just opened is.
    if (RecentFileHook()) RecentFileHook()(target);
    return true;
}

void CDocument::SetSaveAsPrompt(SaveAsPrompt prompt) { Prompt() = std::move(prompt); }

void CDocument::SetRecentFileHook(std::function<void(const std::wstring&)> hook) { RecentFileHook() = std::move(hook); }
