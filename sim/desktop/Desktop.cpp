#include "Desktop.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "../core/Process.h"
#include "../core/Text.h"
#include "Agent.h"
#include "Drawing.h"

namespace sim::desktop {

namespace {

// With no visible change and nothing the user can do for this long, a loop
// counts as endless even though its timers keep it busy.
constexpr uint64_t kIdleLimitMs = 3600 * 1000;

bool InRange(UINT msg, UINT first, UINT last) { return (first == 0 && last == 0) || (msg >= first && msg <= last); }

std::shared_ptr<WindowClass> SystemClass(const char* name, WNDPROC proc, Kind kind, int wndExtra, HCURSOR cursor,
                                         ATOM atom) {
    auto c = std::make_shared<WindowClass>();
    c->name = name;
    c->proc = proc;
    c->kind = kind;
    c->wndExtra = wndExtra;
    c->cursor = cursor;
    c->system = true;
    c->atom = atom;
    c->style = CS_DBLCLKS | CS_GLOBALCLASS;
    return c;
}

}  // namespace

void BaseUnitsFor(int pointSize, int& baseX, int& baseY) {
    if (pointSize <= 0) {
        baseX = 8;  // the system font
        baseY = 16;
        return;
    }
    baseY = (pointSize * 96 * 12 + 360) / 720;  // round(pt * 96/72 * 1.2)
    baseX = (baseY * 6 + 6) / 13;
    if (baseX < 1) baseX = 1;
    if (baseY < 1) baseY = 1;
}

void FrameOf(const Window& w, int& side, int& top, int& bottom) {
    side = top = bottom = 0;
    if (w.style & WS_CHILD) {
        if (w.exStyle & WS_EX_CLIENTEDGE)
            side = 2;
        else if (w.style & WS_BORDER)
            side = 1;
        top = bottom = side;
        return;
    }
    if (w.style & WS_THICKFRAME)
        side = 4;
    else if ((w.style & WS_DLGFRAME) || (w.exStyle & WS_EX_DLGMODALFRAME))
        side = kDialogFrame;
    else if (w.style & WS_BORDER)
        side = 1;
    top = bottom = side;
    if ((w.style & WS_CAPTION) == WS_CAPTION) top += kCaptionHeight;
    if (w.menu) top += kMenuHeight;
}

std::string WithoutMnemonic(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&') {
            if (i + 1 < text.size() && text[i + 1] == '&') {
                out += '&';
                ++i;
            }
            continue;
        }
        out += text[i];
    }
    return out;
}

bool HasCloseBox(const Window& w) {
    return !(w.style & WS_CHILD) && (w.style & WS_CAPTION) == WS_CAPTION && (w.style & WS_SYSMENU);
}

bool CloseBoxEnabled(const Window& w) {
    if (!HasCloseBox(w)) return false;
    if (w.cls && (w.cls->style & CS_NOCLOSE)) return false;
    if (!w.systemMenu) return true;
    // The close box follows the Close item of the system menu.
    Desktop& d = Desktop::Get();
    Menu* m = d.FindMenu(w.systemMenu);
    if (!m) return true;
    for (auto& item : m->items)
        if (!(item.flags & (MF_POPUP | MF_SEPARATOR)) && item.id == SC_CLOSE) return !(item.flags & (MF_GRAYED | MF_DISABLED));
    return false;
}

Desktop& Desktop::Get() {
    static Desktop desktop;
    return desktop;
}

Desktop::Desktop() {
    Reset();
    HookScheduler();
    if (const char* dir = std::getenv("WINSIM_SNAPSHOTS")) snapshotDir = dir;
}

void Desktop::HookScheduler() {
    auto& sched = Proc().scheduler();
    auto previous = sched.onDeadlock;
    sched.onDeadlock = [this, previous](const std::string& why) {
        for (auto& [tid, q] : m_queues) {
            if (q.waitingIn.empty()) continue;
            std::string user = m_agent ? m_agent->Stuck() : std::string("the user can do nothing there");
            Fail("the program waits forever in " + q.waitingIn + ": no timer runs, no other thread can wake it, and " +
                     user + " (" + why + ")",
                 70);
        }
        previous(why);
    };
}

