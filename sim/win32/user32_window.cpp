// USER32 windows: classes, creation and destruction, window procedures and
// their data, state, text, position and painting.
#include <algorithm>
#include <cstring>

#include "../core/Process.h"
#include "../desktop/Desktop.h"
#include "win32.h"

using sim::Proc;
using sim::desktop::Desktop;
using sim::desktop::Window;

namespace {

constexpr int kHitClient = 1;
HWND const kDesktopWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x0001000C));

Desktop& D() { return Desktop::Get(); }

LONG_PTR ReadExtra(Window& w, int index, bool& ok) {
    ok = index >= 0 && static_cast<size_t>(index) + sizeof(LONG_PTR) <= w.extra.size();
    LONG_PTR v = 0;
    if (ok) std::memcpy(&v, w.extra.data() + index, sizeof v);
    return v;
}

LONG_PTR WriteExtra(Window& w, int index, LONG_PTR value, bool& ok) {
    LONG_PTR old = ReadExtra(w, index, ok);
    if (ok) std::memcpy(w.extra.data() + index, &value, sizeof value);
    return old;
}

LONG_PTR GetLong(HWND hwnd, int index) {
    Window* w = D().FindOrFail(hwnd);
    if (!w) return 0;
    switch (index) {
        case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
        case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->instance);
        case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>((w->style & WS_CHILD) ? w->parent : w->owner);
        case GWLP_USERDATA: return w->userData;
        case GWLP_ID: return w->id;
        case GWL_STYLE: return static_cast<LONG>(w->style);
        case GWL_EXSTYLE: return static_cast<LONG>(w->exStyle);
        default: {
            bool ok;
            LONG_PTR v = ReadExtra(*w, index, ok);
            if (!ok) Proc().SetLastError(1413);  // ERROR_INVALID_INDEX
            return v;
        }
    }
}

LONG_PTR SetLong(HWND hwnd, int index, LONG_PTR value) {
    Window* w = D().FindOrFail(hwnd);
    if (!w) return 0;
    LONG_PTR old = 0;
    switch (index) {
        case GWLP_WNDPROC:
            old = reinterpret_cast<LONG_PTR>(w->proc);
            if (w->thread != D().CurrentThread()) {
                Proc().SetLastError(ERROR_ACCESS_DENIED);
                return 0;
            }
            w->proc = reinterpret_cast<WNDPROC>(value);
            return old;
        case GWLP_HINSTANCE:
            old = reinterpret_cast<LONG_PTR>(w->instance);
            w->instance = reinterpret_cast<HINSTANCE>(value);
            return old;
        case GWLP_HWNDPARENT:
            old = reinterpret_cast<LONG_PTR>(w->owner);
            if (!(w->style & WS_CHILD)) w->owner = reinterpret_cast<HWND>(value);
            return old;
        case GWLP_USERDATA:
            old = w->userData;
            w->userData = value;
            return old;
        case GWLP_ID:
            old = w->id;
            w->id = value;
            return old;
        case GWL_STYLE:
            old = static_cast<LONG>(w->style);
            w->style = static_cast<DWORD>(value);
            ++D().changes;
            return old;
        case GWL_EXSTYLE:
            old = static_cast<LONG>(w->exStyle);
            w->exStyle = static_cast<DWORD>(value);
            return old;
        default: {
            bool ok;
            old = WriteExtra(*w, index, value, ok);
            if (!ok) Proc().SetLastError(1413);
            return old;
        }
    }
}

HDC DcOf(HWND hwnd) { return reinterpret_cast<HDC>(reinterpret_cast<uintptr_t>(hwnd) + 0x10000000u); }

}  // namespace

