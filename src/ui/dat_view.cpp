#include "ui/dat_view.h"

#include <algorithm>
#include <memory>
#include <numeric>
#include <string_view>
#include <unordered_map>

#include <QCollator>
#include <QCoreApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QStatusTipEvent>
#include <QStyle>
#include <QToolTip>

#include "archive/dat_doc.h"
#include "edits/edit_frame.h"
#include "platform/qt/frames.h"
#include "platform/qt/winapp.h"
#include "resources/resource.h"

int CDATView::s_nLastTipItem = -1;

namespace {

const char* const kEmptyText = "This archive contains no S3D files!";

// lstrcmpW compares by the user's locale, telling capitals from small letters.
// A process without a locale of its own compares as the desktop it came from.
const QCollator& ListCollator() {
    static const QCollator collator = [] {
        QLocale loc;
        if (loc.language() == QLocale::C) loc = QLocale(QLocale::English, QLocale::UnitedStates);
        QCollator c(loc);
        c.setCaseSensitivity(Qt::CaseSensitive);
        c.setNumericMode(false);
        c.setIgnorePunctuation(false);
        return c;
    }();
    return collator;
}

// The index entry of a model's base row.
_dbpf_index_entry BaseEntry(const CDATDoc& doc, std::size_t model) {
    return doc.IndexEntry(static_cast<std::uint32_t>(doc.m_pModels[model].nRow));
}

QString Wide(const wchar_t* s, std::size_t n) { return QString::fromWCharArray(s, static_cast<qsizetype>(n)); }

// lstrcmpW sorts words: hyphens and apostrophes weigh next to nothing, so
// "co-op" sorts beside "coop" and "it's" after "itr". They only decide
// between texts that are equal without them: the text without such a
// character first, then by where they stand.
bool IsWordSortSpecial(wchar_t c) {
    return c == L'-' || c == L'\'' || c == 0x00AD || c == 0x2010 || c == 0x2011 || c == 0xFF07 || c == 0xFF0D;
}

struct WordSortKey {
    QCollatorSortKey primary;
    std::vector<std::pair<std::uint32_t, wchar_t>> specials;  // (position, character)
};

WordSortKey MakeWordSortKey(std::wstring_view text) {
    if (std::none_of(text.begin(), text.end(), IsWordSortSpecial))
        return {ListCollator().sortKey(QString::fromWCharArray(text.data(), static_cast<qsizetype>(text.size()))), {}};
    QString rest;
    rest.reserve(static_cast<qsizetype>(text.size()));
    std::vector<std::pair<std::uint32_t, wchar_t>> specials;
    for (std::size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (IsWordSortSpecial(c)) {
            specials.push_back({static_cast<std::uint32_t>(i), c});
        } else if (static_cast<std::uint32_t>(c) < 0x10000) {
            rest.append(QChar(static_cast<char16_t>(c)));
        } else {
            char32_t u = static_cast<char32_t>(c);
            rest.append(QString::fromUcs4(&u, 1));
        }
    }
    return {ListCollator().sortKey(rest), std::move(specials)};
}

int CompareWordSortKeys(const WordSortKey& a, const WordSortKey& b) {
    int c = a.primary.compare(b.primary);
    if (c != 0) return c < 0 ? -1 : 1;
    if (a.specials == b.specials) return 0;
    return std::lexicographical_compare(a.specials.begin(), a.specials.end(), b.specials.begin(), b.specials.end()) ? -1 : 1;
}

// Ranks of texts in lstrcmpW's order: texts that compare equal share a rank,
// so sorting by rank is sorting by the texts. With `fewDistinct` (the change
// marks) each distinct text is keyed once; names are mostly distinct, and
// keying each is cheaper than looking each up first.
template <bool fewDistinct, typename GetText>
std::vector<std::int32_t> CollationRanks(std::size_t n, GetText text) {
    std::vector<std::int32_t> idOf(n);
    std::vector<WordSortKey> keys;
    if constexpr (fewDistinct) {
        std::unordered_map<std::wstring_view, std::int32_t> ids;
        for (std::size_t i = 0; i < n; ++i) {
            std::wstring_view t = text(i);
            auto [it, added] = ids.try_emplace(t, static_cast<std::int32_t>(keys.size()));
            if (added) keys.push_back(MakeWordSortKey(t));
            idOf[i] = it->second;
        }
    } else {
        keys.reserve(n);
        for (std::size_t i = 0; i < n; ++i) {
            keys.push_back(MakeWordSortKey(text(i)));
            idOf[i] = static_cast<std::int32_t>(i);
        }
    }
    std::vector<std::int32_t> byKey(keys.size());
    std::iota(byKey.begin(), byKey.end(), 0);
    std::sort(byKey.begin(), byKey.end(), [&](std::int32_t a, std::int32_t b) {
        return CompareWordSortKeys(keys[static_cast<std::size_t>(a)], keys[static_cast<std::size_t>(b)]) < 0;
    });
    std::vector<std::int32_t> rankOfId(keys.size());
    std::int32_t rank = 0;
    for (std::size_t k = 0; k < byKey.size(); ++k) {
        if (k > 0 && CompareWordSortKeys(keys[static_cast<std::size_t>(byKey[k - 1])], keys[static_cast<std::size_t>(byKey[k])]) != 0)
            ++rank;
        rankOfId[static_cast<std::size_t>(byKey[k])] = rank;
    }
    std::vector<std::int32_t> out(n);
    for (std::size_t i = 0; i < n; ++i) out[i] = rankOfId[static_cast<std::size_t>(idOf[i])];
    return out;
}

// Advances of single characters, cached: the sum over a text is a close
// (usually slightly generous) estimate of its width.
class AdvanceCache {
public:
    explicit AdvanceCache(const QFontMetrics& fm) : m_fm(fm) { m_ascii.fill(-1); }
    int operator()(char32_t ch) {
        if (ch < 128) {
            int& a = m_ascii[ch];
            if (a < 0) a = m_fm.horizontalAdvance(QChar(static_cast<char16_t>(ch)));
            return a;
        }
        auto it = m_other.find(ch);
        if (it != m_other.end()) return it->second;
        QString s = QString::fromUcs4(&ch, 1);
        return m_other[ch] = m_fm.horizontalAdvance(s);
    }

private:
    const QFontMetrics& m_fm;
    std::array<int, 128> m_ascii;
    std::unordered_map<char32_t, int> m_other;
};

// A context menu is a window of its own, so the prompts of its entries stop
// at it; this hands them on to the main frame's status bar, as the menu
// bar's menus do, and gives the bar back its idle text when the menu closes.
class StatusPromptRelay : public QObject {
public:
    explicit StatusPromptRelay(QMenu* menu) : QObject(menu) {
        menu->installEventFilter(this);
        connect(menu, &QMenu::aboutToHide, this, [] { Relay(QString()); });
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::StatusTip) return false;
        Relay(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }

private:
    static void Relay(const QString& tip) {
        if (CMDIFrameWndEx* frame = AfxGetMainWnd()) {
            QStatusTipEvent e(tip);
            QCoreApplication::sendEvent(frame, &e);
        }
    }
};

// The list's header; it tells how wide a column's title is.
class CListHeader : public QHeaderView {
public:
    explicit CListHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}
    int TitleWidth(int section) const { return sectionSizeFromContents(section).width(); }
};

}  // namespace

