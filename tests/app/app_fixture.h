#pragma once
// Starts and ends the application the way the program does, with a command
// line of the test's choosing and settings that start empty.

#include <memory>
#include <utility>
#include <vector>

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QStringList>

#include "app/korvane_app.h"
#include "app/main_frame.h"
#include "support/message_recorder.h"
#include "support/ui_fixture.h"

namespace kvtest {

class AppRun {
public:
    // Runs InitInstance with `args` after the program's name.
    explicit AppRun(const QStringList& args = {}) {
        app = std::make_unique<CKorvaneApp>();
        app->m_args = QStringList{QStringLiteral("korvane")} + args;
        started = app->InitInstance();
        Settle();
    }
    ~AppRun() { End(); }
    AppRun(const AppRun&) = delete;
    AppRun& operator=(const AppRun&) = delete;

    // Closes the frame as the user would (its state is saved) and ends the program.
    void End() {
        if (!app) return;
        if (app->m_pMainWnd && app->m_pMainWnd->isVisible()) app->m_pMainWnd->close();
        Settle();
        app->ExitInstance();
        app.reset();
        Settle();
    }

    CMainFrame* frame() const { return static_cast<CMainFrame*>(app->m_pMainWnd); }
    QStringList MenuTitles() const {
        QStringList out;
        for (QAction* a : frame()->GetMenuBarWidget()->actions()) out << a->text();
        return out;
    }
    QMenu* Menu(const QString& title) const {
        for (QAction* a : frame()->GetMenuBarWidget()->actions())
            if (a->text() == title) return a->menu();
        return nullptr;
    }
    // The entries of a menu as shown: texts, separators as "-", after its update pass.
    QStringList Entries(QMenu* menu) const {
        QStringList out;
        if (!menu) return out;
        emit menu->aboutToShow();
        for (QAction* a : menu->actions())
            if (a->isVisible()) out << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return out;
    }
    QAction* Entry(QMenu* menu, const QString& text) const {
        if (!menu) return nullptr;
        for (QAction* a : menu->actions())
            if (a->text() == text) return a;
        return nullptr;
    }
    // The entry of a menu that sends `command`.
    static QAction* EntryFor(QMenu* menu, unsigned command) {
        if (!menu) return nullptr;
        for (QAction* a : menu->actions())
            if (!a->isSeparator() && a->property("kvCommand").toUInt() == command) return a;
        return nullptr;
    }
    // A menu's entries as (command, text), separators as (0, "-"), in order.
    static std::vector<std::pair<unsigned, QString>> EntriesByCommand(QMenu* menu) {
        std::vector<std::pair<unsigned, QString>> out;
        if (!menu) return out;
        for (QAction* a : menu->actions()) {
            if (a->isSeparator())
                out.emplace_back(0u, QStringLiteral("-"));
            else
                out.emplace_back(a->property("kvCommand").toUInt(), a->text());
        }
        return out;
    }

    MessageRecorder messages;
    std::unique_ptr<CKorvaneApp> app;
    bool started = false;
};

}  // namespace kvtest