extern "C" {

ATOM WINAPI RegisterClassA(const WNDCLASSA* wc) {
    if (!wc || !wc->lpszClassName || !wc->lpfnWndProc) {
        Proc().SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    sim::desktop::WindowClass c;
    c.name = IS_INTRESOURCE(wc->lpszClassName) ? "#" + std::to_string(reinterpret_cast<uintptr_t>(wc->lpszClassName))
                                                : wc->lpszClassName;
    c.style = wc->style;
    c.proc = wc->lpfnWndProc;
    c.clsExtra = wc->cbClsExtra;
    c.wndExtra = wc->cbWndExtra;
    c.instance = wc->hInstance;
    c.icon = wc->hIcon;
    c.cursor = wc->hCursor;
    c.background = wc->hbrBackground;
    // A class run by the dialog manager's procedure makes dialogs.
    if (wc->lpfnWndProc == DefDlgProcA) c.kind = sim::desktop::Kind::Dialog;
    return D().Register(c);
}

BOOL WINAPI UnregisterClassA(LPCSTR name, HINSTANCE instance) { return D().Unregister(name, instance) ? TRUE : FALSE; }

BOOL WINAPI GetClassInfoA(HINSTANCE instance, LPCSTR name, LPWNDCLASSA wc) {
    auto c = D().FindClass(name, instance);
    if (!c || !wc) {
        Proc().SetLastError(1411);
        return FALSE;
    }
    wc->style = c->style;
    wc->lpfnWndProc = c->proc;
    wc->cbClsExtra = c->clsExtra;
    wc->cbWndExtra = c->wndExtra;
    wc->hInstance = c->instance;
    wc->hIcon = c->icon;
    wc->hCursor = c->cursor;
    wc->hbrBackground = c->background;
    wc->lpszMenuName = nullptr;
    wc->lpszClassName = name;
    return TRUE;
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y, int w, int h,
                            HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    return D().Create(exStyle, className, title, style, x, y, w, h, parent, menu, instance, param);
}

BOOL WINAPI DestroyWindow(HWND hwnd) { return D().Destroy(hwnd) ? TRUE : FALSE; }

LRESULT WINAPI CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Desktop& d = D();
    Window* w = d.Find(hwnd);
    if (!w) return 0;
    switch (msg) {
        case WM_NCCREATE: {
            auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
            if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName)) w->text = cs->lpszName;
            return TRUE;
        }
        case WM_SETTEXT:
            d.SetText(hwnd, lParam ? reinterpret_cast<const char*>(lParam) : "");
            return TRUE;
        case WM_GETTEXT: {
            char* out = reinterpret_cast<char*>(lParam);
            if (!out || wParam == 0) return 0;
            size_t n = std::min(w->text.size(), static_cast<size_t>(wParam) - 1);
            std::memcpy(out, w->text.data(), n);
            out[n] = '\0';
            return static_cast<LRESULT>(n);
        }
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(w->text.size());
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return 0;
        case WM_SYSCOMMAND:
            switch (wParam & 0xFFF0) {
                case SC_CLOSE: d.Send(hwnd, WM_CLOSE, 0, 0); return 0;
                case SC_MINIMIZE: d.Show(hwnd, SW_MINIMIZE); return 0;
                case SC_RESTORE: d.Show(hwnd, SW_RESTORE); return 0;
                default: return 0;
            }
        case WM_SYSKEYDOWN:
            if (wParam == VK_F4) d.Post(d.TopLevel(hwnd), WM_SYSCOMMAND, SC_CLOSE, 0);
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            BeginPaint(hwnd, &ps);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_ERASEBKGND:
        case WM_ICONERASEBKGND:
            return 1;
        case WM_SETCURSOR: {
            // A child asks its parent first; the class cursor otherwise.
            if ((w->style & WS_CHILD) && w->parent && d.Send(w->parent, WM_SETCURSOR, wParam, lParam)) return TRUE;
            w = d.Find(hwnd);
            if (w && LOWORD(lParam) == kHitClient && w->cls->cursor) {
                SetCursor(w->cls->cursor);
                return TRUE;
            }
            return FALSE;
        }
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE && !(w->style & WS_MINIMIZE)) {
                HWND focus = d.Queue(w->thread).focus;
                if (focus != hwnd && !d.IsDescendant(hwnd, focus)) d.SetFocus(hwnd);
            }
            return 0;
        case WM_MOUSEACTIVATE:
            return 1;  // MA_ACTIVATE
        case WM_NCACTIVATE:
            return TRUE;
        case WM_SETICON: {
            HICON& slot = wParam == ICON_BIG ? w->bigIcon : w->smallIcon;
            HICON old = slot;
            slot = reinterpret_cast<HICON>(lParam);
            return reinterpret_cast<LRESULT>(old);
        }
        case WM_GETICON:
            return reinterpret_cast<LRESULT>(wParam == ICON_BIG ? w->bigIcon : w->smallIcon);
        case WM_QUERYDRAGICON:
            return reinterpret_cast<LRESULT>(w->cls->icon);
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_POWER:
            return PWR_OK;
        case WM_POWERBROADCAST:
            return TRUE;
        case WM_NCHITTEST:
            return kHitClient;
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<LRESULT>(GetSysColorBrush(msg == WM_CTLCOLOREDIT ? COLOR_WINDOW : COLOR_BTNFACE));
        default:
            return 0;
    }
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND hwnd, int index) { return GetLong(hwnd, index); }
LONG_PTR WINAPI SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) { return SetLong(hwnd, index, value); }
LONG WINAPI GetWindowLongA(HWND hwnd, int index) { return static_cast<LONG>(GetLong(hwnd, index)); }
LONG WINAPI SetWindowLongA(HWND hwnd, int index, LONG value) { return static_cast<LONG>(SetLong(hwnd, index, value)); }

