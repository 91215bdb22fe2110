#pragma once
// The application object: start-up in the order the program has always
// followed, the About box, and the two document templates.

#include <QStringList>

#include "platform/qt/winapp.h"

class CKorvaneApp : public CWinAppEx {
    Q_OBJECT
public:
    CKorvaneApp();
    ~CKorvaneApp() override;

    bool InitInstance() override;
    void PreLoadState() override;
    void LoadCustomState() override {}
    void SaveCustomState() override {}

    void OnAppAbout();

    // CMainFrame::OnCreate reads it to choose the toolbar bitmap.
    bool m_bHiColorToolbar;
    // The command line InitInstance parses; the process's own unless set.
    QStringList m_args;
};

// The application object of the running program (the one CKorvaneApp).
CKorvaneApp* KorvaneApp();
