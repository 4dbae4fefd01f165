// The notices around an update: close other programs, the update takes a
// few minutes, it is done, the settings come back, a restart is needed.
// Each waits for OK (the restart notices also for CANCEL) and until then
// keeps the session from ending and the machine from sleeping. Callers
// build both classes of a pair and run the Japanese one on code page 932.
#pragma once
#include "afx.h"
#include "ui/MessageDlgResources.h"

class CMessageDlg : public CDialog {
public:
    ~CMessageDlg() override;

    CString m_strMessage;  // shown in the static; a caller may replace it before DoModal
    bool m_bEnding;        // set once a button ends the notice

    void DoDataExchange(CDataExchange* pDX) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    // Escape and the hidden IDCANCEL: the notice stays.
    void OnCancel() override;

protected:
    // The description's first item is the static that shows the text.
    CMessageDlg(const AFX_DLGDESC& desc, LPCSTR pszMessage, CWnd* pParentWnd);
};

// A restart notice: OK lets the settings change and the machine restart,
// CANCEL (1006) ends it with IDCANCEL and changes nothing.
class CRestartNoticeDlg : public CMessageDlg {
protected:
    CRestartNoticeDlg(const AFX_DLGDESC& desc, CWnd* pParentWnd);
    afx_msg void OnRestartCancel();
    DECLARE_MESSAGE_MAP()
};

class CWarningDlg : public CMessageDlg {
public:
    explicit CWarningDlg(CWnd* pParentWnd = NULL);
};
class CWarningJDlg : public CMessageDlg {
public:
    explicit CWarningJDlg(CWnd* pParentWnd = NULL);
};
class CStartDlg : public CMessageDlg {
public:
    explicit CStartDlg(CWnd* pParentWnd = NULL);
};
class CStartJDlg : public CMessageDlg {
public:
    explicit CStartJDlg(CWnd* pParentWnd = NULL);
};
class CEndDlg : public CMessageDlg {
public:
    explicit CEndDlg(CWnd* pParentWnd = NULL);
};
class CEndJDlg : public CMessageDlg {
public:
    explicit CEndJDlg(CWnd* pParentWnd = NULL);
};
class CCancelDlg : public CMessageDlg {
public:
    explicit CCancelDlg(CWnd* pParentWnd = NULL);
};
class CCancelJDlg : public CMessageDlg {
public:
    explicit CCancelJDlg(CWnd* pParentWnd = NULL);
};
// The caller sets m_strMessage (g_szRebootResume or g_szRebootRunAgain).
class CRebootDlg : public CRestartNoticeDlg {
public:
    explicit CRebootDlg(CWnd* pParentWnd = NULL);
};
class CRebootJDlg : public CRestartNoticeDlg {
public:
    explicit CRebootJDlg(CWnd* pParentWnd = NULL);
};