BOOL WINAPI ShowWindow(HWND hwnd, int cmd) { return D().Show(hwnd, cmd) ? TRUE : FALSE; }

BOOL WINAPI UpdateWindow(HWND hwnd) {
    Window* w = D().FindOrFail(hwnd);
    if (!w) return FALSE;
    if (w->invalid && D().IsVisible(hwnd)) D().Send(hwnd, WM_PAINT, 0, 0);
    return TRUE;
}

BOOL WINAPI InvalidateRect(HWND hwnd, const RECT*, BOOL) {
    if (!hwnd) {
        for (HWND top : D().TopLevels(D().CurrentThread())) D().Invalidate(top);
        return TRUE;
    }
    if (!D().FindOrFail(hwnd)) return FALSE;
    Window* w = D().Find(hwnd);
    w->invalid = true;  // the window itself; children paint on their own
    return TRUE;
}

BOOL WINAPI EnableWindow(HWND hwnd, BOOL enable) { return D().Enable(hwnd, enable != FALSE) ? TRUE : FALSE; }
BOOL WINAPI IsWindowEnabled(HWND hwnd) { return D().IsEnabled(hwnd) ? TRUE : FALSE; }
BOOL WINAPI IsWindow(HWND hwnd) { return D().Find(hwnd) ? TRUE : FALSE; }
BOOL WINAPI IsWindowVisible(HWND hwnd) { return D().IsVisible(hwnd) ? TRUE : FALSE; }

BOOL WINAPI IsIconic(HWND hwnd) {
    Window* w = D().Find(hwnd);
    return w && (w->style & WS_MINIMIZE) ? TRUE : FALSE;
}

BOOL WINAPI IsChild(HWND parent, HWND hwnd) { return D().IsDescendant(parent, hwnd) ? TRUE : FALSE; }

BOOL WINAPI SetWindowTextA(HWND hwnd, LPCSTR text) {
    if (!D().FindOrFail(hwnd)) return FALSE;
    return D().Send(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : "")) ? TRUE : FALSE;
}

