#include "CDialog.h"

#include "CWinApp.h"

namespace {

// The dialog whose window the next unknown call of AfxDlgProc belongs to.
thread_local CDialog* t_pDialogInit = NULL;
// Temporary menus are freed only when no dialog can still hold one.
int g_nModalDepth = 0;

// Messages whose dialog-procedure result is the message's result, not a
// handled flag with the result in DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message) {
    switch (message) {
        case WM_INITDIALOG:
        case WM_QUERYDRAGICON:
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
            return true;
        default:
            return false;
    }
}

bool IsClass(HWND hWnd, const char* pszClass) {
    char name[32];
    int n = ::GetClassNameA(hWnd, name, sizeof name);
    if (n <= 0) return false;
    for (int i = 0; i <= n; ++i) {
        char a = name[i], b = pszClass[i];
        if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
        if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 'a' + 'A');
        if (a != b) return false;
        if (!a) return true;
    }
    return false;
}

// COMCTL32 registers the classes of its controls (the progress bar's
// among them) only when asked; the dialog manager refuses a template that
// names a class nobody registered. Asking again costs nothing.
void AfxInitCommonControls() {
    INITCOMMONCONTROLSEX icc;
    icc.dwSize = sizeof icc;
    icc.dwICC = ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&icc);
}

void ValidationMessage(CDataExchange* pDX, LPCSTR pszText) {
    CWinApp* pApp = AfxGetApp();
    ::MessageBoxA(pDX->m_pDlgWnd->m_hWnd, pszText, pApp ? pApp->m_pszAppName : NULL, MB_OK | MB_ICONEXCLAMATION);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool ParseInt(LPCSTR p, int& value) {
    while (IsBlank(*p)) ++p;
    bool bNegative = false;
    if (*p == '+' || *p == '-') bNegative = *p++ == '-';
    if (*p < '0' || *p > '9') return false;
    long long v = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        v = v * 10 + (*p - '0');
        if (v > 2147483648LL) return false;
    }
    while (IsBlank(*p)) ++p;
    if (*p) return false;
    if (bNegative) v = -v;
    if (v > 2147483647LL) return false;
    value = static_cast<int>(v);
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Data exchange.

CDataExchange::CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
    : m_bSaveAndValidate(bSaveAndValidate),
      m_pDlgWnd(pDlgWnd),
      m_hWndLastControl(NULL),
      m_bEditLastControl(FALSE),
      m_bFailed(FALSE) {}

HWND CDataExchange::PrepareCtrl(int nIDC) {
    if (m_bFailed) return NULL;
    HWND hWnd = ::GetDlgItem(m_pDlgWnd->m_hWnd, nIDC);
    if (!hWnd) {
        m_bFailed = TRUE;  // a template without the control: nothing to point at
        return NULL;
    }
    m_hWndLastControl = hWnd;
    m_bEditLastControl = FALSE;
    return hWnd;
}

HWND CDataExchange::PrepareEditCtrl(int nIDC) {
    HWND hWnd = PrepareCtrl(nIDC);
    if (hWnd) m_bEditLastControl = TRUE;
    return hWnd;
}

void CDataExchange::Fail() {
    if (m_bSaveAndValidate && m_hWndLastControl) {
        ::SetFocus(m_hWndLastControl);
        if (m_bEditLastControl && IsClass(m_hWndLastControl, "Edit"))
            ::SendMessageA(m_hWndLastControl, EM_SETSEL, 0, -1);
    }
    m_bFailed = TRUE;
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value) {
    HWND hWnd = pDX->PrepareEditCtrl(nIDC);
    if (!hWnd) return;
    if (pDX->m_bSaveAndValidate)
        AfxGetWindowText(hWnd, value);
    else
        AfxSetWindowText(hWnd, value);
}

void DDX_Text(CDataExchange* pDX, int nIDC, int& value) {
    HWND hWnd = pDX->PrepareEditCtrl(nIDC);
    if (!hWnd) return;
    CString text;
    if (!pDX->m_bSaveAndValidate) {
        text.Format("%d", value);
        AfxSetWindowText(hWnd, text);
        return;
    }
    AfxGetWindowText(hWnd, text);
    if (!ParseInt(text, value)) {
        ValidationMessage(pDX, "Please enter an integer.");
        pDX->Fail();
    }
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    if (pDX->Failed() || rControl.m_hWnd) return;
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    if (hWnd && !rControl.SubclassWindow(hWnd)) pDX->Fail();
}

void DDV_MaxChars(CDataExchange* pDX, const CString& value, int nChars) {
    if (pDX->Failed()) return;
    if (pDX->m_bSaveAndValidate) {
        if (value.GetLength() <= nChars) return;
        CString text;
        text.Format("Enter no more than %d characters.", nChars);
        ValidationMessage(pDX, text);
        pDX->Fail();
        return;
    }
    HWND hWnd = pDX->m_hWndLastControl;
    if (!hWnd || !pDX->m_bEditLastControl) return;
    if (IsClass(hWnd, "Edit"))
        ::SendMessageA(hWnd, EM_LIMITTEXT, static_cast<WPARAM>(nChars), 0);
    else if (IsClass(hWnd, "ComboBox"))
        ::SendMessageA(hWnd, CB_LIMITTEXT, static_cast<WPARAM>(nChars), 0);
}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate) {
    if (!m_hWnd) return FALSE;
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return !dx.Failed();
}

