#pragma once
// The archive window's list of models: one row per model of the document's
// model table, with its index row, entry address, number of views, change
// marks and display name. The rows are sorted by the models' records (never
// by the texts shown), each column remembering its own direction; a row's
// item data is its model's index in the model table.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <QAbstractTableModel>
#include <QTreeView>

#include "platform/qt/view.h"

class CDATDoc;
struct _dat_model;
class QMenu;

// The rows of one list, in display order, with the texts they were given.
// Only hints rewrite the texts of the Num and Changes cells afterwards.
class CDATListModel : public QAbstractTableModel {
    Q_OBJECT
    struct Row;

public:
    // The list's columns, in display order. Each has one entry in
    // kColumnSpecs, which says everything the list does with it.
    enum Column : int {
        kColNum,
        kColEntry,
        kColType,
        kColGroup,
        kColInstance,
        kColViews,  // "Z/R"
        kColChanges,
        kColName,
        kColumns
    };

    // What a cell holds, before it is formatted: a number printed "%d" or
    // "%#08x", or a text as it stands.
    struct CellValue {
        enum Kind { kDecimal, kHex, kText } kind = kText;
        long long number = 0;
        std::wstring_view text;
    };

    // How a column sorts. The keys are read from the document's records,
    // never from the texts shown.
    enum class SortBy {
        kNothing,     // every row compares equal
        kNumber,      // `number` of each model, as a signed 64-bit key
        kWords,       // `words` of each model in the list's collation, ranked at every sort
        kFixedWords,  // as kWords for texts that never change while the archive is open:
                      // ranked once, shared by every list of the document
    };

    struct ColumnSpec {
        const wchar_t* title;
        int format;  // CDATView::LVCFMT_LEFT or LVCFMT_RIGHT
        // Every row shows the same text, so one row tells the column's width.
        bool sameTextInEveryRow;
        // The cell of a row as filled (and as hints rewrote it); `model` is
        // the document's record of the row, null when the row has none.
        CellValue (*cell)(const Row& row, const _dat_model* model);
        SortBy sortBy;
        std::int64_t (*number)(const CDATDoc& doc, std::size_t model);  // for kNumber
        std::wstring_view (*words)(const _dat_model& model);            // for kWords, kFixedWords
    };
    static const ColumnSpec kColumnSpecs[kColumns];

