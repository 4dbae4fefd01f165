// The registry key wrapper: owns at most one open key and passes every
// registry result code through unchanged.
#pragma once
#include "win32.h"

class CRegistryKey {
public:
    CRegistryKey();
    ~CRegistryKey();

    LONG Close();
    LONG Open(HKEY hKeyParent, LPCSTR lpszKeyName, REGSAM samDesired);
    LONG Create(HKEY hKeyParent, LPCSTR lpszKeyName, LPSTR lpszClass, DWORD dwOptions, REGSAM samDesired,
                LPSECURITY_ATTRIBUTES lpSecAttr, LPDWORD lpdwDisposition);

    LONG QueryDword(DWORD& dwValue, LPCSTR lpszValueName);
    // pdwCount: the buffer's size on entry, the bytes stored on return.
    LONG QueryString(LPSTR pszValue, LPCSTR lpszValueName, DWORD* pdwCount);
    LONG SetDword(DWORD dwValue, LPCSTR lpszValueName);
    LONG SetString(LPCSTR pszValue, LPCSTR lpszValueName);

    LONG DeleteValue(LPCSTR lpszValueName);
    LONG DeleteKey(LPCSTR lpszSubKey);
    LONG DeleteKeyTree(LPCSTR lpszSubKey);

    HKEY GetHandle() const { return m_hOpenKey; }

private:
    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;

    HKEY m_hOpenKey;
};
