#include "CWnd.h"

#include <map>
#include <memory>
#include <new>
#include <vector>

#include "CMenu.h"
#include "CWinApp.h"

namespace {

// Windows belong to the thread that made them, and the program makes every
// window on its main thread, so these maps need no lock.
std::map<HWND, CWnd*>& PermanentWnds() {
    static std::map<HWND, CWnd*> map;
    return map;
}

std::map<HWND, std::unique_ptr<CWnd>>& TempWnds() {
    static std::map<HWND, std::unique_ptr<CWnd>> map;
    return map;
}

// The message being handled on this thread, innermost first: Default()
// needs its parameters, and a message that arrived through the dialog
// procedure must not be defaulted twice.
struct MsgFrame {
    CWnd* pWnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    BOOL bDeferDefault;
    BOOL bDefaulted;
    MsgFrame* pPrev;
};
thread_local MsgFrame* t_pFrame = NULL;

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
    // Only when something subclassed the window over ours and our object
    // has since gone; the procedure underneath is then unknown.
    if (!pWnd) return ::DefWindowProcA(hWnd, message, wParam, lParam);
    return AfxCallWndProc(pWnd, message, wParam, lParam);
}

WNDPROC CurrentProc(HWND hWnd) { return reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(hWnd, GWLP_WNDPROC)); }

}  // namespace

LRESULT AfxCallWndProc(CWnd* pWnd, UINT message, WPARAM wParam, LPARAM lParam, BOOL bDeferDefault,
                       BOOL* pbDefaulted) {
    MsgFrame frame = {pWnd, message, wParam, lParam, bDeferDefault, FALSE, t_pFrame};
    t_pFrame = &frame;
    LRESULT lResult = pWnd->WindowProc(message, wParam, lParam);
    t_pFrame = frame.pPrev;
    if (pbDefaulted) *pbDefaulted = frame.bDefaulted;
    if (message == WM_NCDESTROY) {
        pWnd->WindowGone();
        pWnd->PostNcDestroy();  // may delete pWnd
    }
    return lResult;
}

CWnd* AfxGetMainWnd() {
    CWinApp* pApp = AfxGetApp();
    return pApp ? pApp->m_pMainWnd : NULL;
}

void AfxDeleteTempMaps(BOOL bAll) {
    std::map<HWND, std::unique_ptr<CWnd>>& temps = TempWnds();
    for (auto it = temps.begin(); it != temps.end();) {
        if (!::IsWindow(it->first)) {
            it->second->m_hWnd = NULL;
            it = temps.erase(it);
        } else {
            ++it;
        }
    }
    // A window that went without its WM_NCDESTROY passing through us (the
    // object was not subclassing it) still has to let go of its object.
    std::vector<CWnd*> gone;
    for (const auto& entry : PermanentWnds())
        if (!::IsWindow(entry.first)) gone.push_back(entry.second);
    for (CWnd* pWnd : gone) pWnd->WindowGone();
    if (bAll) AfxDeleteTempMenus();
}

// ---------------------------------------------------------------------------
// The handle and the object.

CWnd::CWnd() : m_hWnd(NULL), m_pfnSuper(NULL) {}

CWnd::~CWnd() {
    if (m_hWnd && FromHandlePermanent(m_hWnd) == this) UnsubclassWindow();
    CWinApp* pApp = AfxGetApp();
    if (pApp && pApp->m_pMainWnd == this) pApp->m_pMainWnd = NULL;
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
    auto it = PermanentWnds().find(hWnd);
    return it != PermanentWnds().end() ? it->second : NULL;
}

CWnd* CWnd::FromHandle(HWND hWnd) {
    if (!hWnd) return NULL;
    if (CWnd* pWnd = FromHandlePermanent(hWnd)) return pWnd;
    std::unique_ptr<CWnd>& temp = TempWnds()[hWnd];
    if (!temp) {
        temp.reset(new (std::nothrow) CWnd);
        if (!temp) {
            TempWnds().erase(hWnd);
            return NULL;
        }
        temp->m_hWnd = hWnd;  // wraps only: not in the permanent map
    }
    return temp.get();
}

BOOL CWnd::Attach(HWND hWnd) {
    if (!hWnd || m_hWnd || FromHandlePermanent(hWnd)) return FALSE;
    PermanentWnds()[hWnd] = this;
    m_hWnd = hWnd;
    return TRUE;
}

HWND CWnd::Detach() {
    HWND hWnd = m_hWnd;
    if (hWnd) {
        auto it = PermanentWnds().find(hWnd);
        if (it != PermanentWnds().end() && it->second == this) PermanentWnds().erase(it);
    }
    m_hWnd = NULL;
    return hWnd;
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
    if (!Attach(hWnd)) return FALSE;
    LONG_PTR old = ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc));
    if (!old) {
        Detach();
        return FALSE;
    }
    m_pfnSuper = reinterpret_cast<WNDPROC>(old);
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent) {
    if (!pParent) return FALSE;
    HWND hWnd = ::GetDlgItem(pParent->m_hWnd, static_cast<int>(nID));
    return hWnd ? SubclassWindow(hWnd) : FALSE;
}

