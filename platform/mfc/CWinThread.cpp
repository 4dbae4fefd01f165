#include "CWinThread.h"

#include <new>

namespace {

DWORD WINAPI ThreadEntry(LPVOID pParam) {
    CWinThread* pThread = static_cast<CWinThread*>(pParam);
    DWORD code;
    if (pThread->m_pfnThreadProc)
        code = pThread->m_pfnThreadProc(pThread->m_pThreadParams);
    else
        code = static_cast<DWORD>(pThread->InitInstance() ? pThread->Run() : pThread->ExitInstance());
    // The exit code is already in hand: nothing may touch the object after this.
    pThread->Delete();
    return code;
}

}  // namespace

CWinThread::CWinThread() : CWinThread(NULL, NULL) {}

CWinThread::CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam)
    : m_pMainWnd(NULL),
      m_bAutoDelete(TRUE),
      m_hThread(NULL),
      m_nThreadID(0),
      m_pfnThreadProc(pfnThreadProc),
      m_pThreadParams(pParam) {}

CWinThread::~CWinThread() {
    if (m_hThread) ::CloseHandle(m_hThread);
}

BOOL CWinThread::CreateThread(DWORD dwCreateFlags, UINT nStackSize, LPSECURITY_ATTRIBUTES lpSecurityAttrs) {
    // Always created suspended: m_hThread must be stored before the thread
    // can run to its end and delete this object.
    HANDLE hThread = ::CreateThread(lpSecurityAttrs, nStackSize, &ThreadEntry, this, dwCreateFlags | CREATE_SUSPENDED,
                                    &m_nThreadID);
    if (!hThread) return FALSE;
    m_hThread = hThread;
    if (!(dwCreateFlags & CREATE_SUSPENDED) && ::ResumeThread(hThread) == static_cast<DWORD>(-1)) return FALSE;
    return TRUE;
}

DWORD CWinThread::ResumeThread() { return ::ResumeThread(m_hThread); }

DWORD CWinThread::SuspendThread() { return ::SuspendThread(m_hThread); }

BOOL CWinThread::SetThreadPriority(int nPriority) { return ::SetThreadPriority(m_hThread, nPriority); }

int CWinThread::GetThreadPriority() { return ::GetThreadPriority(m_hThread); }

BOOL CWinThread::InitInstance() { return FALSE; }

int CWinThread::ExitInstance() { return 0; }

// There is no message loop yet: every window of the program runs its own
// modal loop, so running the thread only means ending it.
int CWinThread::Run() { return ExitInstance(); }

void CWinThread::Delete() {
    if (m_bAutoDelete) delete this;
}

CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority, UINT nStackSize,
                           DWORD dwCreateFlags, LPSECURITY_ATTRIBUTES lpSecurityAttrs) {
    if (!pfnThreadProc) return NULL;
    CWinThread* pThread = new (std::nothrow) CWinThread(pfnThreadProc, pParam);
    if (!pThread) return NULL;
    // Suspended until the priority is set, whatever the caller asked for.
    if (!pThread->CreateThread(dwCreateFlags | CREATE_SUSPENDED, nStackSize, lpSecurityAttrs)) {
        pThread->Delete();
        return NULL;
    }
    pThread->SetThreadPriority(nPriority);
    if (!(dwCreateFlags & CREATE_SUSPENDED)) pThread->ResumeThread();  // may delete pThread
    return pThread;
}
