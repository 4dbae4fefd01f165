// The settings guard: the IDE/ATAPI and CD-ROM driver settings that could
// disturb a firmware download are switched off before it, each old value
// first recorded in the change log below the application's profile key, and
// put back from that log afterwards. The log outlives the restart between
// the two; it is the only memory of the old values.
#pragma once
#include "afx.h"
#include "win32.h"

class CRegistryKey;

class CSettingsGuard {
public:
    // nChangeCount is the caller's: the number of the last change record
    // written, read on entry and written back on exit. The records go
    // through app's profile, which must point at "Valtora_ODD" beforehand.
    CSettingsGuard(CWinApp& app, bool bWinNT, int& nChangeCount);

    // Mode 1 changes and records; any other mode only examines. Returns 1
    // when some setting met its condition for a change, else 0.
    int ApplySettingChanges(BYTE nMode);
    // Writes back every record it can and deletes it; the others stay with
    // their numbers for the next restore.
    void RestoreSettingChanges();
    // How many records the change log holds, whatever "Changed" says.
    int CountRecords() const;

private:
    CSettingsGuard(const CSettingsGuard&) = delete;
    CSettingsGuard& operator=(const CSettingsGuard&) = delete;

    // Windows NT family.
    void ExamineDmaDetection();
    void ExamineTimingModes();
    void ExamineTimingInstance(CRegistryKey& instance, LPCSTR pszPath);
    void ExamineAutorun();
    // Windows 98/ME.
    void ExamineDevices();
    void ExamineClassInstances(LPCSTR pszClassPath);
    LONG ChangeByteSetting(CRegistryKey& key, LPCSTR pszPath, LPCSTR pszValueName);

    bool ChangeNumber(CRegistryKey& key, LPCSTR pszPath, LPCSTR pszValueName, DWORD dwOld, DWORD dwNew);
    bool WriteChangeRecord(LPCSTR pszPath, LPCSTR pszValueName, DWORD dwType, LPCSTR pszOldText, DWORD dwOld);
    bool RecordExists(int nRecord) const;
    bool RestoreRecord(CRegistryKey& log, LPCSTR pszRecord);
    bool GetChangeLogPath(CString& strPath) const;

    CWinApp& m_app;
    bool m_bWinNT;
    int& m_nChangeCount;

    // One pass of ApplySettingChanges.
    bool m_bChange;
    bool m_bNeeded;
    int m_nCount;
};
