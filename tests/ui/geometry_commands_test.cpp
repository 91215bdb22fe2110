// The geometry commands through the real widgets: the dialogs of Measure,
// Scale, Move, Rotate, Flip/Mirror and Re-Orient (defaults, refusals, the
// values they hand on), and each command over single-view and twenty-view
// models of a small archive, its effects read back from the document.

#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include "archive/dat_doc.h"
#include "edits/edit_frame.h"
#include "edits/frame_fixture.h"
#include "platform/message.h"
#include "resources/dialogs_geometry.h"
#include "resources/resource.h"
#include "support/archive_fixture.h"
#include "support/message_recorder.h"
#include "support/ui_fixture.h"
#include "ui/dat_view.h"
#include "ui/flip_dlg.h"
#include "ui/measure_dlg.h"
#include "ui/move_dlg.h"
#include "ui/reorient_dlg.h"
#include "ui/rotation_dlg.h"
#include "ui/scale_dlg.h"

namespace {

using kvtest::frame::P;
using kvtest::frame::Turned;

// ---------------------------------------------------------------- helpers

CDialog& Dlg(QDialog& w) { return *CDialog::FromWindow(&w); }
QLineEdit* EditOf(QDialog& w, int id) { return Dlg(w).GetDlgItemAs<QLineEdit>(id); }
QWidget* Item(QDialog& w, int id) { return Dlg(w).GetDlgItem(id); }
void Click(QDialog& w, int id) { qobject_cast<QAbstractButton*>(Item(w, id))->click(); }
int PressOk(QDialog& w) {
    Click(w, IDOK);
    return w.result();
}
void SetText(QDialog& w, int id, const char* text) { EditOf(w, id)->setText(QString::fromUtf8(text)); }
bool Checked(QDialog& w, int id) { return Dlg(w).IsDlgButtonChecked(id) != 0; }
QColor TextColour(QDialog& w, int id) { return Item(w, id)->palette().color(QPalette::Active, QPalette::WindowText); }
const QColor kDarkRed(128, 0, 0);

// One dialog run: `fill` sets the controls up, OK is pressed, and the
// outcome is what DoModal returned, whether the dialog was still open after
// the first press, and the messages shown.
struct Outcome {
    int result = 0;
    bool refused = false;
    std::vector<std::wstring> messages;
};

template <class Dialog>
Outcome RunWithOk(Dialog& dlg, const std::function<void(QDialog&)>& fill) {
    kvtest::MessageRecorder rec;
    kvtest::ModalScript script;
    Outcome out;
    script.Then([&](QDialog& w) {
        fill(w);
        Click(w, IDOK);
        out.refused = w.isVisible() && w.result() == 0;
        // A refused dialog is cancelled so the test never hangs on it.
        if (out.refused) Click(w, IDCANCEL);
        return w.result();
    });
    out.result = dlg.DoModal();
    out.messages = rec.texts();
    return out;
}

class GeometryDialogs : public ::testing::Test {
protected:
    void SetUp() override { kv::RegisterKorvaneResources(); }
};

// ---------------------------------------------------------------- Scale dialog

TEST_F(GeometryDialogs, ScaleOpensInFractionModeWithItsFiveChoicesAndRedNotes) {
    kvtest::ModalScript script;
    CScalePercDlg dlg;
    script.Then([&](QDialog& w) {
        EXPECT_EQ(w.windowTitle(), "Scaling Parmeters");
        auto* what = Dlg(w).GetDlgItemAs<QComboBox>(IDC_SCALE_WHAT);
        EXPECT_EQ(what->currentIndex(), 0);
        QStringList items;
        for (int i = 0; i < what->count(); ++i) items << what->itemText(i);
        EXPECT_EQ(items, (QStringList{"All three dimensions (uniform)", "Width (X) only", "Depth (Y) only",
                                      "Height (Z) only", "Width and Depth (X & Y)"}));
        EXPECT_TRUE(Checked(w, IDC_SCALE_FRACTION));
        EXPECT_FALSE(Checked(w, IDC_SCALE_DECIMAL));
        EXPECT_EQ(EditOf(w, IDC_SCALE_NUMERATOR)->text(), "1");
        EXPECT_EQ(EditOf(w, IDC_SCALE_DENOMINATOR)->text(), "1");
        EXPECT_EQ(EditOf(w, IDC_SCALE_FACTOR)->text(), "1");
        for (int id : {IDC_SCALE_NUMERATOR, IDC_SCALE_DENOMINATOR, IDC_SCALE_NUMERATOR_LABEL, IDC_SCALE_FRACTION_NOTE})
            EXPECT_TRUE(Item(w, id)->isEnabled()) << id;
        for (int id : {IDC_SCALE_FACTOR, IDC_SCALE_FACTOR_LABEL, IDC_SCALE_FACTOR_NOTE})
            EXPECT_FALSE(Item(w, id)->isEnabled()) << id;
        EXPECT_EQ(TextColour(w, IDC_SCALE_FRACTION_NOTE), kDarkRed);
        EXPECT_EQ(TextColour(w, IDC_SCALE_FACTOR_NOTE), kDarkRed);
        EXPECT_NE(TextColour(w, IDC_SCALE_NUMERATOR_LABEL), kDarkRed);

        // Switching modes swaps which controls can be used.
        Click(w, IDC_SCALE_DECIMAL);
        for (int id : {IDC_SCALE_NUMERATOR, IDC_SCALE_DENOMINATOR, IDC_SCALE_DENOMINATOR_LABEL, IDC_SCALE_FRACTION_NOTE})
            EXPECT_FALSE(Item(w, id)->isEnabled()) << id;
        for (int id : {IDC_SCALE_FACTOR, IDC_SCALE_FACTOR_LABEL, IDC_SCALE_FACTOR_NOTE})
            EXPECT_TRUE(Item(w, id)->isEnabled()) << id;
        Click(w, IDC_SCALE_FRACTION);
        EXPECT_TRUE(Item(w, IDC_SCALE_NUMERATOR)->isEnabled());
        EXPECT_FALSE(Item(w, IDC_SCALE_FACTOR)->isEnabled());
        return QDialog::Rejected;
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
}

TEST_F(GeometryDialogs, ScaleChecksOnlyTheNumbersOfItsMode) {
    struct Case {
        bool decimal;
        const char* numerator;
        const char* denominator;
        const char* factor;
        std::wstring message;  // empty: accepted
    };
    const Case cases[] = {
        {false, "1", "1", "1", L"Nominator and denominator are the same!"},
        {false, "3", "4", "1", L""},  // the factor is not checked in fraction mode
        {false, "0", "4", "1", L"Enter an integer between 1 and 100."},
        {false, "3", "101", "1", L"Enter an integer between 1 and 100."},
        {false, "", "4", "1", L"Enter an integer."},
        {false, "3", "4", "x", L"Enter a number."},  // read in either mode
        {true, "1", "1", "1", L"Can't scale by a factor of 1!"},
        {true, "7", "7", "2.5", L""},  // equal terms are not checked in decimal mode
        {true, "0", "500", "2", L""},
        {true, "1", "1", "0.005", L"Enter a number between 0.01 and 10."},
        {true, "1", "1", "10.5", L"Enter a number between 0.01 and 10."},
        {true, "1", "1", "10", L""},
        {true, "1", "1", "0.01", L""},
        {true, "1", "", "2", L"Enter an integer."},
    };
    for (const Case& c : cases) {
        CScalePercDlg dlg;
        Outcome out = RunWithOk(dlg, [&](QDialog& w) {
            if (c.decimal) Click(w, IDC_SCALE_DECIMAL);
            SetText(w, IDC_SCALE_NUMERATOR, c.numerator);
            SetText(w, IDC_SCALE_DENOMINATOR, c.denominator);
            SetText(w, IDC_SCALE_FACTOR, c.factor);
        });
        const std::string what = std::string(c.numerator) + "/" + c.denominator + " " + c.factor;
        if (c.message.empty()) {
            EXPECT_EQ(out.result, IDOK) << what;
            EXPECT_TRUE(out.messages.empty()) << what;
        } else {
            EXPECT_TRUE(out.refused) << what;
            EXPECT_EQ(out.messages, std::vector<std::wstring>{c.message}) << what;
        }
    }
}

TEST_F(GeometryDialogs, ScaleHandsOnItsChoiceAndNumbers) {
    CScalePercDlg dlg;
    Outcome out = RunWithOk(dlg, [](QDialog& w) {
        Dlg(w).GetDlgItemAs<QComboBox>(IDC_SCALE_WHAT)->setCurrentIndex(4);
        SetText(w, IDC_SCALE_NUMERATOR, "3");
        SetText(w, IDC_SCALE_DENOMINATOR, "4");
    });
    ASSERT_EQ(out.result, IDOK);
    EXPECT_EQ(dlg.m_nScaleWhat, 4);
    EXPECT_EQ(dlg.m_nFactorType, 0);
    EXPECT_EQ(dlg.m_nNumerator, 3);
    EXPECT_EQ(dlg.m_nDenominator, 4);
    EXPECT_EQ(dlg.m_dFactor, 1.0);
}

// ---------------------------------------------------------------- Move dialog

TEST_F(GeometryDialogs, MoveRefusesNoChangeAndOffsetsBeyondFourThousand) {
    {
        kvtest::ModalScript script;
        CMoveOffsetDlg dlg;
        script.Then([&](QDialog& w) {
            EXPECT_EQ(w.windowTitle(), "Coordinates' Offsets");
            for (int id : {IDC_MOVE_X, IDC_MOVE_Y, IDC_MOVE_Z}) EXPECT_EQ(EditOf(w, id)->text(), "0") << id;
            for (int id : {IDC_MOVE_X_NOTE, IDC_MOVE_Y_NOTE, IDC_MOVE_Z_NOTE}) EXPECT_EQ(TextColour(w, id), kDarkRed) << id;
            return QDialog::Rejected;
        });
        dlg.DoModal();
    }
    struct Case {
        const char* x;
        const char* y;
        const char* z;
        std::wstring message;
    };
    const Case cases[] = {
        {"0", "0", "0", L"You have not specified any changes!"},
        {"0.0", "-0", "0e5", L"You have not specified any changes!"},
        {"4000.5", "0", "0", L"Enter a number between -4000 and 4000."},
        {"0", "-4000.5", "0", L"Enter a number between -4000 and 4000."},
        {"0", "0", "abc", L"Enter a number."},
        {"", "1", "0", L"Enter a number."},
        {"4000", "-4000", "0", L""},
        {"0", "0", "-2.25", L""},
    };
    for (const Case& c : cases) {
        CMoveOffsetDlg dlg;
        Outcome out = RunWithOk(dlg, [&](QDialog& w) {
            SetText(w, IDC_MOVE_X, c.x);
            SetText(w, IDC_MOVE_Y, c.y);
            SetText(w, IDC_MOVE_Z, c.z);
        });
        const std::string what = std::string(c.x) + " " + c.y + " " + c.z;
        if (c.message.empty()) {
            EXPECT_EQ(out.result, IDOK) << what;
            EXPECT_TRUE(out.messages.empty()) << what;
        } else {
            EXPECT_TRUE(out.refused) << what;
            EXPECT_EQ(out.messages, std::vector<std::wstring>{c.message}) << what;
        }
    }
    CMoveOffsetDlg dlg;
    ASSERT_EQ(RunWithOk(dlg, [](QDialog& w) { SetText(w, IDC_MOVE_Y, "-2.5"); }).result, IDOK);
    EXPECT_EQ(dlg.m_fOffsetX, 0.0f);
    EXPECT_EQ(dlg.m_fOffsetY, -2.5f);
    EXPECT_EQ(dlg.m_fOffsetZ, 0.0f);
}

// ---------------------------------------------------------------- Rotation dialog

TEST_F(GeometryDialogs, RotationOpensClockwiseNinetyWithTheFreeAngleDisabled) {
    kvtest::ModalScript script;
    CRotationDlg dlg;
    script.Then([&](QDialog& w) {
        EXPECT_EQ(w.windowTitle(), "Rotation Parameters");
        EXPECT_TRUE(Checked(w, IDC_ROTATE_CLOCKWISE));
        EXPECT_TRUE(Checked(w, IDC_ROTATE_90));
        EXPECT_EQ(EditOf(w, IDC_ROTATE_FREEANGLE)->text(), "0");
        EXPECT_FALSE(Item(w, IDC_ROTATE_FREEANGLE)->isEnabled());
        EXPECT_FALSE(Item(w, IDC_ROTATE_FREE_NOTE)->isEnabled());
        EXPECT_EQ(TextColour(w, IDC_ROTATE_FREE_NOTE), kDarkRed);
        Click(w, IDC_ROTATE_FREE);
        EXPECT_TRUE(Item(w, IDC_ROTATE_FREEANGLE)->isEnabled());
        EXPECT_TRUE(Item(w, IDC_ROTATE_FREE_NOTE)->isEnabled());
        Click(w, IDC_ROTATE_270);
        EXPECT_FALSE(Item(w, IDC_ROTATE_FREEANGLE)->isEnabled());
        return QDialog::Rejected;
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
}

TEST_F(GeometryDialogs, RotationTurnsFollowDirectionAndAngle) {
    struct Case {
        int direction;
        int angle;
        const char* free;
        int turns;
        double degrees;
    };
    const Case cases[] = {
        {IDC_ROTATE_CLOCKWISE, IDC_ROTATE_90, "0", 1, 0},       {IDC_ROTATE_CLOCKWISE, IDC_ROTATE_180, "0", 2, 0},
        {IDC_ROTATE_CLOCKWISE, IDC_ROTATE_270, "0", 3, 0},      {IDC_ROTATE_COUNTERCLOCKWISE, IDC_ROTATE_90, "0", 3, 0},
        {IDC_ROTATE_COUNTERCLOCKWISE, IDC_ROTATE_180, "0", 2, 0}, {IDC_ROTATE_COUNTERCLOCKWISE, IDC_ROTATE_270, "0", 1, 0},
        {IDC_ROTATE_CLOCKWISE, IDC_ROTATE_FREE, "30.5", 0, 30.5}, {IDC_ROTATE_COUNTERCLOCKWISE, IDC_ROTATE_FREE, "30.5", 0, 329.5},
        {IDC_ROTATE_CLOCKWISE, IDC_ROTATE_FREE, "0.01", 0, 0.01}, {IDC_ROTATE_CLOCKWISE, IDC_ROTATE_FREE, "359.99", 0, 359.99},
    };
    for (const Case& c : cases) {
        CRotationDlg dlg;
        Outcome out = RunWithOk(dlg, [&](QDialog& w) {
            Click(w, c.direction);
            Click(w, c.angle);
            SetText(w, IDC_ROTATE_FREEANGLE, c.free);
        });
        ASSERT_EQ(out.result, IDOK) << c.direction << " " << c.angle;
        EXPECT_EQ(dlg.m_nTurns, c.turns) << c.direction << " " << c.angle;
        EXPECT_DOUBLE_EQ(dlg.m_dAngle, c.degrees) << c.direction << " " << c.angle;
    }
}

TEST_F(GeometryDialogs, RotationRefusesFreeAnglesOutsideTheRangeAndAnyTextThatIsNoNumber) {
    struct Case {
        int angle;
        const char* free;
        std::wstring message;
    };
    const Case cases[] = {
        {IDC_ROTATE_FREE, "0", L"Enter a number between 0.01 and 359.99."},
        {IDC_ROTATE_FREE, "360", L"Enter a number between 0.01 and 359.99."},
        {IDC_ROTATE_FREE, "", L"Enter a number."},
        // The edit is read even while it is disabled.
        {IDC_ROTATE_90, "abc", L"Enter a number."},
        {IDC_ROTATE_90, "", L"Enter a number."},
    };
    for (const Case& c : cases) {
        CRotationDlg dlg;
        Outcome out = RunWithOk(dlg, [&](QDialog& w) {
            Click(w, IDC_ROTATE_FREE);
            SetText(w, IDC_ROTATE_FREEANGLE, c.free);
            Click(w, c.angle);
        });
        EXPECT_TRUE(out.refused) << c.free;
        EXPECT_EQ(out.messages, std::vector<std::wstring>{c.message}) << c.free;
    }
}

// ---------------------------------------------------------------- Flip and Re-Orient dialogs

TEST_F(GeometryDialogs, FlipEnablesOnlyTheRowOfTheCheckedMode) {
    kvtest::ModalScript script;
    CFlipModelDlg dlg;
    auto rowEnabled = [](QDialog& w, int icon, int note) {
        return Item(w, icon)->isEnabled() && Item(w, note)->isEnabled();
    };
    auto rowDisabled = [](QDialog& w, int icon, int note) {
        return !Item(w, icon)->isEnabled() && !Item(w, note)->isEnabled();
    };
    script.Then([&](QDialog& w) {
        EXPECT_EQ(w.windowTitle(), "Flip/Mirror Options");
        EXPECT_TRUE(Checked(w, IDC_FLIP_FLIP));
        EXPECT_TRUE(Checked(w, IDC_FLIP_REVERSE));
        EXPECT_TRUE(rowEnabled(w, IDC_FLIP_FLIP_ICON, IDC_FLIP_FLIP_NOTE));
        EXPECT_TRUE(rowDisabled(w, IDC_FLIP_MIRROR_ICON, IDC_FLIP_MIRROR_NOTE));
        EXPECT_TRUE(rowDisabled(w, IDC_FLIP_INVERT_ICON, IDC_FLIP_INVERT_NOTE));
        for (int id : {IDC_FLIP_FLIP_NOTE, IDC_FLIP_MIRROR_NOTE, IDC_FLIP_INVERT_NOTE}) EXPECT_EQ(TextColour(w, id), kDarkRed);
        EXPECT_FALSE(Dlg(w).GetDlgItemAs<QLabel>(IDC_FLIP_INVERT_ICON)->pixmap().isNull());
        Click(w, IDC_FLIP_INVERT);
        EXPECT_TRUE(rowDisabled(w, IDC_FLIP_FLIP_ICON, IDC_FLIP_FLIP_NOTE));
        EXPECT_TRUE(rowDisabled(w, IDC_FLIP_MIRROR_ICON, IDC_FLIP_MIRROR_NOTE));
        EXPECT_TRUE(rowEnabled(w, IDC_FLIP_INVERT_ICON, IDC_FLIP_INVERT_NOTE));
        Click(w, IDC_FLIP_REVERSE);
        return PressOk(w);
    });
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.m_nMode, 2);
    EXPECT_EQ(dlg.m_bReverseTriangles, 0);
}

TEST_F(GeometryDialogs, ReorientTurnsAddedToEveryRotation) {
    struct Case {
        int direction;
        int angle;
        int turns;
    };
    const Case cases[] = {
        {IDC_ROTATE_CLOCKWISE, IDC_ROTATE_90, 3},        {IDC_ROTATE_CLOCKWISE, IDC_ROTATE_180, 2},
        {IDC_ROTATE_CLOCKWISE, IDC_ROTATE_270, 1},       {IDC_ROTATE_COUNTERCLOCKWISE, IDC_ROTATE_90, 1},
        {IDC_ROTATE_COUNTERCLOCKWISE, IDC_ROTATE_180, 2}, {IDC_ROTATE_COUNTERCLOCKWISE, IDC_ROTATE_270, 3},
    };
    for (const Case& c : cases) {
        CReorientDlg dlg;
        Outcome out = RunWithOk(dlg, [&](QDialog& w) {
            EXPECT_EQ(w.windowTitle(), "Re-Orientation Parameters");
            Click(w, c.direction);
            Click(w, c.angle);
        });
        ASSERT_EQ(out.result, IDOK);
        EXPECT_EQ(dlg.m_nTurns, c.turns) << c.direction << " " << c.angle;
    }
    // Untouched, it opens on Clockwise 90°.
    CReorientDlg dlg;
    ASSERT_EQ(RunWithOk(dlg, [](QDialog& w) {
                  EXPECT_TRUE(Checked(w, IDC_ROTATE_CLOCKWISE));
                  EXPECT_TRUE(Checked(w, IDC_ROTATE_90));
              }).result,
              IDOK);
    EXPECT_EQ(dlg.m_nTurns, 3);
}

// ---------------------------------------------------------------- Measure dialog

TEST_F(GeometryDialogs, MeasureShowsSixDecimalsAndTheOccupantAsWidthHeightDepth) {
    kvtest::ModalScript script;
    CMeasureDlg dlg;
    dlg.m_dWidth = 12.5;
    dlg.m_dDepth = 8;
    dlg.m_dHeight = 3;
    dlg.m_dFromX = -6.25;
    dlg.m_dToX = 6.25;
    dlg.m_dFromY = 1e300;  // wider than any fixed buffer
    dlg.m_dToY = 4;
    dlg.m_dFromZ = 0;
    dlg.m_dToZ = 3;
    script.Then([&](QDialog& w) {
        EXPECT_EQ(w.windowTitle(), "Model Dimensions");
        EXPECT_EQ(EditOf(w, IDC_MEASURE_WIDTH)->text(), "12.500000");
        EXPECT_EQ(EditOf(w, IDC_MEASURE_DEPTH)->text(), "8.000000");
        EXPECT_EQ(EditOf(w, IDC_MEASURE_HEIGHT)->text(), "3.000000");
        EXPECT_EQ(EditOf(w, IDC_MEASURE_OCCUPANT)->text(), "12.500000,3.000000,8.000000");
        EXPECT_EQ(EditOf(w, IDC_MEASURE_FROMX)->text(), "-6.250000");
        EXPECT_EQ(EditOf(w, IDC_MEASURE_TOX)->text(), "6.250000");
        EXPECT_EQ(EditOf(w, IDC_MEASURE_FROMY)->text().size(), 301 + 7);
        EXPECT_TRUE(EditOf(w, IDC_MEASURE_FROMY)->text().endsWith(".000000"));
        EXPECT_EQ(EditOf(w, IDC_MEASURE_TOZ)->text(), "3.000000");
        EXPECT_TRUE(EditOf(w, IDC_MEASURE_WIDTH)->isReadOnly());
        EXPECT_FALSE(Item(w, IDOK)->isVisible());
        EXPECT_FALSE(Item(w, IDC_MEASURE_RESIZEW)->isVisible());
        EXPECT_FALSE(Item(w, IDC_MEASURE_RESIZEW)->isEnabled());
        EXPECT_EQ(Dlg(w).GetDlgItemText(IDCANCEL), L"Close");
        Click(w, IDCANCEL);
        return w.result();
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
}

TEST_F(GeometryDialogs, MeasureEnterReadsTheFieldsBack) {
    // A model without vertices: its extents are negative, so Enter is refused
    // with the range message and the dialog stays until closed.
    {
        kvtest::MessageRecorder rec;
        kvtest::ModalScript script;
        CMeasureDlg dlg;
        dlg.m_dWidth = dlg.m_dDepth = dlg.m_dHeight = -20000;
        bool open = false;
        script.Then([&](QDialog& w) {
            EXPECT_EQ(EditOf(w, IDC_MEASURE_WIDTH)->text(), "-20000.000000");
            QTest::keyClick(EditOf(w, IDC_MEASURE_TOX), Qt::Key_Return);
            open = w.isVisible() && w.result() == 0;
            QTest::keyClick(&w, Qt::Key_Escape);
            return w.result();
        });
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
        EXPECT_TRUE(open);
        EXPECT_EQ(rec.texts(), std::vector<std::wstring>{L"Enter a number between 0 and 1000."});
    }
    struct Case {
        const char* width;
        std::wstring message;
        double value;
    };
    const Case cases[] = {
        {"12.5 metres", L"", 12.5},  // whatever follows the number is ignored
        {"  7", L"", 7},
        {"abc", L"Enter a number.", 0},
        {"", L"Enter a number.", 0},
        {"nan", L"Enter a number.", 0},
        {"1001", L"Enter a number between 0 and 1000.", 0},
    };
    for (const Case& c : cases) {
        kvtest::MessageRecorder rec;
        kvtest::ModalScript script;
        CMeasureDlg dlg;
        bool closed = false;
        script.Then([&](QDialog& w) {
            SetText(w, IDC_MEASURE_WIDTH, c.width);
            QTest::keyClick(EditOf(w, IDC_MEASURE_WIDTH), Qt::Key_Enter);
            closed = w.result() == IDOK;
            if (!closed) Click(w, IDCANCEL);
            return w.result();
        });
        dlg.DoModal();
        if (c.message.empty()) {
            EXPECT_TRUE(closed) << c.width;
            EXPECT_EQ(dlg.m_dWidth, c.value) << c.width;
            EXPECT_TRUE(rec.texts().empty()) << c.width;
        } else {
            EXPECT_FALSE(closed) << c.width;
            EXPECT_EQ(rec.texts(), std::vector<std::wstring>{c.message}) << c.width;
        }
    }
}

// ---------------------------------------------------------------- the commands

constexpr std::uint32_t kGroupSingle = 0x100;
constexpr std::uint32_t kGroupTwenty = 0x200;
constexpr std::uint32_t kGroupOther = 0x300;
constexpr std::uint32_t kInstSingle = 0x1000;
constexpr std::uint32_t kInstTwenty = 0x20000;
constexpr std::uint32_t kInstOther = 0x3000;

const std::vector<P> kPoints = {{1, 2, 3}, {-4, 5, 6}, {7, -8, 9}};
const std::vector<P> kOtherPoints = {{0, 0, 0}, {12.5f, 3, 8}, {2, 1, 4}};

// The archive the commands run on: a single-view model, a twenty-view set
// whose entry of rotation r holds kPoints turned r quarter turns, and a
// second single-view model; entries compressed so stores change sizes.
// `entry` may replace the bytes of any entry (by group and view). With
// `unevenSet`, the set's entry of rotation r holds r more points (all at the
// origin), so its views differ in size and the DIR tells them apart.
using EntryHook = std::function<void(std::uint32_t group, int view, std::vector<std::uint8_t>& bytes)>;

kvtest::DbpfBuilder SmallArchive(const EntryHook& entry, bool unevenSet) {
    using namespace kvtest::frame;
    kvtest::DbpfBuilder b;
    auto add = [&](std::uint32_t group, std::uint32_t instance, int view, const kvtest::S3DBuilder& model) {
        std::vector<std::uint8_t> bytes = EntryOf(model, true);
        if (entry) entry(group, view, bytes);
        b.Add(kTypeS3D, group, instance, std::move(bytes));
    };
    add(kGroupSingle, kInstSingle, 0, ModelOf(kPoints));
    for (int j = 0; j < 20; ++j) {
        std::vector<P> points;
        for (const P& p : kPoints) points.push_back(Turned(p, j % 4));
        if (unevenSet) points.insert(points.end(), static_cast<std::size_t>(j % 4), P{0, 0, 0});
        add(kGroupTwenty, kInstTwenty + static_cast<std::uint32_t>(j / 4) * 0x100u + static_cast<std::uint32_t>(j % 4) * 0x10u,
            j, ModelOf(points));
    }
    add(kGroupOther, kInstOther, 0, ModelOf(kOtherPoints));
    return b;
}

// A document opened from the small archive, with its list in a real widget.
class GeometryCommands : public ::testing::Test {
protected:
    void SetUp() override { kv::RegisterKorvaneResources(); }
    void TearDown() override {
        view.reset();
        doc.reset();
    }

    void Open(const EntryHook& entry = {}, bool unevenSet = false) {
        doc = kvtest::frame::Open(SmallArchive(entry, unevenSet));
        ASSERT_TRUE(doc);
        view = std::make_unique<CDATView>();
        doc->AddView(view.get());
        view->OnInitialUpdate();
        view->resize(900, 400);
        view->show();
        kvtest::Settle();
        rec.Clear();
    }

    int ModelOfGroup(std::uint32_t group) const {
        for (std::size_t m = 0; m < doc->m_pModels.size(); ++m)
            if (doc->IndexEntry(static_cast<std::uint32_t>(doc->m_pModels[m].nRow)).group == group) return static_cast<int>(m);
        ADD_FAILURE() << "no model of group " << group;
        return -1;
    }
    int ListRowOf(std::uint32_t group) const {
        return view->GetListModel().RowOf(ModelOfGroup(group));
    }
    void Select(const std::vector<std::uint32_t>& groups) {
        view->ClearSelectedItems();
        for (std::uint32_t g : groups) view->SetItemSelected(ListRowOf(g), true);
    }
    // Num descending: the second single-view model, the set, the first.
    void SortNumDescending() {
        view->OnHeaderItemClick(CDATListModel::kColNum);
        ASSERT_EQ(view->GetItemData(0), ModelOfGroup(kGroupOther));
        ASSERT_EQ(view->GetItemData(1), ModelOfGroup(kGroupTwenty));
    }
    bool Enabled(unsigned id) {
        CCmdUI ui(id);
        view->OnCmdMsg(id, &ui);
        return ui.m_bEnabled;
    }
    // Runs command `id` through the view's message map; `answer` fills its
    // dialog (nothing: the dialog is not expected to show).
    void Run(unsigned id, std::function<int(QDialog&)> answer = {}) {
        kvtest::ModalScript script;
        if (answer) script.Then(std::move(answer));
        ASSERT_TRUE(view->OnCmdMsg(id, nullptr));
        titles = script.titles();
        unanswered = script.unanswered();
    }

    std::wstring Marks(std::uint32_t group) const {
        const auto& s = doc->m_pModels[static_cast<std::size_t>(ModelOfGroup(group))].szStatus;
        return std::wstring(s.data(), 7);
    }
    static std::wstring MarkOnly(int position) {
        std::wstring m(7, kUnchangedMark);
        m[static_cast<std::size_t>(position)] = kChangeLetters[position];
        return m;
    }
    static std::vector<P> PointsIn(CDATDoc& d, int row) {
        std::vector<P> out;
        for (const _s3d_vertex& v : kvtest::frame::VerticesOf(d, row)) out.push_back(kvtest::frame::PointOf(v));
        return out;
    }
    std::vector<P> Points(int row) { return PointsIn(*doc, row); }
    // The DIR as the command left it equals one rebuilt from the index now.
    void ExpectDirInStep() {
        ASSERT_GE(doc->m_nDirRow, 0);
        const std::vector<std::uint8_t> dir = kvtest::frame::BytesOf(*doc, doc->m_nDirRow);
        ASSERT_TRUE(doc->RebuildDirectory());
        EXPECT_EQ(kvtest::frame::BytesOf(*doc, doc->m_nDirRow), dir);
    }
    int SingleRow() const { return kvtest::frame::RowOf(*doc, kInstSingle); }
    int OtherRow() const { return kvtest::frame::RowOf(*doc, kInstOther); }
    int ViewRow(int j) const {
        return doc->FindViewRow(doc->m_pModels[static_cast<std::size_t>(ModelOfGroup(kGroupTwenty))].nRow, j);
    }
    static std::vector<P> Map(const std::vector<P>& in, const std::function<P(P)>& f) {
        std::vector<P> out;
        for (const P& p : in) out.push_back(f(p));
        return out;
    }
    // Every view of the set holds `f` of kPoints turned to its rotation.
    void ExpectSetHolds(const std::function<P(P)>& f) {
        for (int j = 0; j < 20; ++j)
            EXPECT_EQ(Points(ViewRow(j)), Map(kPoints, [&](P p) { return Turned(f(p), j % 4); })) << "view " << j;
    }
    void ExpectSetUntouched() {
        ExpectSetHolds([](P p) { return p; });
    }
    // A command that completed: marks on the given models, nothing pending,
    // the document modified.
    void ExpectCompleted() {
        EXPECT_FALSE(doc->AnyPending());
        EXPECT_TRUE(doc->IsModified());
        EXPECT_TRUE(rec.texts().empty());
    }

    kvtest::MessageRecorder rec;
    std::unique_ptr<CDATDoc> doc;
    std::unique_ptr<CDATView> view;
    std::vector<QString> titles;
    int unanswered = 0;
};

TEST_F(GeometryCommands, EnablingFollowsTheSelection) {
    Open();
    Select({});
    for (unsigned id : {ID_EDIT_MEASUREMODEL, ID_EDIT_SCALEMODELS, ID_EDIT_MOVEMODELS, ID_EDIT_ROTATEMODELS,
                        ID_EDIT_FLIPMODELS, ID_EDIT_REORIENT})
        EXPECT_FALSE(Enabled(id)) << id;
    Select({kGroupSingle});
    EXPECT_TRUE(Enabled(ID_EDIT_MEASUREMODEL));
    EXPECT_TRUE(Enabled(ID_EDIT_SCALEMODELS));
    EXPECT_TRUE(Enabled(ID_EDIT_MOVEMODELS));
    EXPECT_TRUE(Enabled(ID_EDIT_ROTATEMODELS));
    EXPECT_TRUE(Enabled(ID_EDIT_FLIPMODELS));
    EXPECT_FALSE(Enabled(ID_EDIT_REORIENT));
    Select({kGroupTwenty});
    EXPECT_TRUE(Enabled(ID_EDIT_MEASUREMODEL));
    EXPECT_FALSE(Enabled(ID_EDIT_ROTATEMODELS));
    EXPECT_FALSE(Enabled(ID_EDIT_FLIPMODELS));
    EXPECT_TRUE(Enabled(ID_EDIT_REORIENT));
    Select({kGroupSingle, kGroupTwenty});
    EXPECT_FALSE(Enabled(ID_EDIT_MEASUREMODEL));
    EXPECT_TRUE(Enabled(ID_EDIT_SCALEMODELS));
    EXPECT_TRUE(Enabled(ID_EDIT_MOVEMODELS));
    EXPECT_FALSE(Enabled(ID_EDIT_ROTATEMODELS));
    EXPECT_FALSE(Enabled(ID_EDIT_FLIPMODELS));
    EXPECT_FALSE(Enabled(ID_EDIT_REORIENT));
}

TEST_F(GeometryCommands, CancelledDialogsChangeNothing) {
    Open();
    Select({kGroupSingle, kGroupTwenty});
    const std::vector<std::uint8_t> image = kvtest::ImageOf(*doc);
    for (unsigned id : {ID_EDIT_SCALEMODELS, ID_EDIT_MOVEMODELS}) {
        Run(id, [](QDialog& w) {
            Click(w, IDCANCEL);
            return w.result();
        });
        EXPECT_EQ(titles.size(), 1u);
    }
    Select({kGroupSingle});
    Run(ID_EDIT_ROTATEMODELS, [](QDialog&) { return QDialog::Rejected; });
    Run(ID_EDIT_FLIPMODELS, [](QDialog&) { return QDialog::Rejected; });
    Select({kGroupTwenty});
    Run(ID_EDIT_REORIENT, [](QDialog&) { return QDialog::Rejected; });
    EXPECT_EQ(kvtest::ImageOf(*doc), image);
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(Marks(kGroupSingle), std::wstring(7, kUnchangedMark));
    EXPECT_EQ(Marks(kGroupTwenty), std::wstring(7, kUnchangedMark));
    EXPECT_TRUE(rec.texts().empty());
}

TEST_F(GeometryCommands, ScaleWidthOnlySwapsXAndZInOddRotations) {
    Open();
    Select({kGroupSingle, kGroupTwenty});
    Run(ID_EDIT_SCALEMODELS, [](QDialog& w) {
        EXPECT_EQ(w.parentWidget() != nullptr, true);  // the view owns it
        Dlg(w).GetDlgItemAs<QComboBox>(IDC_SCALE_WHAT)->setCurrentIndex(1);
        Click(w, IDC_SCALE_DECIMAL);
        SetText(w, IDC_SCALE_FACTOR, "2");
        return PressOk(w);
    });
    auto twiceX = [](P p) { return P{2 * p.x, p.y, p.z}; };
    EXPECT_EQ(Points(SingleRow()), Map(kPoints, twiceX));
    ExpectSetHolds(twiceX);
    EXPECT_EQ(Points(OtherRow()), kOtherPoints);  // not selected
    EXPECT_EQ(Marks(kGroupSingle), MarkOnly(3));
    EXPECT_EQ(Marks(kGroupTwenty), MarkOnly(3));
    EXPECT_EQ(Marks(kGroupOther), std::wstring(7, kUnchangedMark));
    // The hint rewrote the Changes cell of the list.
    EXPECT_EQ(view->GetItemText(ListRowOf(kGroupTwenty), CDATListModel::kColChanges), QString::fromStdWString(MarkOnly(3)));
    ExpectCompleted();

    // The committed image holds the new bytes: it reopens with them.
    auto reopened = kvtest::OpenArchive(kvtest::ImageOf(*doc), "scaled.dat");
    ASSERT_TRUE(reopened);
    EXPECT_EQ(PointsIn(*reopened, kvtest::frame::RowOf(*reopened, kInstSingle)), Map(kPoints, twiceX));
    EXPECT_EQ(PointsIn(*reopened, kvtest::frame::RowOf(*reopened, kInstTwenty + 0x10)),
              Map(kPoints, [&](P p) { return Turned(twiceX(p), 1); }));
}

TEST_F(GeometryCommands, ScaleByAFractionScalesAllThreeDimensions) {
    Open();
    Select({kGroupTwenty});
    Run(ID_EDIT_SCALEMODELS, [](QDialog& w) {
        SetText(w, IDC_SCALE_NUMERATOR, "3");
        SetText(w, IDC_SCALE_DENOMINATOR, "2");
        return PressOk(w);
    });
    ExpectSetHolds([](P p) {
        return P{static_cast<float>(p.x * 3.0 / 2.0), static_cast<float>(p.y * 3.0 / 2.0), static_cast<float>(p.z * 3.0 / 2.0)};
    });
    EXPECT_EQ(Points(SingleRow()), kPoints);
    EXPECT_EQ(Marks(kGroupTwenty), MarkOnly(3));
    ExpectCompleted();
}

TEST_F(GeometryCommands, MoveEastFollowsEachViewsRotation) {
    Open();
    Select({kGroupSingle, kGroupTwenty});
    Run(ID_EDIT_MOVEMODELS, [](QDialog& w) {
        SetText(w, IDC_MOVE_X, "16");
        SetText(w, IDC_MOVE_Y, "3");
        SetText(w, IDC_MOVE_Z, "-2.5");
        return PressOk(w);
    });
    // East is the model's x, towards the prop arrow its z, up its y; each
    // view takes the offset turned to its own rotation.
    auto moved = [](P p) { return P{p.x + 16, p.y - 2.5f, p.z + 3}; };
    EXPECT_EQ(Points(SingleRow()), Map(kPoints, moved));
    ExpectSetHolds(moved);
    EXPECT_EQ(Marks(kGroupSingle), MarkOnly(1));
    EXPECT_EQ(Marks(kGroupTwenty), MarkOnly(1));
    ExpectCompleted();
}

TEST_F(GeometryCommands, RotateTurnsSingleViewModelsAQuarterClockwise) {
    Open();
    Select({kGroupSingle, kGroupOther});
    Run(ID_EDIT_ROTATEMODELS, [](QDialog& w) { return PressOk(w); });
    auto quarter = [](P p) { return Turned(p, 1); };
    EXPECT_EQ(Points(SingleRow()), Map(kPoints, quarter));
    EXPECT_EQ(Points(OtherRow()), Map(kOtherPoints, quarter));
    EXPECT_EQ(Marks(kGroupSingle), MarkOnly(2));
    EXPECT_EQ(Marks(kGroupOther), MarkOnly(2));
    ExpectSetUntouched();
    ExpectCompleted();
}

TEST_F(GeometryCommands, RotateByAFreeNinetyMatchesTheQuarterTurnToRounding) {
    Open();
    Select({kGroupSingle});
    Run(ID_EDIT_ROTATEMODELS, [](QDialog& w) {
        Click(w, IDC_ROTATE_FREE);
        SetText(w, IDC_ROTATE_FREEANGLE, "90");
        return PressOk(w);
    });
    const std::vector<P> got = Points(SingleRow());
    const std::vector<P> want = Map(kPoints, [](P p) { return Turned(p, 1); });
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_NEAR(got[i].x, want[i].x, 1e-5);
        EXPECT_EQ(got[i].y, want[i].y);
        EXPECT_NEAR(got[i].z, want[i].z, 1e-5);
    }
    EXPECT_EQ(Marks(kGroupSingle), MarkOnly(2));
    ExpectCompleted();
}

TEST_F(GeometryCommands, FlipNegatesZAndReversesTrianglesByDefault) {
    Open();
    Select({kGroupSingle});
    Run(ID_EDIT_FLIPMODELS, [](QDialog& w) { return PressOk(w); });
    EXPECT_EQ(Points(SingleRow()), Map(kPoints, [](P p) { return P{p.x, p.y, -p.z}; }));
    EXPECT_EQ(kvtest::frame::IndicesOf(*doc, SingleRow()), (std::vector<std::uint16_t>{2, 1, 0}));
    EXPECT_EQ(Marks(kGroupSingle), MarkOnly(0));
    ExpectCompleted();
}

TEST_F(GeometryCommands, MirrorWithoutReversingLeavesTheTriangles) {
    Open();
    Select({kGroupOther});
    Run(ID_EDIT_FLIPMODELS, [](QDialog& w) {
        Click(w, IDC_FLIP_MIRROR);
        Click(w, IDC_FLIP_REVERSE);
        return PressOk(w);
    });
    EXPECT_EQ(Points(OtherRow()), Map(kOtherPoints, [](P p) { return P{-p.x, p.y, p.z}; }));
    EXPECT_EQ(kvtest::frame::IndicesOf(*doc, OtherRow()), (std::vector<std::uint16_t>{0, 1, 2}));
    EXPECT_EQ(Marks(kGroupOther), MarkOnly(0));
    ExpectCompleted();
}

TEST_F(GeometryCommands, ReorientClockwiseRenumbersTheViewsAndRebuildsTheDirectory) {
    Open({}, true);
    const int base = doc->m_pModels[static_cast<std::size_t>(ModelOfGroup(kGroupTwenty))].nRow;
    std::vector<int> rowsOfRotation;
    for (int r = 0; r < 4; ++r) rowsOfRotation.push_back(ViewRow(r));
    ASSERT_EQ(rowsOfRotation[0], base);
    Select({kGroupTwenty});
    Run(ID_EDIT_REORIENT, [](QDialog& w) { return PressOk(w); });
    // Rotations 0, 1, 2, 3 become 3, 0, 1, 2.
    for (int r = 0; r < 4; ++r)
        EXPECT_EQ(doc->IndexEntry(static_cast<std::uint32_t>(rowsOfRotation[static_cast<std::size_t>(r)])).instance,
                  kInstTwenty + static_cast<std::uint32_t>((r + 3) % 4) * 0x10u)
            << r;
    const int m = ModelOfGroup(kGroupTwenty);
    EXPECT_EQ(doc->m_pModels[static_cast<std::size_t>(m)].nRow, rowsOfRotation[1]);
    EXPECT_EQ(view->GetItemText(view->GetListModel().RowOf(m), CDATListModel::kColNum), QString::number(rowsOfRotation[1]));
    EXPECT_EQ(Marks(kGroupTwenty), MarkOnly(2));
    EXPECT_TRUE(doc->IsModified());
    EXPECT_TRUE(rec.texts().empty());
    ExpectDirInStep();
    // Saved, the archive reopens with the set turned: the new view 0 holds
    // what rotation 1 held.
    auto reopened = kvtest::OpenArchive(kvtest::ImageOf(*doc), "turned.dat");
    ASSERT_TRUE(reopened);
    EXPECT_TRUE(rec.texts().empty());
    std::vector<P> want = Map(kPoints, [](P p) { return Turned(p, 1); });
    want.push_back({0, 0, 0});
    EXPECT_EQ(PointsIn(*reopened, kvtest::frame::RowOf(*reopened, kInstTwenty)), want);
}

TEST_F(GeometryCommands, MeasureShowsTheOneSelectedModelAndChangesNothing) {
    Open();
    Select({kGroupOther});
    std::map<int, QString> shown;
    auto capture = [&](QDialog& w) {
        for (int id : {IDC_MEASURE_WIDTH, IDC_MEASURE_DEPTH, IDC_MEASURE_HEIGHT, IDC_MEASURE_OCCUPANT, IDC_MEASURE_FROMX,
                       IDC_MEASURE_TOX, IDC_MEASURE_FROMY, IDC_MEASURE_TOY, IDC_MEASURE_FROMZ, IDC_MEASURE_TOZ})
            shown[id] = EditOf(w, id)->text();
        return QDialog::Rejected;
    };
    Run(ID_EDIT_MEASUREMODEL, capture);
    EXPECT_EQ(titles, std::vector<QString>{"Model Dimensions"});
    EXPECT_EQ(shown[IDC_MEASURE_WIDTH], "12.500000");
    EXPECT_EQ(shown[IDC_MEASURE_DEPTH], "8.000000");
    EXPECT_EQ(shown[IDC_MEASURE_HEIGHT], "3.000000");
    EXPECT_EQ(shown[IDC_MEASURE_OCCUPANT], "12.500000,3.000000,8.000000");
    EXPECT_EQ(shown[IDC_MEASURE_FROMX], "0.000000");
    EXPECT_EQ(shown[IDC_MEASURE_TOX], "12.500000");
    EXPECT_EQ(shown[IDC_MEASURE_FROMY], "0.000000");  // the model's z
    EXPECT_EQ(shown[IDC_MEASURE_TOY], "8.000000");
    EXPECT_EQ(shown[IDC_MEASURE_FROMZ], "0.000000");  // the model's y
    EXPECT_EQ(shown[IDC_MEASURE_TOZ], "3.000000");

    // A twenty-view set measures in the frame of rotation 0.
    Select({kGroupTwenty});
    Run(ID_EDIT_MEASUREMODEL, capture);
    EXPECT_EQ(shown[IDC_MEASURE_WIDTH], "11.000000");
    EXPECT_EQ(shown[IDC_MEASURE_FROMX], "-4.000000");
    EXPECT_EQ(shown[IDC_MEASURE_TOY], "9.000000");
    EXPECT_EQ(shown[IDC_MEASURE_FROMZ], "-8.000000");
    EXPECT_EQ(shown[IDC_MEASURE_OCCUPANT], "11.000000,13.000000,6.000000");

    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(Marks(kGroupTwenty), std::wstring(7, kUnchangedMark));
    EXPECT_TRUE(rec.texts().empty());

    // Two rows: the handler does nothing if it is reached anyway.
    Select({kGroupOther, kGroupSingle});
    Run(ID_EDIT_MEASUREMODEL, capture);
    EXPECT_TRUE(titles.empty());
}

// ---------------------------------------------------------------- failures

// Cuts one entry's bytes in half so it no longer loads.
EntryHook Damage(std::uint32_t group, int view) {
    return [group, view](std::uint32_t g, int v, std::vector<std::uint8_t>& bytes) {
        if (g == group && v == view) bytes.resize(bytes.size() / 2);
    };
}

TEST_F(GeometryCommands, AnEntryThatFailsStopsTheCommandBeforeTheCommit) {
    // The set's view 5 cannot be loaded: views 0 to 4 are moved, the set is
    // not marked, the model after it is not reached, nothing is committed.
    Open(Damage(kGroupTwenty, 5));
    Select({kGroupSingle, kGroupTwenty, kGroupOther});
    Run(ID_EDIT_MOVEMODELS, [](QDialog& w) {
        SetText(w, IDC_MOVE_Z, "1");
        return PressOk(w);
    });
    // The load's own messages, none of the command's.
    ASSERT_FALSE(rec.texts().empty());
    EXPECT_EQ(rec.texts().back().rfind(L"S3D Decoding Error!!!", 0), 0u);
    for (const std::wstring& t : rec.texts()) EXPECT_EQ(t.find(L"Internal Error"), std::wstring::npos);
    auto up = [](P p) { return P{p.x, p.y + 1, p.z}; };
    EXPECT_EQ(Points(SingleRow()), Map(kPoints, up));
    for (int j = 0; j < 5; ++j) EXPECT_EQ(Points(ViewRow(j)), Map(kPoints, [&](P p) { return Turned(up(p), j % 4); }));
    for (int j = 6; j < 20; ++j) EXPECT_EQ(Points(ViewRow(j)), Map(kPoints, [&](P p) { return Turned(p, j % 4); }));
    EXPECT_EQ(Points(OtherRow()), kOtherPoints);
    EXPECT_EQ(Marks(kGroupSingle), MarkOnly(1));
    EXPECT_EQ(Marks(kGroupTwenty), std::wstring(7, kUnchangedMark));
    EXPECT_EQ(Marks(kGroupOther), std::wstring(7, kUnchangedMark));
    // What was stored before the stop is in the archive: closing asks first.
    EXPECT_TRUE(doc->IsModified());
    rec.Clear();

    // The next command that completes folds the stored entries in.
    Select({kGroupOther});
    Run(ID_EDIT_SCALEMODELS, [](QDialog& w) {
        SetText(w, IDC_SCALE_NUMERATOR, "2");
        return PressOk(w);
    });
    ExpectCompleted();
    auto reopened = kvtest::OpenArchive(kvtest::ImageOf(*doc), "folded.dat");
    ASSERT_TRUE(reopened);
    EXPECT_EQ(PointsIn(*reopened, kvtest::frame::RowOf(*reopened, kInstTwenty + 0x10)),
              Map(kPoints, [&](P p) { return Turned(up(p), 1); }));
}

TEST_F(GeometryCommands, AViewMissingFromTheIndexIsAnInternalError) {
    struct Case {
        unsigned id;
        std::function<int(QDialog&)> answer;
        std::wstring message;
    };
    const Case cases[] = {
        {ID_EDIT_SCALEMODELS,
         [](QDialog& w) {
             SetText(w, IDC_SCALE_NUMERATOR, "2");
             return PressOk(w);
         },
         L"Internal Error #1! This should never occur!!!"},
        {ID_EDIT_MOVEMODELS,
         [](QDialog& w) {
             SetText(w, IDC_MOVE_X, "1");
             return PressOk(w);
         },
         L"Internal Error #3! This should never occur!!!"},
    };
    for (const Case& c : cases) {
        Open();
        // View 7 renumbered out of the set after the table was built.
        const int row7 = ViewRow(7);
        _dbpf_index_entry e = doc->IndexEntry(static_cast<std::uint32_t>(row7));
        e.instance += 0x8;
        doc->SetIndexEntry(static_cast<std::uint32_t>(row7), e);
        SortNumDescending();
        Select({kGroupTwenty, kGroupSingle});
        Run(c.id, c.answer);
        EXPECT_EQ(rec.texts(), std::vector<std::wstring>{c.message});
        EXPECT_EQ(Marks(kGroupTwenty), std::wstring(7, kUnchangedMark));
        EXPECT_EQ(Points(SingleRow()), kPoints) << "the model after it is not reached";
        EXPECT_TRUE(doc->IsModified()) << "views 0 to 6 were stored before the stop";
        TearDown();
    }
}

TEST_F(GeometryCommands, ModelsOfTheWrongKindAreInternalErrors) {
    // The enabling rules keep these selections away; a handler reached anyway
    // stops at the first wrong model.
    struct Case {
        unsigned id;
        std::vector<std::uint32_t> groups;
        std::wstring message;
    };
    const Case cases[] = {
        {ID_EDIT_ROTATEMODELS, {kGroupTwenty, kGroupSingle}, L"Internal Error #4! This should never occur!!!"},
        {ID_EDIT_FLIPMODELS, {kGroupTwenty, kGroupSingle}, L"Internal Error #5! This should never occur!!!"},
    };
    for (const Case& c : cases) {
        Open();
        SortNumDescending();
        Select(c.groups);
        Run(c.id, [](QDialog& w) { return PressOk(w); });
        EXPECT_EQ(rec.texts(), std::vector<std::wstring>{c.message});
        EXPECT_EQ(Points(SingleRow()), kPoints);
        EXPECT_EQ(Marks(kGroupSingle), std::wstring(7, kUnchangedMark));
        EXPECT_FALSE(doc->IsModified());
        TearDown();
    }
}

TEST_F(GeometryCommands, ReorientGoesOnPastAFailedModelAndKeepsRenumberedOnesInStep) {
    // A set whose views are not all there fails with its own message, stays
    // unmarked, and the command still marks the document modified.
    Open();
    const int row7 = ViewRow(7);
    _dbpf_index_entry e = doc->IndexEntry(static_cast<std::uint32_t>(row7));
    e.instance += 0x8;
    doc->SetIndexEntry(static_cast<std::uint32_t>(row7), e);
    Select({kGroupTwenty});
    Run(ID_EDIT_REORIENT, [](QDialog& w) { return PressOk(w); });
    ASSERT_EQ(rec.texts().size(), 1u);
    EXPECT_NE(rec.texts()[0].find(L"19 Z/R views found"), std::wstring::npos);
    EXPECT_EQ(Marks(kGroupTwenty), std::wstring(7, kUnchangedMark));
    EXPECT_TRUE(doc->IsModified());
    TearDown();

    // A set renumbered before a single-view model stops the command: the DIR
    // still follows the new numbering and the document is marked modified,
    // so the turn is neither out of step nor lost.
    Open({}, true);
    const std::uint32_t view1Row = static_cast<std::uint32_t>(ViewRow(1));
    SortNumDescending();
    Select({kGroupTwenty, kGroupSingle});
    Run(ID_EDIT_REORIENT, [](QDialog& w) { return PressOk(w); });
    EXPECT_EQ(rec.texts(), std::vector<std::wstring>{L"Internal Error #6! This should never occur!!!"});
    EXPECT_EQ(doc->IndexEntry(view1Row).instance, kInstTwenty);
    EXPECT_EQ(Marks(kGroupTwenty), MarkOnly(2));
    EXPECT_TRUE(doc->IsModified());
    rec.Clear();
    ExpectDirInStep();
}

TEST_F(GeometryCommands, AFailedMeasureShowsNoDialog) {
    Open(Damage(kGroupTwenty, 17));
    Select({kGroupTwenty});
    Run(ID_EDIT_MEASUREMODEL, [](QDialog&) { return QDialog::Rejected; });
    EXPECT_TRUE(titles.empty());
    ASSERT_FALSE(rec.texts().empty());
    EXPECT_EQ(rec.texts().back(), L"Internal Error #34! This should never occur!!!");
    EXPECT_FALSE(doc->IsModified());
}

}  // namespace
