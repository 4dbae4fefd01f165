// Watches the program's message boxes from outside, as a user would see
// them: a top-level dialog captioned "Firmware Update Utility".
//
//   msgbox_watch wait MS [PID]   wait for a box; print its text, buttons,
//                                owner, process and place; exit 1 when none
//                                came
//   msgbox_watch count           print how many such boxes are open
//   msgbox_watch press MS [PID]  press OK on the box, wait until it is gone
//
// With PID, boxes of that process are passed over: a second copy's box is
// told from the first one's.
//
// Texts are printed escaped (\xHH outside printable ASCII), as the helper
// that computes the expected ones prints them.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Escape.h"

namespace {

const char kCaption[] = "Firmware Update Utility";
const char kDialogClass[] = "#32770";

std::string WindowText(HWND hwnd) {
    char text[1024] = {};
    GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

std::string ClassOf(HWND hwnd) {
    char name[64] = {};
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

DWORD g_dwPassOver = 0;

BOOL CALLBACK CollectBox(HWND hwnd, LPARAM param) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (ClassOf(hwnd) == kDialogClass && WindowText(hwnd) == kCaption && IsWindowVisible(hwnd) &&
        (g_dwPassOver == 0 || pid != g_dwPassOver))
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
}

std::vector<HWND> Boxes() {
    std::vector<HWND> boxes;
    EnumWindows(CollectBox, reinterpret_cast<LPARAM>(&boxes));
    return boxes;
}

struct Controls {
    std::string text;
    std::vector<std::string> buttons;
    HWND ok = NULL;
};

BOOL CALLBACK CollectControl(HWND hwnd, LPARAM param) {
    Controls& c = *reinterpret_cast<Controls*>(param);
    std::string cls = ClassOf(hwnd);
    if (lstrcmpiA(cls.c_str(), "Button") == 0) {
        c.buttons.push_back(WindowText(hwnd));
        if (GetDlgCtrlID(hwnd) == IDOK) c.ok = hwnd;
    } else if (lstrcmpiA(cls.c_str(), "Static") == 0 && (GetWindowLongA(hwnd, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) {
        c.text += WindowText(hwnd);
    }
    return TRUE;
}

Controls ControlsOf(HWND box) {
    Controls c;
    EnumChildWindows(box, CollectControl, reinterpret_cast<LPARAM>(&c));
    return c;
}

HWND WaitForBox(DWORD ms) {
    DWORD start = GetTickCount();
    for (;;) {
        std::vector<HWND> boxes = Boxes();
        if (!boxes.empty()) return boxes.front();
        if (GetTickCount() - start >= ms) return NULL;
        Sleep(100);
    }
}

int Wait(DWORD ms) {
    HWND box = WaitForBox(ms);
    if (!box) {
        std::printf("no box within %lu ms\n", ms);
        return 1;
    }
    Controls c = ControlsOf(box);
    std::printf("text=%s\n", Escape(c.text).c_str());
    std::string buttons;
    for (const auto& b : c.buttons) buttons += (buttons.empty() ? "" : "|") + b;
    std::printf("buttons=%s\n", Escape(buttons).c_str());
    std::printf("owner=%s\n", GetWindow(box, GW_OWNER) ? "yes" : "none");
    DWORD pid = 0;
    GetWindowThreadProcessId(box, &pid);
    std::printf("process=%lu\n", pid);
    RECT r;
    GetWindowRect(box, &r);
    std::printf("rect=%ld,%ld,%ld,%ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    return 0;
}

int Press(DWORD ms) {
    HWND box = WaitForBox(ms);
    if (!box) {
        std::printf("no box to press\n");
        return 1;
    }
    Controls c = ControlsOf(box);
    if (!c.ok) {
        std::printf("the box has no OK button\n");
        return 1;
    }
    // As a click does: the button tells its dialog.
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(c.ok));
    DWORD start = GetTickCount();
    while (IsWindow(box)) {
        if (GetTickCount() - start >= ms) {
            std::printf("the box stayed after OK\n");
            return 1;
        }
        Sleep(50);
    }
    std::printf("pressed\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const char* command = argc > 1 ? argv[1] : "";
    DWORD ms = argc > 2 ? std::strtoul(argv[2], NULL, 10) : 10000;
    g_dwPassOver = argc > 3 ? std::strtoul(argv[3], NULL, 10) : 0;
    if (std::strcmp(command, "wait") == 0) return Wait(ms);
    if (std::strcmp(command, "press") == 0) return Press(ms);
    if (std::strcmp(command, "count") == 0) {
        std::printf("count=%u\n", static_cast<unsigned>(Boxes().size()));
        return 0;
    }
    std::printf("usage: msgbox_watch wait MS | count | press MS\n");
    return 2;
}
