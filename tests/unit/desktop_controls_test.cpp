// The controls answer their messages as the published ones do, and window
// procedures, subclassing and destruction run in Windows' order.
#include "desktop_fixture.h"

namespace {

using namespace desktop_test;
using nlohmann::json;

class Controls : public DesktopTest {
protected:
    void SetUp() override {
        DesktopTest::SetUp();
        m_t = std::make_unique<TemplateWriter>(kDialogStyle | WS_VISIBLE, 310, 106, "Controls", 8, "MS Sans Serif");
        m_t->Item(0x0085, "", 1000, WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST, 134, 7, 169, 95);
        m_t->Item(0x0085, "", 1001, WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST | CBS_SORT, 134, 30, 169, 95);
        m_t->Item(0x0081, "", 1004, WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_READONLY | WS_VSCROLL, 1, 20, 120, 40);
        m_t->Item(0x0081, "", 1005, WS_CHILD | WS_VISIBLE | WS_BORDER, 1, 70, 120, 12);
        m_t->Item(0x0080, "Check", 1006, WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 200, 60, 60, 10);
        m_t->Item(0x0082, "Status", 115, kText, 5, 79, 172, 9);
        m_t->NamedItem(PROGRESS_CLASSA, "", 1012, WS_CHILD | WS_VISIBLE | WS_BORDER, 4, 90, 300, 10);
        m_dlg = CreateDialogIndirectParamA(nullptr, m_t->get(), nullptr, RecordingProc, 0);
        ASSERT_TRUE(m_dlg);
        s_notes.clear();
    }
    void TearDown() override {
        DestroyWindow(m_dlg);
        DesktopTest::TearDown();
    }

    LRESULT Send(int id, UINT msg, WPARAM w = 0, LPARAM l = 0) { return SendDlgItemMessageA(m_dlg, id, msg, w, l); }
    std::string Text(int id) {
        char buffer[256];
        GetDlgItemTextA(m_dlg, id, buffer, sizeof buffer);
        return buffer;
    }
    void Pump() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!IsDialogMessageA(m_dlg, &msg)) DispatchMessageA(&msg);
        }
    }

    static INT_PTR CALLBACK RecordingProc(HWND, UINT msg, WPARAM wParam, LPARAM) {
        if (msg == WM_COMMAND && LOWORD(wParam) == 1000)
            s_notes.push_back(HIWORD(wParam));
        return msg == WM_INITDIALOG;
    }

    static std::vector<int> s_notes;
    std::unique_ptr<TemplateWriter> m_t;
    HWND m_dlg = nullptr;
};
std::vector<int> Controls::s_notes;