    explicit CDATListModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    // Fills the rows in model-table order from the document.
    void Fill(const CDATDoc& doc);
    // The one-line form of an archive without models.
    void FillEmptyForm();
    bool IsEmptyForm() const { return m_bEmptyForm; }
    void Detach() { m_pDoc = nullptr; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Item data of a row (the model's index in the table); -1 outside the list.
    std::intptr_t ItemData(int row) const;
    // The row of model `model`; -1 when no row carries it.
    int RowOf(std::intptr_t model) const;
    QString CellText(int row, int column) const;

    // Rewrites one cell from the document: the Num cell (kColNum) or the
    // Changes cell (kColChanges) of model `model`.
    void RewriteCell(std::intptr_t model, int column);

    // Reorders the rows so that `less` holds between neighbours; equal rows
    // keep their order. Selection and current row travel with their rows.
    template <typename Less>
    void SortRows(Less less);

    // The rows whose texts in `column` may be the widest drawn, judged by
    // the sum of the font's advances of their characters.
    std::vector<int> WidestRows(int column, const QFontMetrics& fm) const;

    static QString HexText(std::uint32_t v);  // "%#08x"

private:
    void ApplyOrder(std::vector<std::int32_t> order);
    static bool IsRightAligned(int column);
    // The document's record of model `model`; null when there is none.
    const _dat_model* ModelRecord(std::intptr_t model) const;

    // What the cells show, as filled.
    struct Row {
        std::int32_t num = 0;  // the index row shown in Num
        std::uint32_t type = 0, group = 0, instance = 0;
        std::int32_t views = 0;
        std::array<wchar_t, 7> marks{};
    };
    const CDATDoc* m_pDoc = nullptr;
    bool m_bEmptyForm = false;
    std::vector<Row> m_rows;              // by model index
    std::vector<std::int32_t> m_order;    // display row -> model index
    std::vector<std::int32_t> m_rowOf;    // model index -> display row
};

class CDATView : public QTreeView, public CWndView {
    Q_OBJECT
public:
    // List-view column formats: alignment and the header's sort arrows.
    enum : int { LVCFMT_LEFT = 0, LVCFMT_RIGHT = 1, HDF_SORTDOWN = 0x200, HDF_SORTUP = 0x400 };

    explicit CDATView(QWidget* parent = nullptr);
    ~CDATView() override;

    QWidget* GetWidget() override { return this; }
    CDATDoc* GetDocument() const;
    void OnInitialUpdate() override;
    void OnUpdate(CView* sender, std::intptr_t lHint, std::intptr_t pHint) override;

    // The header's item click: sorts by column c.
    void OnHeaderItemClick(int c);
    // A right click at `pos` (viewport coordinates): the Edit context menu.
    QMenu* OnRClick(QPoint pos);

    // The list as the commands see it.
    int GetItemCount() const;
    std::intptr_t GetItemData(int row) const;
    bool IsItemSelected(int row) const;
    void SetItemSelected(int row, bool selected);
    int GetSelectedCount() const;
    void SelectAllItems();
    void ClearSelectedItems();
    QString GetItemText(int row, int column) const;
    int GetColumnWidth(int column) const;
    int GetColumnFormat(int column) const;
    bool IsEmptyForm() const { return m_model.IsEmptyForm(); }
    CDATListModel& GetListModel() { return m_model; }

    int m_bSortDescending[CDATListModel::kColumns] = {};
    int m_nSortColumn = 0;
    // The row whose Changes tip shows; one for all lists.
    static int s_nLastTipItem;

    // --- Edit commands: each group maps its commands into the view's
    // message map from its own source file. ---
    // Select All, the selection lists and the selection update handlers:
    void MapSelectionCommands();
    // Enabled when the archive has models and at least one row is selected.
    void OnUpdateNeedSelection(CCmdUI* pCmdUI);
    // As OnUpdateNeedSelection, and every selected model has 1 view.
    void OnUpdateNeed1ZRSelection(CCmdUI* pCmdUI);
    // As OnUpdateNeedSelection, and every selected model has 20 views.
    void OnUpdateNeed20ZRSelection(CCmdUI* pCmdUI);
    void OnUpdateEditSelectAll(CCmdUI* pCmdUI);
    void OnEditSelectAll();
    void OnEditCopySelectionList();
    void OnUpdateEditSelectClipboardList(CCmdUI* pCmdUI);
    void OnEditSelectClipboardList();
    // (end of driver commands)
    // measure, scale, move, rotate, flip, re-orient:
    void MapGeometryCommands();
    // Enabled when the archive has models and exactly one row is selected.
    void OnUpdateEditMeasureModel(CCmdUI* pCmdUI);
    void OnEditMeasureModel();
    void OnEditScaleModels();
    void OnEditMoveModels();
    void OnEditRotateModels();
    void OnEditFlipModels();
    void OnEditReorient();
    // (end of geometry commands)
    // merge, transparency, texture replacement:
    void MapMaterialCommands();
    void OnEditMergeModels();
    void OnEditSetTransparency();
    void OnEditReplaceTexture();
    // (end of material commands)

protected:
    bool viewportEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void SortByCurrentColumn();
    void ShowArrow();
    void SizeColumns();
    // The ranks of a kFixedWords column's texts in the list's collation,
    // made once for the document.
    const std::vector<std::int32_t>& FixedRanks(int column);

    CDATListModel m_model;
    std::array<std::shared_ptr<const std::vector<std::int32_t>>, CDATListModel::kColumns> m_pFixedRanks;
    int m_nFormat[CDATListModel::kColumns] = {};
    int m_nSelected = 0;
};
