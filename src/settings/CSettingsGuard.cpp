#include "settings/CSettingsGuard.h"

#include <climits>
#include <cstring>

#include "settings/CRegistryKey.h"

namespace {

const BYTE MODE_CHANGE = 1;

const char ATAPI_PARAMETERS[] = "SYSTEM\\CurrentControlSet\\Services\\atapi\\Parameters";
const char CONTROL_CLASS[] = "SYSTEM\\CurrentControlSet\\Control\\Class";
const char CDROM_SERVICE[] = "SYSTEM\\CurrentControlSet\\Services\\Cdrom";
const char CONFIG_MANAGER_ENUM[] = "Config Manager\\Enum";
const char HDC_CLASS[] = "System\\CurrentControlSet\\Services\\Class\\hdc";
const char SCSI_ADAPTER_CLASS[] = "System\\CurrentControlSet\\Services\\Class\\SCSIAdapter";
const char CHANGE_LOG[] = "Software\\Valtora_ODD\\%s\\Change";

const char DMA_DETECTION_OFF[] = "DmaDetectionLevel = 0x0;";

const DWORD NAME_CAPACITY = 512;  // enumerated subkey names
const DWORD TEXT_CAPACITY = 128;  // "DriverParameter", "Class" and the texts of a record
const DWORD HARDWARE_KEY_CAPACITY = 512;
const DWORD PROBE_CAPACITY = 512;

// Transfer mode bits: 0x1F allows PIO modes 0 to 4 only, 0x10 is PIO mode 4.
const DWORD PIO_MODES_ONLY = 31;
const DWORD PIO_MODE_4 = 16;

struct TimingValues {
    LPCSTR pszUserAllowed;
    LPCSTR pszMode;
    LPCSTR pszAllowed;
};

const TimingValues g_aTimingValues[] = {
    {"UserMasterDeviceTimingModeAllowed", "MasterDeviceTimingMode", "MasterDeviceTimingModeAllowed"},
    {"UserSlaveDeviceTimingModeAllowed", "SlaveDeviceTimingMode", "SlaveDeviceTimingModeAllowed"},
};

const LPCSTR g_aRecordValues[] = {"SubKey_Name", "Value_Name", "Value_Type", "Value"};

const LPCSTR g_aDeviceValues[] = {"AutoInsertNotification", "DMACurrentlyUsed"};
const LPCSTR g_aClassValues[] = {"AutoInsertNotificationDrive0", "AutoInsertNotificationDrive1", "IDEDMADRIVE0",
                                 "IDEDMADRIVE1"};

bool EnumSubkey(HKEY hKey, DWORD dwIndex, LPSTR pszName) {
    DWORD cchName = NAME_CAPACITY;
    return RegEnumKeyExA(hKey, dwIndex, pszName, &cchName, NULL, NULL, NULL, NULL) == ERROR_SUCCESS;
}

// A text as the registry hands it out, ended inside its buffer: Windows
// 98/ME return a REG_SZ stored without its zero as it is. One that leaves no
// room for a zero would be cut, so it counts as unreadable.
bool ReadText(HKEY hKey, LPCSTR pszName, LPSTR pszText, DWORD dwCapacity, DWORD* pdwType = NULL) {
    DWORD dwType = REG_NONE;
    DWORD dwCount = dwCapacity;
    if (RegQueryValueExA(hKey, pszName, NULL, &dwType, reinterpret_cast<LPBYTE>(pszText), &dwCount) !=
        ERROR_SUCCESS)
        return false;
    if (dwCount < dwCapacity)
        pszText[dwCount] = '\0';
    else if (!std::memchr(pszText, '\0', dwCapacity))
        return false;
    if (pdwType) *pdwType = dwType;
    return true;
}

// Only a REG_DWORD of four bytes: the restore writes numbers back in that
// shape, so any other would not come back as it was.
bool ReadNumber(HKEY hKey, LPCSTR pszName, DWORD& dwValue) {
    DWORD dwType = REG_NONE;
    DWORD dwRead = 0;
    DWORD dwCount = sizeof dwRead;
    if (RegQueryValueExA(hKey, pszName, NULL, &dwType, reinterpret_cast<LPBYTE>(&dwRead), &dwCount) !=
        ERROR_SUCCESS)
        return false;
    if (dwType != REG_DWORD || dwCount != sizeof dwRead) return false;
    dwValue = dwRead;
    return true;
}

// The restore reads a record's texts through 128-byte buffers; a path it
// could not read back is never recorded, so its setting is left alone.
bool Recordable(LPCSTR pszText) { return std::strlen(pszText) < TEXT_CAPACITY; }

CString SubkeyPath(LPCSTR pszParent, LPCSTR pszName) {
    CString strPath;
    strPath.Format("%s\\%s", pszParent, pszName);
    return strPath;
}

// The level is the character after the first "0x"; a text without one is
// judged by its second character.
bool DmaDetectionOff(LPCSTR pszText) {
    LPCSTR pszLevel = std::strstr(pszText, "0x");
    char chLevel = '\0';
    if (pszLevel)
        chLevel = pszLevel[2];
    else if (std::strlen(pszText) >= 2)
        chLevel = pszText[1];
    return chLevel == '0';
}

// Each subkey of an open key that opens for writing and whose path a record
// can hold, with that path: visit(instance key, path).
template <class Visit>
void ForEachInstance(HKEY hParent, LPCSTR pszParentPath, Visit visit) {
    char szName[NAME_CAPACITY];
    for (DWORD dwIndex = 0; EnumSubkey(hParent, dwIndex, szName); ++dwIndex) {
        CString strPath = SubkeyPath(pszParentPath, szName);
        if (!Recordable(strPath)) continue;
        CRegistryKey instance;
        if (instance.Open(HKEY_LOCAL_MACHINE, strPath, KEY_ALL_ACCESS) != ERROR_SUCCESS) continue;
        visit(instance, static_cast<LPCSTR>(strPath));
    }
}

// A REG_SZ of the full 128 bytes: the text, its zero and zero filler.
LONG SetPaddedText(HKEY hKey, LPCSTR pszName, LPCSTR pszText) {
    char szData[TEXT_CAPACITY];
    std::memset(szData, 0, sizeof szData);
    std::strncpy(szData, pszText, sizeof szData - 1);
    return RegSetValueExA(hKey, pszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(szData), sizeof szData);
}

}  // namespace

