// AfxBeginThread and CWinThread on the simulated PC: the update dialog's way
// of starting the download worker (suspended, handle duplicated, resumed,
// exit code polled) and the thread object that deletes itself.
#include <gtest/gtest.h>

#include <string>

#include "afx.h"
#include "core/Process.h"

namespace {

class ThreadTest : public ::testing::Test {
protected:
    void SetUp() override { sim::Process::Boot(sim::Machine::Default()); }

    static size_t OpenThreadHandles() { return sim::Proc().handles().Count("thread"); }

    static HANDLE Duplicate(HANDLE h) {
        HANDLE copy = NULL;
        EXPECT_TRUE(DuplicateHandle(GetCurrentProcess(), h, GetCurrentProcess(), &copy, THREAD_ALL_ACCESS, TRUE,
                                    DUPLICATE_SAME_ACCESS));
        return copy;
    }

    static DWORD ExitCodeAfterEnd(HANDLE h) {
        EXPECT_EQ(WaitForSingleObject(h, INFINITE), WAIT_OBJECT_0);
        DWORD code = 0;
        EXPECT_TRUE(GetExitCodeThread(h, &code));
        return code;
    }
};

struct Work {
    int runs = 0;
    UINT result = 0;
    DWORD sleepMs = 0;
};

UINT Worker(LPVOID pParam) {
    Work* work = static_cast<Work*>(pParam);
    ++work->runs;
    if (work->sleepMs) Sleep(work->sleepMs);
    return work->result;
}

TEST_F(ThreadTest, SuspendedWorkerRunsOnlyAfterResumeAndReportsThroughADuplicate) {
    Work work;
    work.result = 1;
    work.sleepMs = 122000;
    CWinThread* pThread =
        AfxBeginThread(Worker, &work, THREAD_PRIORITY_BELOW_NORMAL, 0, CREATE_SUSPENDED, NULL);
    ASSERT_NE(pThread, nullptr);
    EXPECT_NE(pThread->m_hThread, nullptr);
    EXPECT_NE(pThread->m_nThreadID, 0u);
    EXPECT_TRUE(pThread->m_bAutoDelete);
    EXPECT_EQ(GetThreadPriority(pThread->m_hThread), THREAD_PRIORITY_BELOW_NORMAL);

    Sleep(1000);
    EXPECT_EQ(work.runs, 0) << "a suspended thread ran";

    HANDLE hThread = Duplicate(pThread->m_hThread);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(hThread, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(pThread->SuspendThread(), 1u);
    EXPECT_EQ(pThread->ResumeThread(), 2u);
    EXPECT_EQ(pThread->ResumeThread(), 1u);  // pThread may be gone from here on

    EXPECT_EQ(WaitForSingleObject(hThread, 3000), WAIT_TIMEOUT);
    EXPECT_EQ(work.runs, 1);
    EXPECT_EQ(ExitCodeAfterEnd(hThread), 1u);
    // The object's own handle went with it; only the duplicate is left.
    EXPECT_EQ(OpenThreadHandles(), 1u);
    EXPECT_TRUE(CloseHandle(hThread));
}

TEST_F(ThreadTest, WorkerStartedAtOnceEndsAndDeletesItsObject) {
    Work work;
    work.result = 0;
    CWinThread* pThread = AfxBeginThread(Worker, &work);
    ASSERT_NE(pThread, nullptr);
    // Threads run only when this one waits, so the object is still here.
    HANDLE hThread = Duplicate(pThread->m_hThread);
    EXPECT_EQ(GetThreadPriority(hThread), THREAD_PRIORITY_NORMAL);
    EXPECT_EQ(ExitCodeAfterEnd(hThread), 0u);
    EXPECT_EQ(work.runs, 1);
    EXPECT_EQ(OpenThreadHandles(), 1u);
    CloseHandle(hThread);
}

TEST_F(ThreadTest, ObjectWithoutAutoDeleteOutlivesItsThread) {
    Work work;
    work.result = 77;
    {
        CWinThread thread(Worker, &work);
        thread.m_bAutoDelete = FALSE;
        ASSERT_TRUE(thread.CreateThread(CREATE_SUSPENDED));
        EXPECT_EQ(work.runs, 0);
        EXPECT_TRUE(thread.SetThreadPriority(THREAD_PRIORITY_HIGHEST));
        EXPECT_EQ(thread.GetThreadPriority(), THREAD_PRIORITY_HIGHEST);
        EXPECT_EQ(thread.ResumeThread(), 1u);
        EXPECT_EQ(ExitCodeAfterEnd(thread), 77u);
        EXPECT_EQ(OpenThreadHandles(), 1u);
    }
    EXPECT_EQ(OpenThreadHandles(), 0u) << "the destructor keeps the thread handle open";
}

// A thread without a procedure runs InitInstance, then Run, or ExitInstance
// alone when InitInstance fails.
class CountingThread : public CWinThread {
public:
    CountingThread(BOOL init, std::string* log) : m_bInit(init), m_pLog(log) {}
    ~CountingThread() override { *m_pLog += "deleted;"; }
    BOOL InitInstance() override {
        *m_pLog += "init;";
        return m_bInit;
    }
    int ExitInstance() override {
        *m_pLog += "exit;";
        return m_bInit ? 5 : 6;
    }
    int Run() override {
        *m_pLog += "run;";
        return CWinThread::Run();
    }
    BOOL m_bInit;
    std::string* m_pLog;
};

TEST_F(ThreadTest, ThreadWithoutProcedureRunsInitInstanceAndRun) {
    struct Case {
        BOOL init;
        const char* log;
        DWORD code;
    } cases[] = {
        {TRUE, "init;run;exit;deleted;", 5},
        {FALSE, "init;exit;deleted;", 6},
    };
    for (const auto& c : cases) {
        std::string log;
        CountingThread* pThread = new CountingThread(c.init, &log);
        ASSERT_TRUE(pThread->CreateThread(CREATE_SUSPENDED));
        HANDLE hThread = Duplicate(pThread->m_hThread);
        pThread->ResumeThread();
        EXPECT_EQ(ExitCodeAfterEnd(hThread), c.code) << c.log;
        EXPECT_EQ(log, c.log);
        CloseHandle(hThread);
    }
}

TEST_F(ThreadTest, NoProcedureNoThread) {
    EXPECT_EQ(AfxBeginThread(NULL, NULL), nullptr);
    EXPECT_EQ(OpenThreadHandles(), 0u);
}

}  // namespace
