// CWnd: a C++ object over a window handle.
//
// A window becomes a CWnd in one of two ways. Subclassing (SubclassWindow,
// and CDialog for its own window) makes the object permanent for the
// handle: the window's procedure is replaced through GWLP_WNDPROC, every
// message then goes through WindowProc and the message map, and what the
// object does not handle goes on to the procedure that was there before.
// FromHandle of any other handle gives a temporary wrapper that the
// framework owns and frees once the window is gone; do not keep it, and do
// not cast it to a control class: bind controls with DDX_Control instead.
#pragma once
#include "CCmdTarget.h"
#include "CString.h"
#include "win32.h"

class CMenu;
class CDataExchange;

class CRect : public RECT {
public:
    CRect() { left = top = right = bottom = 0; }
    CRect(int l, int t, int r, int b) {
        left = l;
        top = t;
        right = r;
        bottom = b;
    }
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    operator LPRECT() { return this; }
    operator const RECT*() const { return this; }
};

class CWnd : public CCmdTarget {
public:
    CWnd();
    // A window still attached is unsubclassed and let go, not destroyed.
    ~CWnd() override;

    HWND m_hWnd;

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return GetSafeHwnd(); }

    // The permanent object for hWnd, else a temporary one; NULL for NULL.
    static CWnd* FromHandle(HWND hWnd);
    static CWnd* FromHandlePermanent(HWND hWnd);
    // Make this the permanent object of hWnd without touching its procedure.
    // Fails for NULL, when this object has a window, or when hWnd has one.
    BOOL Attach(HWND hWnd);
    HWND Detach();
    // Attach and route the window's messages through WindowProc.
    BOOL SubclassWindow(HWND hWnd);
    BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
    HWND UnsubclassWindow();

    // Window state and text.
    BOOL ShowWindow(int nCmdShow);
    BOOL EnableWindow(BOOL bEnable = TRUE);
    BOOL IsWindowEnabled() const;
    BOOL IsWindowVisible() const;
    BOOL IsIconic() const;
    void SetWindowText(LPCSTR lpszString);
    void GetWindowText(CString& rString) const;
    int GetWindowText(LPSTR lpszStringBuf, int nMaxCount) const;
    int GetWindowTextLength() const;
    void SetDlgItemText(int nID, LPCSTR lpszString);
    int GetDlgItemText(int nID, CString& rString) const;
    CWnd* GetDlgItem(int nID) const;
    int GetDlgCtrlID() const;
    CWnd* GetParent() const;
    CWnd* SetFocus();
    static CWnd* GetFocus();
    BOOL DestroyWindow();

    // Position and painting.
    void GetWindowRect(LPRECT lpRect) const;
    void GetClientRect(LPRECT lpRect) const;
    BOOL SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags);
    // Relative to the owner (or pAlternateOwner) when it is visible and not
    // minimised, else to the screen; kept on the screen.
    void CenterWindow(CWnd* pAlternateOwner = NULL);
    void UpdateWindow();
    void Invalidate(BOOL bErase = TRUE);

    // Messages and timers.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer = NULL);
    BOOL KillTimer(UINT_PTR nIDEvent);
    // Owner is this window; a NULL caption shows the system's "Error".
    int MessageBox(LPCSTR lpszText, LPCSTR lpszCaption = NULL, UINT nType = MB_OK);

    // Menus and icons. The CMenu objects are temporary, like FromHandle's.
    CMenu* GetSystemMenu(BOOL bRevert) const;
    CMenu* GetMenu() const;
    BOOL SetMenu(CMenu* pMenu);
    void DrawMenuBar();
    HICON SetIcon(HICON hIcon, BOOL bBigIcon);
    HICON GetIcon(BOOL bBigIcon) const;

    // Every message of a subclassed window arrives here first.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The procedure that was there before subclassing, or DefWindowProcA.
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Gives the current message to DefWindowProc with its own parameters.
    LRESULT Default();
    // The system's modal loops do not call this; a loop of the program's own
    // may, before it translates and dispatches pMsg. TRUE: the message is done.
    virtual BOOL PreTranslateMessage(MSG* pMsg);

    // UpdateData runs DoDataExchange: TRUE reads the controls into the
    // members, FALSE fills the controls; FALSE back when a value was refused.
    virtual void DoDataExchange(CDataExchange* pDX);
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

protected:
    // The message map, then DefWindowProc when nothing handled the message.
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    // WM_COMMAND: a menu item or accelerator (no control) counts as CN_COMMAND.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    // After WM_NCDESTROY, when the object has let go of the window.
    virtual void PostNcDestroy();

    // The default handling of mapped messages: the window's own procedure.
    afx_msg void OnTimer(UINT_PTR nIDEvent);
    afx_msg void OnPaint();
    afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
    afx_msg HCURSOR OnQueryDragIcon();
    afx_msg void OnClose();
    afx_msg void OnDestroy();
    afx_msg BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);

    WNDPROC m_pfnSuper;

    DECLARE_MESSAGE_MAP()

private:
    friend LRESULT AfxCallWndProc(CWnd* pWnd, UINT message, WPARAM wParam, LPARAM lParam, BOOL bDeferDefault,
                                  BOOL* pbDefaulted);
    friend void AfxDeleteTempMaps(BOOL bAll);
    // The window is gone: forget it, and stop being the main window.
    void WindowGone();
};

// Sends one message through pWnd's WindowProc as the framework's window
// procedure does. With bDeferDefault the window's own procedure is already
// running for this message (the dialog manager calling its dialog
// procedure): DefWindowProc then only records in *pbDefaulted that the
// object left the message to it.
LRESULT AfxCallWndProc(CWnd* pWnd, UINT message, WPARAM wParam, LPARAM lParam, BOOL bDeferDefault = FALSE,
                       BOOL* pbDefaulted = NULL);

// Frees temporary objects of windows and menus that no longer exist; with
// bAll every temporary menu too. The framework calls it after each modal
// dialog; nothing should hold a temporary across that.
void AfxDeleteTempMaps(BOOL bAll);

// A window's text into rString, whatever its length.
void AfxGetWindowText(HWND hWnd, CString& rString);
// Sets the text only when it differs, so an unchanged control is not redrawn.
void AfxSetWindowText(HWND hWnd, LPCSTR lpszNew);

// The application's main window, or NULL.
CWnd* AfxGetMainWnd();

// BeginPaint/EndPaint for the life of the object.
class CPaintDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC();
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    HDC GetSafeHdc() const { return m_hDC; }
    BOOL DrawIcon(int x, int y, HICON hIcon) { return ::DrawIcon(m_hDC, x, y, hIcon); }

    HDC m_hDC;
    PAINTSTRUCT m_ps;

private:
    HWND m_hWnd;
};