CSettingsGuard::CSettingsGuard(CWinApp& app, bool bWinNT, int& nChangeCount)
    : m_app(app), m_bWinNT(bWinNT), m_nChangeCount(nChangeCount), m_bChange(false), m_bNeeded(false), m_nCount(0) {}

int CSettingsGuard::ApplySettingChanges(BYTE nMode) {
    m_bChange = nMode == MODE_CHANGE;
    m_bNeeded = false;
    m_nCount = m_nChangeCount;
    if (m_bWinNT) {
        ExamineDmaDetection();
        ExamineTimingModes();
        ExamineAutorun();
    } else {
        ExamineDevices();
        ExamineClassInstances(HDC_CLASS);
        ExamineClassInstances(SCSI_ADAPTER_CLASS);
    }
    m_nChangeCount = m_nCount;
    return m_bNeeded ? 1 : 0;
}

void CSettingsGuard::ExamineDmaDetection() {
    CRegistryKey parameters;
    if (parameters.Open(HKEY_LOCAL_MACHINE, ATAPI_PARAMETERS, KEY_READ) != ERROR_SUCCESS) return;
    ForEachInstance(parameters.GetHandle(), ATAPI_PARAMETERS, [this](CRegistryKey& instance, LPCSTR pszPath) {
        char szText[TEXT_CAPACITY];
        DWORD dwType = REG_NONE;
        // Put back as REG_SZ, so only a REG_SZ is taken.
        if (!ReadText(instance.GetHandle(), "DriverParameter", szText, sizeof szText, &dwType) || dwType != REG_SZ)
            return;
        if (DmaDetectionOff(szText)) return;
        m_bNeeded = true;
        if (!m_bChange || !WriteChangeRecord(pszPath, "DriverParameter", REG_SZ, szText, 0)) return;
        SetPaddedText(instance.GetHandle(), "DriverParameter", DMA_DETECTION_OFF);
    });
}