void Desktop::Reset() {
    m_windows.clear();
    m_queues.clear();
    m_timers.clear();
    m_menus.clear();
    m_zOrder.clear();
    m_foreground = nullptr;
    m_classes.clear();
    m_gdi.clear();
    // Stock objects keep fixed handles.
    for (int i = 0; i <= DEFAULT_GUI_FONT; ++i) {
        GdiObject o;
        o.stock = true;
        o.type = i <= NULL_BRUSH ? GdiObject::kBrush : i <= NULL_PEN ? GdiObject::kPen
                 : i == DEFAULT_PALETTE                               ? GdiObject::kPalette
                                                                      : GdiObject::kFont;
        if (o.type == GdiObject::kFont) {
            o.face = i == OEM_FIXED_FONT ? "Terminal" : i == ANSI_FIXED_FONT ? "Courier"
                     : i == ANSI_VAR_FONT ? "MS Sans Serif" : i == SYSTEM_FIXED_FONT ? "Fixedsys"
                     : i == DEFAULT_GUI_FONT ? "MS Shell Dlg" : "System";
            o.pointSize = i == DEFAULT_GUI_FONT || i == ANSI_VAR_FONT ? 8 : 10;
        }
        m_gdi[0x00030000 + i] = o;
    }
    HCURSOR arrow = reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(0x00040000 + 32512));
    HCURSOR ibeam = reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(0x00040000 + 32513));
    m_classes.push_back(SystemClass("BUTTON", ButtonProc, Kind::Button, 0, arrow, 0x8080));
    m_classes.push_back(SystemClass("EDIT", EditProc, Kind::Edit, 0, ibeam, 0x8081));
    m_classes.push_back(SystemClass("STATIC", StaticProc, Kind::Static, 0, arrow, 0x8082));
    m_classes.push_back(SystemClass("COMBOBOX", ComboProc, Kind::ComboBox, 0, arrow, 0x8085));
    m_classes.push_back(SystemClass("#32770", DefDlgProcA, Kind::Dialog, DLGWINDOWEXTRA, arrow, 0x8002));
    // The common controls library registers its classes when it loads.
    m_classes.push_back(SystemClass(PROGRESS_CLASSA, ProgressProc, Kind::Progress, 0, arrow, 0xC001));
    cursor = arrow;
    changes = 0;
    m_agent.reset();
    m_agentChosen = false;
}

unsigned Desktop::CodePage() { return Proc().machine().codePage; }

std::string Desktop::Utf8(const std::string& text) { return ToUtf8(text, CodePage()); }

uint32_t Desktop::CurrentThread() { return Proc().scheduler().CurrentThreadId(); }

Window* Desktop::Find(HWND hwnd) {
    auto it = m_windows.find(reinterpret_cast<uintptr_t>(hwnd));
    return it == m_windows.end() ? nullptr : it->second.get();
}

Window* Desktop::FindOrFail(HWND hwnd) {
    Window* w = Find(hwnd);
    if (!w) Proc().SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return w;
}

std::shared_ptr<WindowClass> Desktop::FindClass(LPCSTR name, HINSTANCE instance) {
    if (!name) return nullptr;
    if (IS_INTRESOURCE(name)) {
        ATOM atom = static_cast<ATOM>(reinterpret_cast<uintptr_t>(name));
        for (auto& c : m_classes)
            if (c->atom == atom) return c;
        return nullptr;
    }
    // The program's own classes first, then the system's.
    for (auto& c : m_classes)
        if (!c->system && strcasecmp(c->name.c_str(), name) == 0) return c;
    for (auto& c : m_classes)
        if (c->system && strcasecmp(c->name.c_str(), name) == 0) return c;
    return nullptr;
}

ATOM Desktop::Register(const WindowClass& cls) {
    for (auto& c : m_classes) {
        if (!c->system && strcasecmp(c->name.c_str(), cls.name.c_str()) == 0) {
            Proc().SetLastError(1410);  // ERROR_CLASS_ALREADY_EXISTS
            return 0;
        }
    }
    auto c = std::make_shared<WindowClass>(cls);
    c->atom = m_nextAtom++;
    m_classes.push_back(c);
    return c->atom;
}

bool Desktop::Unregister(LPCSTR name, HINSTANCE instance) {
    for (auto it = m_classes.begin(); it != m_classes.end(); ++it) {
        auto& c = *it;
        bool same = IS_INTRESOURCE(name) ? c->atom == static_cast<ATOM>(reinterpret_cast<uintptr_t>(name))
                                         : strcasecmp(c->name.c_str(), name) == 0;
        if (!same || c->system) continue;
        for (auto& entry : m_windows) {
            if (entry.second->cls == c) {
                Proc().SetLastError(1412);  // ERROR_CLASS_HAS_WINDOWS
                return false;
            }
        }
        m_classes.erase(it);
        return true;
    }
    Proc().SetLastError(1411);  // ERROR_CLASS_DOES_NOT_EXIST
    return false;
}

