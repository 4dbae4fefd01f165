#include "ui/CUpdateDlg.h"

#include "drive/CDriveAccess.h"
#include "ui/CAboutDlg.h"
#include "ui/GuardedDialog.h"
#include "ui/MessageDlg.h"
#include "ui/UpdateDlgResources.h"
#include "update/DriveQualification.h"
#include "update/FirmwareIndex.h"
#include "update/FirmwareUpdate.h"
#include "util/BeepMessageBox.h"

int g_nTimerTicks;

namespace {

// Japanese texts are code page 932 bytes; the comment above each reads them.
// CD ドライブ
const char DRIVE_LABEL_J[] = "CD \x83h\x83\x89\x83" "C\x83u";
// バージョン情報
const char ABOUT_MENU_J[] = "\x83o\x81[\x83W\x83\x87\x83\x93\x8F\xEE\x95\xF1";
// スキャン終了。
const char SCAN_COMPLETE_J[] = "\x83X\x83L\x83\x83\x83\x93\x8FI\x97\xB9\x81" "B";
// サポートしないCD ドライブです。
const char NOT_SUPPORT_J[] =
    "\x83T\x83|\x81[\x83g\x82\xB5\x82\xC8\x82\xA2" "CD \x83h\x83\x89\x83" "C\x83u\x82\xC5\x82\xB7\x81" "B";
// サポートしないファームウェアです。
const char WRONG_FIRMWARE_J[] =
    "\x83T\x83|\x81[\x83g\x82\xB5\x82\xC8\x82\xA2\x83t\x83@\x81[\x83\x80\x83" "E\x83" "F\x83" "A\x82\xC5\x82\xB7\x81" "B";
// ファームウェアのアップデートは不要です。
const char NOT_NEEDED_J[] = "\x83t\x83@\x81[\x83\x80\x83" "E\x83" "F\x83" "A\x82\xCC\x83" "A\x83" "b\x83v\x83" "f\x81[\x83g"
                            "\x82\xCD\x95s\x97v\x82\xC5\x82\xB7\x81" "B";
// アップデート中…
const char NOW_UPDATING_J[] = "\x83" "A\x83" "b\x83v\x83" "f\x81[\x83g\x92\x86\x81" "c";
// アップデート失敗。
const char UPDATE_FAILED_J[] = "\x83" "A\x83" "b\x83v\x83" "f\x81[\x83g\x8E\xB8\x94s\x81" "B";
// アップデートに失敗しました。
const char UPDATE_FAILED_BOX_J[] =
    "\x83" "A\x83" "b\x83v\x83" "f\x81[\x83g\x82\xC9\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81" "B";
// アップデート終了。
const char UPDATE_COMPLETE_J[] = "\x83" "A\x83" "b\x83v\x83" "f\x81[\x83g\x8FI\x97\xB9\x81" "B";
// エラー:
const char ERROR_PREFIX_J[] = "\x83G\x83\x89\x81[:";
// アップデート開始
const char START_UPDATE_J[] = "\x83" "A\x83" "b\x83v\x83" "f\x81[\x83g\x8AJ\x8En";
// 中止
const char CANCEL_J[] = "\x92\x86\x8E~";

const char CAPTION_FORMAT[] = "Firmware Update Utility Ver.5.2.0 for  %s";

const int JAPANESE_CODE_PAGE = 932;
const int DRIVE_NAME_CHARS = 29;
const int MAX_DRIVE_LABEL = 15;
const int MAX_STATUS = 2000;

const UINT TIMER_PERIOD = 3000;
const int PROGRESS_AT_START = 2;
const int PROGRESS_PER_TICK = 2;
// The bar follows the ticks up to 88, reached 129 s after Start; the
// download itself takes about as long.
const int PROGRESS_LAST_TICK = 44;
const int PROGRESS_DONE = 100;
// 300 s: more than twice what a download takes.
const int TIMEOUT_TICKS = 100;
// A suspend count this high is not ours to undo.
const int RESUME_CALLS = 11;
// Short enough that a second close, a repaint or a refused log-off is
// answered while we wait for the worker.
const DWORD WORKER_POLL_MS = 100;

// Both classes of a pair are made, and the one of the dialog's language runs.
template <class TEnglish, class TJapanese>
INT_PTR RunNotice(CWnd* pParent, bool bJapanese) {
    TEnglish dlgEnglish(pParent);
    TJapanese dlgJapanese(pParent);
    return bJapanese ? dlgJapanese.DoModal() : dlgEnglish.DoModal();
}

}  // namespace

