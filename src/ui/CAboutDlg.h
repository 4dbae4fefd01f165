// The about box of the main dialog: the product, its version and the model
// it updates.
#pragma once
#include "afx.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg();

    CString m_strFirmVersion;  // not shown
    CString m_strModel;

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    DECLARE_MESSAGE_MAP()
};
