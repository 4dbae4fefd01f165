// The simulated desktop: windows, per-thread message queues, timers in
// virtual time, focus and activation, menus, GDI objects and cursors. The
// USER32 calls in sim/win32 are thin layers over it. Only the thread that
// holds the scheduler's baton touches it, so it needs no lock of its own.
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "win32.h"

namespace sim::desktop {

enum class Kind { Window, Dialog, Button, Static, Edit, ComboBox, Progress };

struct WindowClass {
    std::string name;
    ATOM atom = 0;
    UINT style = 0;
    WNDPROC proc = nullptr;
    int clsExtra = 0;
    int wndExtra = 0;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    Kind kind = Kind::Window;
    bool system = false;
};

// A dialog's own state beside its window.
struct DialogInfo {
    bool modal = false;
    bool ended = false;
    INT_PTR result = 0;
    int baseX = 8;  // pixels of four horizontal dialog units
    int baseY = 16; // pixels of eight vertical dialog units
    std::string fontName;
    int pointSize = 0;
    HFONT font = nullptr;
    HWND savedFocus = nullptr;
    int defId = 0;  // set by DM_SETDEFID, 0 when never set
    bool messageBox = false;
    UINT boxType = 0;
    HWND disabledOwner = nullptr;  // enabled again when the dialog ends
    bool ownFont = false;          // made from the template, deleted with the dialog
};

struct ButtonState {
    int check = BST_UNCHECKED;
    bool pushed = false;
};

struct EditState {
    int selStart = 0;
    int selEnd = 0;
    size_t limit = 0;  // 0: the system's maximum
    int firstLine = 0;
    bool modified = false;
};

struct ComboState {
    std::vector<std::string> items;
    std::vector<LPARAM> data;
    int selected = -1;
    bool dropped = false;
};

struct ProgressState {
    int low = 0;
    int high = 100;
    int pos = 0;
    int step = 10;
};

struct Window {
    HWND hwnd = nullptr;
    std::shared_ptr<WindowClass> cls;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    LONG_PTR id = 0;         // child windows: the control id
    HWND parent = nullptr;   // child windows only
    HWND owner = nullptr;    // top-level windows only
    std::vector<HWND> children;  // in creation (tab) order
    uint32_t thread = 0;
    HINSTANCE instance = nullptr;
    std::string text;        // in the machine's ANSI code page
    RECT rect{};             // top-level: screen; child: parent's client area
    LONG_PTR userData = 0;
    std::vector<uint8_t> extra;
    HFONT font = nullptr;
    HMENU menu = nullptr;
    HMENU systemMenu = nullptr;
    HICON bigIcon = nullptr;
    HICON smallIcon = nullptr;
    HICON staticIcon = nullptr;
    bool invalid = false;
    bool destroying = false;
    bool drawn = false;       // drawn once since it was shown
    ButtonState button;
    EditState edit;
    ComboState combo;
    ProgressState progress;
    std::shared_ptr<DialogInfo> dialog;

    Kind kind() const { return cls ? cls->kind : Kind::Window; }
    bool visibleStyle() const { return (style & WS_VISIBLE) != 0; }
    bool enabledStyle() const { return (style & WS_DISABLED) == 0; }
};

struct Timer {
    HWND hwnd = nullptr;
    UINT_PTR id = 0;
    uint32_t period = 0;
    uint64_t due = 0;
    TIMERPROC proc = nullptr;
    uint32_t thread = 0;
};

struct SentMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result = 0;
    bool done = false;
};

struct ThreadQueue {
    std::deque<MSG> posted;
    std::deque<std::shared_ptr<SentMessage>> sent;
    bool quit = false;
    int quitCode = 0;
    HWND focus = nullptr;
    HWND active = nullptr;
    std::map<int, bool> keysDown;
    // What the thread waits in, for a report of a loop that never ends.
    std::string waitingIn;
    uint64_t idleSince = 0;  // when the user last had something to do here
    uint64_t seenChanges = ~0ull;  // the desktop's changes when it last idled
};

struct MenuItem {
    UINT flags = 0;
    UINT_PTR id = 0;
    HMENU popup = nullptr;
    std::string text;
};

struct Menu {
    bool popup = false;
    bool system = false;
    std::vector<MenuItem> items;
};

struct GdiObject {
    enum Type { kFont, kBrush, kPen, kPalette } type = kFont;
    bool stock = false;
    std::string face;
    int height = 0;  // font height as CreateFont took it (negative: character height)
    int weight = 0;
    int pointSize = 0;
};

class UserAgent;

// What the user does when the thread would wait for messages.
struct Decision {
    enum Kind { kActed, kWaitUntil, kNothing } kind = kNothing;
    uint64_t until = 0;  // kWaitUntil: virtual time to be asked again
};

class Desktop {
public:
    static Desktop& Get();

    // Forgets every window, queue, timer and menu; the agent goes back to
    // the one the environment names.
    void Reset();

    Window* Find(HWND hwnd);
    Window* FindOrFail(HWND hwnd);  // sets ERROR_INVALID_WINDOW_HANDLE
    uint32_t CurrentThread();
    ThreadQueue& Queue(uint32_t thread) { return m_queues[thread]; }
    unsigned CodePage();

    // Classes.
    std::shared_ptr<WindowClass> FindClass(LPCSTR name, HINSTANCE instance);
    ATOM Register(const WindowClass& cls);
    bool Unregister(LPCSTR name, HINSTANCE instance);

