#pragma once
// Merge Models: picks the model to append to the selected ones, from any open
// archive (the current one included). The upper list holds the open archives,
// the lower one the models of the archive picked above it.

#include <cstdint>
#include <vector>

#include "platform/qt/dialog.h"

class CDATDoc;

class CMergeDlg : public CDialog {
public:
    // bOnly1ZR: list only single-view models (the selection holds one).
    explicit CMergeDlg(bool bOnly1ZR, QWidget* parent = nullptr);
    ~CMergeDlg() override;

    void DoDataExchange(CDataExchange* pDX) override;
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCtlColor(CCtlColor& c) override;
    // Refills the model list from the archive picked in the upper list.
    void OnSelchangeDatfiles();

    bool m_bOnly1ZR;
    CDATDoc* m_pSrcDoc = nullptr;  // out: the archive of the chosen model
    int m_nSrcModel = -1;          // out: its index in that archive's model table
    CListBox m_lbModels;           // the model list (1039)

private:
    // The archive of item i of the archive list (1038), whose item data is i.
    CDATDoc* DatfileOf(int item) const;

    CListBox m_lbDatfiles;
    std::vector<CDATDoc*> m_datfiles;
};
