// Timers and message waits on the virtual clock: long polls cost no wall
// time, a worker thread's post wakes the loop, and a timer's message waits
// for the queue to empty.
#include <chrono>

#include "desktop_fixture.h"

namespace {

using namespace desktop_test;

struct Ticks {
    int count = 0;
    int endAt = 0;
    std::vector<std::string> order;
    DWORD started = 0;
};

INT_PTR CALLBACK TickingProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* t = reinterpret_cast<Ticks*>(GetWindowLongPtrA(dlg, DWLP_USER));
    switch (msg) {
        case WM_INITDIALOG:
            SetWindowLongPtrA(dlg, DWLP_USER, lParam);
            reinterpret_cast<Ticks*>(lParam)->started = GetTickCount();
            EXPECT_EQ(SetTimer(dlg, 107, 3000, nullptr), 107u);
            return TRUE;
        case WM_TIMER:
            if (wParam != 107) return FALSE;
            t->order.push_back("tick " + std::to_string(GetTickCount() - t->started));
            if (++t->count == t->endAt) {
                KillTimer(dlg, 107);
                EndDialog(dlg, IDOK);
            }
            return TRUE;
        case WM_APP:
            t->order.push_back("worker done " + std::to_string(GetTickCount() - t->started));
            KillTimer(dlg, 107);
            EndDialog(dlg, 2);
            return TRUE;
        default:
            return FALSE;
    }
}

class Timers : public DesktopTest {
protected:
    const DLGTEMPLATE* Template() {
        m_t = std::make_unique<TemplateWriter>(kDialogStyle, 120, 40, "Updating", 8, "Arial");
        m_t->Item(0x0082, "Now Updating...", 115, kText, 5, 5, 100, 9);
        return m_t->get();
    }
    std::unique_ptr<TemplateWriter> m_t;
};

TEST_F(Timers, AHundredTicksOfThreeSecondsTakeFiveMinutesOfVirtualTimeOnly) {
    auto wall = std::chrono::steady_clock::now();
    const uint64_t start = Now();
    Ticks t;
    t.endAt = 100;
    EXPECT_EQ(DialogBoxIndirectParamA(nullptr, Template(), nullptr, TickingProc, reinterpret_cast<LPARAM>(&t)), IDOK);
    EXPECT_EQ(t.count, 100);
    EXPECT_EQ(Now() - start, 300000u);
    ASSERT_EQ(t.order.size(), 100u);
    EXPECT_EQ(t.order.front(), "tick 3000");
    EXPECT_EQ(t.order[42], "tick 129000");
    EXPECT_EQ(t.order.back(), "tick 300000");
    EXPECT_LT(std::chrono::steady_clock::now() - wall, std::chrono::seconds(2));
}

HWND g_dialog;
DWORD WINAPI Worker(LPVOID) {
    Sleep(10000);
    PostMessageA(g_dialog, WM_APP, 0, 0);
    return 0;
}

INT_PTR CALLBACK WorkerDialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) {
        g_dialog = dlg;
        CloseHandle(CreateThread(nullptr, 0, Worker, nullptr, 0, nullptr));
    }
    return TickingProc(dlg, msg, wParam, lParam);
}

TEST_F(Timers, AnotherThreadsPostWakesTheLoopBetweenTicks) {
    Ticks t;
    t.endAt = 1000;
    const uint64_t start = Now();
    EXPECT_EQ(DialogBoxIndirectParamA(nullptr, Template(), nullptr, WorkerDialogProc, reinterpret_cast<LPARAM>(&t)), 2);
    EXPECT_EQ(t.order, (std::vector<std::string>{"tick 3000", "tick 6000", "tick 9000", "worker done 10000"}));
    EXPECT_EQ(Now() - start, 10000u);
}

INT_PTR CALLBACK BusyProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* t = reinterpret_cast<Ticks*>(GetWindowLongPtrA(dlg, DWLP_USER));
    switch (msg) {
        case WM_INITDIALOG:
            SetWindowLongPtrA(dlg, DWLP_USER, lParam);
            SetTimer(dlg, 1, 10, nullptr);
            for (int i = 0; i < 3; ++i) PostMessageA(dlg, WM_USER + 100, i, 0);
            return TRUE;
        case WM_USER + 100:
            // Each handler outlasts the timer's period.
            Sleep(25);
            t->order.push_back("posted " + std::to_string(wParam));
            return TRUE;
        case WM_TIMER:
            t->order.push_back("timer");
            if (++t->count == 2) EndDialog(dlg, IDOK);
            return TRUE;
        default:
            return FALSE;
    }
}

TEST_F(Timers, TimerMessagesComeOnlyWhenTheQueueIsOtherwiseEmptyAndDoNotPileUp) {
    Ticks t;
    EXPECT_EQ(DialogBoxIndirectParamA(nullptr, Template(), nullptr, BusyProc, reinterpret_cast<LPARAM>(&t)), IDOK);
    EXPECT_EQ(t.order, (std::vector<std::string>{"posted 0", "posted 1", "posted 2", "timer", "timer"}));
}

VOID CALLBACK Callback(HWND, UINT msg, UINT_PTR id, DWORD) {
    static int calls;
    if (++calls == 3) PostQuitMessage(7);
}

TEST_F(Timers, ThreadTimerWithCallbackAndQuit) {
    UINT_PTR id = SetTimer(nullptr, 0, 500, Callback);
    ASSERT_NE(id, 0u);
    const uint64_t start = Now();
    MSG msg;
    int timerMessages = 0;
    while (GetMessageA(&msg, nullptr, 0, 0)) {
        if (msg.message == WM_TIMER) ++timerMessages;
        DispatchMessageA(&msg);
    }
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_EQ(timerMessages, 3);
    EXPECT_EQ(Now() - start, 1500u);
    EXPECT_TRUE(KillTimer(nullptr, id));
    EXPECT_FALSE(KillTimer(nullptr, id));
}

}  // namespace
