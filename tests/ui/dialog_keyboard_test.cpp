// The dialogs as a keyboard user meets them, with real key events in active
// windows: the edit that has the focus at the start, or that Tab or a
// mnemonic reaches, has its whole text selected, so typing replaces it;
// mnemonics of group boxes go to the control after the group; Enter presses
// the default button and Escape cancels in every dialog. And the dialogs'
// owner: the main frame, over whose middle each one opens.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include "app/about_dlg.h"
#include "app_fixture.h"
#include "platform/qt/dialog.h"
#include "platform/qt/std_ids.h"
#include "resources/dialogs_geometry.h"
#include "resources/dialogs_material.h"
#include "resources/resource.h"
#include "support/message_recorder.h"
#include "support/ui_fixture.h"
#include "ui/dat_view.h"
#include "ui/flip_dlg.h"
#include "ui/measure_dlg.h"
#include "ui/merge_dlg.h"
#include "ui/move_dlg.h"
#include "ui/reorient_dlg.h"
#include "ui/rotation_dlg.h"
#include "ui/rpt_dlg.h"
#include "ui/rtexture_dlg.h"
#include "ui/scale_dlg.h"
#include "ui/transparency_dlg.h"

namespace {

// Makes the dialog the active window, so keys go where a user's would.
bool Activate(QDialog& w) {
    w.activateWindow();
    return QTest::qWaitForWindowActive(&w);
}

QWidget* Focus() { return QApplication::focusWidget(); }
QLineEdit* FocusEdit() { return qobject_cast<QLineEdit*>(Focus()); }

class DialogKeyboard : public ::testing::Test {
protected:
    void SetUp() override {
        kv::RegisterKorvaneResources();
        g_strFindMask = g_strReplaceMask = L"0x????????";
    }
    void TearDown() override { g_strFindMask = g_strReplaceMask = L"0x????????"; }
};

TEST_F(DialogKeyboard, TypingIntoTheFirstEditReplacesItsText) {
    kvtest::MessageRecorder rec;
    kvtest::ModalScript script;
    CMoveOffsetDlg move;
    QString selected;
    script.Then([&](QDialog& w) {
        EXPECT_TRUE(Activate(w));
        EXPECT_EQ(Focus(), move.GetDlgItem(IDC_MOVE_X));
        if (FocusEdit()) selected = FocusEdit()->selectedText();
        QTest::keyClicks(Focus(), "-3");
        QTest::keyClick(Focus(), Qt::Key_Return);
        return w.result();
    });
    EXPECT_EQ(move.DoModal(), IDOK);
    EXPECT_EQ(selected, "0");
    EXPECT_EQ(move.m_fOffsetX, -3.0f);
    EXPECT_TRUE(rec.texts().empty());

    // The texture masks: the first one typed over, the second reached by Tab.
    CRTextureDialog texture;
    QString second;
    script.Then([&](QDialog& w) {
        EXPECT_TRUE(Activate(w));
        EXPECT_EQ(Focus(), texture.GetDlgItem(IDC_RTEX_FIND));
        QTest::keyClicks(Focus(), "0x1234????");
        QTest::keyClick(Focus(), Qt::Key_Tab);
        EXPECT_EQ(Focus(), texture.GetDlgItem(IDC_RTEX_REPLACE));
        if (FocusEdit()) second = FocusEdit()->selectedText();
        QTest::keyClicks(Focus(), "ABCD????");
        QTest::keyClick(Focus(), Qt::Key_Return);
        return w.result();
    });
    EXPECT_EQ(texture.DoModal(), IDOK);
    EXPECT_EQ(second, "0x????????");
    EXPECT_EQ(texture.m_strFind, L"0x1234????");
    EXPECT_EQ(texture.m_strReplace, L"ABCD????");
    EXPECT_TRUE(rec.texts().empty());
}

TEST_F(DialogKeyboard, AClickInAnEditSelectsNothing) {
    kvtest::ModalScript script;
    CMoveOffsetDlg move;
    bool selectedAfterClick = true;
    script.Then([&](QDialog& w) {
        EXPECT_TRUE(Activate(w));
        auto* y = move.GetDlgItemAs<QLineEdit>(IDC_MOVE_Y);
        QTest::mouseClick(y, Qt::LeftButton, {}, QPoint(y->width() - 3, y->height() / 2));
        EXPECT_EQ(Focus(), y);
        selectedAfterClick = y->hasSelectedText();
        QTest::keyClicks(y, "5");
        QTest::keyClick(y, Qt::Key_Return);
        return w.result();
    });
    EXPECT_EQ(move.DoModal(), IDOK);
    EXPECT_FALSE(selectedAfterClick);
    EXPECT_EQ(move.m_fOffsetY, 5.0f);  // "0" and then the digit typed after it
}

TEST_F(DialogKeyboard, AGroupBoxMnemonicGoesToTheControlAfterTheGroup) {
    struct Case {
        const char* name;
        std::function<std::unique_ptr<CDialog>()> make;
        Qt::Key key;
        int target;
    };
    const Case cases[] = {
        {"Scale what", [] { return std::make_unique<CScalePercDlg>(); }, Qt::Key_S, IDC_SCALE_WHAT},
        {"Find what", [] { return std::make_unique<CRTextureDialog>(); }, Qt::Key_F, IDC_RTEX_FIND},
        {"Replace with", [] { return std::make_unique<CRTextureDialog>(); }, Qt::Key_R, IDC_RTEX_REPLACE},
        {"1-Z/R settings", [] { return std::make_unique<CTransparencyDlg>(); }, Qt::Key_S, IDC_TRANSP_1ZR},
        {"Depth Func", [] { return std::make_unique<CTransparencyDlg>(); }, Qt::Key_D, IDC_TRANSP_DEPTHFUNC},
        // A static text's mnemonic does the same.
        {"Y - Axis", [] { return std::make_unique<CMoveOffsetDlg>(); }, Qt::Key_Y, IDC_MOVE_Y},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<CDialog> dlg = c.make();
        kvtest::ModalScript script;
        bool reached = false;
        bool edit = false;
        bool wholeText = false;
        script.Then([&](QDialog& w) {
            EXPECT_TRUE(Activate(w));
            // Start from the OK button, away from the target.
            dlg->GetDlgItem(IDOK)->setFocus(Qt::TabFocusReason);
            QTest::keyClick(Focus(), c.key, Qt::AltModifier);
            reached = Focus() == dlg->GetDlgItem(c.target);
            if (auto* e = FocusEdit()) {
                edit = true;
                wholeText = e->selectedText() == e->text() && !e->text().isEmpty();
            }
            return static_cast<int>(QDialog::Rejected);
        });
        dlg->DoModal();
        EXPECT_TRUE(reached);
        if (edit) {
            EXPECT_TRUE(wholeText);
        }
    }
}

TEST_F(DialogKeyboard, EnterPressesTheDefaultButtonAndEscapeCancelsInEveryDialog) {
    struct Case {
        const char* name;
        std::function<std::unique_ptr<CDialog>()> make;
        int from;           // the control Enter is pressed in; 0: where the focus is at the start
        int result;         // when OK closes the dialog
        const wchar_t* message;  // when OK refuses
    };
    const Case cases[] = {
        {"About", [] { return std::make_unique<CAboutDlg>(); }, 0, IDOK, nullptr},
        // The default button of the dimensions is hidden; Enter in a field still presses it.
        {"Measure", [] { return std::make_unique<CMeasureDlg>(); }, IDC_MEASURE_TOZ, IDOK, nullptr},
        {"Scale", [] { return std::make_unique<CScalePercDlg>(); }, 0, 0, L"Nominator and denominator are the same!"},
        {"Move", [] { return std::make_unique<CMoveOffsetDlg>(); }, 0, 0, L"You have not specified any changes!"},
        {"Rotate", [] { return std::make_unique<CRotationDlg>(); }, 0, IDOK, nullptr},
        {"Flip", [] { return std::make_unique<CFlipModelDlg>(); }, IDC_FLIP_REVERSE, IDOK, nullptr},
        {"Reorient", [] { return std::make_unique<CReorientDlg>(); }, 0, IDOK, nullptr},
        {"Merge", [] { return std::make_unique<CMergeDlg>(false, nullptr); }, IDC_MERGE_DATFILES, 0,
         L"No model has been selected"},
        {"Transparency", [] { return std::make_unique<CTransparencyDlg>(); }, 0, 0, L"You have not specified any changes!"},
        {"Texture", [] { return std::make_unique<CRTextureDialog>(); }, 0, 0,
         L"The Replace ID Mask must contain at least one character other than \"?\""},
        {"Result", [] {
             auto d = std::make_unique<CRptDlg>();
             d->m_nIcon = IDI_ASTERISK;
             return d;
         }, IDC_RPT_DISPLAY, IDOK, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
            kvtest::MessageRecorder rec;
            kvtest::ModalScript script;
            std::unique_ptr<CDialog> dlg = c.make();
            bool open = false;
            script.Then([&](QDialog& w) {
                EXPECT_TRUE(Activate(w));
                if (c.from) dlg->GetDlgItem(c.from)->setFocus(Qt::TabFocusReason);
                EXPECT_FALSE(qobject_cast<QPushButton*>(Focus()) && c.from) << "Enter in a button presses that button";
                QTest::keyClick(Focus(), key);
                open = w.isVisible();
                if (open) QTest::keyClick(Focus(), Qt::Key_Escape);
                return w.result();
            });
            const int result = dlg->DoModal();
            if (key == Qt::Key_Escape) {
                EXPECT_EQ(result, IDCANCEL);
                EXPECT_FALSE(open);
                EXPECT_TRUE(rec.texts().empty());
            } else if (c.message) {
                EXPECT_TRUE(open);
                EXPECT_EQ(rec.texts(), std::vector<std::wstring>{c.message});
            } else {
                EXPECT_EQ(result, c.result);
                EXPECT_TRUE(rec.texts().empty());
            }
        }
    }
}

// ---------------------------------------------------------------- owner

TEST(DialogOwner, EveryDialogIsOwnedByTheMainFrameAndOpensOverItsMiddle) {
    const QString path = kvtest::WriteArchive("owner.dat", {kvtest::ModelSpec{0x1000, 0x10000, false},
                                                            kvtest::ModelSpec{0x2000, 0x20000, true}});
    kvtest::AppRun run({path});
    ASSERT_TRUE(run.started);
    CMainFrame* frame = run.frame();
    // Off the middle of the screen, so a dialog centred there would not match.
    const QRect screen = frame->screen()->availableGeometry();
    frame->showNormal();
    frame->setGeometry(screen.x(), screen.y(), screen.width() * 3 / 4, screen.height() - 40);
    kvtest::Settle();
    auto* list = dynamic_cast<CDATView*>(frame->MDIGetActive()->GetActiveView());
    ASSERT_TRUE(list);
    auto select = [&](int model) {
        list->ClearSelectedItems();
        list->SetItemSelected(list->GetListModel().RowOf(model), true);
    };

    struct Seen {
        QString title;
        bool ownedByFrame = false;
        bool transientForFrame = false;
        QPoint offset;  // of the dialog's middle from the frame's
    };
    std::vector<Seen> seen;
    auto record = [&](int answer) {
        return [&, answer](QDialog& w) {
            Seen s;
            s.title = w.windowTitle();
            s.ownedByFrame = w.parentWidget() == frame;
            s.transientForFrame = w.windowHandle() && w.windowHandle()->transientParent() == frame->windowHandle();
            s.offset = w.frameGeometry().center() - frame->frameGeometry().center();
            seen.push_back(s);
            if (answer == IDOK) static_cast<QPushButton*>(CDialog::FromWindow(&w)->GetDlgItem(IDOK))->click();
            return answer == IDOK ? w.result() : static_cast<int>(QDialog::Rejected);
        };
    };
    kvtest::ModalScript script;
    script.Then(record(IDCANCEL));
    ASSERT_TRUE(frame->SendCommand(ID_APP_ABOUT));
    select(0);
    for (unsigned id : {ID_EDIT_MEASUREMODEL, ID_EDIT_MOVEMODELS, ID_EDIT_ROTATEMODELS, ID_EDIT_FLIPMODELS,
                        ID_EDIT_SCALEMODELS}) {
        script.Then(record(IDCANCEL));
        ASSERT_TRUE(frame->SendCommand(id)) << id;
    }
    select(1);
    script.Then(record(IDCANCEL));
    ASSERT_TRUE(frame->SendCommand(ID_EDIT_REORIENT));
    // Set transparency on the single-view model; the result dialog follows.
    select(0);
    script.Then([&](QDialog& w) {
        CDialog::FromWindow(&w)->GetDlgItemAs<QComboBox>(IDC_TRANSP_1ZR)->setCurrentIndex(1);
        return record(IDOK)(w);
    });
    script.Then(record(IDCANCEL));
    ASSERT_TRUE(frame->SendCommand(ID_EDIT_SETTRANSPARENCY));

    std::vector<QString> titles;
    for (const Seen& s : seen) {
        titles.push_back(s.title);
        SCOPED_TRACE(s.title.toStdString());
        EXPECT_TRUE(s.ownedByFrame);
        EXPECT_TRUE(s.transientForFrame);
        // Halving odd sizes may leave a pixel either way.
        EXPECT_LE(std::abs(s.offset.x()), 1) << s.offset.x();
        EXPECT_LE(std::abs(s.offset.y()), 1) << s.offset.y();
    }
    EXPECT_EQ(titles, (std::vector<QString>{"About Korvane", "Model Dimensions", "Coordinates' Offsets",
                                            "Rotation Parameters", "Flip/Mirror Options", "Scaling Parmeters",
                                            "Re-Orientation Parameters", "Transparency Settings",
                                            "Set/Remove Transparency Operation"}));
}

}  // namespace
