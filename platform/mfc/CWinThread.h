// CWinThread and AfxBeginThread: threads started through the Win32
// CreateThread, with the framework's auto-delete of the thread object.
#pragma once
#include "CCmdTarget.h"
#include "win32.h"

class CWnd;

typedef UINT (*AFX_THREADPROC)(LPVOID pParam);

class CWinThread : public CCmdTarget {
public:
    // For a thread that runs InitInstance/Run, such as the application.
    CWinThread();
    // For a worker: the thread runs pfnThreadProc(pParam) and its result
    // becomes the thread's exit code.
    CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam);
    ~CWinThread() override;

    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;

    // CREATE_SUSPENDED leaves the thread waiting for ResumeThread. With
    // m_bAutoDelete set and the thread not suspended, the object may be gone
    // by the time this returns TRUE.
    BOOL CreateThread(DWORD dwCreateFlags = 0, UINT nStackSize = 0, LPSECURITY_ATTRIBUTES lpSecurityAttrs = NULL);
    DWORD ResumeThread();
    DWORD SuspendThread();
    BOOL SetThreadPriority(int nPriority);
    int GetThreadPriority();
    operator HANDLE() const { return m_hThread; }

    virtual BOOL InitInstance();
    virtual int ExitInstance();
    virtual int Run();
    // Called when the thread ends: deletes the object when m_bAutoDelete.
    virtual void Delete();

    CWnd* m_pMainWnd;
    BOOL m_bAutoDelete;
    HANDLE m_hThread;
    DWORD m_nThreadID;
    AFX_THREADPROC m_pfnThreadProc;
    LPVOID m_pThreadParams;
};

// Returns the new thread object, or NULL when the thread could not be made.
// With m_bAutoDelete (the default) the object deletes itself when the
// thread ends; keep a duplicate of m_hThread to look at the thread after.
CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority = THREAD_PRIORITY_NORMAL,
                           UINT nStackSize = 0, DWORD dwCreateFlags = 0, LPSECURITY_ATTRIBUTES lpSecurityAttrs = NULL);