    // Windows.
    HWND Create(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y, int w, int h, HWND parent,
                HMENU menu, HINSTANCE instance, LPVOID param);
    bool Destroy(HWND hwnd);
    HWND TopLevel(HWND hwnd);
    bool IsVisible(HWND hwnd);   // itself and every ancestor
    bool IsEnabled(HWND hwnd);   // itself
    bool IsDescendant(HWND ancestor, HWND hwnd);
    bool Show(HWND hwnd, int cmd);
    bool Enable(HWND hwnd, bool enable);
    void SetText(HWND hwnd, const std::string& text);  // the stored text only
    void Invalidate(HWND hwnd);
    HWND SetFocus(HWND hwnd);
    void Activate(HWND hwnd);
    HWND Foreground() const { return m_foreground; }
    void ActivateNextAfter(HWND gone);
    RECT ClientRect(const Window& w);  // client area, in the window's client coordinates
    POINT ClientOrigin(HWND hwnd);     // screen position of the client area
    std::vector<HWND> TopLevels(uint32_t thread);

    // Messages.
    LRESULT Send(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    bool Post(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    bool PostToThread(uint32_t thread, UINT msg, WPARAM wParam, LPARAM lParam);
    // Next message for the calling thread. wait: as GetMessage (asks the
    // user agent and waits); else as PeekMessage.
    bool Fetch(MSG* msg, HWND filter, UINT first, UINT last, bool remove, bool wait);
    void WaitForInput();  // WaitMessage
    LRESULT Dispatch(const MSG& msg);

    // Timers.
    UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc);
    bool KillTimer(HWND hwnd, UINT_PTR id);
    size_t TimerCount() const { return m_timers.size(); }

    // Menus and GDI objects.
    std::map<uintptr_t, Menu>& Menus() { return m_menus; }
    Menu* FindMenu(HMENU menu);
    HMENU NewMenu(bool popup);
    std::map<uintptr_t, GdiObject>& Gdi() { return m_gdi; }
    HGDIOBJ NewGdi(const GdiObject& object);
    HGDIOBJ Stock(int index);

    // Cursors and icons of the system; the program's module has none.
    HCURSOR cursor = nullptr;
    static std::string CursorName(HCURSOR cursor);

    // Bumped whenever something the user can see changes.
    uint64_t changes = 0;

    // The user.
    void SetAgent(std::unique_ptr<UserAgent> agent);
    UserAgent* Agent();
    // Ends the run: logs the reason, writes the machine back, exits.
    [[noreturn]] void Fail(const std::string& why, int code);

    // Writes pictures of newly shown windows; called when a thread idles.
    void DrawNewlyShown(uint32_t thread);
    std::string snapshotDir;

    // For descriptions: "the dialog \"Caption\"".
    std::string Describe(HWND hwnd);
    std::string Utf8(const std::string& text);

private:
    Desktop();
    void HookScheduler();
    bool TakeMessage(uint32_t thread, MSG* out, HWND filter, UINT first, UINT last, bool remove);
    void ProcessSent(uint32_t thread);
    void Idle(uint32_t thread, Decision& decision);
    void DestroyTree(HWND hwnd);
    bool Matches(HWND filter, HWND hwnd);

    std::map<uintptr_t, std::unique_ptr<Window>> m_windows;
    std::vector<std::shared_ptr<WindowClass>> m_classes;
    std::map<uint32_t, ThreadQueue> m_queues;
    std::vector<Timer> m_timers;
    std::map<uintptr_t, Menu> m_menus;
    std::map<uintptr_t, GdiObject> m_gdi;
    std::vector<HWND> m_zOrder;  // top-level windows, most recently activated first
    HWND m_foreground = nullptr;
    uintptr_t m_nextWindow = 0x00010010;
    uintptr_t m_nextMenu = 0x00020010;
    uintptr_t m_nextGdi = 0x00030100;
    ATOM m_nextAtom = 0xC000;
    UINT_PTR m_nextTimerId = 1;
    std::unique_ptr<UserAgent> m_agent;
    bool m_agentChosen = false;
};

// Internal messages of the simulated controls, below WM_USER where the
// system keeps its own.
constexpr UINT kMsgUserPick = 0x03E0;  // combo box: the user picks entry wParam

// Units and sizes of the simulated screen.
constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;
constexpr int kCaptionHeight = 18;
constexpr int kMenuHeight = 19;
constexpr int kDialogFrame = 3;

// Dialog base units of a font of the given point size at 96 dots per inch:
// a line is about 1.2 times the em height, an average character 6/13 of it.
void BaseUnitsFor(int pointSize, int& baseX, int& baseY);

// The frame widths of a window of this style: left/right, top (caption and
// menu included) and bottom.
void FrameOf(const Window& w, int& side, int& top, int& bottom);

// The window procedures of the predefined classes.
LRESULT CALLBACK ButtonProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK StaticProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK EditProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ComboProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ProgressProc(HWND, UINT, WPARAM, LPARAM);

// Text with the '&' mnemonic markers removed ("&&" stays one '&').
std::string WithoutMnemonic(const std::string& text);
// The close box of the title bar: present, and whether it can be clicked.
bool HasCloseBox(const Window& w);
bool CloseBoxEnabled(const Window& w);

}  // namespace sim::desktop
