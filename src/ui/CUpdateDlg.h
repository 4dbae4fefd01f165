// The main dialog: the user picks the drive, sees whether it needs the
// update, starts the download worker and watches it run. The start-up
// routine sets m_pDrive and m_nChangeCount, runs it modally and then reads
// m_nResult: 2 when nothing is to be restored or restarted.
#pragma once
#include "afx.h"
#include "win32.h"

class CDriveAccess;

// Timer ticks since "Start Update"; the main thread's only.
extern int g_nTimerTicks;

class CUpdateDlg : public CDialog {
public:
    explicit CUpdateDlg(CWnd* pParent = NULL);
    ~CUpdateDlg() override;

    int m_nChangeCount;    // recorded driver setting changes
    int m_nResult;         // 2: nothing to restore; else restore and restart
    CWinThread* m_pThread;  // the worker; it deletes itself when it ends
    HANDLE m_hThread;       // our duplicate of its handle, for the exit code
    DWORD m_dwExitCode;
    BYTE m_bEnding;    // set right before the dialog ends itself
    BYTE m_bUpdating;  // a worker runs and the timer polls it
    int m_nCodePage;   // 932 selects the Japanese texts
    CDriveAccess* m_pDrive;
    CProgressCtrl m_progress;
    CEdit m_editTargetRev;
    CEdit m_editDriveRev;
    CButton m_btnCancel;
    CButton m_btnStart;
    CComboBox m_cbDrives;
    CString m_strDriveLabel;
    CString m_strStatus;
    HICON m_hIcon;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    // Escape and IDCANCEL do nothing: only CANCEL leaves.
    void OnCancel() override;

    afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
    afx_msg void OnPaint();
    afx_msg HCURSOR OnQueryDragIcon();
    afx_msg void OnScan();
    afx_msg void OnAbout();
    afx_msg void OnSelChangeDrive();
    afx_msg void OnStartUpdate();
    afx_msg void OnCancelButton();
    afx_msg void OnClose();
    afx_msg void OnTimer(UINT_PTR nIDEvent);
    afx_msg BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);

    DECLARE_MESSAGE_MAP()

private:
    bool IsJapanese() const;
    LPCSTR Text(LPCSTR pszEnglish, LPCSTR pszJapanese) const;
    // The status line shown at once, even inside a long handler.
    void SetStatus(LPCSTR pszEnglish, LPCSTR pszJapanese);
    int ShowMessage(LPCSTR pszText);
    void PollWorker();
    bool ResumeWorker();
    void ShowUpdateFailed();
    void WaitForWorker();

    CEdit m_editFirmVersion;  // bound, never used
    CString m_strNotes;       // stays empty
    bool m_bWorkerResumed;    // the worker may run, so it will end some time
};
