// Every dialog of the program against its resource table, read from the real
// widgets: the controls in tab order with their kind, id, text, position and
// size in dialog units, the default button, the controls hidden or disabled
// at the start, and the path Tab takes through them. The tables are typed in
// here as the dialogs are designed; they are not the program's own tables.

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include "app/about_dlg.h"
#include "platform/qt/dialog.h"
#include "platform/qt/resources.h"
#include "platform/qt/std_ids.h"
#include "resources/resource.h"
#include "support/ui_fixture.h"
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

enum Kind { Push, Default, Group, Text, Edit, Drop, Radio, Check, List, Picture, Line };

enum : unsigned {
    kHidden = 1,
    kDisabled = 2,
    kAnyText = 4,    // the text is the program's to fill
    kOrigin = 8,     // only the top-left corner is fixed (the control takes its own size)
    kNoHeight = 16,  // a drop-down list: its height is that of the dropped list
};

constexpr int kNone = -1;
constexpr int kUnplaced = -1;  // the design gives no position

struct Row {
    Kind kind;
    int id;
    const wchar_t* text;
    int x = kUnplaced, y = 0, cx = 0, cy = 0;
    unsigned flags = 0;
};

struct Design {
    const char* name;
    std::function<std::unique_ptr<CDialog>()> make;
    const wchar_t* caption;
    int cx, cy;  // 0: not given
    std::vector<Row> rows;
    std::vector<int> tabs;  // the tab stops from the one that has the focus at the start
};