// ---------------------------------------------------------------- CDATListModel

// The columns: what each is called, how it is aligned, what its cells show and
// how it sorts. A new column is an entry of Column and a line here.
const CDATListModel::ColumnSpec CDATListModel::kColumnSpecs[kColumns] = {
    // Num sorts by the model's place in the model table, whatever index row the cell shows.
    {L"Num", CDATView::LVCFMT_RIGHT, false, [](const Row& r, const _dat_model*) { return CellValue{CellValue::kDecimal, r.num, {}}; },
     SortBy::kNumber, [](const CDATDoc&, std::size_t m) { return static_cast<std::int64_t>(m); }, nullptr},
    {L"Entry", CDATView::LVCFMT_LEFT, true, [](const Row&, const _dat_model*) { return CellValue{CellValue::kText, 0, L"S3D file"}; },
     SortBy::kNothing, nullptr, nullptr},
    {L"Type", CDATView::LVCFMT_LEFT, false, [](const Row& r, const _dat_model*) { return CellValue{CellValue::kHex, r.type, {}}; },
     SortBy::kNumber, [](const CDATDoc& d, std::size_t m) { return static_cast<std::int64_t>(BaseEntry(d, m).type); }, nullptr},
    {L"Group", CDATView::LVCFMT_LEFT, false, [](const Row& r, const _dat_model*) { return CellValue{CellValue::kHex, r.group, {}}; },
     SortBy::kNumber, [](const CDATDoc& d, std::size_t m) { return static_cast<std::int64_t>(BaseEntry(d, m).group); }, nullptr},
    {L"Instance", CDATView::LVCFMT_LEFT, false, [](const Row& r, const _dat_model*) { return CellValue{CellValue::kHex, r.instance, {}}; },
     SortBy::kNumber, [](const CDATDoc& d, std::size_t m) { return static_cast<std::int64_t>(BaseEntry(d, m).instance); }, nullptr},
    {L"Z/R", CDATView::LVCFMT_RIGHT, false, [](const Row& r, const _dat_model*) { return CellValue{CellValue::kDecimal, r.views, {}}; },
     SortBy::kNumber, [](const CDATDoc& d, std::size_t m) { return static_cast<std::int64_t>(d.m_pModels[m].nViews); }, nullptr},
    // The cell shows the marks as the last hint left them; the sort reads the record.
    {L"Changes", CDATView::LVCFMT_LEFT, false,
     [](const Row& r, const _dat_model*) { return CellValue{CellValue::kText, 0, std::wstring_view(r.marks.data(), r.marks.size())}; },
     SortBy::kWords, nullptr, [](const _dat_model& m) { return std::wstring_view(m.szStatus.data(), 7); }},
    {L"Model Name", CDATView::LVCFMT_LEFT, false,
     [](const Row&, const _dat_model* m) { return CellValue{CellValue::kText, 0, m ? std::wstring_view(m->szName) : std::wstring_view()}; },
     SortBy::kFixedWords, nullptr, [](const _dat_model& m) { return std::wstring_view(m.szName); }},
};