void CSettingsGuard::ExamineTimingModes() {
    CRegistryKey classes;
    if (classes.Open(HKEY_LOCAL_MACHINE, CONTROL_CLASS, KEY_READ) != ERROR_SUCCESS) return;
    char szClass[NAME_CAPACITY];
    for (DWORD dwClass = 0; EnumSubkey(classes.GetHandle(), dwClass, szClass); ++dwClass) {
        CString strClassPath = SubkeyPath(CONTROL_CLASS, szClass);
        CRegistryKey classKey;
        if (classKey.Open(HKEY_LOCAL_MACHINE, strClassPath, KEY_ALL_ACCESS) != ERROR_SUCCESS) continue;
        char szText[TEXT_CAPACITY];
        if (!ReadText(classKey.GetHandle(), "Class", szText, sizeof szText) || std::strcmp(szText, "hdc") != 0)
            continue;
        ForEachInstance(classKey.GetHandle(), strClassPath, [this](CRegistryKey& instance, LPCSTR pszPath) {
            ExamineTimingInstance(instance, pszPath);
        });
    }
}

void CSettingsGuard::ExamineTimingInstance(CRegistryKey& instance, LPCSTR pszPath) {
    for (const TimingValues& names : g_aTimingValues) {
        DWORD dwValue = 0;
        // A limit the user set decides alone.
        if (ReadNumber(instance.GetHandle(), names.pszUserAllowed, dwValue)) {
            if (dwValue > PIO_MODES_ONLY) ChangeNumber(instance, pszPath, names.pszUserAllowed, dwValue, PIO_MODES_ONLY);
            continue;
        }
        if (!ReadNumber(instance.GetHandle(), names.pszMode, dwValue) || dwValue <= PIO_MODE_4) continue;
        if (!ChangeNumber(instance, pszPath, names.pszMode, dwValue, PIO_MODE_4)) continue;
        // Down at PIO, the modes still allowed must not offer DMA again.
        if (ReadNumber(instance.GetHandle(), names.pszAllowed, dwValue))
            ChangeNumber(instance, pszPath, names.pszAllowed, dwValue, PIO_MODES_ONLY);
    }
}

void CSettingsGuard::ExamineAutorun() {
    CRegistryKey cdrom;
    if (cdrom.Open(HKEY_LOCAL_MACHINE, CDROM_SERVICE, KEY_ALL_ACCESS) != ERROR_SUCCESS) return;
    DWORD dwAutorun = 0;
    if (ReadNumber(cdrom.GetHandle(), "Autorun", dwAutorun) && dwAutorun != 0)
        ChangeNumber(cdrom, CDROM_SERVICE, "Autorun", dwAutorun, 0);
}

// HKEY_DYN_DATA lists the devices found at this boot; their settings live
// in HKEY_LOCAL_MACHINE below Enum, under the same hardware key.
void CSettingsGuard::ExamineDevices() {
    CRegistryKey devices;
    if (devices.Open(HKEY_DYN_DATA, CONFIG_MANAGER_ENUM, KEY_READ) != ERROR_SUCCESS) return;
    char szNode[NAME_CAPACITY];
    for (DWORD dwIndex = 0; EnumSubkey(devices.GetHandle(), dwIndex, szNode); ++dwIndex) {
        CRegistryKey node;
        if (node.Open(devices.GetHandle(), szNode, KEY_ALL_ACCESS) != ERROR_SUCCESS) continue;
        char szHardwareKey[HARDWARE_KEY_CAPACITY];
        if (!ReadText(node.GetHandle(), "HardWareKey", szHardwareKey, sizeof szHardwareKey) ||
            std::strncmp(szHardwareKey, "SCSI", 4) != 0)
            continue;
        CString strPath = SubkeyPath("Enum", szHardwareKey);
        if (!Recordable(strPath)) continue;
        CRegistryKey device;
        if (device.Open(HKEY_LOCAL_MACHINE, strPath, KEY_ALL_ACCESS) != ERROR_SUCCESS) continue;
        for (LPCSTR pszValue : g_aDeviceValues) ChangeByteSetting(device, strPath, pszValue);
    }
}

