// The state that carries an update across a restart: the resume marker,
// the autostart entry, the per-user state key and its removal.
#include <cstdio>
#include <cstring>

#include "app/CUpdaterApp.h"
#include "settings/CRegistryKey.h"
#include "util/BeepMessageBox.h"
#include "ui/MessageDlg.h"
#include "ui/MessageDlgResources.h"

namespace {

const char RESUME_MARKER[] = "Software\\VALTORA_ODD_WINQOR";
const char RESUME_MARKER_NAME[] = "VALTORA_ODD_WINQOR";
const char MAKER_KEY[] = "Software\\Valtora_ODD";
const char MAKER_KEY_NAME[] = "Valtora_ODD";
const char STATE_KEY_FORMAT[] = "Software\\Valtora_ODD\\%s";
const char RUN_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\run";
const char KEEP_MAKER_KEY_VALUE[] = "Valtora_ODD_Add";

const DWORD AUTOSTART_CAPACITY = 512;
const int WORKING_DIRECTORY_CAPACITY = 1024;

// 実行したユーザーと異なるユーザーでログオンしています。\r\nこのプログラムを実行したユーザーでログオンしてください。
const char TEXT_OTHER_USER_JAPANESE[] =
    "\x8E\xC0\x8Ds\x82\xB5\x82\xBD\x83\x86\x81[\x83U\x81[\x82\xC6\x88\xD9\x82\xC8\x82\xE9\x83\x86\x81[\x83U\x81[\x82"
    "\xC5\x83\x8D\x83O\x83I\x83\x93\x82\xB5\x82\xC4\x82\xA2\x82\xDC\x82\xB7\x81" "B\r\n\x82\xB1\x82\xCC\x83v\x83\x8D\x83O"
    "\x83\x89\x83\x80\x82\xF0\x8E\xC0\x8Ds\x82\xB5\x82\xBD\x83\x86\x81[\x83U\x81[\x82\xC5\x83\x8D\x83O\x83I\x83\x93\x82"
    "\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81" "B";
const char TEXT_OTHER_USER[] =
    "It logon by the user who performed, and different user.\r\nPlease logon by the user who performed this program.";


}  // namespace

bool CUpdaterApp::FormatStateKey(char* pszPath) const {
    int nLength = std::snprintf(pszPath, STATE_KEY_CAPACITY, STATE_KEY_FORMAT, m_pszAppName ? m_pszAppName : "");
    // A cut path would name some other key.
    return nLength >= 0 && nLength < static_cast<int>(STATE_KEY_CAPACITY);
}

LONG CUpdaterApp::DeleteKeyByPlatform(CRegistryKey& key, LPCSTR pszName) {
    // Windows 98/ME delete the whole subtree themselves; NT refuses a key with subkeys.
    return m_bWinNT ? key.DeleteKeyTree(pszName) : key.DeleteKey(pszName);
}

bool CUpdaterApp::CheckResumeMarker() {
    CRegistryKey marker;
    if (marker.Open(HKEY_LOCAL_MACHINE, RESUME_MARKER, KEY_ALL_ACCESS) != ERROR_SUCCESS) return true;
    marker.Close();

    char szStateKey[STATE_KEY_CAPACITY];
    CRegistryKey state;
    if (!FormatStateKey(szStateKey) || state.Open(HKEY_CURRENT_USER, szStateKey, KEY_ALL_ACCESS) != ERROR_SUCCESS) {
        // Not the user who started the update: the marker stays for that user.
        MessageBoxA(NULL, m_nCodePage == 932 ? TEXT_OTHER_USER_JAPANESE : TEXT_OTHER_USER, g_szMessageCaption, MB_OK);
        return false;
    }
    state.Close();

    CRegistryKey software;
    if (software.Open(HKEY_LOCAL_MACHINE, "Software", KEY_ALL_ACCESS) == ERROR_SUCCESS) {
        DeleteKeyByPlatform(software, RESUME_MARKER_NAME);
        software.Close();
    }
    return true;
}

void CUpdaterApp::CheckAutostart(StartupFlags& flags, CString& strCommand) {
    char szDirectory[WORKING_DIRECTORY_CAPACITY];
    if (_getcwd(szDirectory, WORKING_DIRECTORY_CAPACITY) == NULL) {
        flags.bNoAutostart = true;
        return;
    }
    CString strPath = szDirectory;
    if (strPath.IsEmpty() || strPath[strPath.GetLength() - 1] != '\\') strPath += "\\";
    strPath += m_pszExeName;
    strPath += ".exe";
    // Unquoted, Windows would try "C:\Program.exe" first for "C:\Program Files\...".
    strCommand = strPath.Find(' ') >= 0 ? "\"" + strPath + "\"" : strPath;

    CRegistryKey run;
    if (run.Create(HKEY_CURRENT_USER, RUN_KEY, NULL, 0, KEY_ALL_ACCESS, NULL, NULL) != ERROR_SUCCESS) {
        flags.bNoAutostart = true;
        return;
    }
    char szValue[AUTOSTART_CAPACITY];
    DWORD dwCount = AUTOSTART_CAPACITY;
    LONG lResult = run.QueryString(szValue, m_pszExeName, &dwCount);
    // Any content will do, as long as it fits with its zero.
    bool bFits = lResult == ERROR_SUCCESS && (dwCount < AUTOSTART_CAPACITY || szValue[AUTOSTART_CAPACITY - 1] == '\0');
    if (bFits) {
        flags.bResume = true;
        run.DeleteValue(m_pszExeName);
        YieldToOthers();
    } else {
        flags.bResume = false;
    }
    run.Close();
}

