// The control classes the dialogs bind with DDX_Control: thin wrappers
// over the controls' messages.
#pragma once
#include "CWnd.h"

class CButton : public CWnd {
public:
    int GetCheck() const;
    void SetCheck(int nCheck);
    UINT GetState() const;
    void SetButtonStyle(UINT nStyle, BOOL bRedraw = TRUE);
};

class CStatic : public CWnd {
public:
    HICON SetIcon(HICON hIcon);
    HICON GetIcon() const;
};

class CEdit : public CWnd {
public:
    // Selects nStartChar up to nEndChar (-1: to the end) and, unless
    // bNoScroll, scrolls the caret into view.
    void SetSel(int nStartChar, int nEndChar, BOOL bNoScroll = FALSE);
    void GetSel(int& nStartChar, int& nEndChar) const;
    // 0: the system's largest limit.
    void LimitText(int nChars = 0);
    void LineScroll(int nLines, int nChars = 0);
    BOOL SetReadOnly(BOOL bReadOnly = TRUE);
    int GetLineCount() const;
};

class CComboBox : public CWnd {
public:
    // Zero-based index of the new entry, CB_ERR or CB_ERRSPACE.
    int AddString(LPCSTR lpszString);
    int InsertString(int nIndex, LPCSTR lpszString);
    int DeleteString(UINT nIndex);
    void ResetContent();
    int GetCount() const;
    // CB_ERR when nothing is selected.
    int GetCurSel() const;
    // -1 clears the selection; CB_ERR for an index out of range.
    int SetCurSel(int nSelect);
    int GetLBTextLen(int nIndex) const;
    int GetLBText(int nIndex, LPSTR lpszText) const;
    // Empty for an index out of range.
    void GetLBText(int nIndex, CString& rString) const;
};

class CProgressCtrl : public CWnd {
public:
    void SetRange(short nLower, short nUpper);
    void SetRange32(int nLower, int nUpper);
    void GetRange(int& nLower, int& nUpper) const;
    // These return the previous position (or step).
    int SetPos(int nPos);
    int GetPos() const;
    int OffsetPos(int nPos);
    int SetStep(int nStep);
    int StepIt();
};
