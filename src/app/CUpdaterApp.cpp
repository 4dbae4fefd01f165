#include "app/CUpdaterApp.h"

#include <cstring>

#include "drive/CDriveAccess.h"
#include "ui/CAgreementDlg.h"
#include "ui/CUpdateDlg.h"
#include "ui/MessageDlg.h"
#include "util/BeepMessageBox.h"

namespace {

struct MessageText {
    LPCSTR pszEnglish;
    LPCSTR pszJapanese;  // code page 932
};

// Indexed by CUpdaterApp::StartupMessage.
const MessageText g_aStartupText[] = {
    // オペレーティングシステムの情報を取得できません。
    {"Cannot get operationg system information.",
     "\x83I\x83y\x83\x8C\x81[\x83" "e\x83" "B\x83\x93\x83O\x83V\x83X\x83" "e\x83\x80\x82\xCC\x8F\xEE\x95\xF1\x82\xF0"
     "\x8E\xE6\x93\xBE\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1\x81" "B"},
    // Win32s または不明なOS です。
    {"Win32s or unknown operating system.",
     "Win32s \x82\xDC\x82\xBD\x82\xCD\x95s\x96\xBE\x82\xC8OS \x82\xC5\x82\xB7\x81" "B"},
    // システムの電源状態を取得できません。\r\nアップデートを中断します。
    {"Cannot get the power status of the system.\r\n Update abort.",
     "\x83V\x83X\x83" "e\x83\x80\x82\xCC\x93" "d\x8C\xB9\x8F\xF3\x91\xD4\x82\xF0\x8E\xE6\x93\xBE\x82\xC5\x82\xAB\x82"
     "\xDC\x82\xB9\x82\xF1\x81" "B\r\n\x83" "A\x83" "b\x83v\x83" "f\x81[\x83g\x82\xF0\x92\x86\x92" "f\x82\xB5\x82\xDC"
     "\x82\xB7\x81" "B"},
    // システムにAC 電源を接続して再度実行してください。
    {"Try again after AC adapter connect the system.",
     "\x83V\x83X\x83" "e\x83\x80\x82\xC9" "AC \x93" "d\x8C\xB9\x82\xF0\x90\xDA\x91\xB1\x82\xB5\x82\xC4\x8D\xC4\x93x"
     "\x8E\xC0\x8Ds\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81" "B"},
    // CD ドライブのファームウェアは書き換え不要です。
    {"CD-Drive firmware is NOT need to update firmware.",
     "CD \x83h\x83\x89\x83" "C\x83u\x82\xCC\x83t\x83@\x81[\x83\x80\x83" "E\x83" "F\x83" "A\x82\xCD\x8F\x91\x82\xAB\x8A"
     "\xB7\x82\xA6\x95s\x97v\x82\xC5\x82\xB7\x81" "B"},
    // このプログラムに対応したCD ドライブが見つかりません。
    {"Could not be found CD-Drive for this program.",
     "\x82\xB1\x82\xCC\x83v\x83\x8D\x83O\x83\x89\x83\x80\x82\xC9\x91\xCE\x89\x9E\x82\xB5\x82\xBD" "CD \x83h\x83\x89\x83"
     "C\x83u\x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81" "B"},
};

const char MUTEX_NAME[] = "WINQOR";
// From Windows 2000 on, copies in other logon sessions must see it too.
const char MUTEX_NAME_GLOBAL[] = "Global\\WINQOR";

// A drive that is still reporting a reset or a medium change after this
// many reads is left alone rather than waited for.
const int UNIT_ATTENTION_READS = 7;
const BYTE ASC_MEDIUM_CHANGED = 0x28;
const BYTE ASC_RESET = 0x29;

const DWORD WORK_BUFFER = 3000;
const DWORD READ_LENGTH = 2048;  // one CD block
const DWORD READ_LBA = 16;

// Characters 5 to 12 of a drive's display name are its vendor.
const int NAME_VENDOR = 5;
const int VENDOR_LENGTH = 8;

static_assert(sizeof(OSVERSIONINFOA) == 148, "the version query states 148 bytes");

}  // namespace

CUpdaterApp::CUpdaterApp() : CWinApp(NULL) {}

CUpdaterApp::~CUpdaterApp() {}