bool CDATListModel::IsRightAligned(int column) {
    return column >= 0 && column < kColumns && (kColumnSpecs[column].format & CDATView::LVCFMT_RIGHT) != 0;
}

QString CDATListModel::HexText(std::uint32_t v) {
    // "%#08x": zero alone has no prefix; otherwise "0x" and at least six digits.
    if (v == 0) return QStringLiteral("00000000");
    char16_t buf[10];
    int digits = 0;
    for (std::uint32_t t = v; t; t >>= 4) ++digits;
    digits = std::max(digits, 6);
    buf[0] = u'0';
    buf[1] = u'x';
    for (int i = 0; i < digits; ++i) buf[1 + digits - i] = u"0123456789abcdef"[(v >> (4 * i)) & 0xF];
    return QString(reinterpret_cast<const QChar*>(buf), 2 + digits);
}

void CDATListModel::Fill(const CDATDoc& doc) {
    beginResetModel();
    m_pDoc = &doc;
    m_bEmptyForm = false;
    const std::size_t n = std::min<std::size_t>(doc.m_nModels, doc.m_pModels.size());
    m_rows.assign(n, Row{});
    m_order.resize(n);
    m_rowOf.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const _dat_model& m = doc.m_pModels[i];
        Row& r = m_rows[i];
        r.num = m.nRow;
        _dbpf_index_entry e = doc.IndexEntry(static_cast<std::uint32_t>(m.nRow));
        r.type = e.type;
        r.group = e.group;
        r.instance = e.instance;
        r.views = m.nViews;
        std::copy_n(m.szStatus.begin(), 7, r.marks.begin());
        m_order[i] = static_cast<std::int32_t>(i);
        m_rowOf[i] = static_cast<std::int32_t>(i);
    }
    endResetModel();
}

void CDATListModel::FillEmptyForm() {
    beginResetModel();
    m_bEmptyForm = true;
    m_rows.clear();
    m_order.clear();
    m_rowOf.clear();
    endResetModel();
}

int CDATListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return m_bEmptyForm ? 1 : static_cast<int>(m_order.size());
}

int CDATListModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return m_bEmptyForm ? 1 : kColumns;
}

std::intptr_t CDATListModel::ItemData(int row) const {
    if (m_bEmptyForm) return row == 0 ? 0 : -1;
    if (row < 0 || row >= static_cast<int>(m_order.size())) return -1;
    return m_order[static_cast<std::size_t>(row)];
}

