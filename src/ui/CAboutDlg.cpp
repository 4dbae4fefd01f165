#include "ui/CAboutDlg.h"

#include "ui/UpdateDlgResources.h"
#include "update/DriveQualification.h"

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX), m_strModel(g_szSupportedModel) { RegisterUpdateDlgResources(); }

void CAboutDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_ABOUT_FIRM_VERSION, m_strFirmVersion);
    DDX_Text(pDX, IDC_ABOUT_MODEL, m_strModel);
}

BEGIN_MESSAGE_MAP(CAboutDlg, CDialog)
END_MESSAGE_MAP()
