// CWinApp: the one application object, its names and its registry-backed
// profile. A program maps ID_HELP to OnHelp in its own message map; dialogs
// route commands they do not handle to the application.
#pragma once
#include "CString.h"
#include "CWinThread.h"
#include "win32.h"

class CWinApp : public CWinThread {
public:
    // Without a name the application is named after the executable. The
    // object registers itself as the one AfxGetApp returns.
    explicit CWinApp(LPCSTR lpszAppName = NULL);
    ~CWinApp() override;

    // InitInstance, ExitInstance (its result is the program's exit code)
    // and Run come from CWinThread.
    BOOL InitInstance() override;

    // From here on the profile lives below
    // HKEY_CURRENT_USER\Software\<lpszRegistryKey>\<m_pszProfileName>.
    void SetRegistryKey(LPCSTR lpszRegistryKey);

    // Sections are key paths below the application's key ("Change\  1");
    // the empty section is the application's key itself. Missing keys on
    // the way are created, even by the reading functions.
    UINT GetProfileInt(LPCSTR lpszSection, LPCSTR lpszEntry, int nDefault);
    BOOL WriteProfileInt(LPCSTR lpszSection, LPCSTR lpszEntry, int nValue);
    CString GetProfileString(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszDefault = NULL);
    // A NULL entry deletes the section's key, a NULL value the entry.
    BOOL WriteProfileString(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszValue);

    // Open keys the caller closes, or NULL.
    HKEY GetAppRegistryKey();
    HKEY GetSectionKey(LPCSTR lpszSection);

    // The program ships no help file, so the help command opens nothing.
    afx_msg void OnHelp();

    // The icon resource nIDResource of the program's module; the module has
    // none on the simulated PC, where the system's application icon stands in.
    HICON LoadIcon(UINT nIDResource) const;

    // Windows 95 and later draw controls in 3D themselves: nothing to load.
    BOOL Enable3dControlsStatic() { return FALSE; }

    // Owned by the object, allocated with malloc; a program may free one and
    // put its own malloc'ed text in its place.
    LPCSTR m_pszAppName;
    LPCSTR m_pszExeName;
    LPCSTR m_pszRegistryKey;
    LPCSTR m_pszProfileName;

    HINSTANCE m_hInstance;
    LPSTR m_lpCmdLine;
    int m_nCmdShow;
};

CWinApp* AfxGetApp();

// Control containers need no set-up in this framework.
inline void AfxEnableControlContainer() {}
