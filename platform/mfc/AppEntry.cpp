// The program's entry point: the framework, not the program, defines it.
#include "CWinApp.h"
#include "CWnd.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR lpCmdLine, int nShowCmd) {
    CWinApp* pApp = AfxGetApp();
    if (!pApp) return -1;  // a program without an application object
    pApp->m_hInstance = hInstance;
    pApp->m_lpCmdLine = lpCmdLine;
    pApp->m_nCmdShow = nShowCmd;
    if (!pApp->InitInstance()) {
        // A main window still open when start-up gives up goes first.
        if (pApp->m_pMainWnd) pApp->m_pMainWnd->DestroyWindow();
        return pApp->ExitInstance();
    }
    return pApp->Run();
}
