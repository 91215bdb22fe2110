// The application through its real widgets: start-up with and without a
// path, the menus of each kind of window, accelerators, recent files across a
// restart, dropped files, the shell's open requests, closing with the save
// prompt, New Window, the context menu, and a picture of the main window.

#include <algorithm>
#include <utility>
#include <vector>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLocalSocket>
#include <QMdiArea>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

#include <gtest/gtest.h>

#include "app_fixture.h"
#include "archive/dat_doc.h"
#include "platform/qt/dialog.h"
#include "platform/qt/doc_template.h"
#include "platform/qt/strings.h"
#include "resources/resource.h"
#include "ui/dat_view.h"
#include "ui/report_view.h"

namespace {

using kvtest::AppRun;
using kvtest::ModelSpec;

class App : public ::testing::Test {
protected:
    void SetUp() override { kvtest::ClearKorvaneSettings(); }
    void TearDown() override { kvtest::ClearKorvaneSettings(); }

    static QString Archive(const std::string& name) {
        return kvtest::WriteArchive(name, {{0x10, 0x1000, false, "Shed"},
                                           {0x20, 0x20000, true, "0a1b2c3d_Hotel_UserModel_Z1S", true},
                                           {0x30, 0x3000, false, "Barn", true}});
    }
    static CDATView* ListOf(CMDIChildWndEx* child) {
        return child ? dynamic_cast<CDATView*>(child->GetActiveView()) : nullptr;
    }
};

// The Edit menu of an archive window: each entry's command and text, a
// separator as (0, "-").
const std::vector<std::pair<unsigned, QString>> kEditMenu = {
    {ID_EDIT_FLIPMODELS, "F&lip/Mirror Model(s)\tAlt+L"},
    {ID_EDIT_MOVEMODELS, "&Move Model(s)\tAlt+M"},
    {ID_EDIT_REORIENT, "Re-&Orient\tAlt+O"},
    {ID_EDIT_ROTATEMODELS, "&Rotate Model(s)\tAlt+R"},
    {ID_EDIT_MEASUREMODEL, "Mea&sure Model\tAlt+S"},
    {ID_EDIT_SCALEMODELS, "S&cale Model(s)\tAlt+C"},
    {ID_EDIT_MERGEMODELS, "Mer&ge Model(s)\tAlt+G"},
    {ID_EDIT_SETTRANSPARENCY, "Set &Transparency\tAlt+T"},
    {ID_EDIT_REPLACETEXTURE, "Replace Te&xture\tAlt+X"},
    {0, "-"},
    {ID_EDIT_COPYSELECTIONLIST, "Copy S&election List\tCtr+E"},
    {ID_EDIT_SELECTCLIPBOARDLIST, "Select Clip&board List\tCtrl+L"},
    {ID_EDIT_SELECT_ALL, "Select &All\tCtrl+A"},
};

TEST_F(App, ABareStartShowsTheEmptyFrameAndOpensNothing) {
    AppRun run;
    ASSERT_TRUE(run.started);
    EXPECT_TRUE(run.frame()->isVisible());
    EXPECT_EQ(run.frame()->windowTitle(), "Korvane");
    EXPECT_TRUE(run.frame()->GetChildFrames().empty());
    for (const auto& t : run.app->GetTemplates()) EXPECT_TRUE(t->GetDocuments().empty());
    EXPECT_EQ(run.MenuTitles(), (QStringList{"&File", "&View", "&Help"}));
    EXPECT_EQ(run.Entries(run.Menu("&File")), (QStringList{"&Open...\tCtrl+O", "&Close", "-", "Recent File", "-", "E&xit"}));
    EXPECT_FALSE(run.Entry(run.Menu("&File"), "Recent File")->isEnabled());
    EXPECT_FALSE(run.Entry(run.Menu("&File"), "&Close")->isEnabled());
    EXPECT_TRUE(run.Entry(run.Menu("&File"), "&Open...\tCtrl+O")->isEnabled());
    EXPECT_EQ(run.Entries(run.Menu("&Help")), (QStringList{"&Help Topics", "-", "&About Korvane..."}));
    QStringList view = run.Entries(run.Menu("&View"));
    EXPECT_EQ(view, (QStringList{"&Toolbars and Docking Windows", "&Status Bar"}));
    QMenu* panes = run.Entry(run.Menu("&View"), "&Toolbars and Docking Windows")->menu();
    EXPECT_EQ(run.Entries(panes), (QStringList{"Standard", "-", "Customize..."}));
    EXPECT_TRUE(run.Entry(run.Menu("&View"), "&Status Bar")->isChecked());
    // The status bar: the idle text, then the three lock indicators.
    auto* status = run.frame()->m_statusBar;
    EXPECT_EQ(status->GetMessagePane()->text(), "For Help, press F1");
    EXPECT_EQ(status->GetPane(ID_INDICATOR_CAPS)->text(), "CAP");
    EXPECT_EQ(status->GetPane(ID_INDICATOR_NUM)->text(), "NUM");
    EXPECT_EQ(status->GetPane(ID_INDICATOR_SCRL)->text(), "SCRL");
    EXPECT_TRUE(run.messages.boxes().empty());
}

TEST_F(App, AStartWithAPathOpensItInAnArchiveWindow) {
    QString path = Archive("start.SC4Model");
    AppRun run({path});
    ASSERT_TRUE(run.started);
    auto children = run.frame()->GetChildFrames();
    ASSERT_EQ(children.size(), 1u);
    CDATView* list = ListOf(children[0]);
    ASSERT_TRUE(list);
    EXPECT_EQ(list->GetItemCount(), 3);
    EXPECT_EQ(list->GetItemText(1, CDATListModel::kColName), "Hotel");
    EXPECT_EQ(children[0]->windowTitle(), "start.SC4Model");
    EXPECT_EQ(run.frame()->windowTitle(), "Korvane - start.SC4Model");
    EXPECT_EQ(run.MenuTitles(), (QStringList{"&File", "&Edit", "&View", "&Window", "&Help"}));
    QStringList file = run.Entries(run.Menu("&File"));
    QAction* recent = AppRun::EntryFor(run.Menu("&File"), ID_FILE_MRU_FILE1);
    ASSERT_TRUE(recent);
    EXPECT_EQ(recent->text(), QString::fromStdWString(run.app->GetRecentFileList()->GetDisplayName(0)));
    EXPECT_TRUE(recent->text().startsWith("&1 ") && recent->text().endsWith("start.SC4Model"));
    EXPECT_EQ(file, (QStringList{"&Open...\tCtrl+O", "&Close", "&Save\tCtrl+S", "Save &As...", "-", recent->text(), "-",
                                 "E&xit"}));
    emit run.Menu("&Edit")->aboutToShow();
    EXPECT_EQ(AppRun::EntriesByCommand(run.Menu("&Edit")), kEditMenu);
    // Each entry shows the state its command's update handler gives it.
    for (QAction* a : run.Menu("&Edit")->actions()) {
        if (a->isSeparator()) continue;
        unsigned id = a->property("kvCommand").toUInt();
        CCmdUI ui(id);
        bool known = run.frame()->RouteCommand(id, &ui);
        EXPECT_EQ(a->isEnabled(), known && ui.m_bEnabled) << a->text().toStdString();
    }
    QStringList window = run.Entries(run.Menu("&Window"));
    EXPECT_EQ(window, (QStringList{"&New Window", "&Cascade", "&Tile", "&Arrange Icons", "-", "&1 start.SC4Model",
                                   "&Windows..."}));
    EXPECT_TRUE(run.Entry(run.Menu("&Window"), "&New Window")->isEnabled());
    EXPECT_TRUE(run.messages.boxes().empty());
}

TEST_F(App, TheFirstWindowOpenedAtStartGetsTheSizeOfLaterOnes) {
    AppRun run({Archive("sized1.dat")});
    ASSERT_TRUE(run.started);
    ASSERT_TRUE(run.app->OpenDocumentFile(Archive("sized2.dat").toStdWString()));
    kvtest::Settle();
    auto children = run.frame()->GetChildFrames();
    ASSERT_EQ(children.size(), 2u);
    QSize area = run.frame()->GetMdiArea()->viewport()->size();
    EXPECT_EQ(children[0]->size(), children[1]->size());
    EXPECT_EQ(children[0]->size(), QSize(area.width() * 3 / 4, area.height() * 3 / 4));
    // Each new window a little lower and to the right of the one before.
    EXPECT_EQ(children[0]->pos(), QPoint(0, 0));
    EXPECT_GT(children[1]->pos().x(), 0);
    EXPECT_EQ(children[1]->pos().x(), children[1]->pos().y());
}

TEST_F(App, AMaximisedArchiveWindowSharesTheFramesCaptionAndMenuBar) {
    AppRun run({Archive("big.dat")});
    ASSERT_TRUE(run.started);
    CMDIChildWndEx* child = run.frame()->MDIGetActive();
    ASSERT_TRUE(child);
    child->showMaximized();
    kvtest::Settle();
    EXPECT_EQ(run.frame()->windowTitle(), "Korvane - [big.dat]");
    // No caption of its own inside the frame: the list fills the work area.
    QWidget* area = run.frame()->GetMdiArea()->viewport();
    EXPECT_EQ(child->geometry(), area->rect());
    EXPECT_EQ(child->widget()->geometry(), child->rect());
    // The window's buttons stand at the menu bar's right end.
    QWidget* corner = run.frame()->GetMenuBarWidget()->cornerWidget(Qt::TopRightCorner);
    ASSERT_TRUE(corner);
    EXPECT_TRUE(corner->isVisible());
    // Its system menu stands at the left end, with the entries a maximised
    // window offers; Minimize there minimises it.
    auto* menuButton = qobject_cast<QToolButton*>(run.frame()->GetMenuBarWidget()->cornerWidget(Qt::TopLeftCorner));
    ASSERT_TRUE(menuButton);
    EXPECT_TRUE(menuButton->isVisible());
    QMenu* system = menuButton->menu();
    ASSERT_TRUE(system);
    emit system->aboutToShow();
    QStringList enabled;
    QAction* minimize = nullptr;
    for (QAction* a : system->actions()) {
        if (!a->isVisible() || a->isSeparator() || !a->isEnabled()) continue;
        enabled << a->text();
        if (a->text() == "Mi&nimize") minimize = a;
    }
    EXPECT_EQ(enabled, (QStringList{"&Restore", "Mi&nimize", "&Close"}));
    ASSERT_TRUE(minimize);
    minimize->trigger();
    kvtest::Settle();
    EXPECT_TRUE(child->isMinimized());
    EXPECT_FALSE(child->widget()->isVisible());
    child->showMaximized();
    kvtest::Settle();
    ASSERT_TRUE(child->isMaximized());
    // An edit marks the document: the frame's caption says so.
    ListOf(child)->GetDocument()->SetModifiedFlag(true);
    kvtest::Settle();
    EXPECT_EQ(run.frame()->windowTitle(), "Korvane - [big.dat*]");
    // Restored, the window has its caption again and the menu bar no buttons.
    QToolButton* restore = corner->findChild<QToolButton*>(QStringLiteral("RestoreButton"));
    ASSERT_TRUE(restore);
    QTest::mouseClick(restore, Qt::LeftButton);
    kvtest::Settle();
    EXPECT_FALSE(child->isMaximized());
    EXPECT_GT(child->widget()->geometry().top(), 0);
    EXPECT_FALSE(corner->isVisible());
    EXPECT_EQ(run.frame()->windowTitle(), "Korvane - big.dat*");
    run.messages.Answer(IDNO);
}

TEST_F(App, AStartWithAPathThatCannotBeOpenedEnds) {
    {
        AppRun run({QString::fromStdString(kvtest::WriteTempFile("bad.dat", std::vector<std::uint8_t>(200, 0x41)))});
        EXPECT_FALSE(run.started);
        EXPECT_EQ(run.messages.texts(), (std::vector<std::wstring>{L"Unexpected file format."}));
        EXPECT_FALSE(run.frame()->isVisible());
    }
    {
        AppRun run({QDir::temp().filePath("korvane-no-such-file.dat")});
        EXPECT_FALSE(run.started);
        EXPECT_EQ(run.messages.boxes().size(), 1u);
    }
}

TEST_F(App, AReportWindowHasItsOwnMenusAndCopiesItsText) {
    AppRun run({Archive("report.dat")});
    ASSERT_TRUE(run.started);
    auto* doc = dynamic_cast<CDATDoc*>(run.frame()->MDIGetActive()->GetActiveDocument());
    ASSERT_TRUE(doc);
    ASSERT_TRUE(OpenReportWindow(*doc, L"Texture Replacement Report for report.dat\r\n---\r\nline"));
    kvtest::Settle();
    ASSERT_EQ(run.frame()->GetChildFrames().size(), 2u);
    CMDIChildWndEx* report = run.frame()->MDIGetActive();
    ASSERT_TRUE(dynamic_cast<CS3DReportView*>(report->GetActiveView()));
    EXPECT_TRUE(static_cast<CS3DReportView*>(report->GetActiveView())->isReadOnly());
    EXPECT_EQ(report->windowTitle(), "report.dat:2");
    EXPECT_EQ(run.MenuTitles(), (QStringList{"&File", "&Edit", "&View", "&Window", "&Help"}));
    EXPECT_EQ(run.Entries(run.Menu("&Edit")), (QStringList{"Copy\tCtrl+C", "-", "Select &All\tCtrl+A"}));
    EXPECT_EQ(run.Entries(run.Menu("&Window")).mid(4),
              (QStringList{"-", "&1 report.dat:1", "&2 report.dat:2", "&Windows..."}));
    EXPECT_TRUE(run.frame()->SendCommand(ID_EDIT_SELECT_ALL));
    EXPECT_TRUE(run.frame()->SendCommand(ID_EDIT_COPY));
    EXPECT_EQ(QApplication::clipboard()->text(), "Texture Replacement Report for report.dat\n---\nline");
    // Closing the report leaves the archive open; it was not its last window.
    report->close();
    kvtest::Settle();
    EXPECT_EQ(run.frame()->GetChildFrames().size(), 1u);
    EXPECT_EQ(run.frame()->GetChildFrames()[0]->windowTitle(), "report.dat");
    EXPECT_EQ(run.app->GetTemplates()[0]->GetDocuments().size(), 1u);
}

TEST_F(App, EveryWindowsViewMenuChecksTheStatusBarWhileItShows) {
    AppRun run;
    ASSERT_TRUE(run.started);
    auto statusEntry = [&] { return run.Entry(run.Menu("&View"), "&Status Bar"); };
    ASSERT_TRUE(statusEntry());
    EXPECT_TRUE(statusEntry()->isChecked());
    ASSERT_TRUE(run.app->OpenDocumentFile(Archive("status.dat").toStdWString()));
    kvtest::Settle();
    run.Entries(run.Menu("&View"));
    ASSERT_TRUE(statusEntry());
    EXPECT_TRUE(statusEntry()->isCheckable());
    EXPECT_TRUE(statusEntry()->isChecked());
    auto* doc = dynamic_cast<CDATDoc*>(run.frame()->MDIGetActive()->GetActiveDocument());
    ASSERT_TRUE(OpenReportWindow(*doc, L"Transparency Settings Report for status.dat\r\n---\r\n"));
    kvtest::Settle();
    run.Entries(run.Menu("&View"));
    EXPECT_TRUE(statusEntry()->isChecked());
    // Hidden through the menu, the bar's entry loses its check in every window.
    statusEntry()->trigger();
    kvtest::Settle();
    EXPECT_FALSE(run.frame()->statusBar()->isVisible());
    run.Entries(run.Menu("&View"));
    EXPECT_FALSE(statusEntry()->isChecked());
    run.frame()->MDIActivate(run.frame()->GetChildFrames()[0]);
    kvtest::Settle();
    run.Entries(run.Menu("&View"));
    EXPECT_FALSE(statusEntry()->isChecked());
}

TEST_F(App, AcceleratorsRunTheirCommands) {
    AppRun run;
    ASSERT_TRUE(run.started);
    run.frame()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(run.frame()));
    kvtest::FilePromptScript prompts;
    QString path = Archive("accel.dat");
    prompts.Answer(path);
    QTest::keyClick(run.frame(), Qt::Key_O, Qt::ControlModifier);
    kvtest::Settle();
    ASSERT_EQ(prompts.prompts().size(), 1u);
    // One filter, named as the document string names it.
    EXPECT_EQ(QString::fromStdWString(prompts.prompts()[0].filter).section(" (*.SC4Model ", 0, 0),
              "SC4 Model Files (*.SC4Model,*.dat)");
    EXPECT_FALSE(QString::fromStdWString(prompts.prompts()[0].filter).contains(";;"));
    EXPECT_EQ(run.frame()->GetChildFrames().size(), 1u);
    // F1 asks for the help file, which is not there.
    QTest::keyClick(run.frame(), Qt::Key_F1);
    kvtest::Settle();
    EXPECT_EQ(run.messages.texts(), (std::vector<std::wstring>{L"Failed to launch help."}));
    // The table binds Alt+S to Measure and Ctrl+E to Copy Selection List, whatever the menu says.
    EXPECT_TRUE(run.frame()->GetCommandAction(ID_EDIT_MEASUREMODEL)->shortcuts().contains(QKeySequence("Alt+S")));
    EXPECT_TRUE(run.frame()->GetCommandAction(ID_EDIT_COPYSELECTIONLIST)->shortcuts().contains(QKeySequence("Ctrl+E")));
    EXPECT_TRUE(run.frame()->GetCommandAction(ID_CONTEXT_HELP)->shortcuts().contains(QKeySequence("Shift+F1")));
    EXPECT_TRUE(run.frame()->GetCommandAction(ID_PREV_PANE)->shortcuts().contains(QKeySequence("Shift+F6")));
}

