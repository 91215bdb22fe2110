// Toolbar customisation: user toolbars made, renamed, filled and deleted in
// the dialog, each with the customise button, all of it (and the toolbars'
// visibility) back after a restart; the user images of the working folder.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include "app_fixture.h"
#include "platform/qt/toolbar_customize.h"
#include "resources/resource.h"

namespace {

using kvtest::AppRun;

class Toolbars : public ::testing::Test {
protected:
    void SetUp() override { kvtest::ClearKorvaneSettings(); }
    void TearDown() override { kvtest::ClearKorvaneSettings(); }
};

CToolbarCustomizeDialog* OpenCustomize(AppRun& run) {
    EXPECT_TRUE(run.frame()->SendCommand(ID_VIEW_CUSTOMIZE));
    return qobject_cast<CToolbarCustomizeDialog*>(run.frame()->GetCustomizeDialog());
}

// Answers the name dialog with `name`.
void NameIt(kvtest::ModalScript& script, const QString& name) {
    script.Then([name](QDialog& d) {
        CDialog* dlg = CDialog::FromWindow(&d);
        dlg->GetDlgItemAs<QLineEdit>(1000)->setText(name);
        static_cast<QPushButton*>(dlg->GetDlgItem(IDOK))->click();
        return d.result();
    });
}

std::vector<unsigned> Commands(const CMFCToolBar* t) {
    std::vector<unsigned> out;
    for (const auto& b : t->GetButtons()) out.push_back(b.command);
    return out;
}

bool HasCustomizeDropDown(const CMFCToolBar* t) {
    auto* b = t->findChild<QToolButton*>("CustomizeButton");
    QAction* customize = b ? AppRun::EntryFor(b->menu(), ID_VIEW_CUSTOMIZE) : nullptr;
    return customize && customize->text() == "Customize...";
}

TEST_F(Toolbars, UserToolbarsAreMadeInTheDialogAndComeBackAfterARestart) {
    {
        AppRun run;
        ASSERT_TRUE(run.started);
        CToolbarCustomizeDialog* dlg = OpenCustomize(run);
        ASSERT_TRUE(dlg);
        kvtest::ModalScript script;
        NameIt(script, "Mine");
        CMFCToolBar* mine = dlg->NewToolbar();
        ASSERT_TRUE(mine);
        EXPECT_EQ(mine->GetID(), unsigned(AFX_IDW_USER_TOOLBAR_FIRST));
        EXPECT_EQ(mine->windowTitle(), "Mine");
        EXPECT_TRUE(HasCustomizeDropDown(mine));
        EXPECT_TRUE(dlg->AddCommand(ID_FILE_OPEN));
        EXPECT_TRUE(dlg->AddCommand(ID_EDIT_SCALEMODELS));
        EXPECT_TRUE(dlg->AddSeparator());
        EXPECT_TRUE(dlg->AddCommand(ID_APP_ABOUT));
        EXPECT_EQ(Commands(mine), (std::vector<unsigned>{ID_FILE_OPEN, ID_EDIT_SCALEMODELS, 0, ID_APP_ABOUT}));
        dlg->SelectButton(1);
        EXPECT_TRUE(dlg->RemoveButton());
        EXPECT_EQ(Commands(mine), (std::vector<unsigned>{ID_FILE_OPEN, 0, ID_APP_ABOUT}));
        // A second one, renamed; then the standard toolbar is hidden.
        NameIt(script, "Other");
        CMFCToolBar* other = dlg->NewToolbar();
        ASSERT_TRUE(other);
        NameIt(script, "Renamed");
        EXPECT_TRUE(dlg->RenameToolbar());
        EXPECT_EQ(other->windowTitle(), "Renamed");
        run.frame()->m_toolBar->hide();
        dlg->close();
        EXPECT_EQ(script.unanswered(), 0);
    }
    AppRun run;
    ASSERT_TRUE(run.started);
    auto users = run.frame()->GetUserToolbars();
    ASSERT_EQ(users.size(), 2u);
    EXPECT_EQ(users[0]->windowTitle(), "Mine");
    EXPECT_EQ(users[1]->windowTitle(), "Renamed");
    EXPECT_EQ(Commands(users[0]), (std::vector<unsigned>{ID_FILE_OPEN, 0, ID_APP_ABOUT}));
    EXPECT_TRUE(HasCustomizeDropDown(users[0]));
    EXPECT_TRUE(HasCustomizeDropDown(users[1]));
    EXPECT_FALSE(run.frame()->m_toolBar->isVisible());
    EXPECT_TRUE(users[0]->isVisible());
    // The pane menu lists them all.
    QMenu* pane = run.frame()->BuildPaneMenu(run.frame());
    QStringList texts;
    for (QAction* a : pane->actions()) texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(texts, (QStringList{"Standard", "Mine", "Renamed", "-", "Customize..."}));
    delete pane;
    // Delete one; it stays deleted.
    CToolbarCustomizeDialog* dlg = OpenCustomize(run);
    ASSERT_TRUE(dlg);
    dlg->SelectToolbar(users[1]);
    run.messages.Answer(IDYES);
    EXPECT_TRUE(dlg->DeleteToolbar());
    kvtest::Settle();
    EXPECT_EQ(run.frame()->GetUserToolbars().size(), 1u);
    dlg->close();
    run.End();
    AppRun again;
    EXPECT_EQ(again.frame()->GetUserToolbars().size(), 1u);
}

// Enter in one of the dialog's lists presses its default button, Close, and
// Escape cancels it: either way the dialog goes and nothing else opens.
// Enter on one of its buttons presses that button.
TEST_F(Toolbars, EnterAndEscapeCloseTheCustomizeDialog) {
    struct Case {
        const char* name;
        const char* focus;  // the list the key is pressed in
        Qt::Key key;
    };
    const Case cases[] = {
        {"Enter in the toolbars", "ToolbarList", Qt::Key_Return},
        {"Enter in the commands", "CommandList", Qt::Key_Enter},
        {"Escape in the toolbars", "ToolbarList", Qt::Key_Escape},
    };
    AppRun run;
    ASSERT_TRUE(run.started);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QPointer<CToolbarCustomizeDialog> dlg = OpenCustomize(run);
        ASSERT_TRUE(dlg);
        dlg->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dlg));
        auto* list = dlg->findChild<QListWidget*>(c.focus);
        ASSERT_TRUE(list);
        list->setFocus(Qt::TabFocusReason);
        kvtest::ModalScript script;  // a dialog the key opened would be met here
        QTest::keyClick(list, c.key, c.key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        kvtest::Settle();
        EXPECT_TRUE(script.titles().empty()) << script.titles().front().toStdString();
        EXPECT_TRUE(dlg.isNull());
    }
    // On the New button, Enter presses New, which asks for the new toolbar's name.
    QPointer<CToolbarCustomizeDialog> dlg = OpenCustomize(run);
    ASSERT_TRUE(dlg);
    dlg->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dlg));
    QPushButton* newButton = nullptr;
    for (QPushButton* b : dlg->findChildren<QPushButton*>())
        if (b->text() == "&New...") newButton = b;
    ASSERT_TRUE(newButton);
    newButton->setFocus(Qt::TabFocusReason);
    kvtest::ModalScript script;
    script.Then([](QDialog&) { return static_cast<int>(QDialog::Rejected); });
    QTest::keyClick(newButton, Qt::Key_Return);
    kvtest::Settle();
    ASSERT_EQ(script.titles().size(), 1u);
    EXPECT_EQ(script.titles()[0], "Toolbar Name");
    EXPECT_FALSE(dlg.isNull());
}