CUpdateDlg::CUpdateDlg(CWnd* pParent)
    : CDialog(IDD_UPDATE_DIALOG, pParent),
      m_nChangeCount(0),
      // Not a result yet; a dialog that could not run leaves a value that
      // restores the settings rather than one that forgets them.
      m_nResult(0),
      m_pThread(NULL),
      m_hThread(NULL),
      m_dwExitCode(0),
      m_bEnding(0),
      m_bUpdating(0),
      m_nCodePage(_getmbcp()),
      m_pDrive(NULL),
      m_hIcon(NULL),
      m_bWorkerResumed(false) {
    RegisterUpdateDlgResources();
    CWinApp* pApp = AfxGetApp();
    if (pApp) m_hIcon = pApp->LoadIcon(IDR_MAINFRAME);
    m_strDriveLabel = Text("CD-Drive", DRIVE_LABEL_J);
}

CUpdateDlg::~CUpdateDlg() {
    if (m_hThread) ::CloseHandle(m_hThread);
}

void CUpdateDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PROGRESS, m_progress);
    DDX_Control(pDX, IDC_TARGET_REVISION, m_editTargetRev);
    DDX_Control(pDX, IDC_DRIVE_REVISION, m_editDriveRev);
    DDX_Control(pDX, IDC_CANCEL_UPDATE, m_btnCancel);
    DDX_Control(pDX, IDC_START_UPDATE, m_btnStart);
    DDX_Control(pDX, IDC_DRIVE_LIST, m_cbDrives);
    DDX_Control(pDX, IDC_FIRM_VERSION, m_editFirmVersion);
    DDX_Text(pDX, IDC_DRIVE_LABEL, m_strDriveLabel);
    DDV_MaxChars(pDX, m_strDriveLabel, MAX_DRIVE_LABEL);
    DDX_Text(pDX, IDC_STATUS, m_strStatus);
    DDV_MaxChars(pDX, m_strStatus, MAX_STATUS);
    DDX_Text(pDX, IDC_NOTES, m_strNotes);
}

BEGIN_MESSAGE_MAP(CUpdateDlg, CDialog)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_COMMAND(ID_SCAN, &CUpdateDlg::OnScan)
    ON_COMMAND(ID_APP_ABOUT, &CUpdateDlg::OnAbout)
    ON_CBN_SELCHANGE(IDC_DRIVE_LIST, &CUpdateDlg::OnSelChangeDrive)
    ON_BN_CLICKED(IDC_START_UPDATE, &CUpdateDlg::OnStartUpdate)
    ON_BN_CLICKED(IDC_CANCEL_UPDATE, &CUpdateDlg::OnCancelButton)
    ON_WM_CLOSE()
    ON_WM_TIMER()
    ON_WM_SETCURSOR()
END_MESSAGE_MAP()

// A log-off, shut-down or suspend while the user waits here, or while the
// worker writes, could leave the drive or the settings half done.
LRESULT CUpdateDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return GuardedWindowProc(this, m_bEnding != 0, message, wParam, lParam);
}

bool CUpdateDlg::IsJapanese() const { return m_nCodePage == JAPANESE_CODE_PAGE; }

LPCSTR CUpdateDlg::Text(LPCSTR pszEnglish, LPCSTR pszJapanese) const {
    return IsJapanese() ? pszJapanese : pszEnglish;
}

void CUpdateDlg::SetStatus(LPCSTR pszEnglish, LPCSTR pszJapanese) {
    m_strStatus = Text(pszEnglish, pszJapanese);
    UpdateData(FALSE);
    UpdateWindow();
}

int CUpdateDlg::ShowMessage(LPCSTR pszText) { return MessageBox(pszText, g_szMessageCaption, MB_OK); }

BOOL CUpdateDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    CMenu* pSysMenu = GetSystemMenu(FALSE);
    if (pSysMenu) {
        CString strAboutMenu;
        strAboutMenu.LoadString(IDS_ABOUTBOX);
        if (!strAboutMenu.IsEmpty()) {
            pSysMenu->AppendMenu(MF_SEPARATOR);
            pSysMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, strAboutMenu);
        }
    }
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);
    CMenu* pMenu = GetMenu();
    if (pMenu) pMenu->ModifyMenu(ID_APP_ABOUT, MF_BYCOMMAND | MF_STRING, ID_APP_ABOUT, Text("About", ABOUT_MENU_J));

    m_progress.SetRange(0, PROGRESS_DONE);
    m_progress.SetPos(0);
    m_editTargetRev.SetWindowText("");

    OnScan();

    CString strCaption;
    strCaption.Format(CAPTION_FORMAT, g_szSupportedModel);
    SetWindowText(strCaption);
    return TRUE;
}

