// The dialog base, data exchange and the Qt message boxes, through the real
// widgets: layout in dialog units, exchange both ways, the framework's
// refusal messages, radio groups, colours, and the modal hook.

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include "platform/message.h"
#include "platform/qt/dialog.h"
#include "platform/qt/qt_message.h"
#include "support/message_recorder.h"
#include "support/ui_fixture.h"

namespace {

constexpr unsigned kTestDialog = 0xE001;

void RegisterTestDialog() {
    kv::DialogTemplate t;
    t.id = kTestDialog;
    t.caption = L"Test Parmeters";
    t.cx = 220;
    t.cy = 160;
    using kv::Ctl;
    t.controls = {
        {Ctl::Static, 1051, L"&Count", 7, 9, 30, 8},
        {Ctl::Edit, 1000, L"", 40, 7, 40, 14, kv::CS_BORDER | kv::CS_TABSTOP},
        {Ctl::Edit, 1001, L"", 90, 7, 40, 14, kv::CS_BORDER | kv::CS_TABSTOP},
        {Ctl::Edit, 1002, L"", 140, 7, 60, 14, kv::CS_BORDER | kv::CS_TABSTOP},
        {Ctl::GroupBox, -1, L"Mode", 7, 26, 100, 50, kv::CS_GROUP},
        {Ctl::AutoRadio, 1010, L"&First", 14, 36, 60, 10, kv::CS_GROUP | kv::CS_TABSTOP},
        {Ctl::AutoRadio, 1011, L"&Second", 14, 48, 60, 10},
        {Ctl::AutoRadio, 1012, L"&Third", 14, 60, 60, 10},
        {Ctl::AutoRadio, 1013, L"&Up", 120, 36, 40, 10, kv::CS_GROUP | kv::CS_TABSTOP},
        {Ctl::AutoRadio, 1014, L"&Down", 120, 48, 40, 10},
        {Ctl::AutoCheck, 1020, L"&Check", 7, 82, 60, 10, kv::CS_GROUP | kv::CS_TABSTOP},
        {Ctl::DropList, 1030, L"", 7, 96, 90, 40, kv::CS_TABSTOP, {L"zero", L"one", L"two"}},
        {Ctl::ListBox, 1040, L"", 110, 80, 100, 40, kv::CS_VSCROLL},
        {Ctl::Static, 1050, L"Dark red note", 7, 124, 100, 8},
        {Ctl::DefPushButton, IDOK, L"OK", 110, 139, 50, 14, kv::CS_TABSTOP},
        {Ctl::PushButton, IDCANCEL, L"Cancel", 163, 139, 50, 14, kv::CS_TABSTOP},
    };
    kv::RegisterDialog(std::move(t));
}

class CTestDlg : public CDialog {
public:
    CTestDlg() : CDialog((RegisterTestDialog(), kTestDialog)) {}
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Text(pDX, 1000, m_nCount);
        DDV_MinMaxInt(pDX, m_nCount, 1, 100);
        DDX_Text(pDX, 1001, m_dFactor);
        DDV_MinMaxDouble(pDX, m_dFactor, 0.01, 10);
        DDX_Text(pDX, 1002, m_strName);
        DDV_MaxChars(pDX, m_strName, 5);
        DDX_Radio(pDX, 1010, m_nMode);
        DDX_Radio(pDX, 1013, m_nDirection);
        DDX_Check(pDX, 1020, m_bCheck);
        DDX_CBIndex(pDX, 1030, m_nChoice);
        DDX_Control(pDX, 1040, m_list);
    }
    void OnCtlColor(CCtlColor& c) override {
        if (c.id == 1050) c.SetTextColor(RGB(128, 0, 0));
    }
    int m_nCount = 42;
    double m_dFactor = 0.1;
    std::wstring m_strName = L"abc";
    int m_nMode = 1;
    int m_nDirection = 0;
    int m_bCheck = 1;
    int m_nChoice = 2;
    CListBox m_list;
};

QLineEdit* Edit(CDialog& d, int id) { return d.GetDlgItemAs<QLineEdit>(id); }

