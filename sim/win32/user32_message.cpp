// USER32 messages: the per-thread queue, sending and posting, and timers
// that run on the virtual clock.
#include "../core/Process.h"
#include "../desktop/Desktop.h"
#include "win32.h"

using sim::Proc;
using sim::desktop::Desktop;

namespace {

Desktop& D() { return Desktop::Get(); }

bool BadFilter(HWND filter) {
    if (!filter || filter == reinterpret_cast<HWND>(-1)) return false;
    sim::desktop::Window* w = D().FindOrFail(filter);
    return !w || w->thread != D().CurrentThread();
}

// The character a key gives without shift, as the keyboard layout would.
int CharOf(WPARAM vk) {
    if (vk >= 'A' && vk <= 'Z') return static_cast<int>(vk - 'A' + 'a');
    if (vk >= '0' && vk <= '9') return static_cast<int>(vk);
    switch (vk) {
        case VK_SPACE: return ' ';
        case VK_RETURN: return '\r';
        case VK_ESCAPE: return 0x1B;
        case VK_TAB: return '\t';
        case VK_BACK: return '\b';
        default: return 0;
    }
}

}  // namespace

extern "C" {

BOOL WINAPI GetMessageA(LPMSG msg, HWND hwnd, UINT first, UINT last) {
    if (!msg || BadFilter(hwnd)) return -1;
    D().Fetch(msg, hwnd, first, last, true, true);
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND hwnd, UINT first, UINT last, UINT flags) {
    if (!msg || BadFilter(hwnd)) return FALSE;
    return D().Fetch(msg, hwnd, first, last, (flags & PM_REMOVE) != 0, false) ? TRUE : FALSE;
}

BOOL WINAPI WaitMessage(void) {
    D().WaitForInput();
    return TRUE;
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
    if (!msg) return FALSE;
    if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN) {
        return msg->message == WM_KEYUP || msg->message == WM_SYSKEYUP ? TRUE : FALSE;
    }
    int c = CharOf(msg->wParam);
    if (!c) return TRUE;
    // The character comes next, ahead of anything else queued.
    MSG ch = *msg;
    ch.message = msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
    ch.wParam = static_cast<WPARAM>(c);
    sim::desktop::Window* w = D().Find(msg->hwnd);
    if (!w) return FALSE;
    D().Queue(w->thread).posted.push_front(ch);
    return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) { return msg ? D().Dispatch(*msg) : 0; }

BOOL WINAPI PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return D().Post(hwnd, msg, wParam, lParam) ? TRUE : FALSE;
}

BOOL WINAPI PostThreadMessageA(DWORD thread, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (thread == 0 || Proc().scheduler().Finished(thread)) {
        Proc().SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return D().PostToThread(thread, msg, wParam, lParam) ? TRUE : FALSE;
}

LRESULT WINAPI SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return D().Send(hwnd, msg, wParam, lParam);
}

VOID WINAPI PostQuitMessage(int code) {
    auto& q = D().Queue(D().CurrentThread());
    q.quit = true;
    q.quitCode = code;
}

SHORT WINAPI GetKeyState(int vk) {
    auto& keys = D().Queue(D().CurrentThread()).keysDown;
    auto it = keys.find(vk);
    return it != keys.end() && it->second ? static_cast<SHORT>(0x8000) : 0;
}

UINT_PTR WINAPI SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    return D().SetTimer(hwnd, id, elapse, proc);
}

BOOL WINAPI KillTimer(HWND hwnd, UINT_PTR id) { return D().KillTimer(hwnd, id) ? TRUE : FALSE; }

}  // extern "C"