BOOL CUpdaterApp::InitInstance() {
    AfxEnableControlContainer();
    Enable3dControlsStatic();
    // The dialogs of the update; creating them shows nothing.
    CAgreementDlg dlgAgreement;
    CRebootDlg dlgReboot;
    CRebootJDlg dlgRebootJ;
    CUpdateDlg dlgUpdate;
    CWarningDlg dlgWarning;
    CWarningJDlg dlgWarningJ;
    bool bUpToDate = false;

    m_nCodePage = _getmbcp();

    OSVERSIONINFOA osvi;
    std::memset(&osvi, 0, sizeof osvi);
    osvi.dwOSVersionInfoSize = sizeof osvi;
    if (!GetVersionExA(&osvi)) {
        ShowMessage(MsgNoVersion);
        return FALSE;
    }
    if (osvi.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        m_bWinNT = false;
    } else if (osvi.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        m_bWinNT = true;
    } else {
        ShowMessage(MsgUnknownPlatform);
        return FALSE;
    }
    DWORD dwMajor = osvi.dwMajorVersion;

    g_DriveAccess.m_bUsePassThrough = m_bWinNT ? 1 : 0;

    // Windows NT 4.0 has no power status to ask.
    if (!m_bWinNT || dwMajor >= 5) {
        SYSTEM_POWER_STATUS power;
        std::memset(&power, 0, sizeof power);
        if (!GetSystemPowerStatus(&power)) {
            ShowMessage(MsgNoPowerStatus);
            return FALSE;
        }
        // Unknown (255) is refused like battery: a flash cut short ruins the drive.
        if (power.ACLineStatus != 1) {
            ShowMessage(MsgNotOnMains);
            return FALSE;
        }
    }

    m_hMutex = NULL;
    m_hMutex = CreateMutexA(NULL, TRUE, m_bWinNT && dwMajor >= 5 ? MUTEX_NAME_GLOBAL : MUTEX_NAME);
    // The first copy goes on undisturbed, so this one leaves without a word.
    if (m_hMutex == NULL || GetLastError() == ERROR_ALREADY_EXISTS) return FALSE;

    // The state key's path is built from the application name; one too long
    // for it would name another key, so nothing is touched at all.
    char szStateKey[STATE_KEY_CAPACITY];
    if (!FormatStateKey(szStateKey)) return FALSE;

    if (!CheckResumeMarker()) return FALSE;

    SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &m_bScreenSaverActive, 0);
    if (LOBYTE(m_bScreenSaverActive) == 1) SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 0, NULL, SPIF_SENDWININICHANGE);

    bool bNeedsUpdate = false;
    BYTE nCount = g_DriveAccess.ScanDrives();
    for (int nDrive = 0; nDrive < nCount; ++nDrive) {
        CString strName = g_DriveAccess.GetDriveName(nDrive);
        // Other makers' drives get no command at all.
        if (strName.GetLength() < NAME_VENDOR + VENDOR_LENGTH ||
            std::memcmp(static_cast<LPCSTR>(strName) + NAME_VENDOR, g_szSupportedVendor, VENDOR_LENGTH) != 0)
            continue;
        DriveVerdict verdict = JudgeDriveAtStart(static_cast<BYTE>(nDrive));
        if (verdict == VerdictNotNeeded) bUpToDate = true;
        if (verdict == VerdictNeeded) {
            // This drive stays selected for the update.
            bNeedsUpdate = true;
            break;
        }
    }

    if (!bNeedsUpdate) {
        ShowMessage(bUpToDate ? MsgUpToDate : MsgNoDrive);
        // A missing drive may be back at the next logon; an up-to-date one
        // leaves the changed settings nothing to wait for.
        if (bUpToDate) RestoreLeftChanges();
        RestoreScreenSaver();
        return FALSE;
    }

    StartupFlags flags;
    CString strCommand;
    CheckAutostart(flags, strCommand);

    // After the restart the user has agreed already.
    if (!flags.bResume) {
        dlgAgreement.m_strModel = g_szSupportedModel;
        if (dlgAgreement.DoModal() == IDCANCEL) {
            RestoreScreenSaver();
            return FALSE;
        }
    }

    CheckMakerKey(flags);

    if (ApplySettingChanges(0) != 0) return TakeRestartPath(flags, strCommand, dlgReboot, dlgRebootJ);

    LoadChangeCount();

    m_pMainWnd = &dlgUpdate;
    dlgUpdate.m_pDrive = &g_DriveAccess;

    if (m_nCodePage == 932)
        dlgWarningJ.DoModal();
    else
        dlgWarning.DoModal();

    dlgUpdate.m_nChangeCount = m_nChangeCount;
    dlgUpdate.DoModal();
    if (dlgUpdate.m_nResult == 2) {
        RestoreScreenSaver();
        return FALSE;
    }

    RestoreSettingChanges();
    YieldToOthers();
    if (m_nChangeCount == 0) RemoveState(flags);
    YieldToOthers();
    RestoreScreenSaver();
    RestartSystem();
    RestoreScreenSaver();
    return FALSE;
}

int CUpdaterApp::ExitInstance() {
    // Not closed: the end of the process does that.
    if (m_hMutex != NULL) ReleaseMutex(m_hMutex);
    return CWinApp::ExitInstance();
}

void CUpdaterApp::ShowMessage(StartupMessage nMessage) {
    const MessageText& text = g_aStartupText[nMessage];
    MessageBoxA(NULL, m_nCodePage == 932 ? text.pszJapanese : text.pszEnglish, g_szMessageCaption, MB_OK);
}

void CUpdaterApp::RestoreScreenSaver() {
    if (LOBYTE(m_bScreenSaverActive) == 1) SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 1, NULL, SPIF_SENDWININICHANGE);
}

// Drives report a reset or a medium change to the first commands after a
// restart; reading a block takes that report before the INQUIRY would.
bool CUpdaterApp::ClearUnitAttentions(BYTE* pWork) {
    for (int nRead = 0; nRead < UNIT_ATTENTION_READS; ++nRead) {
        std::memset(pWork, 0, WORK_BUFFER);
        g_DriveAccess.SetDataBuffer(pWork, READ_LENGTH);
        g_DriveAccess.Read10(READ_LBA, 1, 0, 0);
        BYTE ucAsc = 0;
        BYTE ucAscq = 0;
        g_DriveAccess.GetSenseCodes(ucAsc, ucAscq);
        if (ucAsc != ASC_RESET && ucAsc != ASC_MEDIUM_CHANGED) return true;
    }
    return false;
}

DriveVerdict CUpdaterApp::JudgeDriveAtStart(BYTE nDrive) {
    BYTE abWork[WORK_BUFFER];
    g_DriveAccess.SelectDrive(nDrive);
    if (!ClearUnitAttentions(abWork)) return VerdictNotSupported;
    if (ReadSelectedIdentity(g_DriveAccess, abWork) != SS_COMP) return VerdictNotSupported;
    DriveFindings findings;
    DriveVerdict verdict = QualifyDrive(g_DriveAccess, abWork, findings);
    // Firmware we cannot replace counts as no drive for us at start.
    return verdict == VerdictWrongFirmware ? VerdictNotSupported : verdict;
}
