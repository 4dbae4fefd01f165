#include "CWinApp.h"

#include <cstdlib>
#include <cstring>

namespace {

CWinApp* g_pApp = NULL;

// malloc'ed like the framework's own, so a program may free and replace it.
LPSTR DupText(LPCSTR text, size_t length) {
    LPSTR copy = static_cast<LPSTR>(std::malloc(length + 1));
    if (!copy) return NULL;
    std::memcpy(copy, text, length);
    copy[length] = '\0';
    return copy;
}

LPSTR DupText(LPCSTR text) { return text ? DupText(text, std::strlen(text)) : NULL; }

void FreeText(LPCSTR& text) {
    std::free(const_cast<LPSTR>(text));
    text = NULL;
}

// The file name of the image without directory and extension.
CString ExeNameOfImage() {
    char path[MAX_PATH + 1];
    DWORD n = ::GetModuleFileNameA(NULL, path, MAX_PATH);
    if (n > MAX_PATH) n = 0;
    path[n] = '\0';  // a cut-short path comes without its zero
    LPCSTR name = path;
    for (LPCSTR p = path; *p; ++p)
        if (*p == '\\' || *p == '/' || *p == ':') name = p + 1;
    LPCSTR dot = std::strrchr(name, '.');
    return dot ? CString(name, static_cast<int>(dot - name)) : CString(name);
}

}  // namespace

CWinApp::CWinApp(LPCSTR lpszAppName)
    : m_pszAppName(NULL),
      m_pszExeName(NULL),
      m_pszRegistryKey(NULL),
      m_pszProfileName(NULL),
      m_hInstance(NULL),
      m_lpCmdLine(NULL),
      m_nCmdShow(0) {
    // The application object lives for the whole run, not just its thread.
    m_bAutoDelete = FALSE;
    CString exeName = ExeNameOfImage();
    m_pszExeName = DupText(exeName);
    m_pszAppName = DupText(lpszAppName ? lpszAppName : static_cast<LPCSTR>(exeName));
    // Names the .INI profile until SetRegistryKey moves it to the registry.
    m_pszProfileName = DupText(exeName + ".INI");
    g_pApp = this;
}

CWinApp::~CWinApp() {
    FreeText(m_pszAppName);
    FreeText(m_pszExeName);
    FreeText(m_pszRegistryKey);
    FreeText(m_pszProfileName);
    if (g_pApp == this) g_pApp = NULL;
}

BOOL CWinApp::InitInstance() { return TRUE; }

void CWinApp::SetRegistryKey(LPCSTR lpszRegistryKey) {
    FreeText(m_pszRegistryKey);
    m_pszRegistryKey = DupText(lpszRegistryKey);
    // In the registry the profile is the application's key.
    FreeText(m_pszProfileName);
    m_pszProfileName = DupText(m_pszAppName);
}

void CWinApp::OnHelp() {}

HICON CWinApp::LoadIcon(UINT nIDResource) const {
    HICON hIcon = ::LoadIconA(m_hInstance, MAKEINTRESOURCEA(nIDResource));
    return hIcon ? hIcon : ::LoadIconA(NULL, IDI_APPLICATION);
}

CWinApp* AfxGetApp() { return g_pApp; }