std::vector<Design> Designs() {
    return {
        {"About",
         [] { return std::make_unique<CAboutDlg>(); },
         L"About Korvane",
         203,
         68,
         {
             {Picture, kNone, L"", 14, 14, 20, 20},
             {Text, kNone, L"Korvane, Version 3.05", 46, 14, 150, 8},
             {Text, kNone, L"", 46, 26, 150, 8, kAnyText},
             {Default, 1, L"OK", 146, 47, 50, 14},
         },
         {1}},
        {"Measure",
         [] { return std::make_unique<CMeasureDlg>(); },
         L"Model Dimensions",
         229,
         242,
         {
             {Push, 2, L"Close", 172, 221, 50, 14},
             {Group, kNone, L"Dimensions", 7, 7, 215, 104},
             {Text, kNone, L"&Width", 16, 22, 33, 8},
             {Edit, 1000, L"", 54, 19, 61, 14, kAnyText},
             {Push, 1041, L"&Resize", 152, 19, 50, 14, kHidden | kDisabled},
             {Text, kNone, L"&Depth", 16, 43, 33, 8},
             {Edit, 1002, L"", 54, 40, 61, 14, kAnyText},
             {Push, 1043, L"&Resize", 152, 40, 50, 14, kHidden | kDisabled},
             {Text, kNone, L"&Height", 16, 64, 33, 8},
             {Edit, 1001, L"", 54, 61, 61, 14, kAnyText},
             {Push, 1042, L"&Resize", 152, 61, 50, 14, kHidden | kDisabled},
             {Text, kNone, L"&Occupant Size (W,H,D)", 16, 90, 79, 8},
             {Edit, 1040, L"", 98, 87, 115, 14, kAnyText},
             {Group, kNone, L"Span", 7, 117, 215, 97},
             {Text, kNone, L"From", 58, 130, 31, 8},
             {Text, kNone, L"To", 156, 130, 31, 8},
             {Text, kNone, L"&X", 16, 150, 33, 8},
             {Edit, 1003, L"", 54, 147, 61, 14, kAnyText},
             {Edit, 1006, L"", 152, 147, 61, 14, kAnyText},
             {Text, kNone, L"&Y", 16, 171, 33, 8},
             {Edit, 1005, L"", 54, 168, 61, 14, kAnyText},
             {Edit, 1007, L"", 152, 168, 61, 14, kAnyText},
             {Text, kNone, L"&Z (Vert)", 16, 192, 33, 8},
             {Edit, 1004, L"", 54, 189, 61, 14, kAnyText},
             {Edit, 1008, L"", 152, 189, 61, 14, kAnyText},
             {Default, 1, L"OK", 109, 221, 50, 14, kHidden},
         },
         {2, 1000, 1002, 1001, 1040, 1003, 1006, 1005, 1007, 1004, 1008}},
        {"Scale",
         [] { return std::make_unique<CScalePercDlg>(); },
         L"Scaling Parmeters",
         266,
         249,
         {
             {Group, kNone, L"&Scale what", 7, 7, 252, 40},
             {Drop, 1036, L"", 23, 22, 162, 30, kNoHeight | kAnyText},
             {Group, kNone, L"Scaling Factor", 7, 56, 252, 163},
             {Group, kNone, L"", 15, 68, 235, 59},
             {Group, kNone, L"", 15, 132, 235, 75},
             {Radio, 1006, L"Use a &fractional factor", 23, 68, 87, 10},
             {Radio, 1007, L"Use a &decimal facor", 23, 148, 78, 10},
             {Text, 1010, L"&Numerator", 23, 84, 35, 8},
             {Edit, 1008, L"", 69, 82, 28, 14, kAnyText},
             {Text, 1011, L"&Denominator", 23, 107, 42, 8},
             {Edit, 1009, L"", 69, 105, 28, 14, kAnyText},
             {Line, kNone, L"", 23, 100, 76, 1},
             {Text, 1012, L"The model(s) will be scaled by a factor expressed as this fraction", 113, 91, 129, 19},
             {Text, 1013, L"&Scaling Factor", 23, 162, 46, 8, kDisabled},
             {Edit, 1000, L"", 23, 173, 41, 14, kDisabled | kAnyText},
             {Text, 1014, L"This is a factor (not percentage) and may contain a decimal point", 23, 192, 208, 8,
              kDisabled},
             {Default, 1, L"OK", 153, 228, 50, 14},
             {Push, 2, L"Cancel", 209, 228, 50, 14},
         },
         {1036, 1006, 1008, 1009, 1, 2}},
        {"Move",
         [] { return std::make_unique<CMoveOffsetDlg>(); },
         L"Coordinates' Offsets",
         244,
         236,
         {
             {Text, kNone, L"&X - Axis", 20, 88, 25, 8},
             {Edit, 1000, L"", 54, 86, 40, 14, kAnyText},
             {Text, 1019, L"A positive value moves the model eastwards", 54, 105, 183, 8},
             {Text, kNone, L"&Y - Axis", 19, 130, 25, 8},
             {Edit, 1001, L"", 53, 128, 40, 14, kAnyText},
             {Text, 1020, L"A positive value moves the model towards the direction pointed by the prop arrow", 53, 147,
              183, 21},
             {Text, kNone, L"&Z - Axis", 19, 171, 25, 8},
             {Edit, 1002, L"", 53, 169, 40, 14, kAnyText},
             {Text, 1021, L"A positive value moves the model upwards", 53, 189, 183, 8},
             {Picture, kNone, L"", 7, 51, 13, 16, kOrigin},
             {Default, 1, L"OK", 131, 215, 50, 14},
             {Push, 2, L"Cancel", 187, 215, 50, 14},
             {Text, kNone, L"TIP: One game tile equals 16 meters", 29, 56, 208, 8},
             {Text, kNone,
              L"Enter the offsets by which you wish to move the model(s). They are specified separately for each of "
              L"the three axes. The values are in meters. The numbers you enter may be positive or negative, and may "
              L"contain a decimal point too.",
              7, 15, 230, 35},
         },
         {1000, 1001, 1002, 1, 2}},
        {"Rotate",
         [] { return std::make_unique<CRotationDlg>(); },
         L"Rotation Parameters",
         0,
         0,
         {
             {Group, kNone, L"Direction"},
             {Radio, 1022, L"&Clockwise"},
             {Radio, 1023, L"C&ounterclockwise"},
             {Group, kNone, L"Angle"},
             {Radio, 1024, L"&90\u00b0"},
             {Radio, 1025, L"&180\u00b0"},
             {Radio, 1026, L"&270\u00b0"},
             {Radio, 1027, L"&Free"},
             {Edit, 1000, L"", kUnplaced, 0, 0, 0, kDisabled | kAnyText},
             {Text, 1028, L"(0.01-359.99)", kUnplaced, 0, 0, 0, kDisabled},
             {Default, 1, L"OK"},
             {Push, 2, L"Cancel"},
         },
         {1022, 1024, 1, 2}},
        {"Flip",
         [] { return std::make_unique<CFlipModelDlg>(); },
         L"Flip/Mirror Options",
         0,
         0,
         {
             {Group, kNone, L""},
             {Picture, 1029, L""},
             {Text, 1030, L"Mirror the model(s) with respect to the XZ plane"},
             {Group, kNone, L""},
             {Picture, 1031, L"", kUnplaced, 0, 0, 0, kDisabled},
             {Text, 1032, L"Mirror the model(s) with respect to the YZ plane", kUnplaced, 0, 0, 0, kDisabled},
             {Group, kNone, L""},
             {Picture, 1033, L"", kUnplaced, 0, 0, 0, kDisabled},
             {Text, 1034, L"Mirror the model(s) with respect to the XY plane", kUnplaced, 0, 0, 0, kDisabled},
             {Group, kNone, L"Flip or Mirror"},
             {Radio, 1027, L"&Flip"},
             {Radio, 1008, L"&Mirror"},
             {Radio, 1035, L"&Invert"},
             {Check, 1037, L"&Reverse triangles' drawing direction (normally check)"},
             {Default, 1, L"OK"},
             {Push, 2, L"Cancel"},
         },
         {1027, 1037, 1, 2}},
        {"Reorient",
         [] { return std::make_unique<CReorientDlg>(); },
         L"Re-Orientation Parameters",
         0,
         0,
         {
             {Group, kNone, L"Direction"},
             {Radio, 1022, L"&Clockwise"},
             {Radio, 1023, L"C&ounterclockwise"},
             {Group, kNone, L"Angle"},
             {Radio, 1024, L"&90\u00b0"},
             {Radio, 1025, L"&180\u00b0"},
             {Radio, 1026, L"&270\u00b0"},
             {Default, 1, L"OK"},
             {Push, 2, L"Cancel"},
         },
         {1022, 1024, 1, 2}},
        {"Merge",
         [] { return std::make_unique<CMergeDlg>(true, nullptr); },
         L"Merge Models",
         0,
         0,
         {
             {Default, 1, L"OK"},
             {Push, 2, L"Cancel"},
             {Text, kNone, L"Select the model you wish to append to the one(s) you have selected in the main list"},
             {List, 1038, L""},
             {List, 1039, L""},
             {Group, kNone, L"Model to Append"},
             {Group, kNone, L"Currently Open Datfiles"},
             {Group, kNone, L"S3D Models"},
             {Text, 1019, L"Only one datfile may be selected"},
             {Text, 1020, L"Only one model may be selected"},
             {Picture, kNone, L""},
             {Text, 1021, L"TIP: ", kUnplaced, 0, 0, 0, kAnyText},
         },
         {1, 2, 1038, 1039}},
        {"Transparency",
         [] { return std::make_unique<CTransparencyDlg>(); },
         L"Transparency Settings",
         198,
         311,
         {
             {Group, kNone, L"Transparency Settings for 20-Z/R models", 7, 7, 184, 179},
             {Text, kNone, L"Zoom Level &1 - Instance IDs 0x-----0-- (LOD3)", 20, 22, 148, 8},
             {Drop, 1015, L"", 20, 34, 72, 30, kNoHeight | kAnyText},
             {Text, kNone, L"Zoom Level &2 - Instance IDs 0x-----1-- (LOD3)", 20, 54, 148, 8},
             {Drop, 1016, L"", 20, 66, 72, 30, kNoHeight | kAnyText},
             {Text, kNone, L"Zoom Level &3 - Instance IDs 0x-----2-- (LOD3)", 20, 86, 148, 8},
             {Drop, 1017, L"", 20, 98, 72, 30, kNoHeight | kAnyText},
             {Text, kNone, L"Zoom Level &4 - Instance IDs 0x-----3-- (LOD4)", 20, 118, 148, 8},
             {Drop, 1018, L"", 20, 130, 72, 30, kNoHeight | kAnyText},
             {Text, kNone, L"Zoom Level &5 - Instance IDs 0x-----4-- (LOD5)", 20, 150, 148, 8},
             {Drop, 1019, L"", 20, 162, 72, 30, kNoHeight | kAnyText},
             {Group, kNone, L"Transparency &Settings for 1-Z/R models", 7, 194, 184, 40},
             {Drop, 1020, L"", 20, 209, 72, 30, kNoHeight | kAnyText},
             {Group, kNone, L"&Depth Func for transparent models", 7, 242, 184, 40},
             {Drop, 1021, L"", 20, 257, 111, 30, kNoHeight | kAnyText},
             {Default, 1, L"OK", 86, 290, 50, 14},
             {Push, 2, L"Cancel", 141, 290, 50, 14},
         },
         {1015, 1016, 1017, 1018, 1019, 1020, 1021, 1, 2}},
        {"Texture",
         [] { return std::make_unique<CRTextureDialog>(); },
         L"Texture Replace Parameters",
         199,
         213,
         {
             {Group, kNone, L"&Find what", 7, 7, 185, 84},
             // The two edits take the width of ten fixed-pitch characters when the dialog opens.
             {Edit, 1000, L"", 14, 40, 60, 14, kOrigin | kAnyText},
             {Text, 1019, L"0..F\t: Match literal value\n#\t: Match values equal to S3D's IID\n?\t: Match any value", 15,
              59, 172, 27},
             {Group, kNone, L"&Replace with", 7, 97, 185, 84},
             {Edit, 1002, L"", 14, 130, 60, 14, kOrigin | kAnyText},
             {Text, 1020, L"0..F\t: Replace with literal value\n#\t: Replace with S3D's IID\n?\t: Leave unchanged", 15,
              149, 172, 27},
             {Default, 1, L"OK", 85, 192, 50, 14},
             {Push, 2, L"Cancel", 142, 192, 50, 14},
             {Text, kNone, L"In the selected S3D files, find the material IDs that match the following specification",
              14, 19, 170, 19},
             {Text, kNone, L"Replace matching material IDs with the following ID specification", 14, 109, 170, 19},
         },
         {1000, 1002, 1, 2}},
        {"Result",
         [] {
             auto d = std::make_unique<CRptDlg>();
             d->m_nIcon = 32516;
             return d;
         },
         L"Set/Remove Transparency Operation",
         259,
         67,
         {
             // A static icon takes the size of the icon put into it.
             {Picture, 1016, L"", 7, 7, 20, 20, kOrigin},
             {Text, 1017, L"Static", 40, 14, 212, 16, kAnyText},
             {Default, 1, L"OK", 104, 46, 50, 14},
             {Check, 1018, L"Display &Report", 40, 34, 82, 10},
         },
         {1, 1018}},
    };
}