// ---------------------------------------------------------------------------
// The dialog.

CDialog::CDialog()
    : m_pParentWnd(NULL),
      m_nIDTemplate(0),
      m_pDesc(NULL),
      m_lpDialogTemplate(NULL),
      m_pRunningDesc(NULL),
      m_dwTemplateStyle(0) {}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : CDialog() {
    m_nIDTemplate = nIDTemplate;
    m_pParentWnd = pParentWnd;
}

CDialog::CDialog(const AFX_DLGDESC& desc, CWnd* pParentWnd) : CDialog() {
    m_pDesc = &desc;
    m_nIDTemplate = desc.nIDTemplate;
    m_pParentWnd = pParentWnd;
}

CDialog::~CDialog() = default;

BOOL CDialog::InitModalIndirect(LPCDLGTEMPLATEA lpDialogTemplate, CWnd* pParentWnd) {
    if (!lpDialogTemplate) return FALSE;
    m_lpDialogTemplate = lpDialogTemplate;
    m_pParentWnd = pParentWnd;
    return TRUE;
}

INT_PTR CDialog::DoModal() {
    if (m_hWnd) return -1;  // already running
    std::vector<BYTE> bytes;
    LPCDLGTEMPLATEA lpTemplate = m_lpDialogTemplate;
    const AFX_DLGDESC* pDesc = NULL;
    if (!lpTemplate) {
        pDesc = m_pDesc ? m_pDesc : AfxFindDialogTemplate(m_nIDTemplate);
        if (!pDesc || !AfxBuildDialogTemplate(*pDesc, bytes)) return -1;
        lpTemplate = reinterpret_cast<LPCDLGTEMPLATEA>(bytes.data());
    }
    m_pRunningDesc = pDesc;
    m_dwTemplateStyle = AfxGetTemplateStyle(lpTemplate);
    AfxInitCommonControls();

    // A dialog-based program names its dialog the main window before the
    // dialog exists: a dialog without a parent is owned by the main window
    // only once that has a window.
    CWnd* pOwner = m_pParentWnd ? m_pParentWnd : AfxGetMainWnd();
    HWND hWndOwner = pOwner ? pOwner->m_hWnd : NULL;
    while (hWndOwner && (static_cast<DWORD>(::GetWindowLongA(hWndOwner, GWL_STYLE)) & WS_CHILD))
        hWndOwner = ::GetParent(hWndOwner);

    t_pDialogInit = this;
    ++g_nModalDepth;
    INT_PTR nResult = ::DialogBoxIndirectParamA(::GetModuleHandleA(NULL), lpTemplate, hWndOwner, &AfxDlgProc,
                                                reinterpret_cast<LPARAM>(this));
    --g_nModalDepth;
    t_pDialogInit = NULL;  // when the dialog could not be made at all
    m_pRunningDesc = NULL;
    // Lets go of windows that went without telling us, this one included.
    AfxDeleteTempMaps(g_nModalDepth == 0);
    return nResult;
}

INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    // A known window's messages already went through WindowProc on their way
    // here; what is left is the dialog manager's default.
    if (CWnd::FromHandlePermanent(hWnd)) return FALSE;
    CDialog* pDlg = t_pDialogInit;
    if (!pDlg) return FALSE;
    t_pDialogInit = NULL;
    if (!pDlg->SubclassWindow(hWnd)) {
        ::EndDialog(hWnd, -1);
        return FALSE;
    }
    // The dialog manager is inside its own procedure for this message: let
    // WindowProc see it, and leave the default to the manager once we return.
    BOOL bDefaulted = FALSE;
    LRESULT lResult = AfxCallWndProc(pDlg, message, wParam, lParam, TRUE, &bDefaulted);
    if (message == WM_INITDIALOG) return static_cast<INT_PTR>(lResult);
    if (bDefaulted) return FALSE;
    if (ReturnsResultDirectly(message)) return static_cast<INT_PTR>(lResult);
    ::SetWindowLongPtrA(hWnd, DWLP_MSGRESULT, lResult);
    return TRUE;
}

LRESULT CDialog::HandleInitDialog(WPARAM, LPARAM) {
    AttachMenu();
    RECT rcBefore = {0, 0, 0, 0};
    ::GetWindowRect(m_hWnd, &rcBefore);
    BOOL bSetFocus = OnInitDialog();
    RECT rcAfter = {0, 0, 0, 0};
    ::GetWindowRect(m_hWnd, &rcAfter);
    const bool bMoved = rcBefore.left != rcAfter.left || rcBefore.top != rcAfter.top;
    if (!bMoved && !(m_dwTemplateStyle & (DS_CENTER | DS_CENTERMOUSE | DS_ABSALIGN | WS_CHILD))) CenterWindow();
    return bSetFocus;
}

void CDialog::AttachMenu() {
    const AFX_DLGDESC* pDesc = m_pRunningDesc;
    if (!pDesc || !pDesc->pMenu || pDesc->nMenuItems <= 0) return;
    HMENU hMenu = ::CreateMenu();
    if (!hMenu) return;
    for (int i = 0; i < pDesc->nMenuItems; ++i) {
        const AFX_DLGMENUITEM& item = pDesc->pMenu[i];
        ::AppendMenuA(hMenu, item.nFlags, item.nID, item.pszText);
    }
    RECT rcBefore, rcAfter;
    ::GetClientRect(m_hWnd, &rcBefore);
    if (!::SetMenu(m_hWnd, hMenu)) {
        ::DestroyMenu(hMenu);
        return;
    }
    // The template's size is the client area's; the bar must not take from it.
    ::GetClientRect(m_hWnd, &rcAfter);
    const int nGrow = (rcBefore.bottom - rcBefore.top) - (rcAfter.bottom - rcAfter.top);
    if (nGrow <= 0) return;
    RECT rc;
    ::GetWindowRect(m_hWnd, &rc);
    const int nUp = (m_dwTemplateStyle & DS_CENTER) ? nGrow / 2 : 0;
    ::SetWindowPos(m_hWnd, NULL, rc.left, rc.top - nUp, rc.right - rc.left, rc.bottom - rc.top + nGrow,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::EndDialog(int nResult) { ::EndDialog(m_hWnd, nResult); }

BOOL CDialog::OnCmdMsg(UINT nID, int nCode) {
    if (CWnd::OnCmdMsg(nID, nCode)) return TRUE;
    if (m_hWnd) {
        CWnd* pOwner = FromHandlePermanent(::GetWindow(m_hWnd, GW_OWNER));
        if (pOwner && pOwner->CCmdTarget::OnCmdMsg(nID, nCode)) return TRUE;
    }
    CWinApp* pApp = AfxGetApp();
    return pApp ? pApp->OnCmdMsg(nID, nCode) : FALSE;
}

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, &CDialog::OnOK)
    ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
    ON_MESSAGE(WM_INITDIALOG, &CDialog::HandleInitDialog)
END_MESSAGE_MAP()