TEST_F(Controls, DropDownListKeepsItsEntriesAndSelection) {
    EXPECT_EQ(Send(1000, CB_GETCURSEL), CB_ERR);
    EXPECT_EQ(Send(1000, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("0:1: VALTORA  DVD-ROM ZQ-X9046")), 0);
    EXPECT_EQ(Send(1000, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("1:0: OTHER    CD-ROM")), 1);
    EXPECT_EQ(Send(1000, CB_GETCOUNT), 2);
    EXPECT_EQ(Send(1000, CB_SETCURSEL, 1), 1);
    EXPECT_EQ(Send(1000, CB_GETCURSEL), 1);
    EXPECT_EQ(Text(1000), "1:0: OTHER    CD-ROM") << "a drop-down list's text is its selection";
    EXPECT_EQ(Send(1000, CB_GETLBTEXTLEN, 0), 30);
    char entry[64];
    EXPECT_EQ(Send(1000, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(entry)), 30);
    EXPECT_STREQ(entry, "0:1: VALTORA  DVD-ROM ZQ-X9046");
    EXPECT_EQ(Send(1000, CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(entry)), CB_ERR);
    EXPECT_EQ(Send(1000, CB_SETCURSEL, 5), CB_ERR);
    EXPECT_EQ(Send(1000, CB_GETCURSEL), CB_ERR) << "an index out of range clears the selection";
    EXPECT_EQ(Send(1000, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("1:0: other    cd-rom")), 1);
    EXPECT_EQ(Send(1000, CB_RESETCONTENT), CB_OKAY);
    EXPECT_EQ(Send(1000, CB_GETCOUNT), 0);
    EXPECT_TRUE(s_notes.empty()) << "the program's own changes send no notification";

    for (const char* s : {"b", "C", "a"}) Send(1001, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    EXPECT_EQ(Send(1001, CB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("c")), 2) << "sorted: a b C";
}

TEST_F(Controls, PickingAnEntryNotifiesTheParentOnlyWhenTheSelectionChanges) {
    HWND combo = GetDlgItem(m_dlg, 1000);
    Send(1000, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("first"));
    Send(1000, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("second"));
    Send(1000, CB_SETCURSEL, 0);
    SetFocus(GetDlgItem(m_dlg, 1005));
    s_notes.clear();
    // The user picks once; when asked again the loop is left.
    auto pickOnce = [&](int index) {
        bool done = false;
        int asked = 0;
        UseAgent([&](HWND) {
            if (asked++ == 0) return PickAsUser(combo, index);
            done = true;
            PostMessageA(m_dlg, WM_NULL, 0, 0);
            return true;
        });
        MSG msg;
        while (!done && GetMessageA(&msg, nullptr, 0, 0))
            if (!IsDialogMessageA(m_dlg, &msg)) DispatchMessageA(&msg);
    };
    pickOnce(1);
    EXPECT_EQ(Send(1000, CB_GETCURSEL), 1);
    EXPECT_EQ(s_notes, (std::vector<int>{CBN_SETFOCUS, CBN_DROPDOWN, CBN_SELCHANGE, CBN_SELENDOK, CBN_CLOSEUP}));
    EXPECT_EQ(GetFocus(), combo);
    s_notes.clear();
    pickOnce(1);
    EXPECT_EQ(s_notes, (std::vector<int>{CBN_DROPDOWN, CBN_SELENDOK, CBN_CLOSEUP}));
}

TEST_F(Controls, ProgressBarRangePositionAndSteps) {
    struct Step {
        UINT msg;
        WPARAM w;
        LPARAM l;
        LRESULT returns;
        int posAfter;
    };
    const Step steps[] = {
        {PBM_SETRANGE, 0, MAKELPARAM(0, 100), MAKELRESULT(0, 100), 0},
        {PBM_SETPOS, 2, 0, 0, 2},
        {PBM_DELTAPOS, 86, 0, 2, 88},
        {PBM_SETPOS, 150, 0, 88, 100},  // clamped to the range
        {PBM_SETSTEP, 30, 0, 10, 100},
        {PBM_STEPIT, 0, 0, 100, 30},   // past the end it starts over
        {PBM_SETRANGE32, 10, 20, MAKELRESULT(0, 100), 20},
        {PBM_GETPOS, 0, 0, 20, 20},
        {PBM_SETPOS, 0, 0, 20, 10},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(Send(1012, s.msg, s.w, s.l), s.returns) << std::hex << s.msg;
        EXPECT_EQ(Send(1012, PBM_GETPOS), s.posAfter) << std::hex << s.msg;
    }
    PBRANGE r{};
    EXPECT_EQ(Send(1012, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&r)), 10);
    EXPECT_EQ(r.iHigh, 20);
}