int CDATListModel::RowOf(std::intptr_t model) const {
    if (m_bEmptyForm || model < 0 || model >= static_cast<std::intptr_t>(m_rowOf.size())) return -1;
    return m_rowOf[static_cast<std::size_t>(model)];
}

QString CDATListModel::CellText(int row, int column) const {
    if (m_bEmptyForm) return row == 0 && column == 0 ? QString::fromLatin1(kEmptyText) : QString();
    std::intptr_t m = ItemData(row);
    if (m < 0 || column < 0 || column >= kColumns) return {};
    CellValue v = kColumnSpecs[column].cell(m_rows[static_cast<std::size_t>(m)], ModelRecord(m));
    switch (v.kind) {
    case CellValue::kDecimal: return QString::number(v.number);
    case CellValue::kHex: return HexText(static_cast<std::uint32_t>(v.number));
    case CellValue::kText: break;
    }
    return Wide(v.text.data(), v.text.size());
}

const _dat_model* CDATListModel::ModelRecord(std::intptr_t model) const {
    if (!m_pDoc || model < 0 || static_cast<std::size_t>(model) >= m_pDoc->m_pModels.size()) return nullptr;
    return &m_pDoc->m_pModels[static_cast<std::size_t>(model)];
}

QVariant CDATListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    switch (role) {
    case Qt::DisplayRole: return CellText(index.row(), index.column());
    case Qt::TextAlignmentRole:
        if (!m_bEmptyForm && IsRightAligned(index.column()))
            return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    case Qt::UserRole: return QVariant::fromValue<qint64>(ItemData(index.row()));
    default: return {};
    }
}

QVariant CDATListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::DisplayRole) {
        if (m_bEmptyForm) return section == 0 ? QStringLiteral("---") : QVariant();
        return section >= 0 && section < kColumns ? QString::fromWCharArray(kColumnSpecs[section].title) : QVariant();
    }
    if (role == Qt::TextAlignmentRole && !m_bEmptyForm && IsRightAligned(section))
        return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
    return {};
}

void CDATListModel::RewriteCell(std::intptr_t model, int column) {
    int row = RowOf(model);
    if (row < 0 || !m_pDoc || static_cast<std::size_t>(model) >= m_pDoc->m_pModels.size()) return;
    const _dat_model& m = m_pDoc->m_pModels[static_cast<std::size_t>(model)];
    Row& r = m_rows[static_cast<std::size_t>(model)];
    if (column == kColNum)
        r.num = m.nRow;
    else if (column == kColChanges)
        std::copy_n(m.szStatus.begin(), 7, r.marks.begin());
    else
        return;
    QModelIndex cell = index(row, column);
    emit dataChanged(cell, cell, {Qt::DisplayRole});
}

void CDATListModel::ApplyOrder(std::vector<std::int32_t> order) {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<std::int32_t> oldOrder = std::move(m_order);
    m_order = std::move(order);
    for (std::size_t r = 0; r < m_order.size(); ++r) m_rowOf[static_cast<std::size_t>(m_order[r])] = static_cast<std::int32_t>(r);
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& i : from) {
        int row = i.row() >= 0 && i.row() < static_cast<int>(oldOrder.size())
                      ? m_rowOf[static_cast<std::size_t>(oldOrder[static_cast<std::size_t>(i.row())])]
                      : i.row();
        to.append(index(row, i.column()));
    }
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

template <typename Less>
void CDATListModel::SortRows(Less less) {
    if (m_bEmptyForm || m_order.size() < 2) return;
    std::vector<std::int32_t> order = m_order;
    std::stable_sort(order.begin(), order.end(), less);
    if (order == m_order) return;
    ApplyOrder(std::move(order));
}

