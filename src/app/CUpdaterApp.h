// The application object. Its start-up routine checks the machine, finds
// the drive that needs the update and guards the machine around it; there
// is no message loop, every dialog runs modally inside InitInstance.
#pragma once
#include "afx.h"
#include "update/DriveQualification.h"
#include "win32.h"

class CDriveAccess;

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

    int m_nChangeCount;          // change records in the change log ("Changed")
    bool m_bWinNT;               // NT family, else Windows 98/ME
    HANDLE m_hMutex;             // single-instance mutex, null until created
    BOOL m_bScreenSaverActive;   // as found at start; only its low byte counts
    int m_nCodePage;             // 932 selects the Japanese texts

private:
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
