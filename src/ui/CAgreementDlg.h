// The terms of use and the operating instructions, shown before anything
// on the machine is changed. "I Agree" gives IDOK and lets the update go
// on; "Not Agree", Enter, Escape and the close box give IDCANCEL. Like the
// notices it keeps the session from ending while it waits.
#pragma once
#include "afx.h"

const UINT IDD_AGREEMENT = 131;
const int IDC_AGREEMENT_TEXT = 1004;

extern const AFX_DLGDESC g_dlgAgreement;

class CAgreementDlg : public CDialog {
public:
    // Formats the text in the language of the code page.
    explicit CAgreementDlg(CWnd* pParentWnd = NULL);
    ~CAgreementDlg() override;

    CString m_strModel;  // the caller's model, shown in the caption
    bool m_bEnding;      // set once a button ends the dialog
    CButton m_btnAgree;
    CButton m_btnNotAgree;
    CString m_strAgreement;

    void DoDataExchange(CDataExchange* pDX) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnOK() override;
    void OnCancel() override;

protected:
    afx_msg void OnPaint();
    DECLARE_MESSAGE_MAP()
};