std::vector<int> CDATListModel::WidestRows(int column, const QFontMetrics& fm) const {
    const int rows = rowCount();
    if (rows == 0) return {};
    if (m_bEmptyForm || column < 0 || column >= kColumns || kColumnSpecs[column].sameTextInEveryRow) return {0};
    const ColumnSpec& spec = kColumnSpecs[column];
    AdvanceCache advance(fm);
    std::vector<std::pair<int, int>> estimates(static_cast<std::size_t>(rows));  // (estimate, row)
    for (int row = 0; row < rows; ++row) {
        std::intptr_t m = ItemData(row);
        CellValue v = spec.cell(m_rows[static_cast<std::size_t>(m)], ModelRecord(m));
        int w = 0;
        switch (v.kind) {
        case CellValue::kDecimal: {
            char buf[24];
            int n = std::snprintf(buf, sizeof buf, "%lld", v.number);
            for (int i = 0; i < n; ++i) w += advance(static_cast<char32_t>(buf[i]));
            break;
        }
        case CellValue::kHex:
            for (QChar c : HexText(static_cast<std::uint32_t>(v.number))) w += advance(c.unicode());
            break;
        case CellValue::kText:
            for (wchar_t c : v.text) w += advance(static_cast<char32_t>(c));
            break;
        }
        estimates[static_cast<std::size_t>(row)] = {w, row};
    }
    // Kerning and shaping move a text's drawn width a few pixels from the
    // sum of its characters: every row near the widest estimate is a
    // candidate, at least the 32 widest, at most a few thousand.
    const int slack = std::max(4, fm.averageCharWidth());
    const int widest = std::max_element(estimates.begin(), estimates.end())->first;
    auto near = std::partition(estimates.begin(), estimates.end(), [&](const auto& e) { return e.first >= widest - slack; });
    std::size_t k = static_cast<std::size_t>(near - estimates.begin());
    k = std::clamp<std::size_t>(k, std::min<std::size_t>(32, estimates.size()), 4096);
    k = std::min(k, estimates.size());
    auto byWidth = [](const auto& a, const auto& b) { return a.first > b.first; };
    std::nth_element(estimates.begin(), estimates.begin() + static_cast<std::ptrdiff_t>(k - 1), estimates.end(), byWidth);
    std::vector<int> out;
    out.reserve(k);
    for (std::size_t i = 0; i < k; ++i) out.push_back(estimates[i].second);
    return out;
}

// ---------------------------------------------------------------- CDATView

CDATView::CDATView(QWidget* parent) : QTreeView(parent) {
    setObjectName(QStringLiteral("DATView"));
    MapSelectionCommands();
    MapGeometryCommands();
    MapMaterialCommands();
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSortingEnabled(false);
    setTextElideMode(Qt::ElideRight);
    setFrameShape(QFrame::StyledPanel);
    // Only a right click opens the Edit menu, not the keyboard's menu key.
    setContextMenuPolicy(Qt::PreventContextMenu);
    // The list sees every move of the pointer, not only those with a button
    // down: the Changes tip follows them.
    viewport()->setMouseTracking(true);
    setHeader(new CListHeader(this));
    setModel(&m_model);
    QHeaderView* h = header();
    h->setSectionsClickable(true);
    h->setSectionsMovable(false);
    h->setStretchLastSection(false);
    h->setHighlightSections(false);
    h->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    h->setSectionResizeMode(QHeaderView::Interactive);
    connect(h, &QHeaderView::sectionClicked, this, [this](int c) { OnHeaderItemClick(c); });
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [] {
        if (CMDIFrameWndEx* f = AfxGetMainWnd()) f->RequestCommandUpdate();
    });
}

CDATView::~CDATView() {
    m_model.Detach();
    setModel(nullptr);
}

CDATDoc* CDATView::GetDocument() const { return dynamic_cast<CDATDoc*>(CWndView::GetDocument()); }

void CDATView::OnInitialUpdate() {
    CWndView::OnInitialUpdate();
    CDATDoc* doc = GetDocument();
    if (!doc || doc->m_nModels == 0 || doc->m_pModels.empty()) {
        // No models: one line under a hidden header, nothing to sort or explain.
        setHeaderHidden(true);
        m_model.FillEmptyForm();
        header()->resizeSection(0, sizeHintForIndex(m_model.index(0, 0)).width());
        return;
    }
    m_model.Fill(*doc);
    for (int c = 0; c < CDATListModel::kColumns; ++c) m_nFormat[c] |= CDATListModel::kColumnSpecs[c].format;
    m_nSortColumn = CDATListModel::kColNum;
    std::fill(std::begin(m_bSortDescending), std::end(m_bSortDescending), 0);
    m_nFormat[m_nSortColumn] |= HDF_SORTUP;
    header()->setSortIndicatorShown(true);
    ShowArrow();
    SizeColumns();
}

