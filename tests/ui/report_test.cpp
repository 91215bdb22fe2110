// The result dialog of the report commands (its sentence, icon, beep, caption
// and check box) and the report window it opens: a further read-only window
// on the archive's document with the report in a fixed-pitch font.

#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFontInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include "archive/dat_doc.h"
#include "platform/qt/doc_template.h"
#include "platform/qt/frames.h"
#include "platform/qt/std_ids.h"
#include "platform/qt/winapp.h"
#include "resources/resource.h"
#include "support/archive_fixture.h"
#include "support/message_recorder.h"
#include "support/ui_fixture.h"
#include "ui/report_view.h"
#include "ui/rpt_dlg.h"

namespace {

using kvtest::ModelSpec;

const std::wstring kSome = L"The operations requested were not carried-out for some of the selected S3D files!";
const std::wstring kAny = L"The operations requested were not carried-out for any of the selected S3D files!";
const std::wstring kAll = L"All requested operations were carried-out successfully.";

// A main frame with the report template, and one archive document.
struct ReportApp {
    ReportApp() {
        app = std::make_unique<CWinAppEx>();
        app->SetMainWnd(std::make_unique<CMDIFrameWndEx>());
        auto reports = std::make_unique<CMultiDocTemplate>(
            IDR_REPORTTYPE, [] { return std::make_unique<CDATDoc>(); }, [] { return new CMDIChildWndEx(); },
            [](QWidget* parent) { return new CS3DReportView(parent); });
        g_pReportTemplate = reports.get();
        app->AddDocTemplate(std::move(reports));
        app->m_pMainWnd->resize(800, 600);
        app->m_pMainWnd->show();
        doc = kvtest::OpenArchive(kvtest::BuildArchive({ModelSpec{}}), "reported.dat");
        EXPECT_TRUE(doc);
    }
    ~ReportApp() {
        g_pReportTemplate = nullptr;
        app.reset();  // the frames and their views go first
        doc.reset();
        kvtest::Settle();
    }
    std::vector<CS3DReportView*> ReportViews() const {
        std::vector<CS3DReportView*> out;
        for (CView* v : doc->GetViews())
            if (auto* r = dynamic_cast<CS3DReportView*>(v)) out.push_back(r);
        return out;
    }