// The controls of a dialog window in the order the window keeps them.
std::vector<QWidget*> ControlsOf(QDialog& w) {
    std::vector<QWidget*> out;
    for (QWidget* c = w.nextInFocusChain(); c && c != &w; c = c->nextInFocusChain())
        if (c->parentWidget() == &w) out.push_back(c);
    return out;
}

bool IsKind(QWidget* w, Kind k) {
    switch (k) {
    case Push:
    case Default: return qobject_cast<QPushButton*>(w) != nullptr;
    case Group: return qobject_cast<QGroupBox*>(w) != nullptr;
    case Text: return qobject_cast<QLabel*>(w) && static_cast<QLabel*>(w)->pixmap().isNull();
    case Edit: return qobject_cast<QLineEdit*>(w) != nullptr;
    case Drop: return qobject_cast<QComboBox*>(w) && !static_cast<QComboBox*>(w)->isEditable();
    case Radio: return qobject_cast<QRadioButton*>(w) != nullptr;
    case Check: return qobject_cast<QCheckBox*>(w) != nullptr;
    case List: return qobject_cast<QListWidget*>(w) != nullptr;
    case Picture: return qobject_cast<QLabel*>(w) && !static_cast<QLabel*>(w)->pixmap().isNull();
    case Line: return qobject_cast<QFrame*>(w) && static_cast<QFrame*>(w)->frameShape() == QFrame::HLine;
    }
    return false;
}