TEST(QtDialog, ControlsSitAtTheirDialogUnitPositions) {
    kvtest::ModalScript script;
    CTestDlg dlg;
    QSize base;
    QRect ok, dialogSize;
    script.Then([&](QDialog& w) {
        base = kv::DialogBaseUnits(w.font());
        ok = dlg.GetDlgItem(IDOK)->geometry();
        dialogSize = QRect(QPoint(), w.size());
        return QDialog::Rejected;
    });
    dlg.DoModal();
    ASSERT_GT(base.width(), 0);
    QFontMetrics fm(kv::DialogFont(L"MS Shell Dlg", 8));
    EXPECT_EQ(base.width(), (fm.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 26 + 1) / 2);
    EXPECT_EQ(base.height(), fm.height());
    auto x = [&](int v) { return static_cast<int>(std::lround(v * base.width() / 4.0)); };
    auto y = [&](int v) { return static_cast<int>(std::lround(v * base.height() / 8.0)); };
    EXPECT_EQ(ok, QRect(x(110), y(139), x(50), y(14)));
    EXPECT_EQ(dialogSize.size(), QSize(x(220), y(160)));
    EXPECT_EQ(script.titles().front(), "Test Parmeters");
}

TEST(QtDialog, MembersGoIntoTheControlsAndComeBackOnOk) {
    kvtest::ModalScript script;
    CTestDlg dlg;
    script.Then([&](QDialog& w) {
        EXPECT_EQ(Edit(dlg, 1000)->text(), "42");
        EXPECT_EQ(Edit(dlg, 1001)->text(), "0.1");
        EXPECT_EQ(Edit(dlg, 1002)->text(), "abc");
        EXPECT_EQ(Edit(dlg, 1002)->maxLength(), 5);
        EXPECT_TRUE(dlg.GetDlgItemAs<QRadioButton>(1011)->isChecked());
        EXPECT_TRUE(dlg.GetDlgItemAs<QRadioButton>(1013)->isChecked()) << "a second group is checked on its own";
        EXPECT_TRUE(dlg.GetDlgItemAs<QCheckBox>(1020)->isChecked());
        EXPECT_EQ(dlg.GetDlgItemAs<QComboBox>(1030)->currentIndex(), 2);
        Edit(dlg, 1000)->setText(" 7 ");
        Edit(dlg, 1001)->setText("2.5");
        Edit(dlg, 1002)->setText("xy");
        QTest::mouseClick(dlg.GetDlgItem(1012), Qt::LeftButton, {}, QPoint(6, dlg.GetDlgItem(1012)->height() / 2));
        EXPECT_FALSE(dlg.GetDlgItemAs<QRadioButton>(1011)->isChecked());
        EXPECT_TRUE(dlg.GetDlgItemAs<QRadioButton>(1013)->isChecked());
        dlg.CheckDlgButton(1020, 0);
        dlg.GetDlgItemAs<QComboBox>(1030)->setCurrentIndex(0);
        dlg.m_list.AddString(L"item");
        dlg.m_list.SetItemData(0, 99);
        EXPECT_EQ(dlg.m_list.GetItemData(0), 99);
        static_cast<QPushButton*>(dlg.GetDlgItem(IDOK))->click();
        return w.result();
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.m_nCount, 7);
    EXPECT_DOUBLE_EQ(dlg.m_dFactor, 2.5);
    EXPECT_EQ(dlg.m_strName, L"xy");
    EXPECT_EQ(dlg.m_nMode, 2);
    EXPECT_EQ(dlg.m_nDirection, 0);
    EXPECT_EQ(dlg.m_bCheck, 0);
    EXPECT_EQ(dlg.m_nChoice, 0);
}

TEST(QtDialog, ARefusedValueShowsTheFrameworkMessageAndKeepsTheDialogOpen) {
    struct Case {
        const char* count;
        const char* factor;
        std::wstring message;
    };
    const Case cases[] = {
        {"4x", "1", L"Enter an integer."},
        {"", "1", L"Enter an integer."},
        {"99999999999", "1", L"Enter an integer."},
        {"0", "1", L"Enter an integer between 1 and 100."},
        {"101", "1", L"Enter an integer between 1 and 100."},
        {"5", "abc", L"Enter a number."},
        {"5", "inf", L"Enter a number."},
        {"5", "1,5", L"Enter a number."},
        {"5", "0.005", L"Enter a number between 0.01 and 10."},
        {"5", "10.5", L"Enter a number between 0.01 and 10."},
    };
    for (const Case& c : cases) {
        kvtest::MessageRecorder messages;
        kvtest::ModalScript script;
        CTestDlg dlg;
        bool stayedOpen = false;
        bool focusBack = false;
        script.Then([&](QDialog& w) {
            w.show();
            Edit(dlg, 1000)->setText(c.count);
            Edit(dlg, 1001)->setText(c.factor);
            static_cast<QPushButton*>(dlg.GetDlgItem(IDOK))->click();
            stayedOpen = w.isVisible();
            int bad = std::string(c.factor) == "1" ? 1000 : 1001;
            focusBack = QApplication::focusWidget() == dlg.GetDlgItem(bad) || !w.isActiveWindow();
            // Put it right; OK now closes.
            Edit(dlg, 1000)->setText("5");
            Edit(dlg, 1001)->setText("1");
            static_cast<QPushButton*>(dlg.GetDlgItem(IDOK))->click();
            return w.result();
        });
        EXPECT_EQ(dlg.DoModal(), IDOK) << c.count << " " << c.factor;
        EXPECT_TRUE(stayedOpen) << c.count << " " << c.factor;
        EXPECT_TRUE(focusBack) << c.count << " " << c.factor;
        ASSERT_EQ(messages.boxes().size(), 1u) << c.count << " " << c.factor;
        EXPECT_EQ(messages.boxes()[0].text, c.message);
        EXPECT_EQ(kv::EffectiveIcon(messages.boxes()[0].type), unsigned(MB_ICONEXCLAMATION));
    }
}

TEST(QtDialog, EscapeCancelsAndLeavesTheMembers) {
    kvtest::ModalScript script;
    CTestDlg dlg;
    script.Then([&](QDialog& w) {
        Edit(dlg, 1000)->setText("9");
        QTest::keyClick(&w, Qt::Key_Escape);
        return w.result();
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.m_nCount, 42);
}

TEST(QtDialog, StaticsAreColouredOnRequest) {
    kvtest::ModalScript script;
    CTestDlg dlg;
    QColor note, other;
    script.Then([&](QDialog&) {
        note = dlg.GetDlgItem(1050)->palette().color(QPalette::Active, QPalette::WindowText);
        other = dlg.GetDlgItem(1051)->palette().color(QPalette::Active, QPalette::WindowText);
        return QDialog::Rejected;
    });
    dlg.DoModal();
    EXPECT_EQ(note, QColor(128, 0, 0));
    EXPECT_NE(other, QColor(128, 0, 0));
}

TEST(QtDialog, NumberParsersTakeWholeTextsOnly) {
    double d = 0;
    long l = 0;
    for (const wchar_t* good : {L"1", L" 2.5 ", L"-3", L"+4", L"1e3", L".5", L"5."}) EXPECT_TRUE(kv::ParseDouble(good, d)) << good;
    for (const wchar_t* bad : {L"", L"-", L"1e", L"0x10", L"nan", L"1 2", L"1.5x", L"\u00e9"}) EXPECT_FALSE(kv::ParseDouble(bad, d)) << bad;
    EXPECT_TRUE(kv::ParseInt(L" -2147483648 ", l));
    EXPECT_EQ(l, -2147483648L);
    EXPECT_FALSE(kv::ParseInt(L"2147483648", l));
    EXPECT_FALSE(kv::ParseInt(L"1.0", l));
    EXPECT_EQ(kv::FormatDoubleForEdit(0.0, 15), L"0");
    EXPECT_EQ(kv::FormatDoubleForEdit(359.99, 15), L"359.99");
}

TEST(QtMessageBox, CaptionIconsAndButtonsFollowTheBoxType) {
    struct Case {
        unsigned type;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
    };
    const Case cases[] = {
        {MB_OK, QMessageBox::Warning, QMessageBox::Ok},
        {MB_OKCANCEL, QMessageBox::Warning, QMessageBox::Ok | QMessageBox::Cancel},
        {MB_YESNO, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No},
        {MB_YESNOCANCEL, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel},
        {MB_RETRYCANCEL | MB_ICONQUESTION, QMessageBox::Question, QMessageBox::Retry | QMessageBox::Cancel},
        {MB_OK | MB_ICONSTOP, QMessageBox::Critical, QMessageBox::Ok},
        {MB_OK | MB_ICONINFORMATION, QMessageBox::Information, QMessageBox::Ok},
    };
    for (const Case& c : cases) {
        auto box = kv::BuildMessageBox(L"Line one\r\nLine two", c.type, nullptr);
        EXPECT_EQ(box->windowTitle(), "Korvane");
        EXPECT_EQ(box->icon(), c.icon) << c.type;
        EXPECT_EQ(box->standardButtons(), c.buttons) << c.type;
        EXPECT_EQ(box->text(), "Line one\nLine two");
    }
    // The installed handler answers with the button pressed.
    auto oldBox = kv::SetMessageBoxHandler({});
    kv::InstallQtMessageBoxes();
    kvtest::ModalScript script;
    script.Then([](QDialog& d) {
        auto& box = static_cast<QMessageBox&>(d);
        box.button(QMessageBox::No)->click();
        return box.result();
    });
    EXPECT_EQ(AfxMessageBox(L"Save changes to x?", MB_YESNOCANCEL), IDNO);
    kv::SetMessageBoxHandler(std::move(oldBox));
}

}  // namespace