void CUpdateDlg::OnScan() {
    BeginWaitCursor();
    int nSelected = m_cbDrives.GetCurSel();
    m_cbDrives.ResetContent();
    BYTE nCount = m_pDrive->ScanDrives();
    if (nCount > 0) {
        for (int i = 0; i < nCount; ++i) m_cbDrives.AddString(m_pDrive->GetDriveName(i).Left(DRIVE_NAME_CHARS));
        m_cbDrives.SetCurSel(nSelected == CB_ERR ? 0 : nSelected);
    }
    SetStatus("Scan Complete.", SCAN_COMPLETE_J);
    OnSelChangeDrive();
    EndWaitCursor();
}

void CUpdateDlg::OnSelChangeDrive() {
    int nSelected = m_cbDrives.GetCurSel();
    // Nothing listed (or a drive gone since the last scan): index 255 would
    // reach the facade, which refuses what the last scan did not find.
    if (nSelected == CB_ERR) {
        SetStatus("Not Support.", NOT_SUPPORT_J);
        m_btnStart.EnableWindow(FALSE);
        m_editTargetRev.SetWindowText("");
        return;
    }

    BYTE abInquiry[IDENTITY_BUFFER];
    bool bIdentified = ReadDriveIdentity(*m_pDrive, static_cast<BYTE>(nSelected), abInquiry) == SS_COMP;
    // Judged all the same: the zeroed data makes it unsupported.
    if (!bIdentified) ::MessageBeep(0xFFFFFFFF);

    SetStatus("Not Support.", NOT_SUPPORT_J);
    m_btnStart.EnableWindow(FALSE);
    m_editTargetRev.SetWindowText("");

    DriveFindings findings;
    DriveVerdict verdict = QualifyDrive(*m_pDrive, abInquiry, findings);
    if (bIdentified) m_editDriveRev.SetWindowText(findings.strRevision);
    if (findings.nEntry >= 0) m_editTargetRev.SetWindowText(findings.strTargetRevision);

    switch (verdict) {
        case VerdictNotSupported:
            break;
        case VerdictWrongFirmware:
            SetStatus("Not support firmware.", WRONG_FIRMWARE_J);
            break;
        case VerdictNotNeeded:
            SetStatus("Unnecessary Firmware Update Drive.", NOT_NEEDED_J);
            break;
        case VerdictNeeded:
            m_btnStart.EnableWindow(TRUE);
            SetStatus(" ", " ");
            break;
    }
}

void CUpdateDlg::OnStartUpdate() {
    g_nFirmIndex = 0;
    m_btnStart.EnableWindow(FALSE);
    m_btnCancel.EnableWindow(FALSE);
    m_cbDrives.EnableWindow(FALSE);
    m_nResult = 1;

    BYTE nDrive = static_cast<BYTE>(m_cbDrives.GetCurSel());
    // Written before the worker exists, read only by it.
    WorkerParam.byDrive = nDrive;
    WorkerParam.pDrive = m_pDrive;
    switch (RecheckForStart(*m_pDrive, nDrive)) {
        case StartCommandFailed: {
            CString strError = m_pDrive->GetErrorText();
            ShowMessage(IsJapanese() ? CString(ERROR_PREFIX_J) + strError : strError);
            ShowUpdateFailed();
            return;
        }
        case StartSiblingRefused:
            ShowMessage(Text("Not Support Version.", WRONG_FIRMWARE_J));
            ShowUpdateFailed();
            return;
        case StartNoEntry:
            ShowMessage(Text("Not Support.", NOT_SUPPORT_J));
            ShowUpdateFailed();
            return;
        case StartReady:
            break;
    }

    RunNotice<CStartDlg, CStartJDlg>(this, IsJapanese());

    BeginWaitCursor();
    m_progress.SetPos(PROGRESS_AT_START);
    g_nTimerTicks = 1;

    // Suspended until we hold our own handle: the thread object goes when
    // the worker ends, and its exit code must outlive it.
    m_pThread = AfxBeginThread(FirmwareUpdateThread, &WorkerParam, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED, NULL);
    if (!m_pThread || !::DuplicateHandle(::GetCurrentProcess(), m_pThread->m_hThread, ::GetCurrentProcess(),
                                         &m_hThread, THREAD_ALL_ACCESS, TRUE, DUPLICATE_SAME_ACCESS)) {
        ShowUpdateFailed();
        return;
    }
    if (!ResumeWorker() || !SetTimer(IDT_UPDATE, TIMER_PERIOD)) {
        ShowUpdateFailed();
        return;
    }
    m_bUpdating = 1;
    SetStatus("Now Updating...", NOW_UPDATING_J);
}

bool CUpdateDlg::ResumeWorker() {
    for (int nCall = 1;; ++nCall) {
        DWORD dwPrevious = ::ResumeThread(m_hThread);
        if (dwPrevious == 0xFFFFFFFF) return false;
        // 0 or 1: it runs from here on, whatever we report.
        if (dwPrevious <= 1) m_bWorkerResumed = true;
        if (nCall == RESUME_CALLS) return false;
        if (dwPrevious <= 1) return true;
    }
}

