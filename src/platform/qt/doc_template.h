#pragma once
// Document templates: which document, child frame and view make up one kind of
// window, and the resource id that names its menu, icon and document string.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QString>

class CDocument;
class CWndView;
class CMDIChildWndEx;
class QWidget;

class CDocTemplate {
public:
    // The fields of the document string, in their order.
    enum DocStringIndex { windowTitle, docName, fileNewName, filterName, filterExt, regFileTypeId, regFileTypeName };

    using DocFactory = std::function<std::unique_ptr<CDocument>()>;
    using FrameFactory = std::function<CMDIChildWndEx*()>;
    using ViewFactory = std::function<CWndView*(QWidget* parent)>;

    CDocTemplate(unsigned resourceId, DocFactory doc, FrameFactory frame, ViewFactory view);
    virtual ~CDocTemplate();
    CDocTemplate(const CDocTemplate&) = delete;
    CDocTemplate& operator=(const CDocTemplate&) = delete;

    unsigned GetResourceID() const { return m_nIDResource; }
    std::wstring GetDocString(DocStringIndex index) const;
    // The file dialog's filter of this template; empty when it opens no files.
    QString FileDialogFilter() const;

    // Open documents of this template, in the order they were opened.
    std::vector<CDocument*> GetDocuments() const;
    bool HasDocument(const CDocument* doc) const;

    // Opens `path` in a new window, or activates the window of the document
    // already open on it. Null when the file is refused (it has been reported).
    CDocument* OpenDocumentFile(const std::wstring& path, bool addToMru = true);
    // A new frame with a new view of `doc`; not yet shown.
    CMDIChildWndEx* CreateNewFrame(CDocument* doc, CMDIChildWndEx* other);
    // Runs the view's initial update, then shows and activates the frame.
    void InitialUpdateFrame(CMDIChildWndEx* frame, CDocument* doc, bool makeVisible = true);

    // Closes every window of `doc` and destroys it (no save prompt).
    void CloseDocument(CDocument* doc);
    void CloseAllDocuments();

private:
    friend class CMDIChildWndEx;
    // A window of `doc` has closed; the document goes with its last one.
    void OnFrameClosed(CDocument* doc);

    unsigned m_nIDResource;
    DocFactory m_docFactory;
    FrameFactory m_frameFactory;
    ViewFactory m_viewFactory;
    std::vector<std::unique_ptr<CDocument>> m_docs;
};

using CMultiDocTemplate = CDocTemplate;

// The template whose document `doc` is, if any.
CDocTemplate* FindTemplateOf(const CDocument* doc);
