#include "ui/MessageDlg.h"

#include "ui/GuardedDialog.h"
#include "ui/MessageDlgResources.h"
#include "util/BeepMessageBox.h"

CMessageDlg::CMessageDlg(const AFX_DLGDESC& desc, LPCSTR pszMessage, CWnd* pParentWnd)
    : CDialog(desc, pParentWnd), m_strMessage(pszMessage), m_bEnding(false) {}

CMessageDlg::~CMessageDlg() = default;

void CMessageDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, m_pDesc->pItems[0].nID, m_strMessage);
    DDV_MaxChars(pDX, m_strMessage, 2000);
}

LRESULT CMessageDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return GuardedWindowProc(this, m_bEnding, message, wParam, lParam);
}

BOOL CMessageDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetWindowText(g_szMessageCaption);
    return TRUE;
}

void CMessageDlg::OnOK() {
    m_bEnding = true;
    CDialog::OnOK();
}

void CMessageDlg::OnCancel() {}

CRestartNoticeDlg::CRestartNoticeDlg(const AFX_DLGDESC& desc, CWnd* pParentWnd) : CMessageDlg(desc, "", pParentWnd) {}

// The text stays as the caller set it: nothing is read back.
void CRestartNoticeDlg::OnRestartCancel() {
    m_bEnding = true;
    EndDialog(IDCANCEL);
}

BEGIN_MESSAGE_MAP(CRestartNoticeDlg, CMessageDlg)
    ON_BN_CLICKED(IDC_REBOOT_CANCEL, &CRestartNoticeDlg::OnRestartCancel)
END_MESSAGE_MAP()

CWarningDlg::CWarningDlg(CWnd* pParentWnd) : CMessageDlg(g_dlgWarning, g_szWarning, pParentWnd) {}
CWarningJDlg::CWarningJDlg(CWnd* pParentWnd) : CMessageDlg(g_dlgWarningJ, g_szWarningJ, pParentWnd) {}
CStartDlg::CStartDlg(CWnd* pParentWnd) : CMessageDlg(g_dlgStart, g_szStart, pParentWnd) {}
CStartJDlg::CStartJDlg(CWnd* pParentWnd) : CMessageDlg(g_dlgStartJ, g_szStartJ, pParentWnd) {}
CEndDlg::CEndDlg(CWnd* pParentWnd) : CMessageDlg(g_dlgEnd, g_szEnd, pParentWnd) {}
CEndJDlg::CEndJDlg(CWnd* pParentWnd) : CMessageDlg(g_dlgEndJ, g_szEndJ, pParentWnd) {}
CCancelDlg::CCancelDlg(CWnd* pParentWnd) : CMessageDlg(g_dlgCancel, g_szCancel, pParentWnd) {}
CCancelJDlg::CCancelJDlg(CWnd* pParentWnd) : CMessageDlg(g_dlgCancelJ, g_szCancelJ, pParentWnd) {}
CRebootDlg::CRebootDlg(CWnd* pParentWnd) : CRestartNoticeDlg(g_dlgReboot, pParentWnd) {}
CRebootJDlg::CRebootJDlg(CWnd* pParentWnd) : CRestartNoticeDlg(g_dlgRebootJ, pParentWnd) {}