HWND CWnd::UnsubclassWindow() {
    // Put the old procedure back only while ours is on top: a later subclass
    // above us would otherwise be cut out.
    if (m_pfnSuper && m_hWnd && CurrentProc(m_hWnd) == &AfxWndProc)
        ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    m_pfnSuper = NULL;
    return Detach();
}

void CWnd::WindowGone() {
    UnsubclassWindow();
    // A thread ends with its main window, as the framework's callers expect:
    // m_pMainWnd goes back to NULL and the thread's queue gets WM_QUIT.
    CWinApp* pApp = AfxGetApp();
    if (pApp && pApp->m_pMainWnd == this) {
        pApp->m_pMainWnd = NULL;
        ::PostQuitMessage(0);
    }
}

void CWnd::PostNcDestroy() {}

// ---------------------------------------------------------------------------
// Messages.

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT lResult = 0;
    if (!OnWndMsg(message, wParam, lParam, &lResult)) lResult = DefWindowProc(message, wParam, lParam);
    return lResult;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (message == WM_COMMAND) {
        if (!OnCommand(wParam, lParam)) return FALSE;
        *pResult = 0;
        return TRUE;
    }
    const AFX_MSGMAP_ENTRY* e = AfxFindMessageEntry(GetMessageMap(), message, 0, 0);
    return e ? e->pfnAdapter(this, wParam, lParam, pResult) : FALSE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
    UINT nID = LOWORD(wParam);
    int nCode = HIWORD(wParam);
    // Menus send 0 and accelerators 1 without a control: both are commands,
    // and 1 must not be taken for CBN_SELCHANGE.
    if (lParam == 0) nCode = CN_COMMAND;
    return OnCmdMsg(nID, nCode);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    MsgFrame* f = t_pFrame;
    if (f && f->bDeferDefault && f->pWnd == this && f->message == message && f->wParam == wParam &&
        f->lParam == lParam) {
        f->bDefaulted = TRUE;
        return 0;
    }
    if (m_pfnSuper) return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
    MsgFrame* f = t_pFrame;
    if (!f || f->pWnd != this) return 0;  // not inside one of this window's messages
    return DefWindowProc(f->message, f->wParam, f->lParam);
}

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

void CWnd::DoDataExchange(CDataExchange*) {}

void CWnd::OnTimer(UINT_PTR) { Default(); }
void CWnd::OnPaint() { Default(); }
void CWnd::OnSysCommand(UINT, LPARAM) { Default(); }
HCURSOR CWnd::OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(Default()); }
void CWnd::OnClose() { Default(); }
void CWnd::OnDestroy() { Default(); }
BOOL CWnd::OnSetCursor(CWnd*, UINT, UINT) { return static_cast<BOOL>(Default()); }

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::PostMessageA(m_hWnd, message, wParam, lParam);
}

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer) {
    return ::SetTimer(m_hWnd, nIDEvent, nElapse, lpfnTimer);
}

BOOL CWnd::KillTimer(UINT_PTR nIDEvent) { return ::KillTimer(m_hWnd, nIDEvent); }

int CWnd::MessageBox(LPCSTR lpszText, LPCSTR lpszCaption, UINT nType) {
    return ::MessageBoxA(m_hWnd, lpszText, lpszCaption, nType);
}

// ---------------------------------------------------------------------------
// State, text and position.

BOOL CWnd::ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
BOOL CWnd::EnableWindow(BOOL bEnable) { return ::EnableWindow(m_hWnd, bEnable); }
BOOL CWnd::IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
BOOL CWnd::IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
BOOL CWnd::IsIconic() const { return ::IsIconic(m_hWnd); }

void CWnd::SetWindowText(LPCSTR lpszString) { ::SetWindowTextA(m_hWnd, lpszString); }

void AfxGetWindowText(HWND hWnd, CString& rString) {
    int nLen = ::GetWindowTextLengthA(hWnd);
    if (nLen <= 0) {
        rString.Empty();
        return;
    }
    int nGot = ::GetWindowTextA(hWnd, rString.GetBuffer(nLen), nLen + 1);
    rString.ReleaseBuffer(nGot > 0 ? nGot : 0);
}

void AfxSetWindowText(HWND hWnd, LPCSTR lpszNew) {
    CString strOld;
    AfxGetWindowText(hWnd, strOld);
    if (strOld != (lpszNew ? lpszNew : "")) ::SetWindowTextA(hWnd, lpszNew);
}

void CWnd::GetWindowText(CString& rString) const { AfxGetWindowText(m_hWnd, rString); }

int CWnd::GetWindowText(LPSTR lpszStringBuf, int nMaxCount) const {
    return ::GetWindowTextA(m_hWnd, lpszStringBuf, nMaxCount);
}