TEST_F(App, TheRecentFileListSurvivesARestart) {
    QString a = Archive("first.dat"), b = Archive("second.dat");
    {
        AppRun run({a});
        ASSERT_TRUE(run.started);
        ASSERT_TRUE(run.app->OpenDocumentFile(b.toStdWString()));
    }
    AppRun run;
    ASSERT_TRUE(run.started);
    QStringList file = run.Entries(run.Menu("&File"));
    ASSERT_EQ(file.size(), 7);
    QAction* first = AppRun::EntryFor(run.Menu("&File"), ID_FILE_MRU_FILE1);
    QAction* second = AppRun::EntryFor(run.Menu("&File"), ID_FILE_MRU_FILE1 + 1);
    ASSERT_TRUE(first && second);
    EXPECT_TRUE(first->text().startsWith("&1 ") && first->text().endsWith("second.dat")) << first->text().toStdString();
    EXPECT_TRUE(second->text().startsWith("&2 ") && second->text().endsWith("first.dat")) << second->text().toStdString();
    // Choosing an entry opens it; an entry whose file has gone is dropped.
    second->trigger();
    kvtest::Settle();
    ASSERT_EQ(run.frame()->GetChildFrames().size(), 1u);
    EXPECT_EQ(run.frame()->GetChildFrames()[0]->windowTitle(), "first.dat");
    // The archive window's File menu lists first.dat first now; second.dat has gone from the disk.
    QFile::remove(b);
    ASSERT_EQ(run.Entries(run.Menu("&File")).size(), 9);
    first = AppRun::EntryFor(run.Menu("&File"), ID_FILE_MRU_FILE1);
    second = AppRun::EntryFor(run.Menu("&File"), ID_FILE_MRU_FILE1 + 1);
    ASSERT_TRUE(first && second);
    EXPECT_TRUE(first->text().endsWith("first.dat"));
    ASSERT_TRUE(second->text().endsWith("second.dat"));
    second->trigger();
    kvtest::Settle();
    EXPECT_EQ(run.messages.boxes().size(), 1u);
    EXPECT_EQ(run.app->GetRecentFileList()->GetEntries().size(), 1u);
    EXPECT_EQ(run.Entries(run.Menu("&File")).size(), 8);
}

