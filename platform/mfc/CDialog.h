// CDialog: modal dialogs from in-memory templates, and the data exchange
// between a dialog's members and its controls.
//
// DoModal builds the template, runs DialogBoxIndirectParamA and returns
// what EndDialog gave (-1 when the dialog could not be made). The object
// takes over the dialog's window at the first message the dialog manager
// hands to the dialog procedure, by subclassing it: from then on every
// message goes through WindowProc and the message map, and what they leave
// goes to the dialog manager's own procedure.
#pragma once
#include <vector>

#include "AfxDlgTemplate.h"
#include "CWnd.h"

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate);

    BOOL m_bSaveAndValidate;  // TRUE: controls to members
    CWnd* m_pDlgWnd;

    // The control's handle, remembered as the one a failure points at; NULL
    // (and the exchange failed) when the dialog has no such control.
    HWND PrepareCtrl(int nIDC);
    // The same for a control whose text is exchanged: DDV_MaxChars limits
    // it when it is an edit control or a combo box.
    HWND PrepareEditCtrl(int nIDC);
    // Ends the exchange: when saving, the last control gets the focus (an
    // edit control's text selected); every later DDX_/DDV_ call does nothing.
    void Fail();
    BOOL Failed() const { return m_bFailed; }

    HWND m_hWndLastControl;
    BOOL m_bEditLastControl;

private:
    BOOL m_bFailed;
};

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
// Saving accepts an optional sign and decimal digits, blanks around them;
// anything else tells the user and fails.
void DDX_Text(CDataExchange* pDX, int nIDC, int& value);
// Subclasses the control into rControl the first time.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
// Saving: a longer value tells the user and fails. Loading: limits the last
// edit control or combo box to nChars.
void DDV_MaxChars(CDataExchange* pDX, const CString& value, int nChars);

class CDialog : public CWnd {
public:
    // For InitModalIndirect.
    CDialog();
    // The description registered under nIDTemplate (AfxRegisterDialogTemplates).
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = NULL);
    // This description; it must outlive the dialog.
    explicit CDialog(const AFX_DLGDESC& desc, CWnd* pParentWnd = NULL);
    ~CDialog() override;

    // A ready-made template instead; it must outlive the dialog.
    BOOL InitModalIndirect(LPCDLGTEMPLATEA lpDialogTemplate, CWnd* pParentWnd = NULL);

    // Without a parent the owner is the application's main window when it
    // has one (and it is not this dialog), else none.
    virtual INT_PTR DoModal();
    // Fills the controls from the members (UpdateData(FALSE)); TRUE lets the
    // dialog manager set the focus. Unless it moved the window, the
    // framework then centres the dialog, except for a template that asks
    // the dialog manager to (DS_CENTER, DS_CENTERMOUSE) or to place it
    // absolutely (DS_ABSALIGN).
    virtual BOOL OnInitDialog();
    // IDOK: members from the controls, then EndDialog(IDOK); a failed
    // validation leaves the dialog open.
    virtual void OnOK();
    // IDCANCEL: EndDialog(IDCANCEL).
    virtual void OnCancel();
    void EndDialog(int nResult);

    // The dialog, then its owner's own map, then the application's.
    BOOL OnCmdMsg(UINT nID, int nCode) override;

protected:
    CWnd* m_pParentWnd;
    UINT m_nIDTemplate;
    const AFX_DLGDESC* m_pDesc;
    LPCDLGTEMPLATEA m_lpDialogTemplate;

    // WM_INITDIALOG: the menu, OnInitDialog, the centring.
    afx_msg LRESULT HandleInitDialog(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    friend INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM);
    void AttachMenu();

    const AFX_DLGDESC* m_pRunningDesc;  // the description of the running dialog
    DWORD m_dwTemplateStyle;
};

// The dialog procedure every CDialog runs with.
INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