    std::unique_ptr<CWinAppEx> app;
    std::unique_ptr<CDATDoc> doc;
};

// What the dialog showed when it came up.
struct Shown {
    QString caption, message;
    bool ticked = false, iconShown = false;
};

// Answers the result dialog: records it, optionally flips the check box,
// then presses OK, or closes it with Escape.
void AnswerResult(kvtest::ModalScript& script, CRptDlg& dlg, Shown& shown, bool toggle, bool ok) {
    script.Then([&dlg, &shown, toggle, ok](QDialog& w) {
        shown.caption = w.windowTitle();
        shown.message = dlg.GetDlgItemAs<QLabel>(IDC_RPT_MESSAGE)->text();
        auto* box = dlg.GetDlgItemAs<QCheckBox>(IDC_RPT_DISPLAY);
        shown.ticked = box->isChecked();
        const QLabel* icon = dlg.GetDlgItemAs<QLabel>(IDC_RPT_ICON);
        shown.iconShown = icon && !icon->pixmap().isNull();
        if (toggle) QTest::mouseClick(box, Qt::LeftButton);
        if (ok)
            static_cast<QPushButton*>(dlg.GetDlgItem(IDOK))->click();
        else
            QTest::keyClick(&w, Qt::Key_Escape);
        return w.result();
    });
}

TEST(ResultDialog, OutcomeGivesSentenceIconBeepAndInitialTick) {
    struct Case {
        bool changed, unchanged;
        const std::wstring& message;
        int icon;
        unsigned beep;
        bool ticked;
    };
    const Case cases[] = {
        {true, false, kAll, IDI_ASTERISK, MB_ICONINFORMATION, false},
        {true, true, kSome, IDI_EXCLAMATION, MB_ICONEXCLAMATION, true},
        {false, true, kAny, IDI_HAND, MB_ICONSTOP, true},
        {false, false, kAny, IDI_HAND, MB_ICONSTOP, true},
    };
    ReportApp r;
    ASSERT_TRUE(r.doc);
    for (const Case& c : cases) {
        kvtest::MessageRecorder messages;
        kvtest::ModalScript script;
        CRptDlg dlg;
        EXPECT_EQ(dlg.m_strTitle, L"~");
        EXPECT_EQ(dlg.m_bDisplayReport, 0);
        SetRptOutcome(dlg, c.changed, c.unchanged, kSome, kAny);
        EXPECT_EQ(dlg.m_nIcon, c.icon);
        Shown shown;
        AnswerResult(script, dlg, shown, false, false);
        EXPECT_EQ(ShowResultAndReport(dlg, *r.doc, L"report"), IDCANCEL);
        EXPECT_EQ(shown.caption, QStringLiteral("Set/Remove Transparency Operation"));
        EXPECT_EQ(shown.message.toStdWString(), c.message);
        EXPECT_EQ(shown.ticked, c.ticked);
        EXPECT_TRUE(shown.iconShown);
        EXPECT_EQ(messages.beeps(), std::vector<unsigned>{c.beep});
        // Escape shows no report, ticked or not.
        EXPECT_TRUE(r.ReportViews().empty());
    }
}

TEST(ResultDialog, ACaptionOfItsOwnReplacesTheTemplatesAndAnUnknownIconIsSilent) {
    ReportApp r;
    ASSERT_TRUE(r.doc);
    kvtest::MessageRecorder messages;
    kvtest::ModalScript script;
    CRptDlg dlg;
    dlg.m_strTitle = L"Texture Replace Operation";
    dlg.m_strMessage = L"Something";
    dlg.m_nIcon = 12345;
    Shown shown;
    AnswerResult(script, dlg, shown, false, true);
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(shown.caption, QStringLiteral("Texture Replace Operation"));
    EXPECT_FALSE(shown.iconShown);
    EXPECT_TRUE(messages.beeps().empty());
}

TEST(ResultDialog, OkOpensTheReportOnlyWhenTheBoxIsTicked) {
    ReportApp r;
    ASSERT_TRUE(r.doc);
    kvtest::MessageRecorder messages;
    const std::wstring report = ReportHeading(L"Transparency Settings Report for ", *r.doc) + L"line one\r\n";

    // All went well: the box starts clear, and OK alone shows nothing.
    {
        kvtest::ModalScript script;
        CRptDlg dlg;
        SetRptOutcome(dlg, true, false, kSome, kAny);
        Shown shown;
        AnswerResult(script, dlg, shown, false, true);
        EXPECT_EQ(ShowResultAndReport(dlg, *r.doc, report), IDOK);
        EXPECT_EQ(dlg.m_bDisplayReport, 0);
        EXPECT_TRUE(r.ReportViews().empty());
    }
    // Ticking it first shows the report.
    {
        kvtest::ModalScript script;
        CRptDlg dlg;
        SetRptOutcome(dlg, true, false, kSome, kAny);
        Shown shown;
        AnswerResult(script, dlg, shown, true, true);
        EXPECT_EQ(ShowResultAndReport(dlg, *r.doc, report), IDOK);
        EXPECT_EQ(dlg.m_bDisplayReport, 1);
        ASSERT_EQ(r.ReportViews().size(), 1u);
        EXPECT_EQ(r.ReportViews()[0]->GetWindowText(), report);
    }
    // Ticked from the start, then cleared: nothing more.
    {
        kvtest::ModalScript script;
        CRptDlg dlg;
        SetRptOutcome(dlg, false, true, kSome, kAny);
        Shown shown;
        AnswerResult(script, dlg, shown, true, true);
        EXPECT_EQ(ShowResultAndReport(dlg, *r.doc, report), IDOK);
        EXPECT_EQ(r.ReportViews().size(), 1u);
    }
}

TEST(ReportWindow, HeadingNamesTheArchiveWithoutTheModifiedStar) {
    ReportApp r;
    ASSERT_TRUE(r.doc);
    EXPECT_EQ(ReportHeading(L"Texture Replacement Report for ", *r.doc),
              L"Texture Replacement Report for reported.dat\r\n"
              L"-------------------------------------------\r\n");
    r.doc->SetModifiedFlag(true);
    ASSERT_EQ(r.doc->GetTitle().back(), L'*');
    const std::wstring h = ReportHeading(L"Transparency Settings Report for ", *r.doc);
    const std::wstring line = L"Transparency Settings Report for reported.dat";
    EXPECT_EQ(h, line + L"\r\n" + std::wstring(line.size(), L'-') + L"\r\n");
    r.doc->SetTitle(L"odd**");
    EXPECT_EQ(ReportHeading(L"X ", *r.doc), L"X odd\r\n-----\r\n");
}

TEST(ReportWindow, IsAReadOnlyFixedPitchWindowOnTheSameDocument) {
    ReportApp r;
    ASSERT_TRUE(r.doc);
    const std::wstring text = L"Heading\r\n-------\r\nfirst line\r\nsecond line\r\n";
    CS3DReportView* view = OpenReportWindow(*r.doc, text);
    ASSERT_TRUE(view);
    kvtest::Settle();
    EXPECT_EQ(view->GetDocument(), r.doc.get());
    EXPECT_EQ(view->GetWindowText(), text);
    EXPECT_TRUE(view->isReadOnly());
    EXPECT_TRUE(view->isVisible());
    EXPECT_EQ(view->font().family(), QStringLiteral("Courier New"));
    EXPECT_DOUBLE_EQ(view->font().pointSizeF(), 9.6);
    EXPECT_TRUE(QFontInfo(view->font()).fixedPitch());

    // Typing changes nothing; Select All and Copy work on the text.
    view->setFocus();
    QTest::keyClicks(view, "typed");
    EXPECT_EQ(view->GetWindowText(), text);
    CCmdUI copyState(ID_EDIT_COPY);
    view->OnCmdMsg(ID_EDIT_COPY, &copyState);
    EXPECT_FALSE(copyState.m_bEnabled);
    view->OnCmdMsg(ID_EDIT_SELECT_ALL, nullptr);
    view->OnCmdMsg(ID_EDIT_COPY, nullptr);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("Heading\n-------\nfirst line\nsecond line\n"));