TEST_F(App, TheTenRecentFilesHaveTheMnemonicsOneToNineAndOneZero) {
    AppRun run;
    ASSERT_TRUE(run.started);
    for (int k = 10; k >= 1; --k) run.app->AddToRecentFileList(Archive(QStringLiteral("recent%1.dat").arg(k).toStdString()).toStdWString());
    run.frame()->UpdateRecentFileMenu();
    ASSERT_EQ(run.Entries(run.Menu("&File")).size(), 15);
    for (int k = 1; k <= 10; ++k) {
        QAction* entry = AppRun::EntryFor(run.Menu("&File"), ID_FILE_MRU_FILE1 + static_cast<unsigned>(k - 1));
        ASSERT_TRUE(entry) << k;
        QString prefix = k < 10 ? QStringLiteral("&%1 ").arg(k) : QStringLiteral("1&0 ");
        EXPECT_TRUE(entry->text().startsWith(prefix) && entry->text().endsWith(QStringLiteral("recent%1.dat").arg(k)))
            << entry->text().toStdString();
    }
}

TEST_F(App, DroppedFilesOpenEachAsAnArchive) {
    AppRun run;
    ASSERT_TRUE(run.started);
    QString a = Archive("drop1.dat"), b = Archive("drop2.SC4Model");
    QString bad = QString::fromStdString(kvtest::WriteTempFile("drop3.dat", std::vector<std::uint8_t>(10, 0)));
    auto* mime = new QMimeData;
    mime->setUrls({QUrl::fromLocalFile(a), QUrl::fromLocalFile(b), QUrl::fromLocalFile(bad)});
    QPoint at = run.frame()->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(run.frame(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(run.frame(), &drop);
    kvtest::Settle();
    auto children = run.frame()->GetChildFrames();
    ASSERT_EQ(children.size(), 2u);
    EXPECT_EQ(children[0]->windowTitle(), "drop1.dat");
    EXPECT_EQ(children[1]->windowTitle(), "drop2.SC4Model");
    EXPECT_EQ(run.messages.texts(), (std::vector<std::wstring>{L"Unexpected file format."}));
    delete mime;
}

TEST_F(App, TheShellsOpenRequestsArriveOverTheLocalSocket) {
    AppRun run;
    ASSERT_TRUE(run.started);
    ASSERT_FALSE(run.app->GetShellOpenName().isEmpty());
    QString path = Archive("shell.dat");
    auto ask = [&](const QByteArray& topic, const QByteArray& request) {
        QLocalSocket s;
        s.connectToServer(run.app->GetShellOpenName());
        EXPECT_TRUE(s.waitForConnected(2000));
        s.write(topic + "\n" + request + "\n");
        s.flush();
        for (int i = 0; i < 100 && !s.canReadLine(); ++i) QTest::qWait(10);
        return QString::fromUtf8(s.readLine()).trimmed();
    };
    EXPECT_EQ(ask("system", "[open(\"" + path.toUtf8() + "\")]"), "ACK");
    ASSERT_EQ(run.frame()->GetChildFrames().size(), 1u);
    EXPECT_EQ(ask("other", "[open(\"" + path.toUtf8() + "\")]"), "NAK");
    EXPECT_EQ(ask("system", "[print(\"" + path.toUtf8() + "\")]"), "NAK");
    EXPECT_EQ(ask("system", "[open(\"" + path.toUtf8()), "NAK");
    // The same file again activates its window rather than opening it twice.
    EXPECT_EQ(ask("system", "[open(\"" + path.toUtf8() + "\")]"), "ACK");
    EXPECT_EQ(run.frame()->GetChildFrames().size(), 1u);
}

TEST_F(App, ClosingAModifiedArchiveAsksToSave) {
    AppRun run({Archive("modified.dat")});
    ASSERT_TRUE(run.started);
    CMDIChildWndEx* child = run.frame()->MDIGetActive();
    CDocument* doc = child->GetActiveDocument();
    doc->SetModifiedFlag(true);
    kvtest::Settle();
    EXPECT_EQ(child->windowTitle(), "modified.dat*");
    run.messages.Answer(IDCANCEL);
    EXPECT_TRUE(run.frame()->SendCommand(ID_FILE_CLOSE));
    EXPECT_EQ(run.messages.texts(), (std::vector<std::wstring>{L"Save changes to modified.dat?"}));
    EXPECT_EQ(run.messages.beeps(), (std::vector<unsigned>{MB_ICONEXCLAMATION}));
    EXPECT_EQ(run.frame()->GetChildFrames().size(), 1u);
    // Closing the frame asks too; Cancel keeps everything.
    run.messages.Answer(IDCANCEL);
    EXPECT_FALSE(run.frame()->close());
    EXPECT_TRUE(run.frame()->isVisible());
    run.messages.Answer(IDNO);
    child->close();
    kvtest::Settle();
    EXPECT_TRUE(run.frame()->GetChildFrames().empty());
    EXPECT_TRUE(run.app->GetTemplates()[0]->GetDocuments().empty());
    EXPECT_EQ(run.MenuTitles(), (QStringList{"&File", "&View", "&Help"}));
}

TEST_F(App, NewWindowIsASecondViewWithItsOwnSortAndSelection) {
    AppRun run({Archive("twice.dat")});
    ASSERT_TRUE(run.started);
    EXPECT_TRUE(run.frame()->SendCommand(ID_WINDOW_NEW));
    kvtest::Settle();
    auto children = run.frame()->GetChildFrames();
    ASSERT_EQ(children.size(), 2u);
    EXPECT_EQ(children[0]->windowTitle(), "twice.dat:1");
    EXPECT_EQ(children[1]->windowTitle(), "twice.dat:2");
    CDATView* first = ListOf(children[0]);
    CDATView* second = ListOf(children[1]);
    ASSERT_TRUE(first && second);
    second->OnHeaderItemClick(CDATListModel::kColNum);  // descending, in the second window only
    EXPECT_EQ(second->GetItemData(0), 2);
    EXPECT_EQ(first->GetItemData(0), 0);
    first->SetItemSelected(0, true);
    EXPECT_EQ(second->GetSelectedCount(), 0);
    // A hint reaches both lists.
    auto* doc = dynamic_cast<CDATDoc*>(first->GetDocument());
    doc->m_pModels[0].szStatus[5] = L'T';
    doc->UpdateAllViews(nullptr, 0, HINT_MODEL_CHANGES);
    EXPECT_EQ(first->GetItemText(0, CDATListModel::kColChanges)[5], QChar('T'));
    EXPECT_EQ(second->GetItemText(2, CDATListModel::kColChanges)[5], QChar('T'));
    // Closing one window keeps the document; the other loses its number.
    children[1]->close();
    kvtest::Settle();
    EXPECT_EQ(children[0]->windowTitle(), "twice.dat");
}

TEST_F(App, TileStacksTheWindowsOneAboveTheOther) {
    AppRun run({Archive("tile1.dat")});
    ASSERT_TRUE(run.started);
    ASSERT_TRUE(run.app->OpenDocumentFile(Archive("tile2.dat").toStdWString()));
    ASSERT_TRUE(run.app->OpenDocumentFile(Archive("tile3.dat").toStdWString()));
    kvtest::Settle();
    run.frame()->MDIGetActive()->showMaximized();
    kvtest::Settle();
    QAction* tile = run.Entry(run.Menu("&Window"), "&Tile");
    ASSERT_TRUE(tile);
    tile->trigger();
    kvtest::Settle();
    QSize area = run.frame()->GetMdiArea()->viewport()->size();
    auto children = run.frame()->GetChildFrames();
    ASSERT_EQ(children.size(), 3u);
    std::vector<QRect> rects;
    for (CMDIChildWndEx* c : children) {
        EXPECT_FALSE(c->isMaximized());
        rects.push_back(c->geometry());
    }
    std::sort(rects.begin(), rects.end(), [](const QRect& a, const QRect& b) { return a.top() < b.top(); });
    int y = 0;
    for (const QRect& r : rects) {
        EXPECT_EQ(r.left(), 0);
        EXPECT_EQ(r.width(), area.width());
        EXPECT_EQ(r.top(), y);
        EXPECT_EQ(r.height(), area.height() / 3);
        y += r.height();
    }
}

TEST_F(App, ARightClickOpensTheEditContextMenu) {
    AppRun run({Archive("context.dat")});
    ASSERT_TRUE(run.started);
    CDATView* list = ListOf(run.frame()->MDIGetActive());
    ASSERT_TRUE(list);
    QRect row = list->visualRect(list->model()->index(1, 2));
    QTest::mouseClick(list->viewport(), Qt::RightButton, {}, row.center());
    kvtest::Settle();
    QMenu* menu = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "ContextMenu119" && w->isVisible()) menu = static_cast<QMenu*>(w);
    ASSERT_TRUE(menu);
    // The menu bar's Edit entries, with Re-Orient worded as the context menu words it.
    std::vector<std::pair<unsigned, QString>> expected = kEditMenu;
    auto reorient = std::find_if(expected.begin(), expected.end(), [](const auto& e) { return e.first == ID_EDIT_REORIENT; });
    ASSERT_NE(reorient, expected.end());
    reorient->second = "Re-&Orientate\tAlt+O";
    EXPECT_EQ(AppRun::EntriesByCommand(menu), expected);
    // The click selected its row; the view's update handlers decide the entries.
    EXPECT_TRUE(list->IsItemSelected(1));
    for (QAction* a : menu->actions()) {
        if (a->isSeparator()) continue;
        unsigned id = a->property("kvCommand").toUInt();
        CCmdUI ui(id);
        bool known = list->OnCmdMsg(id, &ui);
        EXPECT_EQ(a->isEnabled(), known && ui.m_bEnabled) << a->text().toStdString();
    }
    // The pointer over an entry shows its prompt in the status bar, as over the main menus.
    QAction* move = AppRun::EntryFor(menu, ID_EDIT_MOVEMODELS);
    ASSERT_TRUE(move);
    QTest::mouseMove(menu, menu->actionGeometry(move).center());
    kvtest::Settle();
    EXPECT_EQ(run.frame()->statusBar()->currentMessage(), "Move the selected model(s)");
    menu->close();
    kvtest::Settle();
    EXPECT_EQ(run.frame()->statusBar()->currentMessage(), "");
}

TEST_F(App, TheToolbarsCarryTheirButtonsPromptsAndTips) {
    AppRun run;
    ASSERT_TRUE(run.started);
    auto buttons = [](CMFCToolBar* t) {
        std::vector<unsigned> out;
        for (const auto& b : t->GetButtons()) out.push_back(b.command);
        return out;
    };
    CMFCToolBar* standard = run.frame()->m_toolBar;
    EXPECT_EQ(standard->windowTitle(), "Standard");
    EXPECT_EQ(standard->GetBitmapID(), unsigned(IDR_MAINFRAME_256));
    EXPECT_EQ(buttons(standard),
              (std::vector<unsigned>{ID_FILE_OPEN, ID_FILE_SAVE, 0, ID_EDIT_COPY, 0, ID_EDIT_FLIPMODELS, ID_EDIT_MOVEMODELS,
                                     ID_EDIT_REORIENT, ID_EDIT_ROTATEMODELS, ID_EDIT_MEASUREMODEL, ID_EDIT_SCALEMODELS,
                                     ID_EDIT_MERGEMODELS, ID_EDIT_SETTRANSPARENCY, ID_EDIT_REPLACETEXTURE, 0, ID_APP_ABOUT,
                                     ID_CONTEXT_HELP}));
    EXPECT_TRUE(standard->HasCustomizeButton());
    QAction* flip = run.frame()->GetCommandAction(ID_EDIT_FLIPMODELS);
    EXPECT_EQ(flip->statusTip(), "Flip or Mirror the selected model(s)");
    EXPECT_EQ(flip->toolTip(), "Flip");
    EXPECT_FALSE(flip->icon().isNull());
    EXPECT_EQ(run.frame()->GetCommandAction(ID_FILE_OPEN)->statusTip(), "Open an existing document");
    run.End();

    // The sixteen-colour set has no Measure and no Merge.
    auto app = std::make_unique<CKorvaneApp>();
    app->m_bHiColorToolbar = false;
    app->m_args = QStringList{"korvane"};
    ASSERT_TRUE(app->InitInstance());
    CMFCToolBar* old = static_cast<CMainFrame*>(app->m_pMainWnd)->m_toolBar;
    EXPECT_EQ(old->GetBitmapID(), unsigned(IDR_MAINFRAME));
    EXPECT_EQ(buttons(old), (std::vector<unsigned>{ID_FILE_OPEN, ID_FILE_SAVE, 0, ID_EDIT_COPY, 0, ID_EDIT_FLIPMODELS,
                                                   ID_EDIT_MOVEMODELS, ID_EDIT_REORIENT, ID_EDIT_ROTATEMODELS,
                                                   ID_EDIT_SCALEMODELS, ID_EDIT_SETTRANSPARENCY, ID_EDIT_REPLACETEXTURE, 0,
                                                   ID_APP_ABOUT, ID_CONTEXT_HELP}));
    app->m_pMainWnd->close();
    app.reset();
}

TEST_F(App, TheAboutBoxShowsTheVersion) {
    AppRun run;
    ASSERT_TRUE(run.started);
    kvtest::ModalScript script;
    QStringList texts;
    script.Then([&](QDialog& d) {
        for (QLabel* l : d.findChildren<QLabel*>()) texts << l->text();
        return QDialog::Accepted;
    });
    EXPECT_TRUE(run.frame()->SendCommand(ID_APP_ABOUT));
    ASSERT_EQ(script.titles().size(), 1u);
    EXPECT_EQ(script.titles()[0], "About Korvane");
    EXPECT_TRUE(texts.contains("Korvane, Version 3.05"));
}

// Leaves a picture of the main window with an archive open in the build
// folder, for anyone to look at: build/tests/app/korvane_main_window.png.
TEST_F(App, GrabsTheMainWindowWithAnArchive) {
    std::vector<ModelSpec> models;
    for (int i = 0; i < 12; ++i) models.push_back({0x1000u + i, 0x10000u * (i + 1), i % 4 == 1, "0a1b2c3d_Building_" + std::to_string(i) + "_UserModel_Z2S", i % 3 == 0});
    QString path = kvtest::WriteArchive("Sample.SC4Model", models);
    AppRun run({path});
    ASSERT_TRUE(run.started);
    run.frame()->resize(1000, 640);
    CMDIChildWndEx* child = run.frame()->MDIGetActive();
    child->showMaximized();
    CDATView* list = ListOf(child);
    list->SetItemSelected(1, true);
    list->SetItemSelected(2, true);
    auto* doc = dynamic_cast<CDATDoc*>(list->GetDocument());
    doc->m_pModels[2].szStatus[1] = L'M';
    doc->UpdateAllViews(nullptr, 2, HINT_MODEL_CHANGES);
    kvtest::Settle();
    QPixmap shot = run.frame()->grab();
    QString out = QDir::current().filePath("korvane_main_window.png");
    EXPECT_TRUE(shot.save(out));
    EXPECT_TRUE(QFileInfo::exists(out));
    std::printf("main window picture: %s\n", out.toLocal8Bit().constData());
}

}  // namespace

