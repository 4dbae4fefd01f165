// The application's profile in the registry, below
// HKEY_CURRENT_USER\Software\<registry key>\<profile name>. Without
// SetRegistryKey the framework would use an .INI file; this framework has
// none, so then the writers fail and the readers return their defaults.
#include <cstring>

#include "CWinApp.h"

namespace {

const REGSAM kProfileAccess = KEY_READ | KEY_WRITE;

// Opens the key, creating it (and any missing keys of the path) first.
HKEY CreateKey(HKEY hParent, LPCSTR lpszPath) {
    HKEY hKey = NULL;
    DWORD disposition = 0;
    if (::RegCreateKeyExA(hParent, lpszPath, 0, NULL, REG_OPTION_NON_VOLATILE, kProfileAccess, NULL, &hKey,
                          &disposition) != ERROR_SUCCESS)
        return NULL;
    return hKey;
}

// Software\<registry key>. Software itself is only opened: every user has it.
HKEY CompanyKey(LPCSTR lpszRegistryKey) {
    if (!lpszRegistryKey) return NULL;
    HKEY hSoftware = NULL;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, kProfileAccess, &hSoftware) != ERROR_SUCCESS) return NULL;
    HKEY hCompany = CreateKey(hSoftware, lpszRegistryKey);
    ::RegCloseKey(hSoftware);
    return hCompany;
}

}  // namespace

HKEY CWinApp::GetAppRegistryKey() {
    if (!m_pszProfileName) return NULL;
    HKEY hCompany = CompanyKey(m_pszRegistryKey);
    if (!hCompany) return NULL;
    HKEY hApp = CreateKey(hCompany, m_pszProfileName);
    ::RegCloseKey(hCompany);
    return hApp;
}

HKEY CWinApp::GetSectionKey(LPCSTR lpszSection) {
    if (!lpszSection) return NULL;
    HKEY hApp = GetAppRegistryKey();
    if (!hApp || !*lpszSection) return hApp;
    HKEY hSection = CreateKey(hApp, lpszSection);
    ::RegCloseKey(hApp);
    return hSection;
}

UINT CWinApp::GetProfileInt(LPCSTR lpszSection, LPCSTR lpszEntry, int nDefault) {
    HKEY hSection = GetSectionKey(lpszSection);
    if (!hSection) return static_cast<UINT>(nDefault);
    DWORD type = REG_NONE;
    DWORD value = 0;
    DWORD size = sizeof value;
    LONG result = ::RegQueryValueExA(hSection, lpszEntry, NULL, &type, reinterpret_cast<LPBYTE>(&value), &size);
    ::RegCloseKey(hSection);
    if (result != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value) return static_cast<UINT>(nDefault);
    return value;
}

BOOL CWinApp::WriteProfileInt(LPCSTR lpszSection, LPCSTR lpszEntry, int nValue) {
    HKEY hSection = GetSectionKey(lpszSection);
    if (!hSection) return FALSE;
    DWORD value = static_cast<DWORD>(nValue);
    LONG result =
        ::RegSetValueExA(hSection, lpszEntry, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    ::RegCloseKey(hSection);
    return result == ERROR_SUCCESS;
}

// Only REG_SZ counts as text; any other type gives the default.
CString CWinApp::GetProfileString(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszDefault) {
    HKEY hSection = GetSectionKey(lpszSection);
    if (!hSection) return CString(lpszDefault);
    CString value(lpszDefault);
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (::RegQueryValueExA(hSection, lpszEntry, NULL, &type, NULL, &size) == ERROR_SUCCESS && type == REG_SZ) {
        CString text;
        // One byte more than the data: a REG_SZ may have been stored
        // without its zero.
        LPSTR buffer = text.GetBuffer(static_cast<int>(size));
        DWORD got = size;
        if (::RegQueryValueExA(hSection, lpszEntry, NULL, &type, reinterpret_cast<LPBYTE>(buffer), &got) ==
                ERROR_SUCCESS &&
            type == REG_SZ) {
            text.ReleaseBuffer(-1);
            value = text;
        }
    }
    ::RegCloseKey(hSection);
    return value;
}

BOOL CWinApp::WriteProfileString(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszValue) {
    if (!lpszSection) return FALSE;
    LONG result;
    if (!lpszEntry) {
        // A plain RegDeleteKey, as the framework of the time did: on the NT
        // family a section that holds subsections stays.
        if (*lpszSection) {
            HKEY hApp = GetAppRegistryKey();
            if (!hApp) return FALSE;
            result = ::RegDeleteKeyA(hApp, lpszSection);
            ::RegCloseKey(hApp);
        } else {
            // The empty section is the application's key itself.
            if (!m_pszProfileName) return FALSE;
            HKEY hCompany = CompanyKey(m_pszRegistryKey);
            if (!hCompany) return FALSE;
            result = ::RegDeleteKeyA(hCompany, m_pszProfileName);
            ::RegCloseKey(hCompany);
        }
        return result == ERROR_SUCCESS;
    }
    HKEY hSection = GetSectionKey(lpszSection);
    if (!hSection) return FALSE;
    if (lpszValue)
        result = ::RegSetValueExA(hSection, lpszEntry, 0, REG_SZ, reinterpret_cast<const BYTE*>(lpszValue),
                                  static_cast<DWORD>(std::strlen(lpszValue) + 1));
    else
        result = ::RegDeleteValueA(hSection, lpszEntry);
    ::RegCloseKey(hSection);
    return result == ERROR_SUCCESS;
}