HWND Desktop::Create(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y, int width, int height,
                     HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    auto cls = FindClass(className, instance);
    if (!cls) {
        Proc().SetLastError(1407);  // ERROR_CANNOT_FIND_WND_CLASS
        return nullptr;
    }
    const bool child = (style & WS_CHILD) != 0;
    Window* parentWindow = parent ? Find(parent) : nullptr;
    if (parent && !parentWindow) {
        Proc().SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (child && !parentWindow) {
        Proc().SetLastError(1406);  // ERROR_TLW_WITH_WSCHILD
        return nullptr;
    }
    if (!child && menu && !FindMenu(menu)) {
        Proc().SetLastError(1401);  // ERROR_INVALID_MENU_HANDLE
        return nullptr;
    }
    auto w = std::make_unique<Window>();
    HWND hwnd = reinterpret_cast<HWND>(m_nextWindow);
    m_nextWindow += 4;
    w->hwnd = hwnd;
    w->cls = cls;
    w->proc = cls->proc;
    w->style = style;
    // An overlapped window always has a caption.
    if (!child && !(style & WS_POPUP)) w->style |= WS_CAPTION | WS_CLIPSIBLINGS;
    w->exStyle = exStyle;
    w->thread = CurrentThread();
    w->instance = instance;
    w->extra.assign(static_cast<size_t>(std::max(cls->wndExtra, 0)), 0);
    if (cls->kind == Kind::Dialog) w->dialog = std::make_shared<DialogInfo>();
    if (x == CW_USEDEFAULT) {
        x = child ? 0 : 64;
        y = child ? 0 : 64;
    }
    if (width == CW_USEDEFAULT) {
        width = child ? 0 : kScreenWidth / 2;
        height = child ? 0 : kScreenHeight / 2;
    }
    w->rect = {x, y, x + width, y + height};
    if (child) {
        w->parent = parent;
        w->id = reinterpret_cast<LONG_PTR>(menu);
        parentWindow->children.push_back(hwnd);
    } else {
        w->owner = parent ? TopLevel(parent) : nullptr;
        w->menu = menu;
        m_zOrder.push_back(hwnd);
    }
    const bool visible = (style & WS_VISIBLE) != 0;
    if (!child) w->style &= ~WS_VISIBLE;  // shown below, with activation
    m_windows[reinterpret_cast<uintptr_t>(hwnd)] = std::move(w);

    CREATESTRUCTA cs{};
    cs.lpCreateParams = param;
    cs.hInstance = instance;
    cs.hMenu = menu;
    cs.hwndParent = parent;
    cs.cx = width;
    cs.cy = height;
    cs.x = x;
    cs.y = y;
    cs.style = static_cast<LONG>(style);
    cs.lpszName = title;
    cs.lpszClass = className;
    cs.dwExStyle = exStyle;
    if (!Send(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
        if (Find(hwnd)) DestroyTree(hwnd);
        return nullptr;
    }
    if (!Find(hwnd)) return nullptr;
    if (Send(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        Destroy(hwnd);
        Proc().SetLastError(1400);
        return nullptr;
    }
    Window* made = Find(hwnd);
    if (!made) return nullptr;
    RECT client = ClientRect(*made);
    Send(hwnd, WM_SIZE, 0, MAKELPARAM(client.right, client.bottom));
    POINT origin = ClientOrigin(hwnd);
    if (child) {
        POINT p = ClientOrigin(parent);
        origin.x -= p.x;
        origin.y -= p.y;
    }
    Send(hwnd, WM_MOVE, 0, MAKELPARAM(origin.x, origin.y));
    if (visible && !child && Find(hwnd)) Show(hwnd, SW_SHOW);
    ++changes;
    return Find(hwnd) ? hwnd : nullptr;
}

HWND Desktop::TopLevel(HWND hwnd) {
    Window* w = Find(hwnd);
    while (w && (w->style & WS_CHILD) && w->parent) {
        hwnd = w->parent;
        w = Find(hwnd);
    }
    return w ? hwnd : nullptr;
}

bool Desktop::IsVisible(HWND hwnd) {
    for (Window* w = Find(hwnd); w; w = w->parent ? Find(w->parent) : nullptr) {
        if (!(w->style & WS_VISIBLE)) return false;
        if (!(w->style & WS_CHILD)) return true;
    }
    return false;
}

bool Desktop::IsEnabled(HWND hwnd) {
    Window* w = Find(hwnd);
    return w && !(w->style & WS_DISABLED);
}

bool Desktop::IsDescendant(HWND ancestor, HWND hwnd) {
    Window* w = Find(hwnd);
    while (w && (w->style & WS_CHILD) && w->parent) {
        if (w->parent == ancestor) return true;
        w = Find(w->parent);
    }
    return false;
}

bool Desktop::Destroy(HWND hwnd) {
    Window* w = FindOrFail(hwnd);
    if (!w) return false;
    if (w->thread != CurrentThread()) {
        Proc().SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    if (w->destroying) return true;
    const bool topLevel = !(w->style & WS_CHILD);
    if (topLevel) {
        // Owned windows go first.
        std::vector<HWND> owned;
        for (auto& entry : m_windows)
            if (entry.second->owner == hwnd && !(entry.second->style & WS_CHILD)) owned.push_back(entry.second->hwnd);
        for (HWND o : owned)
            if (Find(o)) Destroy(o);
        w = Find(hwnd);
        if (!w) return true;
        w->style &= ~WS_VISIBLE;
    }
    DestroyTree(hwnd);
    if (topLevel) ActivateNextAfter(hwnd);
    ++changes;
    return true;
}

void Desktop::DestroyTree(HWND hwnd) {
    Window* w = Find(hwnd);
    if (!w) return;
    w->destroying = true;
    uint32_t thread = w->thread;
    Send(hwnd, WM_DESTROY, 0, 0);
    w = Find(hwnd);
    if (!w) return;
    std::vector<HWND> children = w->children;
    for (HWND c : children) DestroyTree(c);
    Send(hwnd, WM_NCDESTROY, 0, 0);
    w = Find(hwnd);
    if (!w) return;
    m_timers.erase(std::remove_if(m_timers.begin(), m_timers.end(), [&](const Timer& t) { return t.hwnd == hwnd; }),
                   m_timers.end());
    ThreadQueue& q = m_queues[thread];
    if (q.focus == hwnd) q.focus = nullptr;
    if (q.active == hwnd) q.active = nullptr;
    if (w->parent) {
        if (Window* p = Find(w->parent)) {
            auto& siblings = p->children;
            siblings.erase(std::remove(siblings.begin(), siblings.end(), hwnd), siblings.end());
            if (p->dialog && p->dialog->savedFocus == hwnd) p->dialog->savedFocus = nullptr;
        }
    }
    m_zOrder.erase(std::remove(m_zOrder.begin(), m_zOrder.end(), hwnd), m_zOrder.end());
    m_windows.erase(reinterpret_cast<uintptr_t>(hwnd));
}

std::vector<HWND> Desktop::TopLevels(uint32_t thread) {
    std::vector<HWND> out;
    for (auto& entry : m_windows)
        if (!(entry.second->style & WS_CHILD) && entry.second->thread == thread) out.push_back(entry.second->hwnd);
    return out;
}

void Desktop::Invalidate(HWND hwnd) {
    Window* w = Find(hwnd);
    if (!w) return;
    w->invalid = true;
    for (HWND c : w->children) Invalidate(c);
}

bool Desktop::Show(HWND hwnd, int cmd) {
    Window* w = FindOrFail(hwnd);
    if (!w) return false;
    const bool was = (w->style & WS_VISIBLE) != 0;
    const bool show = cmd != SW_HIDE;
    const bool topLevel = !(w->style & WS_CHILD);
    if (show != was) {
        Send(hwnd, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
        w = Find(hwnd);
        if (!w) return was;
    }
    if (show) {
        w->style |= WS_VISIBLE;
        if (cmd == SW_MINIMIZE || cmd == SW_SHOWMINIMIZED || cmd == SW_SHOWMINNOACTIVE)
            w->style |= WS_MINIMIZE;
        else if (cmd == SW_RESTORE || cmd == SW_SHOWNORMAL)
            w->style &= ~WS_MINIMIZE;
    } else {
        w->style &= ~WS_VISIBLE;
    }
    if (show && !was) {
        Invalidate(hwnd);
        if (topLevel) w->drawn = false;
    }
    if (show != was) ++changes;
    if (topLevel && show && cmd != SW_SHOWNA && cmd != SW_SHOWNOACTIVATE && cmd != SW_SHOWMINNOACTIVE &&
        cmd != SW_MINIMIZE)
        Activate(hwnd);
    if (topLevel && !show && was) ActivateNextAfter(hwnd);
    if (!topLevel && !show) {
        ThreadQueue& q = m_queues[w->thread];
        if (q.focus == hwnd || IsDescendant(hwnd, q.focus)) q.focus = nullptr;
    }
    return was;
}

bool Desktop::Enable(HWND hwnd, bool enable) {
    Window* w = FindOrFail(hwnd);
    if (!w) return false;
    const bool wasDisabled = (w->style & WS_DISABLED) != 0;
    if (enable == wasDisabled) {
        if (enable)
            w->style &= ~WS_DISABLED;
        else
            w->style |= WS_DISABLED;
        ++changes;
        Invalidate(hwnd);
        if (!enable) {
            ThreadQueue& q = m_queues[w->thread];
            if (q.focus == hwnd || IsDescendant(hwnd, q.focus)) {
                if (w->thread == CurrentThread())
                    SetFocus(nullptr);
                else
                    q.focus = nullptr;
            }
        }
        Send(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
    }
    return wasDisabled;
}

void Desktop::SetText(HWND hwnd, const std::string& text) {
    Window* w = Find(hwnd);
    if (!w) return;
    if (w->text != text) ++changes;
    w->text = text;
    Invalidate(hwnd);
}

HWND Desktop::SetFocus(HWND hwnd) {
    uint32_t me = CurrentThread();
    ThreadQueue& q = m_queues[me];
    HWND old = q.focus;
    if (old && !Find(old)) old = nullptr;
    if (!hwnd) {
        q.focus = nullptr;
        if (old) Send(old, WM_KILLFOCUS, 0, 0);
        return old;
    }
    Window* w = FindOrFail(hwnd);
    if (!w || w->thread != me) return nullptr;
    HWND top = TopLevel(hwnd);
    if (q.active != top) {
        Activate(top);
        if (m_queues[me].focus == hwnd) return old;
        old = m_queues[me].focus;
        if (old && !Find(old)) old = nullptr;
    }
    if (old == hwnd) return old;
    m_queues[me].focus = hwnd;
    ++changes;
    if (old) Send(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    if (m_queues[me].focus == hwnd && Find(hwnd)) Send(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return old;
}

void Desktop::Activate(HWND hwnd) {
    Window* w = Find(hwnd);
    if (!w || (w->style & WS_CHILD)) return;
    m_zOrder.erase(std::remove(m_zOrder.begin(), m_zOrder.end(), hwnd), m_zOrder.end());
    m_zOrder.insert(m_zOrder.begin(), hwnd);
    m_foreground = hwnd;
    if (w->thread != CurrentThread()) {
        m_queues[w->thread].active = hwnd;
        return;
    }
    ThreadQueue& q = m_queues[w->thread];
    HWND old = q.active;
    if (old == hwnd) return;
    q.active = hwnd;
    ++changes;
    if (old && Find(old)) {
        Send(old, WM_NCACTIVATE, FALSE, 0);
        Send(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(hwnd));
    }
    if (Find(hwnd) && m_queues[w->thread].active == hwnd) {
        Send(hwnd, WM_NCACTIVATE, TRUE, 0);
        Send(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 0), reinterpret_cast<LPARAM>(old));
    }
}

void Desktop::ActivateNextAfter(HWND gone) {
    // The owner takes over, else the next visible enabled window in Z order.
    HWND next = nullptr;
    Window* g = Find(gone);
    if (g && g->owner && IsVisible(g->owner) && IsEnabled(g->owner)) next = g->owner;
    if (!next) {
        for (HWND h : m_zOrder)
            if (h != gone && IsVisible(h) && IsEnabled(h)) {
                next = h;
                break;
            }
    }
    if (m_foreground == gone) m_foreground = nullptr;
    for (auto& entry : m_queues)
        if (entry.second.active == gone) entry.second.active = nullptr;
    if (next) Activate(next);
}

RECT Desktop::ClientRect(const Window& w) {
    int side, top, bottom;
    FrameOf(w, side, top, bottom);
    RECT r{0, 0, (w.rect.right - w.rect.left) - 2 * side, (w.rect.bottom - w.rect.top) - top - bottom};
    if (r.right < 0) r.right = 0;
    if (r.bottom < 0) r.bottom = 0;
    return r;
}

POINT Desktop::ClientOrigin(HWND hwnd) {
    Window* w = Find(hwnd);
    if (!w) return {0, 0};
    int side, top, bottom;
    FrameOf(*w, side, top, bottom);
    POINT p{w->rect.left + side, w->rect.top + top};
    if ((w->style & WS_CHILD) && w->parent) {
        POINT base = ClientOrigin(w->parent);
        p.x += base.x;
        p.y += base.y;
    }
    return p;
}

// ---------------------------------------------------------------------------
// Messages.

LRESULT Desktop::Send(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (hwnd == HWND_BROADCAST) {
        for (HWND h : TopLevels(CurrentThread())) Send(h, msg, wParam, lParam);
        return 0;
    }
    Window* w = FindOrFail(hwnd);
    if (!w) return 0;
    uint32_t me = CurrentThread();
    if (w->thread == me) return w->proc(hwnd, msg, wParam, lParam);
    // Another thread's window: it runs the message when it next looks at
    // its queue; meanwhile this thread answers messages sent to it.
    auto s = std::make_shared<SentMessage>(SentMessage{hwnd, msg, wParam, lParam});
    m_queues[w->thread].sent.push_back(s);
    ThreadQueue* mine = &m_queues[me];
    char what[96];
    std::snprintf(what, sizeof what, "a reply to message 0x%04X from thread %u", msg, w->thread);
    while (!s->done) {
        ProcessSent(me);
        if (s->done) break;
        Proc().scheduler().Wait([s, mine] { return s->done || !mine->sent.empty(); }, Scheduler::kForever, what);
    }
    return s->result;
}

void Desktop::ProcessSent(uint32_t thread) {
    ThreadQueue& q = m_queues[thread];
    while (!q.sent.empty()) {
        auto s = q.sent.front();
        q.sent.pop_front();
        Window* w = Find(s->hwnd);
        s->result = w ? w->proc(s->hwnd, s->message, s->wParam, s->lParam) : 0;
        s->done = true;
    }
}

bool Desktop::Post(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!hwnd) return PostToThread(CurrentThread(), msg, wParam, lParam);
    if (hwnd == HWND_BROADCAST) {
        for (auto& entry : m_windows)
            if (!(entry.second->style & WS_CHILD)) Post(entry.second->hwnd, msg, wParam, lParam);
        return true;
    }
    Window* w = FindOrFail(hwnd);
    if (!w) return false;
    MSG m{};
    m.hwnd = hwnd;
    m.message = msg;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = static_cast<DWORD>(Proc().scheduler().Now());
    m.pt = {kScreenWidth / 2, kScreenHeight / 2};
    m_queues[w->thread].posted.push_back(m);
    return true;
}

bool Desktop::PostToThread(uint32_t thread, UINT msg, WPARAM wParam, LPARAM lParam) {
    MSG m{};
    m.message = msg;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = static_cast<DWORD>(Proc().scheduler().Now());
    m_queues[thread].posted.push_back(m);
    return true;
}

bool Desktop::Matches(HWND filter, HWND hwnd) {
    if (!filter) return true;
    if (filter == reinterpret_cast<HWND>(-1)) return hwnd == nullptr;
    return hwnd == filter || IsDescendant(filter, hwnd);
}

bool Desktop::TakeMessage(uint32_t thread, MSG* out, HWND filter, UINT first, UINT last, bool remove) {
    ThreadQueue& q = m_queues[thread];
    for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
        if (!Matches(filter, it->hwnd) || !InRange(it->message, first, last)) continue;
        *out = *it;
        if (remove) {
            q.posted.erase(it);
            if (out->message == WM_KEYDOWN || out->message == WM_SYSKEYDOWN) q.keysDown[static_cast<int>(out->wParam)] = true;
            if (out->message == WM_KEYUP || out->message == WM_SYSKEYUP) q.keysDown[static_cast<int>(out->wParam)] = false;
        }
        return true;
    }
    const uint64_t now = Proc().scheduler().Now();
    if (q.quit && InRange(WM_QUIT, first, last)) {
        *out = MSG{};
        out->message = WM_QUIT;
        out->wParam = static_cast<WPARAM>(q.quitCode);
        out->time = static_cast<DWORD>(now);
        if (remove) q.quit = false;
        return true;
    }
    if (InRange(WM_PAINT, first, last)) {
        for (auto& entry : m_windows) {
            Window& w = *entry.second;
            if (w.thread != thread || !w.invalid || !Matches(filter, w.hwnd) || !IsVisible(w.hwnd)) continue;
            *out = MSG{};
            out->hwnd = w.hwnd;
            out->message = WM_PAINT;
            out->time = static_cast<DWORD>(now);
            return true;
        }
    }
    if (InRange(WM_TIMER, first, last)) {
        for (auto& t : m_timers) {
            if (t.thread != thread || t.due > now || !Matches(filter, t.hwnd)) continue;
            *out = MSG{};
            out->hwnd = t.hwnd;
            out->message = WM_TIMER;
            out->wParam = t.id;
            out->lParam = reinterpret_cast<LPARAM>(t.proc);
            out->time = static_cast<DWORD>(now);
            if (remove) {
                // One message however many periods passed; the next one a
                // period after the one that was due, so ticks do not drift.
                t.due += t.period;
                if (t.due <= now) t.due = now + t.period;
            }
            return true;
        }
    }
    return false;
}

bool Desktop::Fetch(MSG* msg, HWND filter, UINT first, UINT last, bool remove, bool wait) {
    const uint32_t me = CurrentThread();
    auto& sched = Proc().scheduler();
    for (;;) {
        ProcessSent(me);
        if (TakeMessage(me, msg, filter, first, last, remove)) return true;
        if (!wait) {
            // A poll that finds nothing lets others run, and time step when
            // nobody can, so a PeekMessage loop ends.
            sched.Poll("a look at the message queue");
            ProcessSent(me);
            return TakeMessage(me, msg, filter, first, last, remove);
        }
        Decision decision;
        Idle(me, decision);
        if (decision.kind == Decision::kActed) continue;
        const uint64_t now = sched.Now();
        uint64_t deadline = Scheduler::kForever;
        for (auto& t : m_timers)
            if (t.thread == me && t.due < deadline) deadline = t.due;
        if (decision.kind == Decision::kWaitUntil && decision.until > now && decision.until < deadline)
            deadline = decision.until;
        ThreadQueue& q = m_queues[me];
        HWND where = q.active ? q.active : m_foreground;
        q.waitingIn = where ? Describe(where) : "a message loop with no window";
        const uint64_t timeout = deadline == Scheduler::kForever ? Scheduler::kForever
                                 : deadline > now               ? deadline - now
                                                                : 1;
        sched.Wait(
            [this, me, msg, filter, first, last] {
                if (!m_queues[me].sent.empty()) return true;
                MSG peek;
                return TakeMessage(me, &peek, filter, first, last, false);
            },
            timeout, "messages in " + q.waitingIn);
        m_queues[me].waitingIn.clear();
    }
}

void Desktop::WaitForInput() {
    MSG m;
    Fetch(&m, nullptr, 0, 0, false, true);
}

void Desktop::Idle(uint32_t thread, Decision& decision) {
    DrawNewlyShown(thread);
    ThreadQueue& q = m_queues[thread];
    const uint64_t now = Proc().scheduler().Now();
    if (changes != q.seenChanges) {
        q.seenChanges = changes;
        q.idleSince = now;
    }
    HWND fg = m_foreground;
    if (fg && (!Find(fg) || !IsVisible(fg))) fg = nullptr;
    if (!fg || Find(fg)->thread != thread) {
        decision.kind = Decision::kNothing;
        return;
    }
    UserAgent* agent = Agent();
    decision = agent ? agent->Act(fg) : Decision{};
    if (decision.kind == Decision::kActed) {
        q.idleSince = now;
        return;
    }
    if (now - q.idleSince >= kIdleLimitMs && decision.kind == Decision::kNothing)
        Fail("the program has shown nothing new in " + Describe(fg) + " for an hour of virtual time, and " +
                 (agent ? agent->Stuck() : std::string("the user can do nothing there")),
             70);
}

LRESULT Desktop::Dispatch(const MSG& msg) {
    if (msg.message == WM_TIMER && msg.lParam) {
        auto proc = reinterpret_cast<TIMERPROC>(msg.lParam);
        proc(msg.hwnd, WM_TIMER, msg.wParam, static_cast<DWORD>(Proc().scheduler().Now()));
        return 0;
    }
    if (!msg.hwnd) return 0;
    Window* w = FindOrFail(msg.hwnd);
    if (!w || w->thread != CurrentThread()) return 0;
    return w->proc(msg.hwnd, msg.message, msg.wParam, msg.lParam);
}

// ---------------------------------------------------------------------------
// Timers.

UINT_PTR Desktop::SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    const uint32_t me = CurrentThread();
    if (hwnd) {
        Window* w = FindOrFail(hwnd);
        if (!w) return 0;
        if (w->thread != me) {
            Proc().SetLastError(ERROR_ACCESS_DENIED);
            return 0;
        }
    }
    if (elapse < 10) elapse = 10;  // USER_TIMER_MINIMUM
    if (elapse > 0x7FFFFFFFu) elapse = 0x7FFFFFFFu;
    const uint64_t due = Proc().scheduler().Now() + elapse;
    for (auto& t : m_timers) {
        if (t.hwnd == hwnd && t.id == id && (hwnd || t.thread == me)) {
            t.period = elapse;
            t.due = due;
            t.proc = proc;
            return hwnd ? (id ? id : 1) : id;
        }
    }
    Timer t;
    t.hwnd = hwnd;
    t.id = hwnd ? id : m_nextTimerId++;
    t.period = elapse;
    t.due = due;
    t.proc = proc;
    t.thread = me;
    m_timers.push_back(t);
    return hwnd ? (id ? id : 1) : t.id;
}

bool Desktop::KillTimer(HWND hwnd, UINT_PTR id) {
    const uint32_t me = CurrentThread();
    for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
        if (it->hwnd == hwnd && it->id == id && (hwnd || it->thread == me)) {
            m_timers.erase(it);
            return true;
        }
    }
    Proc().SetLastError(ERROR_INVALID_PARAMETER);
    return false;
}

// ---------------------------------------------------------------------------
// Menus and GDI objects.

Menu* Desktop::FindMenu(HMENU menu) {
    auto it = m_menus.find(reinterpret_cast<uintptr_t>(menu));
    return it == m_menus.end() ? nullptr : &it->second;
}

HMENU Desktop::NewMenu(bool popup) {
    uintptr_t h = m_nextMenu;
    m_nextMenu += 4;
    m_menus[h].popup = popup;
    return reinterpret_cast<HMENU>(h);
}

HGDIOBJ Desktop::NewGdi(const GdiObject& object) {
    uintptr_t h = m_nextGdi;
    m_nextGdi += 4;
    m_gdi[h] = object;
    return reinterpret_cast<HGDIOBJ>(h);
}

HGDIOBJ Desktop::Stock(int index) {
    if (index < 0 || index > DEFAULT_GUI_FONT || index == 9) return nullptr;
    return reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(0x00030000 + index));
}

std::string Desktop::CursorName(HCURSOR cursor) {
    switch (reinterpret_cast<uintptr_t>(cursor)) {
        case 0: return "none";
        case 0x00040000 + 32512: return "arrow";
        case 0x00040000 + 32513: return "text";
        case 0x00040000 + 32514: return "wait";
        case 0x00040000 + 32515: return "cross";
        case 0x00040000 + 32516: return "up arrow";
        case 0x00040000 + 32646: return "move";
        case 0x00040000 + 32648: return "no";
        case 0x00040000 + 32650: return "arrow and hourglass";
        case 0x00040000 + 32651: return "help";
        default: return "the program's cursor";
    }
}

// ---------------------------------------------------------------------------
// The user and the run.

void Desktop::SetAgent(std::unique_ptr<UserAgent> agent) {
    m_agent = std::move(agent);
    m_agentChosen = true;
}

UserAgent* Desktop::Agent() {
    if (!m_agentChosen) {
        m_agentChosen = true;
        try {
            m_agent = AgentFromEnvironment();
        } catch (const ScriptError& e) {
            std::fprintf(stderr, "winsim: %s\n", e.what());
            std::fflush(stderr);
            std::_Exit(2);
        }
    }
    return m_agent.get();
}

void Desktop::Fail(const std::string& why, int code) {
    auto& proc = Proc();
    proc.Log("winsim: " + why);
    std::fprintf(stderr, "winsim: %s\n", why.c_str());
    std::fflush(stderr);
    // What the program did so far stays done, as on a PC where it hung.
    if (!proc.machineFile().empty()) {
        try {
            proc.machine().Save(proc.machineFile());
        } catch (const std::exception& e) {
            std::fprintf(stderr, "winsim: %s\n", e.what());
        }
    }
    std::_Exit(code);
}

std::string Desktop::Describe(HWND hwnd) {
    Window* w = Find(hwnd);
    if (!w) return "a window that is gone";
    HWND top = TopLevel(hwnd);
    Window* t = Find(top);
    std::string what = t->dialog && t->dialog->messageBox ? "the message box"
                       : t->dialog                         ? "the dialog"
                                                           : "the window";
    std::string caption = Utf8(t->text);
    if (caption.empty()) return what + " without a caption (class " + t->cls->name + ")";
    return what + " \"" + caption + "\"";
}

void Desktop::DrawNewlyShown(uint32_t thread) {
    for (HWND h : TopLevels(thread)) {
        Window* w = Find(h);
        if (!w || w->drawn || !IsVisible(h)) continue;
        w->drawn = true;
        auto& proc = Proc();
        proc.Log("screen: " + Describe(h) + " shows");
        for (const std::string& line : DrawLines(h)) proc.Log("  " + line);
        if (!snapshotDir.empty()) WriteSnapshot(h, snapshotDir);
    }
}

}  // namespace sim::desktop