void CUpdaterApp::CheckMakerKey(StartupFlags& flags) {
    CRegistryKey maker;
    if (maker.Open(HKEY_CURRENT_USER, MAKER_KEY, KEY_ALL_ACCESS) != ERROR_SUCCESS) {
        flags.bKeepMakerKey = false;
        return;
    }
    char szStateKey[STATE_KEY_CAPACITY];
    CRegistryKey state;
    if (!FormatStateKey(szStateKey) || state.Open(HKEY_CURRENT_USER, szStateKey, KEY_ALL_ACCESS) != ERROR_SUCCESS) {
        flags.bKeepMakerKey = true;
    } else {
        DWORD dwKeep = 0;
        flags.bKeepMakerKey = state.QueryDword(dwKeep, KEEP_MAKER_KEY_VALUE) != ERROR_SUCCESS || dwKeep == 1;
        state.Close();
    }
    maker.Close();
}

BOOL CUpdaterApp::TakeRestartPath(const StartupFlags& flags, const CString& strCommand, CRebootDlg& dlgReboot,
                                  CRebootJDlg& dlgRebootJ) {
    CDialog* pConfirm;
    if (m_nCodePage == 932) {
        dlgRebootJ.m_strMessage = flags.bNoAutostart ? g_szRebootRunAgainJ : g_szRebootResumeJ;
        pConfirm = &dlgRebootJ;
    } else {
        dlgReboot.m_strMessage = flags.bNoAutostart ? g_szRebootRunAgain : g_szRebootResume;
        pConfirm = &dlgReboot;
    }
    if (pConfirm->DoModal() == IDCANCEL) {
        RestoreScreenSaver();
        return FALSE;
    }

    LoadChangeCount();
    ApplySettingChanges(1);
    WriteProfileInt("", "Changed", m_nChangeCount);
    YieldToOthers();

    if (!flags.bNoAutostart) {
        CRegistryKey run;
        if (run.Open(HKEY_CURRENT_USER, RUN_KEY, KEY_ALL_ACCESS) == ERROR_SUCCESS) {
            run.SetString(strCommand, m_pszExeName);
            run.Close();
            YieldToOthers();
        }
    }

    CRegistryKey marker;
    if (marker.Create(HKEY_LOCAL_MACHINE, RESUME_MARKER, NULL, 0, KEY_ALL_ACCESS, NULL, NULL) == ERROR_SUCCESS)
        marker.Close();

    char szStateKey[STATE_KEY_CAPACITY];
    CRegistryKey state;
    if (FormatStateKey(szStateKey) && state.Open(HKEY_CURRENT_USER, szStateKey, KEY_ALL_ACCESS) == ERROR_SUCCESS) {
        state.SetDword(flags.bKeepMakerKey ? 1 : 0, KEEP_MAKER_KEY_VALUE);
        state.Close();
        YieldToOthers();
    }

    RestoreScreenSaver();
    RestartSystem();
    return FALSE;
}

void CUpdaterApp::RemoveState(const StartupFlags& flags) {
    CRegistryKey key;
    if (flags.bKeepMakerKey) {
        if (key.Open(HKEY_CURRENT_USER, MAKER_KEY, KEY_ALL_ACCESS) == ERROR_SUCCESS) {
            DeleteKeyByPlatform(key, m_pszAppName);
            key.Close();
        }
    } else if (key.Open(HKEY_CURRENT_USER, "Software", KEY_ALL_ACCESS) == ERROR_SUCCESS) {
        DeleteKeyByPlatform(key, MAKER_KEY_NAME);
        key.Close();
    }
}

// "Changed" is still read, for reading it creates the maker key and the
// state key when they are missing. Its number is not taken: a power failure
// between the records and "Changed", or in the middle of a restore, leaves
// one that no longer matches the log, and the records are what the restore
// works from.
void CUpdaterApp::LoadChangeCount() {
    SetRegistryKey(MAKER_KEY_NAME);
    GetProfileInt("", "Changed", 0);
    m_nChangeCount = CountChangeRecords();
}

// A drive found up to date needs no changed setting any more: what an
// earlier run could not put back (the power failed during its restore, or
// the firmware came some other way) goes back now, or it never would.
void CUpdaterApp::RestoreLeftChanges() {
    // Without records the keys are not touched, let alone created.
    m_nChangeCount = CountChangeRecords();
    if (m_nChangeCount == 0) return;
    StartupFlags flags;
    CheckMakerKey(flags);
    RestoreSettingChanges();
    if (m_nChangeCount != 0) return;
    RemoveState(flags);
    CRegistryKey run;
    if (run.Open(HKEY_CURRENT_USER, RUN_KEY, KEY_ALL_ACCESS) == ERROR_SUCCESS) {
        run.DeleteValue(m_pszExeName);
        run.Close();
    }
}

void CUpdaterApp::RestartSystem() {
    if (!m_bWinNT) {
        ExitWindowsEx(EWX_REBOOT, 0);
        return;
    }
    HANDLE hToken = NULL;
    OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &hToken);
    TOKEN_PRIVILEGES privileges;
    std::memset(&privileges, 0, sizeof privileges);
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    bool bEnabled = LookupPrivilegeValueA(NULL, "SeShutdownPrivilege", &privileges.Privileges[0].Luid) == 1 &&
                    AdjustTokenPrivileges(hToken, FALSE, &privileges, 0, NULL, NULL) == 1;
    if (hToken != NULL) CloseHandle(hToken);
    // Without the privilege there is no restart; the state stays for one by hand.
    if (bEnabled) ExitWindowsEx(EWX_REBOOT, 0);
}