QString TextOf(QWidget* w) {
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
    if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    return {};
}

// Dialog units to pixels from the dialog font's own metrics: a quarter of
// the average character width, an eighth of the character height.
struct Units {
    explicit Units(const QFont& font) {
        QFontMetrics fm(font);
        cx = (fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 26 + 1) / 2;
        cy = fm.height();
    }
    int X(int v) const { return static_cast<int>(std::lround(v * cx / 4.0)); }
    int Y(int v) const { return static_cast<int>(std::lround(v * cy / 8.0)); }
    int cx, cy;
};

// Runs `look` on the dialog's window as it stands after its initialisation,
// before it shows or takes any focus.
void Inspect(CDialog& dlg, const std::function<void(QDialog&)>& look) {
    kv::ModalHook old = kv::SetModalHook([&](QDialog& w) {
        look(w);
        return static_cast<int>(QDialog::Rejected);
    });
    dlg.DoModal();
    kv::SetModalHook(std::move(old));
}

int IdOf(CDialog& dlg, const Design& d, QWidget* w) {
    for (const Row& r : d.rows)
        if (r.id != kNone && dlg.GetDlgItem(r.id) == w) return r.id;
    return kNone;
}

TEST(DialogLayout, EveryDialogMatchesItsResourceTable) {
    kv::RegisterKorvaneResources();
    // The texture dialog shows the masks remembered from an earlier run.
    g_strFindMask = g_strReplaceMask = L"0x????????";
    for (const Design& d : Designs()) {
        SCOPED_TRACE(d.name);
        std::unique_ptr<CDialog> dlg = d.make();
        Inspect(*dlg, [&](QDialog& w) {
            EXPECT_EQ(w.windowTitle().toStdWString(), d.caption);
            const Units u(w.font());
            if (d.cx) {
                EXPECT_EQ(w.size(), QSize(u.X(d.cx), u.Y(d.cy)));
            }
            const std::vector<QWidget*> controls = ControlsOf(w);
            ASSERT_EQ(controls.size(), d.rows.size());
            for (std::size_t k = 0; k < d.rows.size(); ++k) {
                const Row& r = d.rows[k];
                QWidget* c = controls[k];
                SCOPED_TRACE("control " + std::to_string(k) + " " + TextOf(c).toStdString());
                EXPECT_TRUE(IsKind(c, r.kind)) << c->metaObject()->className();
                if (r.id != kNone) {
                    EXPECT_EQ(dlg->GetDlgItem(r.id), c) << "id " << r.id;
                }
                if (!(r.flags & kAnyText)) {
                    EXPECT_EQ(TextOf(c).toStdWString(), r.text);
                }
                if (auto* b = qobject_cast<QPushButton*>(c)) {
                    EXPECT_EQ(b->isDefault(), r.kind == Default);
                }
                EXPECT_EQ(c->isHidden(), (r.flags & kHidden) != 0);
                EXPECT_EQ(c->isEnabled(), (r.flags & kDisabled) == 0);
                if (r.x == kUnplaced) continue;
                const QRect g = c->geometry();
                EXPECT_EQ(g.topLeft(), QPoint(u.X(r.x), u.Y(r.y)));
                if (r.flags & kOrigin) continue;
                EXPECT_EQ(g.width(), u.X(r.cx));
                if (!(r.flags & kNoHeight)) {
                    EXPECT_EQ(g.height(), u.Y(r.cy));
                }
            }
        });
    }
}