void CSettingsGuard::ExamineClassInstances(LPCSTR pszClassPath) {
    CRegistryKey classKey;
    if (classKey.Open(HKEY_LOCAL_MACHINE, pszClassPath, KEY_READ) != ERROR_SUCCESS) return;
    ForEachInstance(classKey.GetHandle(), pszClassPath, [this](CRegistryKey& instance, LPCSTR pszPath) {
        for (LPCSTR pszValue : g_aClassValues) ChangeByteSetting(instance, pszPath, pszValue);
    });
}

LONG CSettingsGuard::ChangeByteSetting(CRegistryKey& key, LPCSTR pszPath, LPCSTR pszValueName) {
    BYTE abValue[4];
    DWORD dwType = REG_NONE;
    DWORD dwCount = sizeof abValue;
    LONG lResult = RegQueryValueExA(key.GetHandle(), pszValueName, NULL, &dwType, abValue, &dwCount);
    if (lResult != ERROR_SUCCESS || dwCount == 0 || abValue[0] == 0) return lResult;
    // The record keeps one byte and the restore writes one REG_BINARY byte:
    // a longer value or one of another type would not come back as it was.
    if (dwType != REG_BINARY || dwCount != 1) return lResult;
    m_bNeeded = true;
    if (!m_bChange || !WriteChangeRecord(pszPath, pszValueName, REG_BINARY, NULL, abValue[0])) return lResult;
    const BYTE bOff = 0;
    return RegSetValueExA(key.GetHandle(), pszValueName, 0, REG_BINARY, &bOff, 1);
}

// True when the setting was recorded and changed.
bool CSettingsGuard::ChangeNumber(CRegistryKey& key, LPCSTR pszPath, LPCSTR pszValueName, DWORD dwOld, DWORD dwNew) {
    m_bNeeded = true;
    if (!m_bChange || !WriteChangeRecord(pszPath, pszValueName, REG_DWORD, NULL, dwOld)) return false;
    return key.SetDword(dwNew, pszValueName) == ERROR_SUCCESS;
}

// True when all four values of the record went in; only then may the
// setting change, or its old value would be lost.
bool CSettingsGuard::WriteChangeRecord(LPCSTR pszPath, LPCSTR pszValueName, DWORD dwType, LPCSTR pszOldText,
                                       DWORD dwOld) {
    // A run that ended before its count was saved leaves records above the
    // count; they hold old values nothing else has, so their numbers are
    // passed over rather than written again.
    do {
        if (m_nCount == INT_MAX) return false;
        ++m_nCount;
    } while (RecordExists(m_nCount));

    CString strSection;
    strSection.Format("Change\\%3d", m_nCount);
    bool bWritten = m_app.WriteProfileString(strSection, "SubKey_Name", pszPath) != FALSE;
    bWritten = m_app.WriteProfileString(strSection, "Value_Name", pszValueName) != FALSE && bWritten;
    bWritten = m_app.WriteProfileInt(strSection, "Value_Type", static_cast<int>(dwType)) != FALSE && bWritten;
    if (dwType == REG_SZ)
        bWritten = m_app.WriteProfileString(strSection, "Value", pszOldText) != FALSE && bWritten;
    else
        bWritten = m_app.WriteProfileInt(strSection, "Value", static_cast<int>(dwOld)) != FALSE && bWritten;
    return bWritten;
}

bool CSettingsGuard::RecordExists(int nRecord) const {
    CString strLog;
    if (!GetChangeLogPath(strLog)) return false;
    CString strPath;
    strPath.Format("%s\\%3d", static_cast<LPCSTR>(strLog), nRecord);
    CRegistryKey record;
    return record.Open(HKEY_CURRENT_USER, strPath, KEY_READ) == ERROR_SUCCESS;
}

bool CSettingsGuard::GetChangeLogPath(CString& strPath) const {
    if (!m_app.m_pszAppName) return false;
    strPath.Format(CHANGE_LOG, m_app.m_pszAppName);
    return true;
}

