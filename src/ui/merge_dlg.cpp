#include "ui/merge_dlg.h"

#include <algorithm>
#include <cwchar>
#include <iterator>

#include <QListWidget>

#include "archive/dat_doc.h"
#include "platform/message.h"
#include "platform/qt/doc_template.h"
#include "platform/qt/winapp.h"
#include "resources/dialogs_material.h"
#include "ui/ansi_fixed_font.h"

CMergeDlg::CMergeDlg(bool bOnly1ZR, QWidget* parent) : CDialog(IDD_MERGE, parent), m_bOnly1ZR(bOnly1ZR) {
    MapNotify(IDC_MERGE_DATFILES, Notify::SelChange, [this] { OnSelchangeDatfiles(); });
}

CMergeDlg::~CMergeDlg() = default;

void CMergeDlg::DoDataExchange(CDataExchange* pDX) { DDX_Control(pDX, IDC_MERGE_MODELS, m_lbModels); }

bool CMergeDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_lbDatfiles.Attach(GetDlgItemAs<QListWidget>(IDC_MERGE_DATFILES));
    m_lbModels.SetFont(AnsiFixedFont());

    // Every open archive, in the order of its template and of its opening. A
    // report window is one more window of its archive's document and adds no
    // line of its own.
    m_datfiles.clear();
    if (CWinAppEx* app = AfxGetApp()) {
        for (const auto& tmpl : app->GetTemplates()) {
            for (CDocument* d : tmpl->GetDocuments()) {
                auto* doc = dynamic_cast<CDATDoc*>(d);
                if (!doc) continue;
                int item = m_lbDatfiles.AddString(doc->GetTitle());
                m_lbDatfiles.SetItemData(item, static_cast<std::intptr_t>(m_datfiles.size()));
                m_datfiles.push_back(doc);
            }
        }
    }
    m_lbDatfiles.SetCurSel(0);
    OnSelchangeDatfiles();

    SetDlgItemText(IDC_MERGE_TIP,
                   m_bOnly1ZR ? L"TIP: Only models with 1 Z/R view are listed here, because your selection in the main "
                                L"list includes 1-Z/R model(s) too"
                              : L"TIP: All model types are listed here, because your selection in the main list "
                                L"includes only models with 20 Z/R views");
    return true;
}

void CMergeDlg::OnSelchangeDatfiles() {
    m_lbModels.ResetContent();
    const CDATDoc* doc = DatfileOf(m_lbDatfiles.GetCurSel());
    if (!doc) return;
    const std::size_t count = std::min<std::size_t>(doc->m_nModels, doc->m_pModels.size());
    for (std::size_t i = 0; i < count; ++i) {
        const _dat_model& model = doc->m_pModels[i];
        if (m_bOnly1ZR && model.nViews != 1) continue;
        const _dbpf_index_entry e = doc->IndexEntry(static_cast<std::uint32_t>(model.nRow));
        // A display name holds at most 99 characters, so the line always fits.
        wchar_t line[192];
        const int n = std::swprintf(line, std::size(line), L"%4d %#08x %#08x %#08x %ls", model.nRow, e.type, e.group,
                                    e.instance, model.szName.c_str());
        if (n < 0) continue;
        int item = m_lbModels.AddString(std::wstring(line, static_cast<std::size_t>(n)));
        m_lbModels.SetItemData(item, static_cast<std::intptr_t>(i));
    }
    if (m_lbModels.GetCount() == 0 && m_bOnly1ZR) {
        int item = m_lbModels.AddString(L"This archive contains no 1-Z/R models");
        m_lbModels.SetItemData(item, -1);
    }
}

void CMergeDlg::OnOK() {
    const int model = m_lbModels.GetCurSel();
    const int datfile = m_lbDatfiles.GetCurSel();
    // The archive list can lose its selection while the model list keeps one,
    // so both are asked before anything is taken.
    CDATDoc* doc = DatfileOf(datfile);
    if (model < 0 || m_lbModels.GetItemData(model) < 0 || !doc) {
        AfxMessageBox(L"No model has been selected", MB_OK | MB_ICONEXCLAMATION);
        if (QWidget* w = GetDlgItem(IDC_MERGE_MODELS)) w->setFocus(Qt::OtherFocusReason);
        return;
    }
    m_nSrcModel = static_cast<int>(m_lbModels.GetItemData(model));
    m_pSrcDoc = doc;
    CDialog::OnOK();
}

CDATDoc* CMergeDlg::DatfileOf(int item) const {
    if (item < 0) return nullptr;
    const std::intptr_t k = m_lbDatfiles.GetItemData(item);
    return k >= 0 && static_cast<std::size_t>(k) < m_datfiles.size() ? m_datfiles[static_cast<std::size_t>(k)] : nullptr;
}

void CMergeDlg::OnCtlColor(CCtlColor& c) {
    if (c.id == IDC_MERGE_NOTE_DATFILE || c.id == IDC_MERGE_NOTE_MODEL) c.SetTextColor(RGB(128, 0, 0));
}