void CUpdateDlg::ShowUpdateFailed() {
    m_bUpdating = 0;
    SetStatus("Update Failed.", UPDATE_FAILED_J);
    m_progress.SetPos(0);
    ShowMessage(Text("Update Failed.", UPDATE_FAILED_BOX_J));
    // Only leaving is left: the drive may be half written.
    m_btnCancel.EnableWindow(TRUE);
    EndWaitCursor();
}

void CUpdateDlg::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent == IDT_UPDATE) PollWorker();
    CDialog::OnTimer(nIDEvent);
}

void CUpdateDlg::PollWorker() {
    ::GetExitCodeThread(m_hThread, &m_dwExitCode);
    if (m_dwExitCode != STILL_ACTIVE) {
        m_bUpdating = 0;
        KillTimer(IDT_UPDATE);
        if (m_dwExitCode != 0) {
            ShowUpdateFailed();
            return;
        }
        m_progress.SetPos(PROGRESS_DONE);
        SetStatus("Update Complete.", UPDATE_COMPLETE_J);
        EndWaitCursor();
        RunNotice<CEndDlg, CEndJDlg>(this, IsJapanese());
        if (m_nChangeCount == 0) m_nResult = 2;
        m_bEnding = 1;
        EndDialog(IDOK);
        return;
    }

    ++g_nTimerTicks;
    if (g_nTimerTicks <= PROGRESS_LAST_TICK) {
        m_progress.SetPos(PROGRESS_PER_TICK * g_nTimerTicks);
        m_progress.UpdateWindow();
    }
    if (g_nTimerTicks > TIMEOUT_TICKS) {
        // Given up on, not stopped: nothing can stop it safely mid-flash.
        KillTimer(IDT_UPDATE);
        ShowUpdateFailed();
    }
}

void CUpdateDlg::OnCancelButton() {
    if (m_bUpdating) return;
    OnClose();
    m_bEnding = 1;
    EndDialog(IDOK);
}

void CUpdateDlg::OnClose() {
    // While the timer polls the worker the outcome is the timer's to tell.
    if (m_bUpdating) return;
    WaitForWorker();
    m_nResult = 2;
    if (m_nChangeCount != 0) m_nResult = static_cast<int>(RunNotice<CCancelDlg, CCancelJDlg>(this, IsJapanese()));
    CDialog::OnClose();
}

// A worker given up on may still be writing to the drive, and leaving lets
// the start-up routine restart the machine under it.
void CUpdateDlg::WaitForWorker() {
    if (!m_bWorkerResumed || !m_hThread || ::WaitForSingleObject(m_hThread, 0) != WAIT_TIMEOUT) return;
    m_bUpdating = 1;
    const BOOL bCancelEnabled = m_btnCancel.IsWindowEnabled();
    m_btnCancel.EnableWindow(FALSE);
    BeginWaitCursor();
    bool bQuit = false;
    while (::WaitForSingleObject(m_hThread, bQuit ? INFINITE : WORKER_POLL_MS) == WAIT_TIMEOUT) {
        MSG msg;
        while (!bQuit && ::PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // Left for the loop that owns it.
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                bQuit = true;
                break;
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    ::GetExitCodeThread(m_hThread, &m_dwExitCode);
    EndWaitCursor();
    m_btnCancel.EnableWindow(bCancelEnabled);
    m_bUpdating = 0;
}

void CUpdateDlg::OnCancel() {}

BOOL CUpdateDlg::OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message) {
    if (!m_bUpdating) return CDialog::OnSetCursor(pWnd, nHitTest, message);
    // The count went up at Start; only the shape needs putting back.
    RestoreWaitCursor();
    return FALSE;
}

void CUpdateDlg::OnSysCommand(UINT nID, LPARAM lParam) {
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
    } else {
        CDialog::OnSysCommand(nID, lParam);
    }
}

void CUpdateDlg::OnAbout() {
    CAboutDlg dlgAbout;
    dlgAbout.DoModal();
}

void CUpdateDlg::OnPaint() {
    // The template's captions are English; a Japanese system gets its own
    // at every paint.
    if (IsJapanese()) {
        m_btnStart.SetWindowText(START_UPDATE_J);
        m_btnCancel.SetWindowText(CANCEL_J);
    }
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    const int cxIcon = ::GetSystemMetrics(SM_CXICON);
    const int cyIcon = ::GetSystemMetrics(SM_CYICON);
    CRect rect;
    GetClientRect(&rect);
    dc.DrawIcon((rect.Width() - cxIcon + 1) / 2, (rect.Height() - cyIcon + 1) / 2, m_hIcon);
}

HCURSOR CUpdateDlg::OnQueryDragIcon() { return m_hIcon; }
