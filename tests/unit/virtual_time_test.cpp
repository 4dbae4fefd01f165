// Virtual time and the simulated threads: long waits cost no wall time, and
// a run's order of events is the same every time.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "core/Process.h"
#include "win32.h"

namespace {

class VirtualTime : public ::testing::Test {
protected:
    void SetUp() override { sim::Process::Boot(sim::Machine::Default()); }
};

std::vector<std::string>* g_events;

void Record(const std::string& what) { g_events->push_back(std::to_string(GetTickCount()) + " " + what); }

DWORD WINAPI Downloader(LPVOID) {
    Record("worker starts");
    Sleep(2000);
    Record("worker ejected the medium");
    Sleep(120000);
    Record("worker sends the firmware");
    return 0;
}

// The main thread polls the worker every 3 s, the way the update dialog does.
std::vector<std::string> OneRun() {
    std::vector<std::string> events;
    g_events = &events;
    HANDLE worker = CreateThread(NULL, 0, Downloader, NULL, CREATE_SUSPENDED, NULL);
    Record("worker created");
    EXPECT_EQ(ResumeThread(worker), 1u);
    DWORD code = STILL_ACTIVE;
    int ticks = 0;
    while (WaitForSingleObject(worker, 3000) == WAIT_TIMEOUT) {
        ++ticks;
        GetExitCodeThread(worker, &code);
        EXPECT_EQ(code, STILL_ACTIVE);
        Record("tick " + std::to_string(ticks));
    }
    GetExitCodeThread(worker, &code);
    Record("worker ended with " + std::to_string(code));
    CloseHandle(worker);
    return events;
}

TEST_F(VirtualTime, LongWaitsCostNoWallTimeAndRepeatExactly) {
    auto wallStart = std::chrono::steady_clock::now();
    DWORD start = GetTickCount();
    std::vector<std::string> first = OneRun();
    EXPECT_EQ(GetTickCount() - start, 122000u);
    // 40 ticks of 3 s fall inside the 122 s; the worker ends between the 40th and 41st.
    ASSERT_EQ(first.size(), 1u + 1u + 2u + 40u + 1u);
    EXPECT_EQ(first[1].substr(first[1].find(' ')), " worker starts");
    EXPECT_EQ(first[2].substr(first[2].find(' ')), " worker ejected the medium");
    EXPECT_EQ(first[3].substr(first[3].find(' ')), " tick 1");
    EXPECT_EQ(first[42].substr(first[42].find(' ')), " tick 40");
    EXPECT_EQ(first[43].substr(first[43].find(' ')), " worker sends the firmware");
    EXPECT_NE(first.back().find("worker ended with 0"), std::string::npos);

    auto relative = [](std::vector<std::string> events) {
        DWORD base = std::stoul(events.front());
        for (auto& e : events) {
            size_t blank = e.find(' ');
            e = std::to_string(std::stoul(e.substr(0, blank)) - base) + e.substr(blank);
        }
        return events;
    };
    auto expected = relative(first);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(relative(OneRun()), expected) << "repetition " << i;
    EXPECT_LT(std::chrono::steady_clock::now() - wallStart, std::chrono::seconds(1));
}

struct PingPong {
    HANDLE ping, pong;
    std::vector<int>* order;
};

DWORD WINAPI Ponger(LPVOID p) {
    auto* pp = static_cast<PingPong*>(p);
    for (int i = 0; i < 3; ++i) {
        WaitForSingleObject(pp->ping, INFINITE);
        pp->order->push_back(100 + i);
        SetEvent(pp->pong);
    }
    return 7;
}

TEST_F(VirtualTime, AutoResetEventsHandOverInTurn) {
    std::vector<int> order;
    PingPong pp{CreateEventA(NULL, FALSE, FALSE, NULL), CreateEventA(NULL, FALSE, FALSE, NULL), &order};
    HANDLE t = CreateThread(NULL, 0, Ponger, &pp, 0, NULL);
    DWORD before = GetTickCount();
    for (int i = 0; i < 3; ++i) {
        order.push_back(i);
        SetEvent(pp.ping);
        ASSERT_EQ(WaitForSingleObject(pp.pong, 1000), WAIT_OBJECT_0);
    }
    EXPECT_EQ(order, (std::vector<int>{0, 100, 1, 101, 2, 102}));
    EXPECT_EQ(WaitForSingleObject(t, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(GetTickCount(), before) << "no wait here needed the clock";
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(t, &code));
    EXPECT_EQ(code, 7u);
    // An auto-reset event was consumed by the wait; a manual one stays set.
    EXPECT_EQ(WaitForSingleObject(pp.pong, 0), WAIT_TIMEOUT);
    for (HANDLE h : {pp.ping, pp.pong, t}) CloseHandle(h);
}

TEST_F(VirtualTime, BusyPollsEndBecauseTimeSteps) {
    HANDLE never = CreateEventA(NULL, TRUE, FALSE, NULL);
    DWORD before = GetTickCount();
    int polls = 0;
    while (GetTickCount() - before < 50) {
        EXPECT_EQ(WaitForSingleObject(never, 0), WAIT_TIMEOUT);
        ++polls;
    }
    EXPECT_GE(polls, 1);
    EXPECT_LE(polls, 50);
    CloseHandle(never);
}

TEST_F(VirtualTime, SuspendedThreadRunsOnlyAfterResume) {
    static int ran;
    ran = 0;
    HANDLE t = CreateThread(NULL, 0, [](LPVOID) -> DWORD { ++ran; return 3; }, NULL, CREATE_SUSPENDED, NULL);
    EXPECT_EQ(WaitForSingleObject(t, 10000), WAIT_TIMEOUT);
    EXPECT_EQ(ran, 0);
    DWORD code = 0;
    GetExitCodeThread(t, &code);
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(SuspendThread(t), 1u);  // now twice suspended
    EXPECT_EQ(ResumeThread(t), 2u);
    EXPECT_EQ(WaitForSingleObject(t, 10000), WAIT_TIMEOUT);
    EXPECT_EQ(ResumeThread(t), 1u);
    EXPECT_EQ(WaitForSingleObject(t, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(ran, 1);
    // A duplicated handle sees the same thread.
    HANDLE dup = NULL;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), t, GetCurrentProcess(), &dup, 0, FALSE, DUPLICATE_SAME_ACCESS));
    CloseHandle(t);
    EXPECT_TRUE(GetExitCodeThread(dup, &code));
    EXPECT_EQ(code, 3u);
    CloseHandle(dup);
    EXPECT_EQ(sim::Proc().handles().Count("thread"), 0u);
}

// A long run starts many short threads: the ended ones are forgotten, yet a
// handle to one still tells its end, its exit code and its suspend count.
TEST_F(VirtualTime, EndedThreadsAreForgottenButTheirHandlesStillAnswer) {
    HANDLE first = CreateThread(NULL, 0, [](LPVOID) -> DWORD { return 7; }, NULL, 0, NULL);
    ASSERT_EQ(WaitForSingleObject(first, 1000), WAIT_OBJECT_0);
    const size_t kept = sim::Proc().scheduler().KeptThreads();
    for (int i = 0; i < 300; ++i) {
        HANDLE t = CreateThread(NULL, 0, [](LPVOID) -> DWORD { return 0; }, NULL, 0, NULL);
        ASSERT_EQ(WaitForSingleObject(t, 1000), WAIT_OBJECT_0);
        CloseHandle(t);
    }
    EXPECT_LE(sim::Proc().scheduler().KeptThreads(), kept + 1);
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(first, &code));
    EXPECT_EQ(code, 7u);
    EXPECT_EQ(ResumeThread(first), 0u);
    CloseHandle(first);
}

TEST_F(VirtualTime, AWaitThatCanNeverEndIsReported) {
    EXPECT_DEATH(
        {
            HANDLE never = CreateEventA(NULL, TRUE, FALSE, NULL);
            WaitForSingleObject(never, INFINITE);
        },
        "can never progress: thread 1 waits for a event");
}

}  // namespace
