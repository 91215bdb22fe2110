#include "platform/qt/toolbar_customize.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/message.h"
#include "platform/qt/frames.h"
#include "platform/qt/std_ids.h"

namespace {

constexpr unsigned kToolbarNameDialog = 0xF700;
constexpr int kNameEdit = 1000;


void RegisterNameDialog() {
    static const bool done = [] {
        kv::DialogTemplate t;
        t.id = kToolbarNameDialog;
        t.caption = L"Toolbar Name";
        t.cx = 186;
        t.cy = 56;
        t.controls = {
            {kv::Ctl::Static, -1, L"&Toolbar name:", 7, 7, 172, 8},
            {kv::Ctl::Edit, kNameEdit, L"", 7, 18, 172, 14, kv::CS_BORDER | kv::CS_AUTOHSCROLL | kv::CS_TABSTOP},
            {kv::Ctl::DefPushButton, IDOK, L"OK", 76, 37, 50, 14, kv::CS_TABSTOP},
            {kv::Ctl::PushButton, IDCANCEL, L"Cancel", 129, 37, 50, 14, kv::CS_TABSTOP},
        };
        kv::RegisterDialog(std::move(t));
        return true;
    }();
    (void)done;
}

}  // namespace

CToolbarNameDlg::CToolbarNameDlg(std::wstring name, QWidget* parent)
    : CDialog((RegisterNameDialog(), kToolbarNameDialog), parent), m_strName(std::move(name)) {}

void CToolbarNameDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Text(pDX, kNameEdit, m_strName);
    DDV_MaxChars(pDX, m_strName, 100);
    if (pDX->m_bSaveAndValidate) {
        std::wstring trimmed = m_strName;
        while (!trimmed.empty() && trimmed.back() == L' ') trimmed.pop_back();
        while (!trimmed.empty() && trimmed.front() == L' ') trimmed.erase(0, 1);
        if (trimmed.empty()) {
            AfxMessageBox(L"Enter a name for the toolbar.");
            pDX->Fail();
        }
        m_strName = trimmed;
    }
}

