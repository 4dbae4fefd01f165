// The framework's dialogs on a fresh simulated desktop: a user who does the
// test's steps one at a time, and a small form every test can build on.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "afx.h"
#include "desktop_fixture.h"
#include "mfc_print.h"

namespace mfc_test {

constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | DS_MODALFRAME;

// Edit 10, static 11, OK, Cancel, "Seven" (1007), a drop-down list (1000),
// a progress bar (1012).
inline const AFX_DLGITEM kFormItems[] = {
    {"EDIT", u"", 10, WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 7, 7, 100, 12},
    {"STATIC", u"", 11, WS_VISIBLE | SS_LEFT, 7, 22, 100, 8},
    {"BUTTON", u"OK", IDOK, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 7, 40, 40, 14},
    {"BUTTON", u"Cancel", IDCANCEL, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 50, 40, 40, 14},
    {"BUTTON", u"&Seven", 1007, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 93, 40, 40, 14},
    {"COMBOBOX", nullptr, 1000, WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST, 7, 60, 100, 60},
    {PROGRESS_CLASSA, nullptr, 1012, WS_VISIBLE | WS_BORDER, 7, 75, 100, 10},
};
inline const AFX_DLGDESC kForm = {
    200, kDialogStyle | WS_SYSMENU, 0, 0, 0, 160, 90, u"Form", u"MS Sans Serif", 8, kFormItems, 7,
};

class MfcDialogTest : public desktop_test::DesktopTest {
protected:
    using Step = std::function<void(HWND top)>;

    // Each time the program would wait, the user does the next step with
    // the foreground window. A test that runs out of steps with a dialog
    // still open fails, and the dialog is ended so the test can finish.
    void UseSteps(std::vector<Step> steps) {
        auto state = std::make_shared<std::pair<size_t, std::vector<Step>>>(0, std::move(steps));
        UseAgent([state](HWND top) {
            if (state->first < state->second.size()) {
                state->second[state->first++](top);
            } else {
                ADD_FAILURE() << "the user has nothing left to do in " << WindowText(top);
                ::EndDialog(top, -2);
                ::PostMessageA(top, WM_NULL, 0, 0);  // the loop looks at the end after a message
            }
            return true;
        });
    }

    static void Key(HWND top, int vk) { sim::desktop::PressKey(top, vk); }
    static void Click(HWND top, int id) {
        std::string why;
        EXPECT_TRUE(sim::desktop::ClickButton(GetDlgItem(top, id), why)) << why;
    }
    static std::string WindowText(HWND hwnd) {
        char text[256] = "";
        GetWindowTextA(hwnd, text, sizeof text);
        return text;
    }
    static std::string ItemText(HWND dlg, int id) { return WindowText(GetDlgItem(dlg, id)); }
    // The message boxes of the run, as the transcript shows them.
    static std::vector<std::string> MessageBoxes() { return Transcript("message box"); }
};

}  // namespace mfc_test
