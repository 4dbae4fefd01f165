#include "CRegistryKey.h"

#include <cstring>

CRegistryKey::CRegistryKey() : m_hOpenKey(NULL) {}

CRegistryKey::~CRegistryKey() { Close(); }

LONG CRegistryKey::Close() {
    if (m_hOpenKey == NULL) return ERROR_SUCCESS;
    LONG lResult = RegCloseKey(m_hOpenKey);
    // The handle is gone either way; never close it twice.
    m_hOpenKey = NULL;
    return lResult;
}

LONG CRegistryKey::Open(HKEY hKeyParent, LPCSTR lpszKeyName, REGSAM samDesired) {
    HKEY hKey = NULL;
    LONG lResult = RegOpenKeyExA(hKeyParent, lpszKeyName, 0, samDesired, &hKey);
    if (lResult != ERROR_SUCCESS) return lResult;
    // Only a successful open replaces the key held so far.
    lResult = Close();
    m_hOpenKey = hKey;
    return lResult;
}

LONG CRegistryKey::Create(HKEY hKeyParent, LPCSTR lpszKeyName, LPSTR lpszClass, DWORD dwOptions, REGSAM samDesired,
                          LPSECURITY_ATTRIBUTES lpSecAttr, LPDWORD lpdwDisposition) {
    HKEY hKey = NULL;
    LONG lResult = RegCreateKeyExA(hKeyParent, lpszKeyName, 0, lpszClass, dwOptions, samDesired, lpSecAttr, &hKey,
                                   lpdwDisposition);
    if (lResult != ERROR_SUCCESS) return lResult;
    lResult = Close();
    m_hOpenKey = hKey;
    return lResult;
}

LONG CRegistryKey::QueryDword(DWORD& dwValue, LPCSTR lpszValueName) {
    DWORD dwCount = sizeof(DWORD);
    return RegQueryValueExA(m_hOpenKey, lpszValueName, NULL, NULL, reinterpret_cast<LPBYTE>(&dwValue), &dwCount);
}

LONG CRegistryKey::QueryString(LPSTR pszValue, LPCSTR lpszValueName, DWORD* pdwCount) {
    return RegQueryValueExA(m_hOpenKey, lpszValueName, NULL, NULL, reinterpret_cast<LPBYTE>(pszValue), pdwCount);
}

LONG CRegistryKey::SetDword(DWORD dwValue, LPCSTR lpszValueName) {
    return RegSetValueExA(m_hOpenKey, lpszValueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwValue),
                          sizeof(DWORD));
}

LONG CRegistryKey::SetString(LPCSTR pszValue, LPCSTR lpszValueName) {
    return RegSetValueExA(m_hOpenKey, lpszValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(pszValue),
                          static_cast<DWORD>(std::strlen(pszValue) + 1));
}

LONG CRegistryKey::DeleteValue(LPCSTR lpszValueName) { return RegDeleteValueA(m_hOpenKey, lpszValueName); }

LONG CRegistryKey::DeleteKey(LPCSTR lpszSubKey) { return RegDeleteKeyA(m_hOpenKey, lpszSubKey); }

LONG CRegistryKey::DeleteKeyTree(LPCSTR lpszSubKey) {
    CRegistryKey key;
    LONG lResult = key.Open(m_hOpenKey, lpszSubKey, KEY_ALL_ACCESS);
    if (lResult != ERROR_SUCCESS) return lResult;

    // Always index 0: each removal moves the next subkey there.
    for (;;) {
        char szName[256];
        DWORD dwSize = 256;
        if (RegEnumKeyExA(key.m_hOpenKey, 0, szName, &dwSize, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
        lResult = key.DeleteKeyTree(szName);
        if (lResult != ERROR_SUCCESS) return lResult;
    }

    key.Close();
    return DeleteKey(lpszSubKey);
}
