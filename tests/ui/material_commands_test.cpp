// Merge Model(s), Set Transparency and Replace Texture through the real list,
// their dialogs, the result dialog and the report windows, with archives
// open in a workspace of document templates as the program has them.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QComboBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <gtest/gtest.h>

#include "archive/dat_doc.h"
#include "platform/qt/doc_template.h"
#include "platform/qt/frames.h"
#include "platform/qt/winapp.h"
#include "resources/dialogs_material.h"
#include "resources/resource.h"
#include "s3d/s3d_model.h"
#include "s3d/s3d_work_block.h"
#include "support/dbpf_builder.h"
#include "support/message_recorder.h"
#include "support/s3d_builder.h"
#include "support/ui_fixture.h"
#include "ui/dat_view.h"
#include "ui/merge_dlg.h"
#include "ui/report_view.h"
#include "ui/rpt_dlg.h"
#include "ui/rtexture_dlg.h"
#include "ui/transparency_dlg.h"

namespace {

using kvtest::S3DMaterial;

const std::wstring kUnmarked(7, L'\u2013');
// The marks of a model changed only at `position`.
std::wstring MarkedAt(int position, wchar_t letter) {
    std::wstring m = kUnmarked;
    m[static_cast<std::size_t>(position)] = letter;
    return m;
}

// Materials as the transparency edit recognises them.
S3DMaterial Material(std::uint32_t textureId, bool transparent, const std::string& name = "tex") {
    S3DMaterial m;
    m.flags = transparent ? 0x3B : 0x2B;
    m.settings = transparent ? std::array<std::uint8_t, 4>{7, 3, 4, 5} : std::array<std::uint8_t, 4>{4, 3, 1, 0};
    m.byte = 0x80;
    kvtest::S3DTexture& t = m.textures.emplace_back();
    t.id = textureId;
    t.name = name;
    return m;
}

// One model of a test archive; `mats` gives the materials of view j (0 for
// a single-view model). An empty `raw` builds a model; otherwise these bytes
// are stored as the entry.
struct Model {
    std::uint32_t group = 0x1000;
    std::uint32_t instance = 0x10000;
    bool twenty = false;
    std::string name = "Model";
    std::function<std::vector<S3DMaterial>(int view)> mats = [](int) {
        return std::vector<S3DMaterial>{Material(0x1234ABCD, false)};
    };
    std::vector<std::uint8_t> raw = {};
};

std::vector<std::uint8_t> ModelBytes(const Model& m, int view) {
    if (!m.raw.empty()) return m.raw;
    kvtest::S3DBuilder b = kvtest::RealisticS3D(m.name);
    b.mats = m.mats(view);
    if (!b.mats.empty() && !b.mats[0].textures.empty()) b.mats[0].textures[0].name = m.name;
    return b.Build();
}

std::vector<std::uint8_t> BuildArchive(const std::vector<Model>& models) {
    kvtest::DbpfBuilder b;
    for (const Model& m : models) {
        if (!m.twenty) {
            b.Add(kTypeS3D, m.group, m.instance, ModelBytes(m, 0));
            continue;
        }
        for (int j = 0; j < 20; ++j)
            b.Add(kTypeS3D, m.group, m.instance + static_cast<std::uint32_t>(j / 4) * 0x100 + static_cast<std::uint32_t>(j % 4) * 0x10,
                  ModelBytes(m, j));
    }
    return b.Build();
}

// The workspace of the program, opening archives of the models given.
class Workspace : public kvtest::Workspace {
public:
    CDATDoc* Open(const std::string& name, const std::vector<Model>& models) {
        return kvtest::Workspace::Open(name, BuildArchive(models));
    }
};

template <typename D>
D* DialogOf(QDialog& window) {
    return dynamic_cast<D*>(CDialog::FromWindow(&window));
}

// Presses a button of the dialog; the dialog's result when that closed it, -1
// while it stays open.
int Press(QDialog& window, int id) {
    auto* b = CDialog::FromWindow(&window)->GetDlgItemAs<QPushButton>(id);
    EXPECT_TRUE(b) << id;
    if (!b) return -1;
    b->click();
    return window.isVisible() ? -1 : window.result();
}

void SetCombo(CDialog* dlg, int id, int index) { dlg->GetDlgItemAs<QComboBox>(id)->setCurrentIndex(index); }

std::vector<QString> ListLines(CDialog* dlg, int id) {
    std::vector<QString> out;
    auto* list = dlg->GetDlgItemAs<QListWidget>(id);
    for (int i = 0; list && i < list->count(); ++i) out.push_back(list->item(i)->text());
    return out;
}

bool DrawnDarkRed(QWidget* w) { return w && w->palette().color(QPalette::WindowText) == QColor(128, 0, 0); }

// What the result dialog showed, and how it was answered.
struct ResultSeen {
    QString title;
    std::wstring message;
    int ticked = -1;
};
kvtest::ModalScript::Step AnswerResult(ResultSeen& seen, int tick = -1) {
    return [&seen, tick](QDialog& window) {
        auto* dlg = DialogOf<CRptDlg>(window);
        EXPECT_TRUE(dlg);
        if (!dlg) return static_cast<int>(IDCANCEL);
        seen.title = window.windowTitle();
        seen.message = dlg->GetDlgItemText(IDC_RPT_MESSAGE);
        seen.ticked = dlg->IsDlgButtonChecked(IDC_RPT_DISPLAY);
        if (tick >= 0) dlg->CheckDlgButton(IDC_RPT_DISPLAY, tick);
        return Press(window, IDOK);
    };
}

// The materials of an entry as it is now.
std::vector<_s3d_work_block> Materials(CDATDoc* doc, std::uint32_t row) {
    bool compressed = false;
    std::uint32_t size = 0;
    std::vector<_s3d_work_block> out;
    std::unique_ptr<_s3d_model> model = doc->LoadModel(row, compressed, size);
    EXPECT_TRUE(model) << row;
    for (int k = 0; model && k < static_cast<int>(model->mats.blockCount); ++k) {
        ExtractBlock(S3D_BLOCK_MATS, k, model.get(), &out.emplace_back());
    }
    return out;
}

std::uint32_t VertexBlocks(CDATDoc* doc, std::uint32_t row) {
    bool compressed = false;
    std::uint32_t size = 0;
    std::unique_ptr<_s3d_model> model = doc->LoadModel(row, compressed, size);
    EXPECT_TRUE(model) << row;
    return model ? model->vert.blockCount : 0;
}

std::vector<std::uint8_t> Bytes(CDATDoc* doc, std::uint32_t row) {
    auto s = doc->EntryBytes(row);
    return {s.begin(), s.end()};
}

std::wstring Marks(CDATDoc* doc, int model) {
    return std::wstring(doc->m_pModels[static_cast<std::size_t>(model)].szStatus.data(), 7);
}

std::wstring Heading(const std::wstring& line) { return line + L"\r\n" + std::wstring(line.size(), L'-') + L"\r\n"; }

// ---------------------------------------------------------------- enabling

TEST(MaterialCommands, EnabledByTheSelectionOfEitherKind) {
    Workspace w;
    CDATDoc* doc = w.Open("enable.dat", {Model{}, Model{0x2000, 0x20000, true}});
    ASSERT_TRUE(doc);
    for (unsigned id : {ID_EDIT_MERGEMODELS, ID_EDIT_SETTRANSPARENCY, ID_EDIT_REPLACETEXTURE}) {
        Workspace::Select(doc, {});
        EXPECT_FALSE(Workspace::Enabled(doc, id)) << id;
        Workspace::Select(doc, {0, 1});
        EXPECT_TRUE(Workspace::Enabled(doc, id)) << id;
        Workspace::Select(doc, {1});
        EXPECT_TRUE(Workspace::Enabled(doc, id)) << id;
    }
}

// ---------------------------------------------------------------- merge

TEST(MergeCommand, AppendsAModelOfAnotherOpenArchiveToTheSelectedOne) {
    Workspace w;
    CDATDoc* target = w.Open("target.dat", {Model{0x1000, 0x10000, false, "Tgt"}, Model{0x2000, 0x20000, true, "Twenty"}});
    CDATDoc* source = w.Open("source.dat", {Model{0x4000, 0x40000, true, "SrcTwenty"}, Model{0x3000, 0x30000, false, "Src"}});
    ASSERT_TRUE(target && source);
    const std::vector<std::uint8_t> sourceBefore = Bytes(source, 20);
    Workspace::Select(target, {0});

    kvtest::ModalScript script;
    std::vector<QString> archives, before, after;
    QString tip;
    bool red = false;
    script.Then([&](QDialog& window) {
        auto* dlg = DialogOf<CMergeDlg>(window);
        EXPECT_TRUE(dlg);
        if (!dlg) return static_cast<int>(IDCANCEL);
        archives = ListLines(dlg, IDC_MERGE_DATFILES);
        before = ListLines(dlg, IDC_MERGE_MODELS);
        tip = QString::fromStdWString(dlg->GetDlgItemText(IDC_MERGE_TIP));
        red = DrawnDarkRed(dlg->GetDlgItem(IDC_MERGE_NOTE_DATFILE)) && DrawnDarkRed(dlg->GetDlgItem(IDC_MERGE_NOTE_MODEL));
        // Picking the other archive refills the model list at once.
        dlg->GetDlgItemAs<QListWidget>(IDC_MERGE_DATFILES)->setCurrentRow(1);
        after = ListLines(dlg, IDC_MERGE_MODELS);
        dlg->GetDlgItemAs<QListWidget>(IDC_MERGE_MODELS)->setCurrentRow(0);
        return Press(window, IDOK);
    });
    Workspace::Run(target, ID_EDIT_MERGEMODELS);

    EXPECT_EQ(script.titles(), std::vector<QString>{"Merge Models"});
    EXPECT_EQ(archives, (std::vector<QString>{"target.dat", "source.dat"}));
    // A single-view model is selected, so only single-view sources are offered.
    EXPECT_EQ(before, std::vector<QString>{"   0 0x5ad0e817 0x001000 0x010000 Tgt"});
    EXPECT_EQ(after, std::vector<QString>{"  20 0x5ad0e817 0x003000 0x030000 Src"});
    EXPECT_EQ(tip, "TIP: Only models with 1 Z/R view are listed here, because your selection in the main list includes "
                   "1-Z/R model(s) too");
    EXPECT_TRUE(red);

    EXPECT_EQ(VertexBlocks(target, 0), 2u);
    EXPECT_EQ(Materials(target, 0).size(), 2u);
    EXPECT_EQ(VertexBlocks(target, 1), 1u);  // the twenty-view model was not selected
    EXPECT_EQ(Marks(target, 0), MarkedAt(4, L'G'));
    EXPECT_EQ(Marks(target, 1), kUnmarked);
    EXPECT_FALSE(target->AnyPending());
    EXPECT_TRUE(target->IsModified());
    EXPECT_EQ(target->GetTitle(), L"target.dat*");
    // The source is only read.
    EXPECT_FALSE(source->IsModified());
    EXPECT_EQ(Bytes(source, 20), sourceBefore);
    EXPECT_TRUE(w.messages.boxes().empty());
}

// The texture IDs of an entry's materials, in block order.
std::vector<std::uint32_t> TextureIds(CDATDoc* doc, std::uint32_t row) {
    std::vector<std::uint32_t> out;
    for (const _s3d_work_block& b : Materials(doc, row))
        out.push_back(b.textures.empty() ? 0 : b.textures.front().textureId);
    return out;
}

Model WithTexture(Model m, std::uint32_t id) {
    m.mats = [id](int) { return std::vector<S3DMaterial>{Material(id, false)}; };
    return m;
}

TEST(MergeCommand, TheSourceIsTheChosenModelOfTheChosenArchive) {
    Workspace w;
    // Every model carries a texture of its own, so the merged material tells
    // which archive and which model were read. The selection lists the
    // twenty-view model before the single-view one.
    CDATDoc* target = w.Open("target.dat", {WithTexture(Model{0x2000, 0x20000, true, "Twenty"}, 0x7A7A0001),
                                            WithTexture(Model{0x1000, 0x10000, false, "Tgt"}, 0x7A7A0002)});
    CDATDoc* source = w.Open("source.dat", {WithTexture(Model{0x4000, 0x40000, true, "SrcTwenty"}, 0x5C5C0001),
                                            WithTexture(Model{0x3000, 0x30000, false, "SrcOne"}, 0x5C5C0002),
                                            WithTexture(Model{0x3000, 0x30010, false, "SrcTwo"}, 0x5C5C0003)});
    ASSERT_TRUE(target && source);
    ASSERT_EQ(target->m_pModels[0].nViews, 20);
    Workspace::Select(target, {0, 1});

    kvtest::ModalScript script;
    std::vector<QString> offered;
    script.Then([&](QDialog& window) {
        auto* dlg = DialogOf<CMergeDlg>(window);
        EXPECT_TRUE(dlg);
        if (!dlg) return static_cast<int>(IDCANCEL);
        dlg->GetDlgItemAs<QListWidget>(IDC_MERGE_DATFILES)->setCurrentRow(1);
        offered = ListLines(dlg, IDC_MERGE_MODELS);
        // The second line offered is model 2 of the source.
        dlg->GetDlgItemAs<QListWidget>(IDC_MERGE_MODELS)->setCurrentRow(1);
        return Press(window, IDOK);
    });
    Workspace::Run(target, ID_EDIT_MERGEMODELS);

    // A single-view model in the selection, though not first, limits the
    // offer to single-view sources.
    EXPECT_EQ(offered, (std::vector<QString>{"  20 0x5ad0e817 0x003000 0x030000 SrcOne",
                                             "  21 0x5ad0e817 0x003000 0x030010 SrcTwo"}));
    for (int j = 0; j < 20; ++j) {
        const int row = target->FindViewRow(target->m_pModels[0].nRow, j);
        EXPECT_EQ(TextureIds(target, static_cast<std::uint32_t>(row)), (std::vector<std::uint32_t>{0x7A7A0001, 0x5C5C0003}))
            << "view " << j;
    }
    EXPECT_EQ(TextureIds(target, static_cast<std::uint32_t>(target->m_pModels[1].nRow)),
              (std::vector<std::uint32_t>{0x7A7A0002, 0x5C5C0003}));
    EXPECT_EQ(Marks(target, 0), MarkedAt(4, L'G'));
    EXPECT_EQ(Marks(target, 1), MarkedAt(4, L'G'));
    EXPECT_TRUE(target->IsModified());
    EXPECT_FALSE(source->IsModified());
    EXPECT_TRUE(w.messages.boxes().empty());
}

TEST(MergeCommand, WithinOneArchiveATwentyViewModelTakesItselfAndEveryKindIsOffered) {
    Workspace w;
    CDATDoc* doc = w.Open("within.dat", {Model{0x1000, 0x10000, false, "One"}, Model{0x2000, 0x20000, true, "Twenty"}});
    ASSERT_TRUE(doc);
    Workspace::Select(doc, {1});

    kvtest::ModalScript script;
    std::vector<QString> models;
    QString tip;
    script.Then([&](QDialog& window) {
        auto* dlg = DialogOf<CMergeDlg>(window);
        models = ListLines(dlg, IDC_MERGE_MODELS);
        tip = QString::fromStdWString(dlg->GetDlgItemText(IDC_MERGE_TIP));
        dlg->GetDlgItemAs<QListWidget>(IDC_MERGE_MODELS)->setCurrentRow(1);
        return Press(window, IDOK);
    });
    Workspace::Run(doc, ID_EDIT_MERGEMODELS);

    EXPECT_EQ(models, (std::vector<QString>{"   0 0x5ad0e817 0x001000 0x010000 One", "   1 0x5ad0e817 0x002000 0x020000 Twenty"}));
    EXPECT_EQ(tip, "TIP: All model types are listed here, because your selection in the main list includes only models "
                   "with 20 Z/R views");
    // Every view received its own content as it was before the command.
    for (std::uint32_t row = 1; row <= 20; ++row) EXPECT_EQ(VertexBlocks(doc, row), 2u) << row;
    EXPECT_EQ(VertexBlocks(doc, 0), 1u);
    EXPECT_EQ(Marks(doc, 1), MarkedAt(4, L'G'));
    EXPECT_TRUE(doc->IsModified());

    // A modified archive is offered under the title its window shows.
    std::vector<QString> archives;
    script.Then([&](QDialog& window) {
        archives = ListLines(DialogOf<CMergeDlg>(window), IDC_MERGE_DATFILES);
        return Press(window, IDCANCEL);
    });
    Workspace::Run(doc, ID_EDIT_MERGEMODELS);
    EXPECT_EQ(archives, std::vector<QString>{"within.dat*"});
    EXPECT_EQ(VertexBlocks(doc, 1), 2u);
    EXPECT_TRUE(w.messages.boxes().empty());
}

TEST(MergeCommand, AnArchiveWithoutSingleViewModelsOffersNothingToTake) {
    Workspace w;
    CDATDoc* target = w.Open("single.dat", {Model{}});
    CDATDoc* twenty = w.Open("twenty.dat", {Model{0x2000, 0x20000, true}});
    ASSERT_TRUE(target && twenty);
    Workspace::Select(target, {0});

    kvtest::ModalScript script;
    std::vector<QString> models;
    int noSelection = 0, placeholder = 0;
    std::size_t boxesWhileOpen = 0;
    script.Then([&](QDialog& window) {
        auto* dlg = DialogOf<CMergeDlg>(window);
        dlg->GetDlgItemAs<QListWidget>(IDC_MERGE_DATFILES)->setCurrentRow(1);
        models = ListLines(dlg, IDC_MERGE_MODELS);
        noSelection = Press(window, IDOK);
        dlg->GetDlgItemAs<QListWidget>(IDC_MERGE_MODELS)->setCurrentRow(0);
        placeholder = Press(window, IDOK);
        boxesWhileOpen = w.messages.boxes().size();
        return Press(window, IDCANCEL);
    });
    Workspace::Run(target, ID_EDIT_MERGEMODELS);

    EXPECT_EQ(models, std::vector<QString>{"This archive contains no 1-Z/R models"});
    EXPECT_EQ(noSelection, -1);
    EXPECT_EQ(placeholder, -1);
    EXPECT_EQ(boxesWhileOpen, 2u);
    EXPECT_EQ(w.messages.texts(), (std::vector<std::wstring>{L"No model has been selected", L"No model has been selected"}));
    EXPECT_EQ(w.messages.boxes()[0].type, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_EQ(Marks(target, 0), kUnmarked);
    EXPECT_FALSE(target->IsModified());
    EXPECT_EQ(VertexBlocks(target, 0), 1u);
}

TEST(MergeCommand, AFailedMergeCommitsWhatWasStoredButLeavesTheArchiveUnmodified) {
    Workspace w;
    // The second model's bytes cannot be read as a model.
    std::vector<std::uint8_t> damaged = kvtest::MakeRealisticS3D("Bad");
    damaged.resize(damaged.size() / 2);
    CDATDoc* doc = w.Open("failing.dat", {Model{0x1000, 0x10000, false, "Good"}, Model{0x1000, 0x10010, false, "Bad", {}, damaged}});
    ASSERT_TRUE(doc);
    ASSERT_EQ(doc->m_nModels, 2u);
    w.messages.Clear();
    Workspace::Select(doc, {0, 1});

    kvtest::ModalScript script;
    script.Then([&](QDialog& window) {
        auto* dlg = DialogOf<CMergeDlg>(window);
        EXPECT_EQ(ListLines(dlg, IDC_MERGE_MODELS).size(), 2u);
        dlg->GetDlgItemAs<QListWidget>(IDC_MERGE_MODELS)->setCurrentRow(0);
        return Press(window, IDOK);
    });
    Workspace::Run(doc, ID_EDIT_MERGEMODELS);

    ASSERT_FALSE(w.messages.boxes().empty());
    EXPECT_EQ(w.messages.boxes().back().text,
              L"Merging of Models Failed!!!\n\nIt is recommended that you exit without saving this file!");
    EXPECT_EQ(w.messages.boxes().back().type, MB_OK | MB_ICONSTOP);
    // The first model's merge went into the image with the commit.
    EXPECT_FALSE(doc->AnyPending());
    EXPECT_EQ(VertexBlocks(doc, 0), 2u);
    EXPECT_EQ(Marks(doc, 0), MarkedAt(4, L'G'));
    EXPECT_EQ(Marks(doc, 1), kUnmarked);
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(doc->GetTitle(), L"failing.dat");
}

// ---------------------------------------------------------------- transparency

TEST(TransparencyDialog, OpensWithNoChangeAndRefusesToCloseWithoutOne) {
    kv::RegisterKorvaneResources();
    kvtest::MessageRecorder messages;
    kvtest::ModalScript script;
    std::vector<QString> texts, items, depthItems;
    int refused = 0, accepted = 0;
    std::size_t boxes = 0;
    script.Then([&](QDialog& window) {
        auto* dlg = DialogOf<CTransparencyDlg>(window);
        for (int id = IDC_TRANSP_ZOOM1; id <= IDC_TRANSP_DEPTHFUNC; ++id)
            texts.push_back(dlg->GetDlgItemAs<QComboBox>(id)->currentText());
        auto* zoom = dlg->GetDlgItemAs<QComboBox>(IDC_TRANSP_ZOOM3);
        for (int i = 0; i < zoom->count(); ++i) items.push_back(zoom->itemText(i));
        auto* depth = dlg->GetDlgItemAs<QComboBox>(IDC_TRANSP_DEPTHFUNC);
        for (int i = 0; i < depth->count(); ++i) depthItems.push_back(depth->itemText(i));
        refused = Press(window, IDOK);
        boxes = messages.boxes().size();
        SetCombo(dlg, IDC_TRANSP_1ZR, 2);
        SetCombo(dlg, IDC_TRANSP_DEPTHFUNC, 1);
        accepted = Press(window, IDOK);
        return accepted;
    });
    CTransparencyDlg dlg;
    EXPECT_EQ(dlg.DoModal(), IDOK);

    EXPECT_EQ(texts, (std::vector<QString>{"No Change", "No Change", "No Change", "No Change", "No Change", "No Change",
                                           "less than or equal (default)"}));
    EXPECT_EQ(items, (std::vector<QString>{"No Change", "Set", "Remove"}));
    EXPECT_EQ(depthItems, (std::vector<QString>{"less than or equal (default)", "less than"}));
    EXPECT_EQ(refused, -1);
    EXPECT_EQ(boxes, 1u);
    EXPECT_EQ(messages.texts(), std::vector<std::wstring>{L"You have not specified any changes!"});
    EXPECT_EQ(messages.boxes()[0].type, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_EQ(accepted, IDOK);
    EXPECT_EQ(std::vector<int>(dlg.m_nSettings, dlg.m_nSettings + 6), (std::vector<int>{0, 0, 0, 0, 0, 2}));
    EXPECT_EQ(dlg.m_nDepthFunc, 1);
}

// Zoom level 1 opaque, zoom level 5 transparent, the others opaque.
Model TwentyForTransparency() {
    Model m{0x2000, 0x20000, true, "Twenty"};
    m.mats = [](int view) { return std::vector<S3DMaterial>{Material(0x1234ABCD, view / 4 == 4)}; };
    return m;
}

// The answer of the transparency dialog: one setting per zoom level, the
// single-view setting, the depth function.
kvtest::ModalScript::Step AnswerTransparency(std::vector<int> settings, int depth = 0) {
    return [settings, depth](QDialog& window) {
        auto* dlg = DialogOf<CTransparencyDlg>(window);
        for (int i = 0; i < 6; ++i) SetCombo(dlg, IDC_TRANSP_ZOOM1 + i, settings[static_cast<std::size_t>(i)]);
        SetCombo(dlg, IDC_TRANSP_DEPTHFUNC, depth);
        return Press(window, IDOK);
    };
}

TEST(TransparencyCommand, EachZoomLevelTakesItsOwnSettingAndTheReportListsWhatWasDone) {
    Workspace w;
    CDATDoc* doc = w.Open("transp.dat", {Model{0x1000, 0x10000, false, "One"}, TwentyForTransparency()});
    ASSERT_TRUE(doc);
    std::vector<std::vector<std::uint8_t>> before;
    for (std::uint32_t row = 0; row <= 20; ++row) before.push_back(Bytes(doc, row));
    Workspace::Select(doc, {0, 1});

    kvtest::ModalScript script;
    ResultSeen seen;
    script.Then(AnswerTransparency({1, 0, 0, 0, 2, 0}));
    script.Then(AnswerResult(seen));
    Workspace::Run(doc, ID_EDIT_SETTRANSPARENCY);

    EXPECT_EQ(script.titles(), (std::vector<QString>{"Transparency Settings", "Set/Remove Transparency Operation"}));
    EXPECT_EQ(seen.message, L"All requested operations were carried-out successfully.");
    EXPECT_EQ(seen.ticked, 0);
    EXPECT_EQ(w.messages.beeps(), std::vector<unsigned>{MB_ICONINFORMATION});
    // OK with the box clear shows no report.
    EXPECT_TRUE(Workspace::ReportTexts(doc).empty());

    // Zoom index 0 (rows 1 to 4) set, zoom index 4 (rows 17 to 20) removed;
    // the rest and the single-view model untouched.
    for (std::uint32_t row = 1; row <= 20; ++row) {
        auto mats = Materials(doc, row);
        ASSERT_EQ(mats.size(), 1u);
        if (row <= 4) {
            EXPECT_EQ(mats[0].materialFlags & 0xFF, 0x3Bu) << row;
            EXPECT_EQ(mats[0].materialSettings, (std::array<std::uint8_t, 4>{7, 3, 4, 5})) << row;
        } else if (row >= 17) {
            EXPECT_EQ(mats[0].materialFlags & 0xFF, 0x2Bu) << row;
            EXPECT_EQ(mats[0].materialSettings, (std::array<std::uint8_t, 4>{4, 3, 1, 0})) << row;
        } else {
            EXPECT_EQ(Bytes(doc, row), before[row]) << row;
        }
    }
    EXPECT_EQ(Bytes(doc, 0), before[0]);
    EXPECT_EQ(Marks(doc, 0), kUnmarked);
    EXPECT_EQ(Marks(doc, 1), MarkedAt(5, L'T'));
    EXPECT_TRUE(doc->IsModified());

    // Again on the modified archive: zoom level 5 is already nontransparent.
    // The heading names the archive without its "*".
    script.Then(AnswerTransparency({0, 0, 0, 0, 2, 0}));
    script.Then(AnswerResult(seen));
    Workspace::Run(doc, ID_EDIT_SETTRANSPARENCY);
    EXPECT_EQ(seen.message, L"The operations requested were not carried-out for any of the selected S3D files!");
    EXPECT_EQ(seen.ticked, 1);
    ASSERT_EQ(Workspace::ReportTexts(doc).size(), 1u);
    EXPECT_EQ(Workspace::ReportTexts(doc)[0],
              L"Transparency Settings Report for transp.dat\r\n"
              L"-------------------------------------------\r\n"
              L"0x5ad0e817 0x002000 0x020400 Block=0 : No action taken - Already nontransparent\r\n"
              L"0x5ad0e817 0x002000 0x020410 Block=0 : No action taken - Already nontransparent\r\n"
              L"0x5ad0e817 0x002000 0x020420 Block=0 : No action taken - Already nontransparent\r\n"
              L"0x5ad0e817 0x002000 0x020430 Block=0 : No action taken - Already nontransparent\r\n");
    EXPECT_EQ(w.messages.beeps(), (std::vector<unsigned>{MB_ICONINFORMATION, MB_ICONSTOP}));
    EXPECT_TRUE(w.messages.boxes().empty());
}

TEST(TransparencyCommand, AReportOfBlocksChangedAndLeftListsTheEntriesInViewOrder) {
    Workspace w;
    Model one{0x1000, 0x10000, false, "One"};
    one.mats = [](int) { return std::vector<S3DMaterial>{Material(1, false), Material(2, true)}; };
    CDATDoc* doc = w.Open("mixed.dat", {one, TwentyForTransparency()});
    ASSERT_TRUE(doc);
    Workspace::Select(doc, {0, 1});

    // "less than": blocks made transparent with the other depth function are
    // not recognised.
    kvtest::ModalScript script;
    ResultSeen seen;
    script.Then(AnswerTransparency({0, 0, 0, 0, 1, 1}, 1));
    script.Then(AnswerResult(seen));
    Workspace::Run(doc, ID_EDIT_SETTRANSPARENCY);

    EXPECT_EQ(seen.message, L"The operations requested were not carried-out for some of the selected S3D files!");
    EXPECT_EQ(seen.ticked, 1);
    EXPECT_EQ(w.messages.beeps(), std::vector<unsigned>{MB_ICONEXCLAMATION});
    ASSERT_EQ(Workspace::ReportTexts(doc).size(), 1u);
    EXPECT_EQ(Workspace::ReportTexts(doc)[0],
              Heading(L"Transparency Settings Report for mixed.dat") +
                  L"0x5ad0e817 0x001000 0x010000 Block=0 : Transparency Set\r\n"
                  L"0x5ad0e817 0x001000 0x010000 Block=1 : No action taken - Unrecognisable settings pattern\r\n"
                  L"0x5ad0e817 0x002000 0x020400 Block=0 : No action taken - Unrecognisable settings pattern\r\n"
                  L"0x5ad0e817 0x002000 0x020410 Block=0 : No action taken - Unrecognisable settings pattern\r\n"
                  L"0x5ad0e817 0x002000 0x020420 Block=0 : No action taken - Unrecognisable settings pattern\r\n"
                  L"0x5ad0e817 0x002000 0x020430 Block=0 : No action taken - Unrecognisable settings pattern\r\n");
    auto mats = Materials(doc, 0);
    ASSERT_EQ(mats.size(), 2u);
    EXPECT_EQ(mats[0].materialSettings, (std::array<std::uint8_t, 4>{7, 1, 4, 5}));
    EXPECT_EQ(mats[1].materialSettings, (std::array<std::uint8_t, 4>{7, 3, 4, 5}));
    EXPECT_EQ(Marks(doc, 0), MarkedAt(5, L'T'));
    EXPECT_EQ(Marks(doc, 1), kUnmarked);
    EXPECT_TRUE(doc->IsModified());
}

TEST(TransparencyCommand, NothingToChangeStoresNothingAndLeavesTheArchiveUnmodified) {
    Workspace w;
    CDATDoc* doc = w.Open("same.dat", {Model{}});
    ASSERT_TRUE(doc);
    const std::vector<std::uint8_t> before = Bytes(doc, 0);
    Workspace::Select(doc, {0});

    kvtest::ModalScript script;
    ResultSeen seen;
    script.Then(AnswerTransparency({0, 0, 0, 0, 0, 2}));
    script.Then(AnswerResult(seen, 0));
    Workspace::Run(doc, ID_EDIT_SETTRANSPARENCY);

    EXPECT_EQ(seen.message, L"The operations requested were not carried-out for any of the selected S3D files!");
    EXPECT_EQ(seen.ticked, 1);
    EXPECT_TRUE(Workspace::ReportTexts(doc).empty());  // the box was cleared before OK
    EXPECT_EQ(Bytes(doc, 0), before);
    EXPECT_FALSE(doc->AnyPending());
    EXPECT_EQ(Marks(doc, 0), kUnmarked);
    EXPECT_FALSE(doc->IsModified());
}

TEST(TransparencyCommand, SettingsForAKindTheSelectionLacksEndBeforeTheCommit) {
    struct Case {
        std::vector<int> settings;
        int model;  // 0 single-view, 1 twenty-view
        const wchar_t* message;
    };
    const Case cases[] = {
        {{0, 0, 0, 0, 0, 1}, 1,
         L"You have requested changes only for 1-Z/R models, but your current selection does not contain such models."},
        {{0, 2, 0, 0, 0, 0}, 0,
         L"You have requested changes only for 20-Z/R models, but your current selection does not contain such models."},
    };
    for (const Case& c : cases) {
        Workspace w;
        CDATDoc* doc = w.Open("kinds.dat", {Model{}, TwentyForTransparency()});
        ASSERT_TRUE(doc);
        Workspace::Select(doc, {c.model});
        kvtest::ModalScript script;
        script.Then(AnswerTransparency(c.settings));
        Workspace::Run(doc, ID_EDIT_SETTRANSPARENCY);
        EXPECT_EQ(script.titles(), std::vector<QString>{"Transparency Settings"}) << c.model;
        EXPECT_EQ(w.messages.texts(), std::vector<std::wstring>{c.message});
        ASSERT_FALSE(w.messages.boxes().empty());
        EXPECT_EQ(w.messages.boxes()[0].type, MB_OK | MB_ICONEXCLAMATION);
        EXPECT_FALSE(doc->IsModified());
        EXPECT_EQ(script.unanswered(), 0);
    }
}

TEST(TransparencyCommand, AMissingViewMattersOnlyWhenItsZoomLevelIsEdited) {
    Workspace w;
    CDATDoc* doc = w.Open("missing.dat", {TwentyForTransparency()});
    ASSERT_TRUE(doc);
    // View 9 (zoom index 2, rotation 1) goes missing from the index.
    _dbpf_index_entry e = doc->IndexEntry(9);
    ASSERT_EQ(e.instance, 0x20210u);
    e.instance = 0x7777;
    doc->SetIndexEntry(9, e);
    const std::vector<std::uint8_t> before = Bytes(doc, 1);
    Workspace::Select(doc, {0});

    kvtest::ModalScript script;
    ResultSeen seen;
    script.Then(AnswerTransparency({0, 1, 0, 0, 0, 0}));
    script.Then(AnswerResult(seen, 0));
    Workspace::Run(doc, ID_EDIT_SETTRANSPARENCY);
    EXPECT_EQ(seen.message, L"All requested operations were carried-out successfully.");
    EXPECT_TRUE(w.messages.boxes().empty());
    doc->SetModifiedFlag(false);

    // Zoom level 1 is edited first; the command ends at the missing view.
    script.Then(AnswerTransparency({1, 0, 2, 0, 0, 0}));
    Workspace::Run(doc, ID_EDIT_SETTRANSPARENCY);
    EXPECT_EQ(script.titles().size(), 3u);  // no result dialog this time
    EXPECT_EQ(w.messages.texts(), std::vector<std::wstring>{L"Internal Error #2! This should never occur!!!"});
    EXPECT_EQ(w.messages.boxes()[0].type, MB_OK);
    EXPECT_NE(Bytes(doc, 1), before);  // zoom index 0 was edited before the stop
    EXPECT_EQ(Materials(doc, 1)[0].materialFlags & 0xFF, 0x3Bu);
    EXPECT_TRUE(doc->IsModified());  // the entries stored before the stop are not dropped unasked
}

// ---------------------------------------------------------------- texture

class TextureTest : public ::testing::Test {
protected:
    // The remembered masks live as long as the program; each test starts
    // from a fresh program's.
    void SetUp() override {
        kv::RegisterKorvaneResources();
        g_strFindMask = g_strReplaceMask = L"0x????????";
    }
    void TearDown() override { g_strFindMask = g_strReplaceMask = L"0x????????"; }
};

// The answer of the texture dialog: the two masks typed, then OK.
kvtest::ModalScript::Step AnswerMasks(const QString& find, const QString& replace) {
    return [find, replace](QDialog& window) {
        auto* dlg = DialogOf<CRTextureDialog>(window);
        dlg->GetDlgItemAs<QLineEdit>(IDC_RTEX_FIND)->setText(find);
        dlg->GetDlgItemAs<QLineEdit>(IDC_RTEX_REPLACE)->setText(replace);
        return Press(window, IDOK);
    };
}

using TextureDialog = TextureTest;

TEST_F(TextureDialog, FirstUseShowsOpenMasksInTenFixedPitchCharacters) {
    kvtest::MessageRecorder messages;
    kvtest::ModalScript script;
    QString find, replace;
    bool fixed = false, fits = false, red = false;
    int maxLength = 0, pressed = 0;
    script.Then([&](QDialog& window) {
        auto* dlg = DialogOf<CRTextureDialog>(window);
        auto* f = dlg->GetDlgItemAs<QLineEdit>(IDC_RTEX_FIND);
        auto* r = dlg->GetDlgItemAs<QLineEdit>(IDC_RTEX_REPLACE);
        find = f->text();
        replace = r->text();
        fixed = QFontInfo(f->font()).fixedPitch() && QFontInfo(r->font()).fixedPitch();
        const int text = QFontMetrics(f->font()).horizontalAdvance(QStringLiteral("0x????????"));
        // Ten characters fit, and the field is not much wider than they are.
        fits = f->width() == r->width() && f->width() > text && f->width() < text + 40;
        maxLength = f->maxLength();
        red = DrawnDarkRed(dlg->GetDlgItem(IDC_RTEX_FIND_HINT)) && DrawnDarkRed(dlg->GetDlgItem(IDC_RTEX_REPLACE_HINT));
        pressed = Press(window, IDOK);
        return Press(window, IDCANCEL);
    });
    CRTextureDialog dlg;
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(find, "0x????????");
    EXPECT_EQ(replace, "0x????????");
    EXPECT_TRUE(fixed);
    EXPECT_TRUE(fits);
    EXPECT_EQ(maxLength, 10);
    EXPECT_TRUE(red);
    // OK at once refuses the replace mask.
    EXPECT_EQ(pressed, -1);
    EXPECT_EQ(messages.texts(),
              std::vector<std::wstring>{L"The Replace ID Mask must contain at least one character other than \"?\""});
    EXPECT_EQ(messages.boxes()[0].type, MB_OK | MB_ICONEXCLAMATION);
}

TEST_F(TextureDialog, MasksAreCheckedAsTyped) {
    const wchar_t* const kInvalid = L"Invalid ID Mask";
    const wchar_t* const kAllOpen = L"The Replace ID Mask must contain at least one character other than \"?\"";
    struct Case {
        const char* find;
        const char* replace;
        const wchar_t* message;  // null: accepted
        int focus;               // the edit the refusal returns to
    };
    const Case cases[] = {
        {"0x????????", "0x1234abcd", nullptr, 0},
        {"1234ABCD", "0X####????", nullptr, 0},
        {"0X#?#?aBcD", "????#???", nullptr, 0},
        {"0x1234567", "0x12345678", kInvalid, IDC_RTEX_FIND},     // nine characters
        {"1234567", "0x12345678", kInvalid, IDC_RTEX_FIND},       // seven
        {"", "0x12345678", kInvalid, IDC_RTEX_FIND},
        {"0y12345678", "0x12345678", kInvalid, IDC_RTEX_FIND},
        {"x012345678", "0x12345678", kInvalid, IDC_RTEX_FIND},
        {"0x1234567g", "0x12345678", kInvalid, IDC_RTEX_FIND},    // not a mask character
        {"0x1234 678", "0x12345678", kInvalid, IDC_RTEX_FIND},
        {"0x????????", "0x12zz5678", kInvalid, IDC_RTEX_REPLACE}, // would cut the built ID short
        {"0x????????", "0x-1234567", kInvalid, IDC_RTEX_REPLACE},
        {"0x????????", "123456789", kInvalid, IDC_RTEX_REPLACE},
        {"0x????????", "0x????????", kAllOpen, IDC_RTEX_REPLACE},
        {"0x????????", "????????", kAllOpen, IDC_RTEX_REPLACE},
        {"0x????????", "0X????????", kAllOpen, IDC_RTEX_REPLACE},
    };
    for (const Case& c : cases) {
        kvtest::MessageRecorder messages;
        kvtest::ModalScript script;
        int result = 0, focus = 0;
        script.Then([&](QDialog& window) {
            result = AnswerMasks(c.find, c.replace)(window);
            if (QWidget* f = window.focusWidget()) focus = f->property("kvControlId").toInt();
            return result == -1 ? Press(window, IDCANCEL) : result;
        });
        CRTextureDialog dlg;
        const int modal = dlg.DoModal();
        if (!c.message) {
            EXPECT_EQ(modal, IDOK) << c.find << " " << c.replace;
            EXPECT_TRUE(messages.boxes().empty()) << c.find << " " << c.replace;
            EXPECT_EQ(dlg.m_strFind, QString(c.find).toStdWString());
            EXPECT_EQ(dlg.m_strReplace, QString(c.replace).toStdWString());
        } else {
            EXPECT_EQ(result, -1) << c.find << " " << c.replace;
            EXPECT_EQ(messages.texts(), std::vector<std::wstring>{c.message}) << c.find << " " << c.replace;
            EXPECT_EQ(focus, c.focus) << c.find << " " << c.replace;
        }
    }
}

TEST_F(TextureDialog, TheMasksOfTheLastOkComeBackAlsoWhenRefused) {
    kvtest::MessageRecorder messages;
    kvtest::ModalScript script;
    // Accepted, typed without "0x": shown again as typed.
    script.Then(AnswerMasks("1234abcd", "0X####00??"));
    {
        CRTextureDialog dlg;
        EXPECT_EQ(dlg.DoModal(), IDOK);
    }
    QString find, replace;
    script.Then([&](QDialog& window) {
        auto* dlg = DialogOf<CRTextureDialog>(window);
        find = QString::fromStdWString(dlg->GetDlgItemText(IDC_RTEX_FIND));
        replace = QString::fromStdWString(dlg->GetDlgItemText(IDC_RTEX_REPLACE));
        // A refused find mask, then Cancel.
        AnswerMasks("0x12", "0x5678????")(window);
        return Press(window, IDCANCEL);
    });
    {
        CRTextureDialog dlg;
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    }
    EXPECT_EQ(find, "1234abcd");
    EXPECT_EQ(replace, "0X####00??");
    // The refused find text is remembered; the replace mask never reached its
    // member, so the last accepted one stays.
    EXPECT_EQ(g_strFindMask, L"0x12");
    EXPECT_EQ(g_strReplaceMask, L"0X####00??");
    // Cancel alone remembers nothing.
    script.Then([&](QDialog& window) {
        auto* dlg = DialogOf<CRTextureDialog>(window);
        dlg->GetDlgItemAs<QLineEdit>(IDC_RTEX_FIND)->setText(QStringLiteral("0xffffffff"));
        dlg->GetDlgItemAs<QLineEdit>(IDC_RTEX_REPLACE)->setText(QStringLiteral("0x00000000"));
        return Press(window, IDCANCEL);
    });
    CRTextureDialog dlg;
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(g_strFindMask, L"0x12");
    EXPECT_EQ(g_strReplaceMask, L"0X####00??");
    EXPECT_EQ(messages.texts(), std::vector<std::wstring>{L"Invalid ID Mask"});
}

using TextureCommand = TextureTest;

TEST_F(TextureCommand, MatchingIdsAreRebuiltAndTheOthersReported) {
    Workspace w;
    Model one{0x1000, 0x10000, false, "One"};
    one.mats = [](int) { return std::vector<S3DMaterial>{Material(0x1234ABCD, false), Material(0x99990000, false)}; };
    CDATDoc* doc = w.Open("texture.dat", {one, Model{0x2000, 0x20000, true, "Twenty"}});
    ASSERT_TRUE(doc);
    Workspace::Select(doc, {0});

    kvtest::ModalScript script;
    ResultSeen seen;
    script.Then(AnswerMasks("1234????", "0X####00??"));
    script.Then(AnswerResult(seen));
    Workspace::Run(doc, ID_EDIT_REPLACETEXTURE);

    EXPECT_EQ(script.titles(), (std::vector<QString>{"Texture Replace Parameters", "Texture Replace Operation"}));
    EXPECT_EQ(seen.message,
              L"The operations requested were not carried-out for some of the selected S3D files/textures!");
    EXPECT_EQ(seen.ticked, 1);
    EXPECT_EQ(w.messages.beeps(), std::vector<unsigned>{MB_ICONEXCLAMATION});
    ASSERT_EQ(Workspace::ReportTexts(doc).size(), 1u);
    EXPECT_EQ(Workspace::ReportTexts(doc)[0],
              L"Texture Replacement Report for texture.dat\r\n"
              L"------------------------------------------\r\n"
              L"0x5ad0e817 0x001000 0x010000 Block=0  Mat=0x1234abcd : Changed to 0x0100cd\r\n"
              L"0x5ad0e817 0x001000 0x010000 Block=1  Mat=0x99990000 : Not Matching\r\n");
    auto mats = Materials(doc, 0);
    ASSERT_EQ(mats.size(), 2u);
    EXPECT_EQ(mats[0].textures.at(0).textureId, 0x000100CDu);
    EXPECT_EQ(mats[1].textures.at(0).textureId, 0x99990000u);
    EXPECT_EQ(Marks(doc, 0), MarkedAt(6, L'X'));
    EXPECT_EQ(Marks(doc, 1), kUnmarked);
    EXPECT_FALSE(doc->AnyPending());
    EXPECT_TRUE(doc->IsModified());

    // The masks come back in the next run as they were typed.
    QString find, replace;
    script.Then([&](QDialog& window) {
        auto* dlg = DialogOf<CRTextureDialog>(window);
        find = QString::fromStdWString(dlg->GetDlgItemText(IDC_RTEX_FIND));
        replace = QString::fromStdWString(dlg->GetDlgItemText(IDC_RTEX_REPLACE));
        return Press(window, IDCANCEL);
    });
    Workspace::Run(doc, ID_EDIT_REPLACETEXTURE);
    EXPECT_EQ(find, "1234????");
    EXPECT_EQ(replace, "0X####00??");
    EXPECT_TRUE(w.messages.boxes().empty());
}

TEST_F(TextureCommand, ATwentyViewModelIsEditedViewByViewAndMarkedOnce) {
    Workspace w;
    CDATDoc* doc = w.Open("views.dat", {Model{0x2000, 0x20000, true, "Twenty"}});
    ASSERT_TRUE(doc);
    Workspace::Select(doc, {0});

    kvtest::ModalScript script;
    ResultSeen seen;
    script.Then(AnswerMasks("0x????????", "0x#####???"));
    script.Then(AnswerResult(seen, 1));
    Workspace::Run(doc, ID_EDIT_REPLACETEXTURE);

    EXPECT_EQ(seen.message, L"All requested operations were carried-out successfully.");
    EXPECT_EQ(seen.ticked, 0);
    std::wstring expected = Heading(L"Texture Replacement Report for views.dat");
    for (int j = 0; j < 20; ++j) {
        const unsigned instance = 0x20000u + static_cast<unsigned>(j / 4) * 0x100 + static_cast<unsigned>(j % 4) * 0x10;
        wchar_t line[128];
        std::swprintf(line, 128, L"0x5ad0e817 0x002000 %#08x Block=0  Mat=0x1234abcd : Changed to %#08x\r\n", instance,
                      (instance & 0xFFFFF000u) | 0xBCDu);
        expected += line;
        EXPECT_EQ(Materials(doc, static_cast<std::uint32_t>(j)).at(0).textures.at(0).textureId,
                  (instance & 0xFFFFF000u) | 0xBCDu)
            << j;
    }
    ASSERT_EQ(Workspace::ReportTexts(doc).size(), 1u);
    EXPECT_EQ(Workspace::ReportTexts(doc)[0], expected);
    EXPECT_EQ(Marks(doc, 0), MarkedAt(6, L'X'));
    EXPECT_TRUE(doc->IsModified());
}

TEST_F(TextureCommand, NothingChangedCommitsButLeavesTheArchiveUnmodified) {
    struct Case {
        const char* name;
        std::vector<S3DMaterial> mats;
        std::wstring lines;
    };
    const Case cases[] = {
        {"nomatch.dat", {Material(0x1234ABCD, false)},
         L"0x5ad0e817 0x001000 0x010000 Block=0  Mat=0x1234abcd : Not Matching\r\n"},
        {"sameid.dat", {Material(0xFFFF0000, false)},
         L"0x5ad0e817 0x001000 0x010000 Block=0  Mat=0xffff0000 : No action taken - Replace ID equals Original ID\r\n"},
        // A model without materials is still processed: no Internal Error #8.
        {"nomats.dat", {}, L""},
    };
    for (const Case& c : cases) {
        Workspace w;
        Model m;
        m.mats = [&c](int) { return c.mats; };
        CDATDoc* doc = w.Open(c.name, {m});
        ASSERT_TRUE(doc);
        const std::vector<std::uint8_t> before = Bytes(doc, 0);
        Workspace::Select(doc, {0});
        kvtest::ModalScript script;
        ResultSeen seen;
        script.Then(AnswerMasks("0xffff????", "0x????0000"));
        script.Then(AnswerResult(seen));
        Workspace::Run(doc, ID_EDIT_REPLACETEXTURE);
        EXPECT_EQ(seen.message,
                  L"The operations requested were not carried-out for any of the selected S3D files/textures!")
            << c.name;
        EXPECT_EQ(seen.ticked, 1);
        ASSERT_EQ(Workspace::ReportTexts(doc).size(), 1u) << c.name;
        EXPECT_EQ(Workspace::ReportTexts(doc)[0],
                  Heading(L"Texture Replacement Report for " + QString(c.name).toStdWString()) + c.lines);
        EXPECT_EQ(Bytes(doc, 0), before);
        EXPECT_EQ(Marks(doc, 0), kUnmarked);
        EXPECT_FALSE(doc->IsModified()) << c.name;
        EXPECT_TRUE(w.messages.boxes().empty()) << c.name;
    }
}

TEST_F(TextureCommand, AMissingViewEndsTheCommandWithItsInternalError) {
    Workspace w;
    CDATDoc* doc = w.Open("missing.dat", {Model{0x2000, 0x20000, true, "Twenty"}});
    ASSERT_TRUE(doc);
    // View 9 (zoom index 2, rotation 1) goes missing from the index.
    _dbpf_index_entry e = doc->IndexEntry(9);
    ASSERT_EQ(e.instance, 0x20210u);
    e.instance = 0x7777;
    doc->SetIndexEntry(9, e);
    Workspace::Select(doc, {0});
    kvtest::ModalScript script;
    script.Then(AnswerMasks("0x????????", "0x#####???"));
    Workspace::Run(doc, ID_EDIT_REPLACETEXTURE);
    EXPECT_EQ(script.titles().size(), 1u);  // no result dialog
    EXPECT_EQ(w.messages.texts(), std::vector<std::wstring>{L"Internal Error #2! This should never occur!!!"});
    EXPECT_EQ(Materials(doc, 8).at(0).textures.at(0).textureId, (0x20200u & 0xFFFFF000u) | 0xBCDu);  // edited before the stop
    EXPECT_EQ(Marks(doc, 0), kUnmarked);
}

TEST_F(TextureCommand, NoEntryProcessedIsAnInternalError) {
    Workspace w;
    CDATDoc* doc = w.Open("none.dat", {Model{}});
    ASSERT_TRUE(doc);
    Workspace::Select(doc, {});
    kvtest::ModalScript script;
    script.Then(AnswerMasks("0x????????", "0x00000000"));
    Workspace::ListOf(doc)->OnEditReplaceTexture();
    EXPECT_EQ(script.titles().size(), 1u);
    EXPECT_EQ(w.messages.texts(), std::vector<std::wstring>{L"Internal Error #8! This should never occur!!!"});
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(TextureCommand, AMaterialWithoutTextureEndsTheCommandWithItsMessage) {
    Workspace w;
    S3DMaterial bare = Material(1, false);
    bare.textures.clear();
    Model first{0x1000, 0x10000, false, "First"};
    Model second{0x1000, 0x10010, false, "Second"};
    second.mats = [bare](int) { return std::vector<S3DMaterial>{bare}; };
    CDATDoc* doc = w.Open("bare.dat", {first, second});
    ASSERT_TRUE(doc);
    Workspace::Select(doc, {0, 1});
    kvtest::ModalScript script;
    script.Then(AnswerMasks("0x????????", "0x00000001"));
    Workspace::Run(doc, ID_EDIT_REPLACETEXTURE);
    EXPECT_EQ(script.titles().size(), 1u);  // no result dialog
    EXPECT_EQ(w.messages.texts(), std::vector<std::wstring>{L"Encountered an improper argument."});
    EXPECT_EQ(Marks(doc, 0), MarkedAt(6, L'X'));  // the model before the failure keeps its mark
    EXPECT_EQ(Marks(doc, 1), kUnmarked);
    EXPECT_TRUE(doc->IsModified());  // the first model's new texture is kept in step with the prompt
}

}  // namespace