int CWnd::GetWindowTextLength() const { return ::GetWindowTextLengthA(m_hWnd); }

void CWnd::SetDlgItemText(int nID, LPCSTR lpszString) { ::SetDlgItemTextA(m_hWnd, nID, lpszString); }

int CWnd::GetDlgItemText(int nID, CString& rString) const {
    rString.Empty();
    CWnd* pItem = GetDlgItem(nID);
    if (!pItem) return 0;
    pItem->GetWindowText(rString);
    return rString.GetLength();
}

CWnd* CWnd::GetDlgItem(int nID) const { return FromHandle(::GetDlgItem(m_hWnd, nID)); }
int CWnd::GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
CWnd* CWnd::GetParent() const { return FromHandle(::GetParent(m_hWnd)); }
CWnd* CWnd::SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }
CWnd* CWnd::GetFocus() { return FromHandle(::GetFocus()); }
BOOL CWnd::DestroyWindow() { return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE; }

void CWnd::GetWindowRect(LPRECT lpRect) const { ::GetWindowRect(m_hWnd, lpRect); }
void CWnd::GetClientRect(LPRECT lpRect) const { ::GetClientRect(m_hWnd, lpRect); }

BOOL CWnd::SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags) {
    return ::SetWindowPos(m_hWnd, pWndInsertAfter ? pWndInsertAfter->m_hWnd : NULL, x, y, cx, cy, nFlags);
}

void CWnd::CenterWindow(CWnd* pAlternateOwner) {
    RECT rcWnd;
    if (!::GetWindowRect(m_hWnd, &rcWnd)) return;
    const DWORD dwStyle = static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_STYLE));
    RECT rcArea = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    RECT rcCenter = rcArea;
    HWND hCenter = pAlternateOwner ? pAlternateOwner->m_hWnd : NULL;
    if (dwStyle & WS_CHILD) {
        // A child moves in its parent's client area, in client coordinates.
        HWND hParent = ::GetParent(m_hWnd);
        ::GetClientRect(hParent, &rcArea);
        rcCenter = rcArea;
        POINT pt = {rcWnd.left, rcWnd.top};
        ::ScreenToClient(hParent, &pt);
        rcWnd.right += pt.x - rcWnd.left;
        rcWnd.bottom += pt.y - rcWnd.top;
        rcWnd.left = pt.x;
        rcWnd.top = pt.y;
    } else {
        if (!hCenter) hCenter = ::GetWindow(m_hWnd, GW_OWNER);
        if (hCenter && ::IsWindowVisible(hCenter) && !::IsIconic(hCenter)) ::GetWindowRect(hCenter, &rcCenter);
    }
    const int cx = rcWnd.right - rcWnd.left;
    const int cy = rcWnd.bottom - rcWnd.top;
    int x = (rcCenter.left + rcCenter.right) / 2 - cx / 2;
    int y = (rcCenter.top + rcCenter.bottom) / 2 - cy / 2;
    if (x + cx > rcArea.right) x = rcArea.right - cx;
    if (x < rcArea.left) x = rcArea.left;
    if (y + cy > rcArea.bottom) y = rcArea.bottom - cy;
    if (y < rcArea.top) y = rcArea.top;
    ::SetWindowPos(m_hWnd, NULL, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWnd::UpdateWindow() { ::UpdateWindow(m_hWnd); }
void CWnd::Invalidate(BOOL bErase) { ::InvalidateRect(m_hWnd, NULL, bErase); }

// ---------------------------------------------------------------------------
// Menus and icons.

CMenu* CWnd::GetSystemMenu(BOOL bRevert) const { return CMenu::FromHandle(::GetSystemMenu(m_hWnd, bRevert)); }
CMenu* CWnd::GetMenu() const { return CMenu::FromHandle(::GetMenu(m_hWnd)); }
BOOL CWnd::SetMenu(CMenu* pMenu) { return ::SetMenu(m_hWnd, pMenu ? pMenu->m_hMenu : NULL); }
void CWnd::DrawMenuBar() { ::DrawMenuBar(m_hWnd); }

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon) {
    return reinterpret_cast<HICON>(SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL,
                                               reinterpret_cast<LPARAM>(hIcon)));
}

HICON CWnd::GetIcon(BOOL bBigIcon) const {
    return reinterpret_cast<HICON>(::SendMessageA(m_hWnd, WM_GETICON, bBigIcon ? ICON_BIG : ICON_SMALL, 0));
}

// ---------------------------------------------------------------------------

CPaintDC::CPaintDC(CWnd* pWnd) : m_hDC(NULL), m_ps(), m_hWnd(pWnd ? pWnd->m_hWnd : NULL) {
    m_hDC = ::BeginPaint(m_hWnd, &m_ps);
}

CPaintDC::~CPaintDC() { ::EndPaint(m_hWnd, &m_ps); }