void CDATView::SizeColumns() {
    // Each column is as wide as its header text plus 32 pixels, or as its
    // widest cell when that is wider. A cell's width is what the item
    // delegate asks for (text, margins, rounding), measured on the few rows
    // the font's advances name as the widest: measuring every row of a big
    // archive that way takes seconds.
    QHeaderView* h = header();
    QFontMetrics fm(font());
    for (int c = 0; c < CDATListModel::kColumns; ++c) {
        int byHeader = static_cast<CListHeader*>(h)->TitleWidth(c) + 32;
        int byContent = 0;
        for (int row : m_model.WidestRows(c, fm)) byContent = std::max(byContent, sizeHintForIndex(m_model.index(row, c)).width());
        h->resizeSection(c, std::max(byHeader, byContent));
    }
}

void CDATView::ShowArrow() {
    // The toolkit draws its "descending" indicator as the arrow that points up.
    header()->setSortIndicator(m_nSortColumn, m_bSortDescending[m_nSortColumn] ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void CDATView::OnUpdate(CView* sender, std::intptr_t lHint, std::intptr_t pHint) {
    if (pHint != HINT_MODEL_ROW && pHint != HINT_MODEL_CHANGES) {
        (void)sender;
        viewport()->update();
        return;
    }
    // An archive without models has no row of a model to rewrite.
    if (m_model.IsEmptyForm()) return;
    m_model.RewriteCell(lHint, pHint == HINT_MODEL_ROW ? CDATListModel::kColNum : CDATListModel::kColChanges);
}

void CDATView::OnHeaderItemClick(int c) {
    if (m_model.IsEmptyForm() || c < 0 || c >= CDATListModel::kColumns) return;
    if (c == m_nSortColumn) {
        m_bSortDescending[c] = m_bSortDescending[c] ? 0 : 1;
    } else {
        m_nFormat[m_nSortColumn] &= ~(HDF_SORTUP | HDF_SORTDOWN);
        m_nSortColumn = c;
    }
    m_nFormat[c] &= ~(HDF_SORTUP | HDF_SORTDOWN);
    m_nFormat[c] |= m_bSortDescending[c] ? HDF_SORTDOWN : HDF_SORTUP;
    ShowArrow();
    SortByCurrentColumn();
}

void CDATView::SortByCurrentColumn() {
    CDATDoc* doc = GetDocument();
    if (!doc) return;
    const CDATListModel::ColumnSpec& spec = CDATListModel::kColumnSpecs[m_nSortColumn];
    const bool desc = m_bSortDescending[m_nSortColumn] != 0;
    const std::size_t n = std::min<std::size_t>(doc->m_nModels, doc->m_pModels.size());
    // Each model's key is read once from its record; the sort then compares keys.
    std::vector<std::int64_t> key(n);
    switch (spec.sortBy) {
    case CDATListModel::SortBy::kNothing: return;
    case CDATListModel::SortBy::kNumber:
        for (std::size_t i = 0; i < n; ++i) key[i] = spec.number(*doc, i);
        break;
    case CDATListModel::SortBy::kWords: {
        // Texts that edits change are ranked afresh; they have few distinct values.
        auto ranks = CollationRanks<true>(n, [&](std::size_t i) { return spec.words(doc->m_pModels[i]); });
        for (std::size_t i = 0; i < n; ++i) key[i] = ranks[i];
        break;
    }
    case CDATListModel::SortBy::kFixedWords: {
        const std::vector<std::int32_t>& ranks = FixedRanks(m_nSortColumn);
        if (ranks.size() < n) return;
        for (std::size_t i = 0; i < n; ++i) key[i] = ranks[i];
        break;
    }
    }
    m_model.SortRows([&](std::int32_t a, std::int32_t b) {
        std::int64_t ka = key[static_cast<std::size_t>(a)], kb = key[static_cast<std::size_t>(b)];
        return desc ? ka > kb : ka < kb;
    });
}

const std::vector<std::int32_t>& CDATView::FixedRanks(int column) {
    // The texts never change once the archive is open: every list of the
    // document shares the ranks the first sort by the column made.
    std::shared_ptr<const std::vector<std::int32_t>>& ranks = m_pFixedRanks[static_cast<std::size_t>(column)];
    if (!ranks) {
        CDATDoc* doc = GetDocument();
        if (doc)
            for (CView* v : doc->GetViews())
                if (auto* other = dynamic_cast<CDATView*>(v);
                    other && other != this && other->m_pFixedRanks[static_cast<std::size_t>(column)]) {
                    ranks = other->m_pFixedRanks[static_cast<std::size_t>(column)];
                    break;
                }
        if (!ranks) {
            const std::size_t n = doc ? std::min<std::size_t>(doc->m_nModels, doc->m_pModels.size()) : 0;
            auto words = CDATListModel::kColumnSpecs[column].words;
            ranks = std::make_shared<const std::vector<std::int32_t>>(
                CollationRanks<false>(n, [&](std::size_t i) { return words(doc->m_pModels[i]); }));
        }
    }
    return *ranks;
}

QMenu* CDATView::OnRClick(QPoint pos) {
    CWinAppEx* app = AfxGetApp();
    if (!app || !app->GetContextMenuManager()) return nullptr;
    QMenu* menu = app->GetContextMenuManager()->ShowPopupMenu(IDR_POPUP_EDIT, viewport()->mapToGlobal(pos), this);
    if (menu) new StatusPromptRelay(menu);
    return menu;
}

void CDATView::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    if (event->button() == Qt::RightButton) OnRClick(event->position().toPoint());
}

void CDATView::keyPressEvent(QKeyEvent* event) {
    // Select All and Copy are the accelerators' commands; when the command is
    // disabled the keys do nothing here, as the list control never took them.
    if (event->matches(QKeySequence::SelectAll) || event->matches(QKeySequence::Copy)) {
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

bool CDATView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::MouseMove || event->type() == QEvent::HoverMove) {
        // Every move of the pointer is a hit test for the tip, as a tooltip
        // control makes one on each mouse message: leaving the row whose tip
        // shows closes it, so the pointer's next rest shows the new row's tip.
        QPoint pos = event->type() == QEvent::MouseMove ? static_cast<QMouseEvent*>(event)->position().toPoint()
                                                         : static_cast<QHoverEvent*>(event)->position().toPoint();
        QModelIndex idx = indexAt(pos);
        if (s_nLastTipItem != -1 && (!idx.isValid() || idx.column() != CDATListModel::kColChanges || idx.row() != s_nLastTipItem)) {
            s_nLastTipItem = -1;
            QToolTip::hideText();
        }
        return QTreeView::viewportEvent(event);
    }
    if (event->type() != QEvent::ToolTip) return QTreeView::viewportEvent(event);
    auto* he = static_cast<QHelpEvent*>(event);
    QModelIndex idx = indexAt(he->pos());
    CDATDoc* doc = GetDocument();
    if (!idx.isValid() || idx.column() != CDATListModel::kColChanges || m_model.IsEmptyForm() || !doc) {
        s_nLastTipItem = -1;
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    if (s_nLastTipItem != -1 && s_nLastTipItem != idx.row()) {
        // The previous row's tip closes; the next pause over this row opens its own.
        s_nLastTipItem = -1;
        QToolTip::hideText();
        return true;
    }
    s_nLastTipItem = idx.row();
    doc->FormatChanges(static_cast<int>(m_model.ItemData(idx.row())));
    QToolTip::showText(he->globalPos(), QString::fromWCharArray(g_szChangesText), viewport(), visualRect(idx));
    return true;
}

int CDATView::GetItemCount() const { return m_model.rowCount(); }
std::intptr_t CDATView::GetItemData(int row) const { return m_model.ItemData(row); }

bool CDATView::IsItemSelected(int row) const {
    return row >= 0 && row < GetItemCount() && selectionModel()->isSelected(m_model.index(row, 0));
}

void CDATView::SetItemSelected(int row, bool selected) {
    if (row < 0 || row >= GetItemCount()) return;
    selectionModel()->select(m_model.index(row, 0),
                             (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                                 QItemSelectionModel::Rows);
}

int CDATView::GetSelectedCount() const {
    // The ranges of a selection never overlap; each row counts once, by its first cell.
    int n = 0;
    for (const QItemSelectionRange& r : selectionModel()->selection())
        if (r.left() == 0) n += r.height();
    return n;
}

void CDATView::SelectAllItems() { selectAll(); }
void CDATView::ClearSelectedItems() { selectionModel()->clearSelection(); }
QString CDATView::GetItemText(int row, int column) const { return m_model.CellText(row, column); }
int CDATView::GetColumnWidth(int column) const { return header()->sectionSize(column); }
int CDATView::GetColumnFormat(int column) const {
    return column >= 0 && column < CDATListModel::kColumns ? m_nFormat[column] : 0;
}