TEST(DialogLayout, TabGoesFromTabStopToTabStopInTableOrder) {
    kv::RegisterKorvaneResources();
    g_strFindMask = g_strReplaceMask = L"0x????????";
    for (const Design& d : Designs()) {
        SCOPED_TRACE(d.name);
        std::unique_ptr<CDialog> dlg = d.make();
        kvtest::ModalScript script;
        std::vector<int> forward, backward;
        script.Then([&](QDialog& w) {
            w.activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
            auto step = [&](std::vector<int>& seen, Qt::KeyboardModifiers mods) {
                QWidget* f = QApplication::focusWidget();
                if (f) QTest::keyClick(f, Qt::Key_Tab, mods);
                seen.push_back(IdOf(*dlg, d, QApplication::focusWidget()));
            };
            forward.push_back(IdOf(*dlg, d, QApplication::focusWidget()));
            backward = forward;
            for (std::size_t k = 0; k < d.tabs.size(); ++k) step(forward, Qt::NoModifier);
            for (std::size_t k = 0; k < d.tabs.size(); ++k) step(backward, Qt::ShiftModifier);
            std::reverse(backward.begin(), backward.end());
            return static_cast<int>(QDialog::Rejected);
        });
        dlg->DoModal();
        // Round once and back to the start; the same path backwards.
        std::vector<int> expected = d.tabs;
        expected.push_back(d.tabs.front());
        EXPECT_EQ(forward, expected);
        EXPECT_EQ(backward, expected);
    }
}

}  // namespace