TEST_F(Toolbars, AtMostTenUserToolbars) {
    AppRun run;
    ASSERT_TRUE(run.started);
    CToolbarCustomizeDialog* dlg = OpenCustomize(run);
    ASSERT_TRUE(dlg);
    kvtest::ModalScript script;
    for (int i = 0; i < 11; ++i) NameIt(script, QString("T%1").arg(i));
    int made = 0;
    for (int i = 0; i < 11; ++i) made += dlg->NewToolbar() != nullptr;
    EXPECT_EQ(made, 10);
    EXPECT_FALSE(run.frame()->CanCreateUserToolbar());
    dlg->close();
}

TEST_F(Toolbars, AnEmptyToolbarNameIsRefused) {
    AppRun run;
    kvtest::ModalScript script;
    bool stayed = false;
    script.Then([&](QDialog& d) {
        CDialog* dlg = CDialog::FromWindow(&d);
        dlg->GetDlgItemAs<QLineEdit>(1000)->setText("   ");
        static_cast<QPushButton*>(dlg->GetDlgItem(IDOK))->click();
        stayed = d.isVisible();
        return QDialog::Rejected;
    });
    CToolbarCustomizeDialog* dlg = OpenCustomize(run);
    ASSERT_TRUE(dlg);
    EXPECT_EQ(dlg->NewToolbar(), nullptr);
    EXPECT_TRUE(stayed);
    EXPECT_EQ(run.messages.texts(), (std::vector<std::wstring>{L"Enter a name for the toolbar."}));
    dlg->close();
}