TEST_F(App, TheWindowsDialogTilesHorizontallyAndVertically) {
    AppRun run({Archive("vtile1.dat")});
    ASSERT_TRUE(run.started);
    ASSERT_TRUE(run.app->OpenDocumentFile(Archive("vtile2.dat").toStdWString()));
    ASSERT_TRUE(run.app->OpenDocumentFile(Archive("vtile3.dat").toStdWString()));
    kvtest::Settle();
    const QSize area = run.frame()->GetMdiArea()->viewport()->size();
    struct Case {
        const char* button;
        bool sideBySide;
    };
    for (const Case& c : {Case{"Tile &Vertically", true}, Case{"Tile &Horizontally", false}}) {
        SCOPED_TRACE(c.button);
        bool pressed = false;
        kv::ModalHook old = kv::SetModalHook([&](QDialog& dlg) {
            for (QPushButton* b : dlg.findChildren<QPushButton*>())
                if (b->text() == QLatin1String(c.button)) {
                    b->click();
                    pressed = true;
                }
            return static_cast<int>(QDialog::Accepted);
        });
        QAction* windows = run.Entry(run.Menu("&Window"), "&Windows...");
        ASSERT_TRUE(windows);
        windows->trigger();
        kv::SetModalHook(std::move(old));
        kvtest::Settle();
        ASSERT_TRUE(pressed);
        std::vector<QRect> rects;
        for (CMDIChildWndEx* w : run.frame()->GetChildFrames()) rects.push_back(w->geometry());
        ASSERT_EQ(rects.size(), 3u);
        std::sort(rects.begin(), rects.end(), [](const QRect& a, const QRect& b) {
            return a.left() + a.top() < b.left() + b.top();
        });
        for (std::size_t i = 0; i < rects.size(); ++i) {
            const int k = static_cast<int>(i);
            if (c.sideBySide) {
                EXPECT_EQ(rects[i], QRect(k * (area.width() / 3), 0, area.width() / 3, area.height()));
            } else {
                EXPECT_EQ(rects[i], QRect(0, k * (area.height() / 3), area.width(), area.height() / 3));
            }
        }
    }
}