TEST_F(Controls, EditTextSelectionLimitAndScrolling) {
    std::string text;
    for (int i = 1; i <= 30; ++i) text += "line " + std::to_string(i) + "\r\n";
    EXPECT_TRUE(SetDlgItemTextA(m_dlg, 1004, text.c_str()));
    EXPECT_EQ(Text(1004).size(), 255u) << "GetWindowText stops at the buffer";
    EXPECT_EQ(GetWindowTextLengthA(GetDlgItem(m_dlg, 1004)), static_cast<int>(text.size()));
    EXPECT_EQ(Send(1004, EM_GETLINECOUNT), 31);
    EXPECT_EQ(Send(1004, EM_GETFIRSTVISIBLELINE), 0);
    EXPECT_TRUE(Send(1004, EM_LINESCROLL, 0, 10));
    EXPECT_EQ(Send(1004, EM_GETFIRSTVISIBLELINE), 10);
    EXPECT_TRUE(Send(1004, EM_LINESCROLL, 0, -50));
    EXPECT_EQ(Send(1004, EM_GETFIRSTVISIBLELINE), 0);
    Send(1004, EM_SETSEL, 0, -1);
    DWORD a = 0, b = 0;
    Send(1004, EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
    EXPECT_EQ(a, 0u);
    EXPECT_EQ(b, text.size());

    EXPECT_EQ(Send(1005, EM_GETLIMITTEXT), 32767);
    Send(1005, EM_LIMITTEXT, 3);
    EXPECT_EQ(Send(1005, EM_GETLIMITTEXT), 3);
    SetDlgItemTextA(m_dlg, 1005, "abcdef");
    EXPECT_EQ(Text(1005), "abcdef") << "the limit holds for typing, not for WM_SETTEXT";
    Send(1005, EM_SETSEL, 6, 6);
    SendMessageA(GetDlgItem(m_dlg, 1005), WM_CHAR, 'g', 0);
    EXPECT_EQ(Text(1005), "abcdef");
    SendMessageA(GetDlgItem(m_dlg, 1004), WM_CHAR, 'x', 0);
    EXPECT_EQ(Text(1004), text.substr(0, 255)) << "a read-only edit takes no typing";
}

TEST_F(Controls, ButtonsStaticsEnableAndFocus) {
    HWND check = GetDlgItem(m_dlg, 1006);
    EXPECT_EQ(IsDlgButtonChecked(m_dlg, 1006), BST_UNCHECKED);
    SendMessageA(check, BM_CLICK, 0, 0);
    EXPECT_EQ(IsDlgButtonChecked(m_dlg, 1006), BST_CHECKED);
    CheckDlgButton(m_dlg, 1006, BST_UNCHECKED);
    EXPECT_EQ(SendMessageA(check, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_FALSE(EnableWindow(check, FALSE)) << "it was enabled";
    EXPECT_TRUE(EnableWindow(check, FALSE)) << "it was disabled";
    SendMessageA(check, BM_CLICK, 0, 0);
    EXPECT_EQ(IsDlgButtonChecked(m_dlg, 1006), BST_UNCHECKED) << "a disabled button takes no click";
    EXPECT_TRUE(EnableWindow(check, TRUE));
    EXPECT_TRUE(IsWindowEnabled(check));

    EXPECT_TRUE(SetDlgItemTextA(m_dlg, 115, "Scan Complete."));
    EXPECT_EQ(Text(115), "Scan Complete.");
    SetDlgItemInt(m_dlg, 1005, static_cast<UINT>(-42), TRUE);
    BOOL ok = FALSE;
    EXPECT_EQ(static_cast<int>(GetDlgItemInt(m_dlg, 1005, &ok, TRUE)), -42);
    EXPECT_TRUE(ok);

    HWND edit = GetDlgItem(m_dlg, 1005);
    SetFocus(edit);
    EXPECT_EQ(GetFocus(), edit);
    EnableWindow(edit, FALSE);
    EXPECT_EQ(GetFocus(), nullptr) << "a window loses the focus when it is disabled";
    EXPECT_EQ(GetParent(edit), m_dlg);
    EXPECT_EQ(GetDlgCtrlID(edit), 1005);
}

std::vector<std::string> g_log;

LRESULT CALLBACK LoggingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    char name[32] = "";
    if (msg == WM_DESTROY || msg == WM_NCDESTROY || msg == WM_CLOSE) GetWindowTextA(hwnd, name, sizeof name);
    if (msg == WM_DESTROY) g_log.push_back(std::string(name) + " WM_DESTROY");
    if (msg == WM_NCDESTROY) g_log.push_back(std::string(name) + " WM_NCDESTROY");
    if (msg == WM_CLOSE) g_log.push_back(std::string(name) + " WM_CLOSE");
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

WNDPROC g_original;
LRESULT CALLBACK Subclass(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == BM_SETCHECK) g_log.push_back("subclass saw BM_SETCHECK " + std::to_string(wParam));
    return CallWindowProcA(g_original, hwnd, msg, wParam, lParam);
}

TEST_F(Controls, DestructionOrderCloseAndSubclassing) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = LoggingProc;
    wc.lpszClassName = "Logging";
    ASSERT_TRUE(RegisterClassA(&wc));
    HWND parent = CreateWindowExA(0, "Logging", "parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                  nullptr, nullptr, nullptr);
    HWND a = CreateWindowExA(0, "Logging", "a", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, parent, reinterpret_cast<HMENU>(1),
                             nullptr, nullptr);
    CreateWindowExA(0, "Logging", "b", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, a, reinterpret_cast<HMENU>(2), nullptr,
                    nullptr);
    CreateWindowExA(0, "Logging", "c", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, parent, reinterpret_cast<HMENU>(3), nullptr,
                    nullptr);
    g_log.clear();
    // The close box: WM_SYSCOMMAND SC_CLOSE, WM_CLOSE, and a plain window is destroyed.
    SendMessageA(parent, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(g_log, (std::vector<std::string>{"parent WM_CLOSE", "parent WM_DESTROY", "a WM_DESTROY", "b WM_DESTROY",
                                               "b WM_NCDESTROY", "a WM_NCDESTROY", "c WM_DESTROY", "c WM_NCDESTROY",
                                               "parent WM_NCDESTROY"}));
    EXPECT_FALSE(IsWindow(parent));
    EXPECT_FALSE(IsWindow(a));

    g_log.clear();
    HWND check = GetDlgItem(m_dlg, 1006);
    g_original = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(check, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Subclass)));
    ASSERT_TRUE(g_original);
    CheckDlgButton(m_dlg, 1006, BST_CHECKED);
    EXPECT_EQ(g_log, std::vector<std::string>{"subclass saw BM_SETCHECK 1"});
    EXPECT_EQ(IsDlgButtonChecked(m_dlg, 1006), BST_CHECKED) << "the original procedure did its part";
    SetWindowLongPtrA(check, GWLP_USERDATA, 1234);
    EXPECT_EQ(GetWindowLongPtrA(check, GWLP_USERDATA), 1234);
    SetWindowLongPtrA(m_dlg, DWLP_USER, 99);
    EXPECT_EQ(GetWindowLongPtrA(m_dlg, DWLP_USER), 99);
}

}  // namespace