class WorkingFolder {
public:
    WorkingFolder() : m_old(QDir::currentPath()) { QDir::setCurrent(m_dir.path()); }
    ~WorkingFolder() { QDir::setCurrent(m_old); }
    QString File(const QString& name) const { return QDir(m_dir.path()).filePath(name); }

private:
    QTemporaryDir m_dir;
    QString m_old;
};

TEST_F(Toolbars, UserImagesComeFromTheWorkingFolderWhenReadable) {
    WorkingFolder folder;
    {
        AppRun run;  // no file: no images, no message
        EXPECT_FALSE(run.frame()->HasUserImages());
        EXPECT_TRUE(run.messages.boxes().empty());
    }
    QImage strip(48, 16, QImage::Format_RGB32);
    strip.fill(Qt::red);
    ASSERT_TRUE(strip.save(folder.File("UserImages.bmp"), "BMP"));
    {
        AppRun run;
        ASSERT_EQ(run.frame()->GetUserImages().size(), 3u);
        // A user button takes one of them.
        CToolbarCustomizeDialog* dlg = OpenCustomize(run);
        kvtest::ModalScript script;
        NameIt(script, "Images");
        CMFCToolBar* t = dlg->NewToolbar();
        ASSERT_TRUE(t);
        ASSERT_TRUE(dlg->AddCommand(ID_FILE_OPEN));
        EXPECT_TRUE(dlg->SetButtonImage(2));
        EXPECT_FALSE(dlg->SetButtonImage(3));
        EXPECT_EQ(t->GetButtons()[0].userImage, 2);
        dlg->close();
    }
    {
        AppRun run;
        ASSERT_EQ(run.frame()->GetUserToolbars().size(), 1u);
        EXPECT_EQ(run.frame()->GetUserToolbars()[0]->GetButtons()[0].userImage, 2);
    }
    // Too large, or not a picture: silently none.
    {
        QFile f(folder.File("UserImages.bmp"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(64, 'x'));
    }
    {
        AppRun run;
        EXPECT_FALSE(run.frame()->HasUserImages());
        EXPECT_TRUE(run.messages.boxes().empty());
    }
    QImage big(1024, 300, QImage::Format_RGB32);
    big.fill(Qt::blue);
    ASSERT_TRUE(big.save(folder.File("UserImages.bmp"), "BMP"));
    ASSERT_GT(QFileInfo(folder.File("UserImages.bmp")).size(), 819200);
    {
        AppRun run;
        EXPECT_FALSE(run.frame()->HasUserImages());
        EXPECT_TRUE(run.messages.boxes().empty());
    }
}

TEST_F(Toolbars, DamagedSavedStateLeavesTheDefaults) {
    {
        QSettings s("Tarnwick", "Korvane");
        s.setValue("Workspace/State", QByteArray("garbage"));
        s.setValue("Workspace/ToolbarButtons/Toolbar59392", "129;57601:-1,nonsense");
        s.beginWriteArray("Workspace/UserToolbars", 2);
        s.setArrayIndex(0);
        s.setValue("Id", 12);
        s.setValue("Name", "out of range");
        s.setArrayIndex(1);
        s.setValue("Id", AFX_IDW_USER_TOOLBAR_FIRST + 3);
        s.setValue("Name", "kept");
        s.setValue("Buttons", "99999:0");
        s.endArray();
    }
    AppRun run;
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.frame()->m_toolBar->GetButtons().size(), 17u);
    auto users = run.frame()->GetUserToolbars();
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(users[0]->windowTitle(), "kept");
    EXPECT_TRUE(users[0]->GetButtons().empty());
    EXPECT_TRUE(HasCustomizeDropDown(users[0]));
}

}  // namespace