int WINAPI GetWindowTextA(HWND hwnd, LPSTR buffer, int max) {
    Window* w = D().FindOrFail(hwnd);
    if (!w || !buffer || max <= 0) return 0;
    if (w->thread == D().CurrentThread())
        return static_cast<int>(D().Send(hwnd, WM_GETTEXT, static_cast<WPARAM>(max), reinterpret_cast<LPARAM>(buffer)));
    // Another thread's window: its stored text, without asking the window.
    size_t n = std::min(w->text.size(), static_cast<size_t>(max) - 1);
    std::memcpy(buffer, w->text.data(), n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

int WINAPI GetWindowTextLengthA(HWND hwnd) {
    Window* w = D().FindOrFail(hwnd);
    if (!w) return 0;
    if (w->thread == D().CurrentThread()) return static_cast<int>(D().Send(hwnd, WM_GETTEXTLENGTH, 0, 0));
    return static_cast<int>(w->text.size());
}

int WINAPI GetClassNameA(HWND hwnd, LPSTR buffer, int max) {
    Window* w = D().FindOrFail(hwnd);
    if (!w || !buffer || max <= 0) return 0;
    size_t n = std::min(w->cls->name.size(), static_cast<size_t>(max) - 1);
    std::memcpy(buffer, w->cls->name.data(), n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

HWND WINAPI GetParent(HWND hwnd) {
    Window* w = D().FindOrFail(hwnd);
    if (!w) return nullptr;
    if (w->style & WS_CHILD) return w->parent;
    // A pop-up window's parent is its owner.
    return (w->style & WS_POPUP) ? w->owner : nullptr;
}

HWND WINAPI GetWindow(HWND hwnd, UINT cmd) {
    Desktop& d = D();
    Window* w = d.FindOrFail(hwnd);
    if (!w) return nullptr;
    if (cmd == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
    if (cmd == GW_OWNER) return (w->style & WS_CHILD) ? nullptr : w->owner;
    std::vector<HWND> siblings;
    if (w->style & WS_CHILD) {
        siblings = d.Find(w->parent)->children;
    } else {
        siblings = d.TopLevels(w->thread);
    }
    if (siblings.empty()) return nullptr;
    auto it = std::find(siblings.begin(), siblings.end(), hwnd);
    switch (cmd) {
        case GW_HWNDFIRST: return siblings.front();
        case GW_HWNDLAST: return siblings.back();
        case GW_HWNDNEXT: return (it == siblings.end() || it + 1 == siblings.end()) ? nullptr : *(it + 1);
        case GW_HWNDPREV: return (it == siblings.begin() || it == siblings.end()) ? nullptr : *(it - 1);
        default: Proc().SetLastError(ERROR_INVALID_PARAMETER); return nullptr;
    }
}

HWND WINAPI GetDesktopWindow(void) { return kDesktopWindow; }

HWND WINAPI FindWindowA(LPCSTR className, LPCSTR title) {
    Desktop& d = D();
    auto cls = className ? d.FindClass(className, nullptr) : nullptr;
    if (className && !cls) return nullptr;
    for (HWND h : d.TopLevels(d.CurrentThread())) {
        Window* w = d.Find(h);
        if (cls && w->cls != cls) continue;
        if (title && w->text != title) continue;
        return h;
    }
    return nullptr;
}

HWND WINAPI SetFocus(HWND hwnd) { return D().SetFocus(hwnd); }
HWND WINAPI GetFocus(void) { return D().Queue(D().CurrentThread()).focus; }

BOOL WINAPI SetForegroundWindow(HWND hwnd) {
    Window* w = D().FindOrFail(hwnd);
    if (!w) return FALSE;
    D().Activate(D().TopLevel(hwnd));
    return TRUE;
}

HWND WINAPI GetForegroundWindow(void) { return D().Foreground(); }
HWND WINAPI GetActiveWindow(void) { return D().Queue(D().CurrentThread()).active; }

HWND WINAPI SetActiveWindow(HWND hwnd) {
    HWND old = GetActiveWindow();
    Window* w = D().FindOrFail(hwnd);
    if (!w || w->thread != D().CurrentThread()) return nullptr;
    D().Activate(D().TopLevel(hwnd));
    return old;
}

BOOL WINAPI GetWindowRect(HWND hwnd, LPRECT rect) {
    if (!rect) return FALSE;
    if (hwnd == kDesktopWindow) {
        *rect = {0, 0, sim::desktop::kScreenWidth, sim::desktop::kScreenHeight};
        return TRUE;
    }
    Window* w = D().FindOrFail(hwnd);
    if (!w) return FALSE;
    *rect = w->rect;
    if ((w->style & WS_CHILD) && w->parent) {
        POINT o = D().ClientOrigin(w->parent);
        rect->left += o.x;
        rect->right += o.x;
        rect->top += o.y;
        rect->bottom += o.y;
    }
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect) {
    if (!rect) return FALSE;
    if (hwnd == kDesktopWindow) {
        *rect = {0, 0, sim::desktop::kScreenWidth, sim::desktop::kScreenHeight};
        return TRUE;
    }
    Window* w = D().FindOrFail(hwnd);
    if (!w) return FALSE;
    *rect = D().ClientRect(*w);
    return TRUE;
}

BOOL WINAPI ClientToScreen(HWND hwnd, LPPOINT p) {
    if (!p || (hwnd != kDesktopWindow && !D().FindOrFail(hwnd))) return FALSE;
    if (hwnd == kDesktopWindow) return TRUE;
    POINT o = D().ClientOrigin(hwnd);
    p->x += o.x;
    p->y += o.y;
    return TRUE;
}

BOOL WINAPI ScreenToClient(HWND hwnd, LPPOINT p) {
    if (!p || (hwnd != kDesktopWindow && !D().FindOrFail(hwnd))) return FALSE;
    if (hwnd == kDesktopWindow) return TRUE;
    POINT o = D().ClientOrigin(hwnd);
    p->x -= o.x;
    p->y -= o.y;
    return TRUE;
}

BOOL WINAPI SetWindowPos(HWND hwnd, HWND after, int x, int y, int cx, int cy, UINT flags) {
    Desktop& d = D();
    Window* w = d.FindOrFail(hwnd);
    if (!w) return FALSE;
    RECT r = w->rect;
    if (!(flags & SWP_NOMOVE)) {
        int width = r.right - r.left, height = r.bottom - r.top;
        r = {x, y, x + width, y + height};
    }
    if (!(flags & SWP_NOSIZE)) {
        r.right = r.left + std::max(cx, 0);
        r.bottom = r.top + std::max(cy, 0);
    }
    const bool moved = r.left != w->rect.left || r.top != w->rect.top;
    const bool sized = (r.right - r.left) != (w->rect.right - w->rect.left) ||
                       (r.bottom - r.top) != (w->rect.bottom - w->rect.top);
    w->rect = r;
    if (moved || sized) ++d.changes;
    if (sized) {
        RECT c = d.ClientRect(*w);
        d.Send(hwnd, WM_SIZE, 0, MAKELPARAM(c.right, c.bottom));
    }
    if (moved && d.Find(hwnd)) d.Send(hwnd, WM_MOVE, 0, MAKELPARAM(r.left, r.top));
    if (!d.Find(hwnd)) return TRUE;
    if (flags & SWP_SHOWWINDOW) d.Show(hwnd, (flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
    if (flags & SWP_HIDEWINDOW) d.Show(hwnd, SW_HIDE);
    if (!(flags & (SWP_NOACTIVATE | SWP_HIDEWINDOW)) && !(w->style & WS_CHILD) && (w->style & WS_VISIBLE) &&
        !(flags & SWP_NOZORDER))
        d.Activate(hwnd);
    if (!(flags & SWP_NOREDRAW) && (moved || sized)) d.Invalidate(hwnd);
    return TRUE;
}

BOOL WINAPI MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
    return SetWindowPos(hwnd, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0u : static_cast<unsigned>(SWP_NOREDRAW)));
}

int WINAPI GetSystemMetrics(int index) {
    using namespace sim::desktop;
    switch (index) {
        case SM_CXSCREEN: case SM_CXFULLSCREEN: return kScreenWidth;
        case SM_CYSCREEN: return kScreenHeight;
        case SM_CYFULLSCREEN: return kScreenHeight - kCaptionHeight;
        case SM_CXVSCROLL: case SM_CYHSCROLL: return 16;
        case SM_CYCAPTION: return kCaptionHeight + 1;
        case SM_CXBORDER: case SM_CYBORDER: return 1;
        case SM_CXDLGFRAME: case SM_CYDLGFRAME: return kDialogFrame;
        case SM_CXICON: case SM_CYICON: case SM_CXCURSOR: case SM_CYCURSOR: return 32;
        case SM_CXSMICON: case SM_CYSMICON: return 16;
        case SM_CYMENU: return kMenuHeight;
        case SM_MOUSEPRESENT: return 1;
        case SM_DBCSENABLED: return Proc().machine().codePage == 932 ? 1 : 0;
        case SM_CLEANBOOT: return 0;
        default: return 0;
    }
}

HDC WINAPI BeginPaint(HWND hwnd, LPPAINTSTRUCT ps) {
    Window* w = D().FindOrFail(hwnd);
    if (!w || !ps) return nullptr;
    std::memset(ps, 0, sizeof *ps);
    ps->hdc = DcOf(hwnd);
    ps->rcPaint = D().ClientRect(*w);
    const bool erase = w->invalid;
    w->invalid = false;
    ps->fErase = erase && !D().Send(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(ps->hdc), 0);
    return ps->hdc;
}

BOOL WINAPI EndPaint(HWND, const PAINTSTRUCT*) { return TRUE; }

HDC WINAPI GetDC(HWND hwnd) {
    if (hwnd && !D().FindOrFail(hwnd)) return nullptr;
    return DcOf(hwnd);
}

int WINAPI ReleaseDC(HWND, HDC dc) { return dc ? 1 : 0; }

}  // extern "C"
