// The recent-file entries of the File menus: the list's names where its
// placeholder stands, the placeholder greyed while the list is empty.

#include <QAction>

#include "platform/qt/frame_detail.h"
#include "platform/qt/frames.h"
#include "platform/qt/std_ids.h"
#include "platform/qt/winapp.h"

using kv::frames::Q;

void CMDIFrameWndEx::UpdateRecentFileMenu() {
    CWinAppEx* app = AfxGetApp();
    CRecentFileList* list = app ? app->GetRecentFileList() : nullptr;
    std::size_t n = list ? list->GetEntries().size() : 0;
    for (unsigned k = 0; k < 10; ++k) {
        auto it = m_actions.find(ID_FILE_MRU_FILE1 + k);
        if (it == m_actions.end() || !it->second) continue;
        QAction* a = it->second;
        if (k < n) {
            a->setText(Q(list->GetDisplayName(k)));
            a->setVisible(true);
            a->setEnabled(true);
        } else if (k == 0) {
            QString placeholder = a->property("kvPlaceholder").toString();
            a->setText(placeholder.isEmpty() ? QStringLiteral("Recent File") : placeholder);
            a->setVisible(true);
            a->setEnabled(false);
        } else {
            a->setVisible(false);
        }
    }
}