    // A second run opens a second window; the first keeps its text.
    CS3DReportView* second = OpenReportWindow(*r.doc, L"Another\r\n");
    ASSERT_TRUE(second);
    EXPECT_NE(second, view);
    EXPECT_EQ(view->GetWindowText(), text);
    EXPECT_EQ(second->GetWindowText(), L"Another\r\n");
    EXPECT_EQ(r.ReportViews().size(), 2u);
}

// What a report window shows is what a plain text view shows of the text
// with each "\r\n" as one line end: the view itself is the reference. The
// window text gives the line ends back.
TEST(ReportWindow, ShowsItsTextAsATextViewDoes) {
    ReportApp r;
    ASSERT_TRUE(r.doc);
    const std::wstring texts[] = {
        L"",
        L"one line without an end",
        L"Heading\r\n-------\r\nfirst\r\n\r\nafter an empty line\r\n",
        L"a lone \r carriage return, a lone \n line feed, \r\r\n and \r\n\n",
        L"beyond the first plane: \U0001F600 and \u00E9\r\n",
        L"\r\n\r\n",
    };
    for (const std::wstring& text : texts) {
        CS3DReportView* view = OpenReportWindow(*r.doc, text);
        ASSERT_TRUE(view);
        QPlainTextEdit reference;
        reference.setPlainText(QString::fromStdWString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        EXPECT_EQ(view->toPlainText(), reference.toPlainText());
        EXPECT_EQ(view->document()->blockCount(), reference.document()->blockCount());
        if (text.find(L"lone") == std::wstring::npos) {
            EXPECT_EQ(view->GetWindowText(), text);
        }
    }
}

// The vertical scroll bar shows only when the text does not fit, as before
// the text went in.
TEST(ReportWindow, ScrollsOnlyATextThatDoesNotFit) {
    ReportApp r;
    ASSERT_TRUE(r.doc);
    std::wstring longText;
    for (int i = 0; i < 500; ++i) longText += L"line " + std::to_wstring(i) + L"\r\n";
    CS3DReportView* shortView = OpenReportWindow(*r.doc, L"two\r\nlines\r\n");
    CS3DReportView* longView = OpenReportWindow(*r.doc, longText);
    ASSERT_TRUE(shortView && longView);
    kvtest::Settle();
    EXPECT_FALSE(shortView->verticalScrollBar()->isVisible());
    EXPECT_TRUE(longView->verticalScrollBar()->isVisible());
    EXPECT_EQ(shortView->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
}

TEST(ReportWindow, NoTemplateOrNoFrameShowsNothing) {
    ReportApp r;
    ASSERT_TRUE(r.doc);
    kvtest::MessageRecorder messages;
    CDocTemplate* keep = g_pReportTemplate;
    g_pReportTemplate = nullptr;
    EXPECT_EQ(OpenReportWindow(*r.doc, L"x"), nullptr);
    g_pReportTemplate = keep;
    // Without a main window the template makes no frame.
    r.app->DestroyMainWnd();
    EXPECT_EQ(OpenReportWindow(*r.doc, L"x"), nullptr);
    EXPECT_TRUE(r.ReportViews().empty());
    EXPECT_TRUE(messages.boxes().empty());
}

}  // namespace
