#pragma once
// The document base: title, path, modified flag, its views with update hints,
// and the open and save paths that run Serialize and report its failures.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/file.h"

class CArchive;
class CDocument;

// What a document's window implements to learn of changes.
class CView {
public:
    // A view that goes away leaves its document, so that no update reaches it later.
    virtual ~CView();
    // `hint` is the numeric hint, `code` the value carried in place of the hint object.
    virtual void OnUpdate(CView* sender, std::intptr_t hint, std::intptr_t code) = 0;
    virtual void OnTitleChanged() {}
    CDocument* GetDocument() const { return m_pDocument; }

private:
    friend class CDocument;
    CDocument* m_pDocument = nullptr;
};

class CDocument {
public:
    CDocument() = default;
    virtual ~CDocument();
    CDocument(const CDocument&) = delete;
    CDocument& operator=(const CDocument&) = delete;

    const std::wstring& GetTitle() const { return m_strTitle; }
    virtual void SetTitle(const std::wstring& title);
    const std::wstring& GetPathName() const { return m_strPathName; }
    // Sets the path and the title to the path's file name.
    void SetPathName(const std::wstring& path);

    bool IsModified() const { return m_bModified; }
    virtual void SetModifiedFlag(bool modified = true) { m_bModified = modified; }

    void AddView(CView* view);
    void RemoveView(CView* view);
    const std::vector<CView*>& GetViews() const { return m_views; }
    void UpdateAllViews(CView* sender, std::intptr_t hint = 0, std::intptr_t code = 0);

    virtual void Serialize(CArchive& ar) = 0;
    virtual bool OnNewDocument();
    // Reads the file through Serialize; a refusal is reported and returns false.
    virtual bool OnOpenDocument(const std::wstring& path);
    // Writes through a temporary file renamed over `path`; a failure is
    // reported, leaves the file on disk as it was and returns false.
    virtual bool OnSaveDocument(const std::wstring& path);
    // Asks to save a modified document: true to go on closing.
    virtual bool SaveModified();
    // Save: to the document's path, or through Save As when it has none, or
    // when its file is read-only, not the user's to write, or gone.
    virtual bool DoFileSave();
    // Saves to `path`; an empty path asks the user for one (Save As). A new
    // path becomes the document's and goes to the recent-file list. Saving to
    // the document's own file after another program has replaced or rewritten
    // it asks first.
    virtual bool DoSave(const std::wstring& path);

    // Asks the user for a path to save to (the application installs it); an
    // empty answer cancels.
    using SaveAsPrompt = std::function<std::wstring(CDocument&)>;
    static void SetSaveAsPrompt(SaveAsPrompt prompt);
    // Told of every path a document takes by saving (the recent-file list).
    static void SetRecentFileHook(std::function<void(const std::wstring&)> hook);

private:
    std::wstring m_strTitle;
    std::wstring m_strPathName;
    bool m_bModified = false;
    // The file this document last read or wrote, as it was then: a save to
    // that path checks that it still is.
    std::wstring m_strDiskPath;
    kv::FileIdentity m_diskIdentity;
    std::vector<CView*> m_views;
};
