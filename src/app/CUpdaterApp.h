// The application object. Its start-up routine checks the machine, finds
// the drive that needs the update and guards the machine around it; there
// is no message loop, every dialog runs modally inside InitInstance.
#pragma once
#include "afx.h"
#include "update/DriveQualification.h"
#include "win32.h"

class CDriveAccess;
class CRegistryKey;
class CRebootDlg;
class CRebootJDlg;

class CUpdaterApp : public CWinApp {
public:
    // A static: every field below starts at zero and the constructor sets none.
    CUpdaterApp();
    ~CUpdaterApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;

    // The driver settings guard (settings/SettingsGuard.cpp). Mode 1 changes
    // the settings and records their old values; any other mode only
    // examines. 1 when some setting needed a change.
    int ApplySettingChanges(BYTE nMode);
    // Puts back what the change log holds and lowers m_nChangeCount by one
    // for each record restored.
    void RestoreSettingChanges();
    // The records the change log holds now.
    int CountChangeRecords();
    // Asks Windows to restart; on the NT family the shutdown privilege first.
    void RestartSystem();

    int m_nChangeCount;          // change records in the change log ("Changed")
    bool m_bWinNT;               // NT family, else Windows 98/ME
    HANDLE m_hMutex;             // single-instance mutex, null until created
    BOOL m_bScreenSaverActive;   // as found at start; only its low byte counts
    int m_nCodePage;             // 932 selects the Japanese texts

private:
    // Flags of one run of the start-up routine.
    struct StartupFlags {
        bool bResume = false;        // the autostart entry was found: the run after the restart
        bool bNoAutostart = false;   // no autostart entry can be written
        bool bKeepMakerKey = false;  // at the end remove only the state key
    };
    // "Software\Valtora_ODD\<app>" must fit; a longer name is refused, not cut.
    static const DWORD STATE_KEY_CAPACITY = 256;
    bool FormatStateKey(char* pszPath) const;
    LONG DeleteKeyByPlatform(CRegistryKey& key, LPCSTR pszName);
    bool CheckResumeMarker();
    void CheckAutostart(StartupFlags& flags, CString& strCommand);
    void CheckMakerKey(StartupFlags& flags);
    BOOL TakeRestartPath(const StartupFlags& flags, const CString& strCommand, CRebootDlg& dlgReboot,
                         CRebootJDlg& dlgRebootJ);
    void RemoveState(const StartupFlags& flags);
    void LoadChangeCount();
    void RestoreLeftChanges();
    static void YieldToOthers() { Sleep(0); }

    enum StartupMessage {
        MsgNoVersion,
        MsgUnknownPlatform,
        MsgNoPowerStatus,
        MsgNotOnMains,
        MsgUpToDate,
        MsgNoDrive,
    };
    void ShowMessage(StartupMessage nMessage);
    void RestoreScreenSaver();
    bool ClearUnitAttentions(BYTE* pWork);
    DriveVerdict JudgeDriveAtStart(BYTE nDrive);
};

// The one way to the drives, shared with the main dialog and the worker.
extern CDriveAccess g_DriveAccess;
extern CUpdaterApp theApp;
