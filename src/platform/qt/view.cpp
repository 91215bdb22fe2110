#include "platform/qt/view.h"

#include "platform/qt/frames.h"

CWndView::~CWndView() {
    if (CDocument* d = GetDocument()) d->RemoveView(this);
}

void CWndView::OnTitleChanged() {
    if (m_pFrame) m_pFrame->OnUpdateFrameTitle();
}