CToolbarCustomizeDialog::CToolbarCustomizeDialog(CMDIFrameWndEx* frame) : QDialog(frame), m_pFrame(frame) {
    setObjectName(QStringLiteral("CustomizeDialog"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Customize"));
    setModal(false);

    m_pToolbars = new QListWidget(this);
    m_pToolbars->setObjectName(QStringLiteral("ToolbarList"));
    m_pButtons = new QListWidget(this);
    m_pButtons->setObjectName(QStringLiteral("ButtonList"));
    m_pCommands = new QListWidget(this);
    m_pCommands->setObjectName(QStringLiteral("CommandList"));
    m_pNew = new QPushButton(QStringLiteral("&New..."), this);
    m_pRename = new QPushButton(QStringLiteral("&Rename..."), this);
    m_pDelete = new QPushButton(QStringLiteral("&Delete"), this);
    m_pAdd = new QPushButton(QStringLiteral("<< &Add"), this);
    m_pAddSeparator = new QPushButton(QStringLiteral("Add &Separator"), this);
    m_pRemove = new QPushButton(QStringLiteral("Re&move"), this);
    m_pUp = new QPushButton(QStringLiteral("Move &Up"), this);
    m_pDown = new QPushButton(QStringLiteral("Move Do&wn"), this);
    m_pImage = new QComboBox(this);
    m_pImage->setObjectName(QStringLiteral("ImageCombo"));
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    // Close is the default button: Enter anywhere but on another button closes
    // the dialog, as Enter presses the default button of every dialog (without
    // one, Qt would make the first button, New, the default).
    close->setDefault(true);

    auto* toolbarsBox = new QGroupBox(QStringLiteral("Toolbars"), this);
    auto* tl = new QVBoxLayout(toolbarsBox);
    tl->addWidget(m_pToolbars, 1);
    auto* tb = new QHBoxLayout;
    tb->addWidget(m_pNew);
    tb->addWidget(m_pRename);
    tb->addWidget(m_pDelete);
    tl->addLayout(tb);

    auto* buttonsBox = new QGroupBox(QStringLiteral("Buttons"), this);
    auto* bl = new QGridLayout(buttonsBox);
    bl->addWidget(m_pButtons, 0, 0, 1, 2);
    bl->addWidget(m_pUp, 1, 0);
    bl->addWidget(m_pDown, 1, 1);
    bl->addWidget(m_pRemove, 2, 0);
    bl->addWidget(m_pAddSeparator, 2, 1);
    bl->addWidget(new QLabel(QStringLiteral("Image:"), buttonsBox), 3, 0);
    bl->addWidget(m_pImage, 3, 1);

    auto* commandsBox = new QGroupBox(QStringLiteral("Commands"), this);
    auto* cl = new QVBoxLayout(commandsBox);
    cl->addWidget(m_pCommands, 1);
    cl->addWidget(m_pAdd);

    auto* top = new QHBoxLayout;
    top->addWidget(toolbarsBox, 1);
    top->addWidget(buttonsBox, 1);
    top->addWidget(commandsBox, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(bottom);
    resize(720, 380);

    for (const auto& [id, text] : frame->GetCommandList()) {
        auto* item = new QListWidgetItem(frame->GetCommandAction(id)->icon(), text, m_pCommands);
        item->setData(Qt::UserRole, id);
    }

    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(m_pNew, &QPushButton::clicked, this, [this] { NewToolbar(); });
    connect(m_pRename, &QPushButton::clicked, this, [this] { RenameToolbar(); });
    connect(m_pDelete, &QPushButton::clicked, this, [this] { DeleteToolbar(); });
    connect(m_pAdd, &QPushButton::clicked, this, [this] {
        if (QListWidgetItem* it = m_pCommands->currentItem()) AddCommand(it->data(Qt::UserRole).toUInt());
    });
    connect(m_pAddSeparator, &QPushButton::clicked, this, [this] { AddSeparator(); });
    connect(m_pRemove, &QPushButton::clicked, this, [this] { RemoveButton(); });
    connect(m_pUp, &QPushButton::clicked, this, [this] { MoveButton(-1); });
    connect(m_pDown, &QPushButton::clicked, this, [this] { MoveButton(1); });
    connect(m_pImage, &QComboBox::activated, this, [this](int index) { SetButtonImage(index - 1); });
    connect(m_pToolbars, &QListWidget::currentRowChanged, this, [this] {
        if (!m_bFilling) FillButtons();
    });
    connect(m_pToolbars, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (m_bFilling || !m_pFrame) return;
        unsigned id = item->data(Qt::UserRole).toUInt();
        for (CMFCToolBar* t : m_pFrame->GetToolbars())
            if (t->GetID() == id) t->setVisible(item->checkState() == Qt::Checked);
        m_pFrame->RequestCommandUpdate();
    });
    connect(m_pButtons, &QListWidget::currentRowChanged, this, [this] { UpdateButtons(); });
    connect(m_pCommands, &QListWidget::currentRowChanged, this, [this] { UpdateButtons(); });

    FillToolbars();
    if (m_pToolbars->count()) m_pToolbars->setCurrentRow(0);
    FillButtons();
}

CMFCToolBar* CToolbarCustomizeDialog::SelectedToolbar() const {
    if (!m_pFrame || !m_pToolbars->currentItem()) return nullptr;
    unsigned id = m_pToolbars->currentItem()->data(Qt::UserRole).toUInt();
    for (CMFCToolBar* t : m_pFrame->GetToolbars())
        if (t->GetID() == id) return t;
    return nullptr;
}

void CToolbarCustomizeDialog::SelectToolbar(const CMFCToolBar* toolbar) {
    for (int r = 0; r < m_pToolbars->count(); ++r)
        if (toolbar && m_pToolbars->item(r)->data(Qt::UserRole).toUInt() == toolbar->GetID()) m_pToolbars->setCurrentRow(r);
}

int CToolbarCustomizeDialog::SelectedButton() const { return m_pButtons->currentRow(); }
void CToolbarCustomizeDialog::SelectButton(int index) { m_pButtons->setCurrentRow(index); }

void CToolbarCustomizeDialog::FillToolbars() {
    if (!m_pFrame) return;
    m_bFilling = true;
    unsigned current = m_pToolbars->currentItem() ? m_pToolbars->currentItem()->data(Qt::UserRole).toUInt() : 0;
    m_pToolbars->clear();
    for (CMFCToolBar* t : m_pFrame->GetToolbars()) {
        auto* item = new QListWidgetItem(t->windowTitle(), m_pToolbars);
        item->setData(Qt::UserRole, t->GetID());
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(t->isVisible() ? Qt::Checked : Qt::Unchecked);
        if (t->GetID() == current) m_pToolbars->setCurrentItem(item);
    }
    m_bFilling = false;
}

void CToolbarCustomizeDialog::FillButtons() {
    int keep = m_pButtons->currentRow();
    m_pButtons->clear();
    CMFCToolBar* t = SelectedToolbar();
    if (t && m_pFrame) {
        const auto& images = m_pFrame->GetUserImages();
        for (const auto& b : t->GetButtons()) {
            if (b.command == 0) {
                m_pButtons->addItem(QStringLiteral("-------- separator --------"));
                continue;
            }
            QAction* a = m_pFrame->GetCommandAction(b.command);
            QIcon icon = b.userImage >= 0 && b.userImage < static_cast<int>(images.size())
                             ? QIcon(images[static_cast<std::size_t>(b.userImage)])
                             : a->icon();
            QString text = a->text();
            text = text.left(text.indexOf(u'\t') < 0 ? text.size() : text.indexOf(u'\t')).remove(u'&');
            m_pButtons->addItem(new QListWidgetItem(icon, text.isEmpty() ? a->iconText() : text));
        }
    }
    if (keep >= m_pButtons->count()) keep = m_pButtons->count() - 1;
    m_pButtons->setCurrentRow(keep);
    UpdateButtons();
}

void CToolbarCustomizeDialog::UpdateButtons() {
    CMFCToolBar* t = SelectedToolbar();
    bool user = t && t->IsUserDefined();
    m_pNew->setEnabled(m_pFrame && m_pFrame->CanCreateUserToolbar());
    m_pRename->setEnabled(user);
    m_pDelete->setEnabled(user);
    int b = m_pButtons->currentRow();
    bool haveButton = t && b >= 0 && b < static_cast<int>(t->GetButtons().size());
    m_pAdd->setEnabled(t && m_pCommands->currentItem());
    m_pAddSeparator->setEnabled(t != nullptr);
    m_pRemove->setEnabled(haveButton);
    m_pUp->setEnabled(haveButton && b > 0);
    m_pDown->setEnabled(haveButton && b + 1 < static_cast<int>(t->GetButtons().size()));
    m_pImage->clear();
    m_pImage->addItem(QStringLiteral("Default"));
    if (m_pFrame)
        for (std::size_t k = 0; k < m_pFrame->GetUserImages().size(); ++k)
            m_pImage->addItem(QIcon(m_pFrame->GetUserImages()[k]), QStringLiteral("User image %1").arg(k + 1));
    bool canImage = user && haveButton && t->GetButtons()[static_cast<std::size_t>(b)].command != 0 &&
                    m_pFrame && m_pFrame->HasUserImages();
    m_pImage->setEnabled(canImage);
    if (haveButton) m_pImage->setCurrentIndex(std::max(0, t->GetButtons()[static_cast<std::size_t>(b)].userImage + 1));
}

CMFCToolBar* CToolbarCustomizeDialog::NewToolbar() {
    if (!m_pFrame || !m_pFrame->CanCreateUserToolbar()) return nullptr;
    int n = 1;
    for (;; ++n) {
        QString name = QStringLiteral("Custom %1").arg(n);
        bool used = false;
        for (CMFCToolBar* t : m_pFrame->GetToolbars()) used = used || t->windowTitle() == name;
        if (!used) break;
    }
    CToolbarNameDlg dlg(QStringLiteral("Custom %1").arg(n).toStdWString(), this);
    if (dlg.DoModal() != IDOK) return nullptr;
    CMFCToolBar* t = m_pFrame->OnToolbarCreateNew(dlg.m_strName);
    FillToolbars();
    SelectToolbar(t);
    FillButtons();
    return t;
}

bool CToolbarCustomizeDialog::RenameToolbar() {
    CMFCToolBar* t = SelectedToolbar();
    if (!t || !t->IsUserDefined()) return false;
    CToolbarNameDlg dlg(t->GetWindowText(), this);
    if (dlg.DoModal() != IDOK) return false;
    t->SetWindowText(dlg.m_strName);
    FillToolbars();
    return true;
}

bool CToolbarCustomizeDialog::DeleteToolbar() {
    CMFCToolBar* t = SelectedToolbar();
    if (!t || !t->IsUserDefined() || !m_pFrame) return false;
    if (AfxMessageBox(L"Delete the toolbar '" + t->GetWindowText() + L"'?", MB_YESNO) != IDYES) return false;
    bool done = m_pFrame->OnToolbarDelete(t);
    FillToolbars();
    if (m_pToolbars->count() && !m_pToolbars->currentItem()) m_pToolbars->setCurrentRow(0);
    FillButtons();
    return done;
}

bool CToolbarCustomizeDialog::AddCommand(unsigned command) {
    CMFCToolBar* t = SelectedToolbar();
    if (!t || command == 0) return false;
    auto buttons = t->GetButtons();
    int at = m_pButtons->currentRow();
    std::size_t pos = at < 0 ? buttons.size() : static_cast<std::size_t>(at) + 1;
    buttons.insert(buttons.begin() + static_cast<std::ptrdiff_t>(std::min(pos, buttons.size())), {command, -1});
    t->SetButtons(std::move(buttons));
    FillButtons();
    m_pButtons->setCurrentRow(static_cast<int>(std::min(pos, t->GetButtons().size() - 1)));
    if (m_pFrame) m_pFrame->RequestCommandUpdate();
    return true;
}

bool CToolbarCustomizeDialog::AddSeparator() {
    CMFCToolBar* t = SelectedToolbar();
    if (!t) return false;
    auto buttons = t->GetButtons();
    int at = m_pButtons->currentRow();
    std::size_t pos = at < 0 ? buttons.size() : static_cast<std::size_t>(at) + 1;
    pos = std::min(pos, buttons.size());
    buttons.insert(buttons.begin() + static_cast<std::ptrdiff_t>(pos), {0, -1});
    t->SetButtons(std::move(buttons));
    FillButtons();
    m_pButtons->setCurrentRow(static_cast<int>(pos));
    return true;
}

bool CToolbarCustomizeDialog::RemoveButton() {
    CMFCToolBar* t = SelectedToolbar();
    int b = m_pButtons->currentRow();
    if (!t || b < 0 || b >= static_cast<int>(t->GetButtons().size())) return false;
    auto buttons = t->GetButtons();
    buttons.erase(buttons.begin() + b);
    t->SetButtons(std::move(buttons));
    FillButtons();
    return true;
}

bool CToolbarCustomizeDialog::MoveButton(int delta) {
    CMFCToolBar* t = SelectedToolbar();
    int b = m_pButtons->currentRow();
    int to = b + delta;
    if (!t || b < 0 || to < 0 || to >= static_cast<int>(t->GetButtons().size())) return false;
    auto buttons = t->GetButtons();
    std::swap(buttons[static_cast<std::size_t>(b)], buttons[static_cast<std::size_t>(to)]);
    t->SetButtons(std::move(buttons));
    FillButtons();
    m_pButtons->setCurrentRow(to);
    return true;
}

bool CToolbarCustomizeDialog::SetButtonImage(int userImage) {
    CMFCToolBar* t = SelectedToolbar();
    int b = m_pButtons->currentRow();
    if (!t || !t->IsUserDefined() || !m_pFrame || b < 0 || b >= static_cast<int>(t->GetButtons().size())) return false;
    if (userImage >= static_cast<int>(m_pFrame->GetUserImages().size()) || userImage < -1) return false;
    auto buttons = t->GetButtons();
    if (buttons[static_cast<std::size_t>(b)].command == 0) return false;
    buttons[static_cast<std::size_t>(b)].userImage = userImage;
    t->SetButtons(std::move(buttons));
    FillButtons();
    return true;
}
