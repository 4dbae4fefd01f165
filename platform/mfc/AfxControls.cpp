#include "AfxControls.h"

namespace {

LRESULT Send(HWND hWnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return ::SendMessageA(hWnd, message, wParam, lParam);
}

}  // namespace

int CButton::GetCheck() const { return static_cast<int>(Send(m_hWnd, BM_GETCHECK)); }
void CButton::SetCheck(int nCheck) { Send(m_hWnd, BM_SETCHECK, static_cast<WPARAM>(nCheck)); }
UINT CButton::GetState() const { return static_cast<UINT>(Send(m_hWnd, BM_GETSTATE)); }
void CButton::SetButtonStyle(UINT nStyle, BOOL bRedraw) {
    Send(m_hWnd, BM_SETSTYLE, nStyle, static_cast<LPARAM>(bRedraw));
}

HICON CStatic::SetIcon(HICON hIcon) {
    return reinterpret_cast<HICON>(Send(m_hWnd, STM_SETICON, reinterpret_cast<WPARAM>(hIcon)));
}
HICON CStatic::GetIcon() const { return reinterpret_cast<HICON>(Send(m_hWnd, STM_GETICON)); }

void CEdit::SetSel(int nStartChar, int nEndChar, BOOL bNoScroll) {
    Send(m_hWnd, EM_SETSEL, static_cast<WPARAM>(nStartChar), nEndChar);
    if (!bNoScroll) Send(m_hWnd, EM_SCROLLCARET);
}

void CEdit::GetSel(int& nStartChar, int& nEndChar) const {
    DWORD dwStart = 0, dwEnd = 0;
    Send(m_hWnd, EM_GETSEL, reinterpret_cast<WPARAM>(&dwStart), reinterpret_cast<LPARAM>(&dwEnd));
    nStartChar = static_cast<int>(dwStart);
    nEndChar = static_cast<int>(dwEnd);
}

void CEdit::LimitText(int nChars) { Send(m_hWnd, EM_LIMITTEXT, static_cast<WPARAM>(nChars)); }
void CEdit::LineScroll(int nLines, int nChars) { Send(m_hWnd, EM_LINESCROLL, static_cast<WPARAM>(nChars), nLines); }
BOOL CEdit::SetReadOnly(BOOL bReadOnly) { return static_cast<BOOL>(Send(m_hWnd, EM_SETREADONLY, bReadOnly)); }
int CEdit::GetLineCount() const { return static_cast<int>(Send(m_hWnd, EM_GETLINECOUNT)); }

int CComboBox::AddString(LPCSTR lpszString) {
    return static_cast<int>(Send(m_hWnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(lpszString)));
}
int CComboBox::InsertString(int nIndex, LPCSTR lpszString) {
    return static_cast<int>(
        Send(m_hWnd, CB_INSERTSTRING, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(lpszString)));
}
int CComboBox::DeleteString(UINT nIndex) { return static_cast<int>(Send(m_hWnd, CB_DELETESTRING, nIndex)); }
void CComboBox::ResetContent() { Send(m_hWnd, CB_RESETCONTENT); }
int CComboBox::GetCount() const { return static_cast<int>(Send(m_hWnd, CB_GETCOUNT)); }
int CComboBox::GetCurSel() const { return static_cast<int>(Send(m_hWnd, CB_GETCURSEL)); }
int CComboBox::SetCurSel(int nSelect) { return static_cast<int>(Send(m_hWnd, CB_SETCURSEL, static_cast<WPARAM>(nSelect))); }
int CComboBox::GetLBTextLen(int nIndex) const {
    return static_cast<int>(Send(m_hWnd, CB_GETLBTEXTLEN, static_cast<WPARAM>(nIndex)));
}
int CComboBox::GetLBText(int nIndex, LPSTR lpszText) const {
    return static_cast<int>(Send(m_hWnd, CB_GETLBTEXT, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(lpszText)));
}

void CComboBox::GetLBText(int nIndex, CString& rString) const {
    int nLen = GetLBTextLen(nIndex);
    if (nLen < 0) {  // CB_ERR: no such entry
        rString.Empty();
        return;
    }
    int nGot = GetLBText(nIndex, rString.GetBuffer(nLen));
    rString.ReleaseBuffer(nGot > 0 ? nGot : 0);
}

void CProgressCtrl::SetRange(short nLower, short nUpper) { Send(m_hWnd, PBM_SETRANGE, 0, MAKELPARAM(nLower, nUpper)); }
void CProgressCtrl::SetRange32(int nLower, int nUpper) {
    Send(m_hWnd, PBM_SETRANGE32, static_cast<WPARAM>(nLower), nUpper);
}
void CProgressCtrl::GetRange(int& nLower, int& nUpper) const {
    PBRANGE range = {0, 0};
    Send(m_hWnd, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    nLower = range.iLow;
    nUpper = range.iHigh;
}
int CProgressCtrl::SetPos(int nPos) { return static_cast<int>(Send(m_hWnd, PBM_SETPOS, static_cast<WPARAM>(nPos))); }
int CProgressCtrl::GetPos() const { return static_cast<int>(Send(m_hWnd, PBM_GETPOS)); }
int CProgressCtrl::OffsetPos(int nPos) { return static_cast<int>(Send(m_hWnd, PBM_DELTAPOS, static_cast<WPARAM>(nPos))); }
int CProgressCtrl::SetStep(int nStep) { return static_cast<int>(Send(m_hWnd, PBM_SETSTEP, static_cast<WPARAM>(nStep))); }
int CProgressCtrl::StepIt() { return static_cast<int>(Send(m_hWnd, PBM_STEPIT)); }