int CSettingsGuard::CountRecords() const {
    CString strLog;
    CRegistryKey log;
    if (!GetChangeLogPath(strLog) || log.Open(HKEY_CURRENT_USER, strLog, KEY_READ) != ERROR_SUCCESS) return 0;
    char szRecord[NAME_CAPACITY];
    int nRecords = 0;
    while (nRecords < INT_MAX && EnumSubkey(log.GetHandle(), static_cast<DWORD>(nRecords), szRecord)) ++nRecords;
    return nRecords;
}

void CSettingsGuard::RestoreSettingChanges() {
    int nCount = m_nChangeCount;
    CString strLog;
    CRegistryKey log;
    if (GetChangeLogPath(strLog) && log.Open(HKEY_CURRENT_USER, strLog, KEY_READ) == ERROR_SUCCESS) {
        char szRecord[NAME_CAPACITY];
        DWORD dwIndex = 0;
        while (EnumSubkey(log.GetHandle(), dwIndex, szRecord)) {
            // A deleted record brings the next one to the same index. A count
            // from a damaged "Changed" may already stand at the bottom.
            if (!RestoreRecord(log, szRecord))
                ++dwIndex;
            else if (nCount > INT_MIN)
                --nCount;
        }
    }
    m_nChangeCount = nCount;
}

// True when the old value went back (or there was none to put back) and the
// record is gone. A record that cannot be read whole, names an unknown type
// or a key or value no longer there, or whose value cannot be written back,
// stays for the next restore.
bool CSettingsGuard::RestoreRecord(CRegistryKey& log, LPCSTR pszRecord) {
    CRegistryKey record;
    if (record.Open(log.GetHandle(), pszRecord, KEY_ALL_ACCESS) != ERROR_SUCCESS) return false;
    // A setting changes only once all four values of its record are in: a
    // record that lacks one was cut short and guards nothing.
    for (LPCSTR pszValue : g_aRecordValues) {
        if (RegQueryValueExA(record.GetHandle(), pszValue, NULL, NULL, NULL, NULL) != ERROR_FILE_NOT_FOUND) continue;
        record.Close();
        return log.DeleteKey(pszRecord) == ERROR_SUCCESS;
    }
    char szPath[TEXT_CAPACITY];
    char szValueName[TEXT_CAPACITY];
    char szOldText[TEXT_CAPACITY];
    DWORD dwType = REG_NONE;
    DWORD dwOld = 0;
    if (!ReadText(record.GetHandle(), "SubKey_Name", szPath, sizeof szPath) ||
        !ReadText(record.GetHandle(), "Value_Name", szValueName, sizeof szValueName) ||
        !ReadNumber(record.GetHandle(), "Value_Type", dwType))
        return false;
    switch (dwType) {
        case REG_SZ:
            if (!ReadText(record.GetHandle(), "Value", szOldText, sizeof szOldText)) return false;
            break;
        case REG_BINARY:
        case REG_DWORD:
            if (!ReadNumber(record.GetHandle(), "Value", dwOld)) return false;
            break;
        default:
            return false;
    }

    CRegistryKey target;
    if (target.Open(HKEY_LOCAL_MACHINE, szPath, KEY_ALL_ACCESS) != ERROR_SUCCESS) return false;
    BYTE abProbe[PROBE_CAPACITY];
    DWORD dwProbe = sizeof abProbe;
    if (RegQueryValueExA(target.GetHandle(), szValueName, NULL, NULL, abProbe, &dwProbe) != ERROR_SUCCESS) return false;

    LONG lResult;
    if (dwType == REG_SZ) {
        lResult = SetPaddedText(target.GetHandle(), szValueName, szOldText);
    } else if (dwType == REG_BINARY) {
        const BYTE bOld = static_cast<BYTE>(dwOld & 0xFF);
        lResult = RegSetValueExA(target.GetHandle(), szValueName, 0, REG_BINARY, &bOld, 1);
    } else {
        lResult = target.SetDword(dwOld, szValueName);
    }
    // The record is the only memory of the old value: it goes only once
    // the value is back.
    if (lResult != ERROR_SUCCESS) return false;
    target.Close();
    record.Close();
    return log.DeleteKey(pszRecord) == ERROR_SUCCESS;
}
