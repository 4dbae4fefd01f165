// The dialog manager: templates read as Windows lays them out, the modal
// loop, and the keyboard and title-bar rules a user meets.
#include "desktop_fixture.h"

namespace {

using namespace desktop_test;
using nlohmann::json;

struct Probe {
    std::vector<uint8_t> data;
    std::string text;
} g_probe;

LRESULT CALLBACK ProbeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
        g_probe.text = cs->lpszName ? cs->lpszName : "";
        g_probe.data.clear();
        if (auto* d = static_cast<const uint8_t*>(cs->lpCreateParams)) g_probe.data.assign(d, d + 6);
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void RegisterProbe() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = ProbeProc;
    wc.lpszClassName = "Probe";
    RegisterClassA(&wc);
}

struct Layout {
    std::string caption, font, okText, probeText;
    DWORD okStyle = 0;
    RECT okRect{}, okMapped{};
    int probeId = 0;
};

INT_PTR CALLBACK LayoutProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) {
        auto* l = reinterpret_cast<Layout*>(lParam);
        char text[64];
        GetWindowTextA(dlg, text, sizeof text);
        l->caption = text;
        l->font = DesktopTest::FontFace(reinterpret_cast<HFONT>(SendMessageA(dlg, WM_GETFONT, 0, 0)));
        HWND ok = GetDlgItem(dlg, IDOK);
        GetWindowTextA(ok, text, sizeof text);
        l->okText = text;
        l->okStyle = static_cast<DWORD>(GetWindowLongA(ok, GWL_STYLE));
        GetWindowRect(ok, &l->okRect);
        RECT r{10, 30, 50, 44};
        MapDialogRect(dlg, &r);
        POINT origin{0, 0};
        ClientToScreen(dlg, &origin);
        l->okMapped = {r.left + origin.x, r.top + origin.y, r.right + origin.x, r.bottom + origin.y};
        GetDlgItemTextA(dlg, 7, text, sizeof text);
        l->probeText = text;
        l->probeId = GetDlgCtrlID(GetDlgItem(dlg, 7));
        return TRUE;
    }
    if (msg == WM_COMMAND) {
        EndDialog(dlg, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

class DialogManager : public DesktopTest {};

TEST_F(DialogManager, ReadsATemplateLaidOutByHand) {
    // DLGTEMPLATE, no menu, the dialog class, "Hi", Arial 8; an OK button;
    // a "Probe" item with a string class and four bytes of creation data.
    static const uint8_t bytes[] = {
        0xC0, 0x00, 0xC8, 0x80, 0, 0, 0, 0, 2, 0, 10, 0, 20, 0, 100, 0, 50, 0,
        0, 0, 0, 0, 'H', 0, 'i', 0, 0, 0, 8, 0, 'A', 0, 'r', 0, 'i', 0, 'a', 0, 'l', 0, 0, 0,
        0, 0,  // to a DWORD boundary
        0x01, 0x00, 0x01, 0x50, 0, 0, 0, 0, 10, 0, 30, 0, 40, 0, 14, 0, 1, 0,
        0xFF, 0xFF, 0x80, 0x00, 'O', 0, 'K', 0, 0, 0, 0, 0,
        0, 0,
        0x00, 0x00, 0x00, 0x50, 0, 0, 0, 0, 60, 0, 30, 0, 30, 0, 12, 0, 7, 0,
        'P', 0, 'r', 0, 'o', 0, 'b', 0, 'e', 0, 0, 0, 'X', 0, 0, 0,
        6, 0, 0xAB, 0xCD, 0xEF, 0x01};
    alignas(4) uint8_t aligned[sizeof bytes];
    std::memcpy(aligned, bytes, sizeof bytes);
    RegisterProbe();
    UseScript(json::array({"enter"}));
    Layout l;
    INT_PTR r = DialogBoxIndirectParamA(nullptr, reinterpret_cast<LPCDLGTEMPLATEA>(aligned), nullptr, LayoutProc,
                                        reinterpret_cast<LPARAM>(&l));
    EXPECT_EQ(r, IDOK) << AllTranscript();
    EXPECT_EQ(l.caption, "Hi");
    EXPECT_EQ(l.font, "Arial 8");
    EXPECT_EQ(l.okText, "OK");
    EXPECT_EQ(l.okStyle & 0x0F, BS_DEFPUSHBUTTON);
    EXPECT_TRUE(l.okStyle & WS_CHILD);
    EXPECT_EQ(l.okRect.left, l.okMapped.left);
    EXPECT_EQ(l.okRect.top, l.okMapped.top);
    EXPECT_EQ(l.okRect.right, l.okMapped.right);
    EXPECT_EQ(l.okRect.bottom, l.okMapped.bottom);
    EXPECT_EQ(l.probeText, "X");
    EXPECT_EQ(l.probeId, 7);
    EXPECT_EQ(g_probe.data, (std::vector<uint8_t>{6, 0, 0xAB, 0xCD, 0xEF, 0x01}));
}

TEST_F(DialogManager, ReadsTheExtendedTemplate) {
    RegisterProbe();
    TemplateWriter t(kDialogStyle | WS_SYSMENU, 100, 50, "Extended", 9, "Tahoma", true);
    t.Item(0x0080, "Go", IDOK, kDefButton, 10, 30, 40, 14);
    t.NamedItem("Probe", "Y", 7, WS_CHILD | WS_VISIBLE, 60, 30, 30, 12, {1, 2, 3, 4, 5, 6});
    UseScript(json::array({"enter"}));
    Layout l;
    EXPECT_EQ(DialogBoxIndirectParamA(nullptr, t.get(), nullptr, LayoutProc, reinterpret_cast<LPARAM>(&l)), IDOK);
    EXPECT_EQ(l.caption, "Extended");
    EXPECT_EQ(l.font, "Tahoma 9");
    EXPECT_EQ(l.okText, "Go");
    EXPECT_EQ(l.probeText, "Y");
    // Extended items count only the data, and the control gets the data itself.
    EXPECT_EQ(g_probe.data, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
}

TEST_F(DialogManager, RefusesBadTemplatesWithMinusOne) {
    struct Case {
        const char* name;
        std::function<std::vector<uint32_t>()> make;
        const char* says;
    };
    auto header = [](std::vector<uint16_t> tail) {
        std::vector<uint16_t> w = {0x0080, 0x80C0, 0, 0, 0, 0, 0, 100, 50};  // style, ex, cdit 0, x, y, cx, cy
        w.insert(w.end(), tail.begin(), tail.end());
        std::vector<uint32_t> out((w.size() + 1) / 2);
        std::memcpy(out.data(), w.data(), w.size() * 2);
        return out;
    };
    const Case cases[] = {
        {"unknown class ordinal",
         [] {
             TemplateWriter t(kDialogStyle, 100, 50, "Bad", 8, "Arial");
             t.Item(0x0090, "?", 5, kButton, 1, 1, 10, 10);
             t.get();
             return t.Words();
         },
         "unknown class ordinal 0x0090"},
        {"unregistered class",
         [] {
             TemplateWriter t(kDialogStyle, 100, 50, "Bad", 8, "Arial");
             t.NamedItem("NoSuchClass", "?", 5, kButton, 1, 1, 10, 10);
             t.get();
             return t.Words();
         },
         "class NoSuchClass, id 5) could not be created"},
        {"menu resource", [&] { return header({0xFFFF, 129, 0, 0, 0}); }, "names menu resource 129"},
        {"title without an end", [&] {
             std::vector<uint16_t> tail{0, 0};
             tail.insert(tail.end(), 5000, 'A');
             return header(tail);
         },
         "the title does not end within 4096 characters"},
    };
    for (const Case& c : cases) {
        SetUp();
        auto data = c.make();
        data.resize(data.size() + 3000, 0);
        Seen seen;
        EXPECT_EQ(DialogBoxIndirectParamA(nullptr, reinterpret_cast<LPCDLGTEMPLATEA>(data.data()), nullptr, EndingProc,
                                          reinterpret_cast<LPARAM>(&seen)),
                  -1)
            << c.name;
        EXPECT_NE(AllTranscript().find(c.says), std::string::npos) << c.name << "\n" << AllTranscript();
        EXPECT_EQ(CreateDialogIndirectParamA(nullptr, reinterpret_cast<LPCDLGTEMPLATEA>(data.data()), nullptr,
                                             EndingProc, 0),
                  nullptr)
            << c.name;
    }
    EXPECT_EQ(DialogBoxIndirectParamA(nullptr, nullptr, nullptr, EndingProc, 0), -1);
}

TEST_F(DialogManager, NoFailCreateSkipsAControlThatCannotBeMade) {
    TemplateWriter t(kDialogStyle | DS_NOFAILCREATE, 100, 50, "Lenient", 8, "Arial");
    t.NamedItem("NoSuchClass", "?", 5, kButton, 1, 1, 10, 10);
    t.Item(0x0080, "OK", IDOK, kDefButton, 10, 30, 40, 14);
    UseScript(json::array({"enter"}));
    Seen seen;
    EXPECT_EQ(DialogBoxIndirectParamA(nullptr, t.get(), nullptr, EndingProc, reinterpret_cast<LPARAM>(&seen)), IDOK);
}

// What the user does and what the dialog gives back.
struct KeyCase {
    const char* name;
    DWORD style;         // added to the dialog's
    DWORD okStyle;       // added to OK's
    DWORD cancelStyle;   // added to Cancel's
    DWORD otherStyle;    // added to "Other"'s
    json script;
    INT_PTR result;
    std::vector<int> commands;
    const char* transcriptHas;
};

TEST_F(DialogManager, KeysButtonsAndTheTitleBar) {
    const KeyCase cases[] = {
        {"Enter presses the default button", 0, 0, 0, 0, {"enter"}, IDOK, {IDOK}, ""},
        {"Escape sends IDCANCEL", 0, 0, 0, 0, {"escape"}, IDCANCEL, {IDCANCEL}, ""},
        {"a button by caption", 0, 0, 0, 0, {{{"press", "Other"}}}, 3, {3}, "user: clicks \"Other\""},
        {"a button by id", 0, 0, 0, 0, {{{"press", 3}}}, 3, {3}, ""},
        {"Enter presses the push button with the focus", 0, 0, 0, 0, {"tab", "enter"}, IDCANCEL, {IDCANCEL}, ""},
        {"Tab wraps around the tab stops", 0, 0, 0, 0, {"tab", "tab", "tab", "enter"}, IDOK, {IDOK}, ""},
        {"Escape with a disabled Cancel only beeps", 0, 0, WS_DISABLED, 0, {"escape", {{"press", "Other"}}}, 3, {3},
         "beep 0x0"},
        {"with the default disabled Enter presses the button with the focus", 0, WS_DISABLED, 0, 0, {"enter"},
         IDCANCEL, {IDCANCEL}, ""},
        {"a disabled button cannot be pressed", 0, 0, 0, WS_DISABLED, {{{"press", "Other"}}, "escape"}, IDCANCEL,
         {IDCANCEL}, "it is disabled, nothing happens"},
        {"the close box gives IDCANCEL", WS_SYSMENU, 0, 0, 0, {"close"}, IDCANCEL, {IDCANCEL},
         "user: clicks the close box"},
        {"without a system menu there is no close box", 0, 0, 0, 0, {"close", {{"press", "Other"}}}, 3, {3},
         "there is none"},
        {"a disabled Cancel disables closing too", WS_SYSMENU, 0, WS_DISABLED, 0, {"close", "enter"}, IDOK, {IDOK},
         "beep 0x0"},
    };
    for (const KeyCase& c : cases) {
        SetUp();
        TemplateWriter t(kDialogStyle | c.style, 160, 60, "Keys", 8, "MS Sans Serif");
        t.Item(0x0080, "OK", IDOK, kDefButton | c.okStyle, 10, 40, 40, 14);
        t.Item(0x0080, "Cancel", IDCANCEL, kButton | c.cancelStyle, 60, 40, 40, 14);
        t.Item(0x0080, "&Other", 3, kButton | c.otherStyle, 110, 40, 40, 14);
        UseScript(c.script);
        Seen seen;
        INT_PTR r = DialogBoxIndirectParamA(nullptr, t.get(), nullptr, EndingProc, reinterpret_cast<LPARAM>(&seen));
        EXPECT_EQ(r, c.result) << c.name << "\n" << AllTranscript();
        EXPECT_EQ(seen.commands, c.commands) << c.name;
        EXPECT_NE(AllTranscript().find(c.transcriptHas), std::string::npos) << c.name << "\n" << AllTranscript();
    }
}

INT_PTR CALLBACK DefaultIdProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) SendMessageA(dlg, DM_SETDEFID, 3, 0);
    return EndingProc(dlg, msg, wParam, lParam);
}

TEST_F(DialogManager, EnterInAnEditPressesTheDefaultThatDmSetDefIdChose) {
    for (DWORD otherStyle : {0u, static_cast<unsigned>(WS_DISABLED)}) {
        SetUp();
        TemplateWriter t(kDialogStyle, 160, 60, "Default", 8, "MS Sans Serif");
        t.Item(0x0081, "", 10, WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER, 10, 10, 100, 12);
        t.Item(0x0080, "OK", IDOK, kDefButton, 10, 40, 40, 14);
        t.Item(0x0080, "Other", 3, kButton | otherStyle, 110, 40, 40, 14);
        UseScript(json::array({"enter", "escape"}));
        Seen seen;
        INT_PTR r = DialogBoxIndirectParamA(nullptr, t.get(), nullptr, DefaultIdProc, reinterpret_cast<LPARAM>(&seen));
        if (otherStyle) {
            // A disabled default button: Enter only beeps, and Escape ends it.
            EXPECT_EQ(r, IDCANCEL);
            EXPECT_EQ(Transcript("beep"), std::vector<std::string>{"beep 0x0"});
        } else {
            EXPECT_EQ(r, 3);
            EXPECT_TRUE(Transcript("beep").empty());
        }
        EXPECT_EQ(seen.commands.size(), 1u);
    }
}

TEST_F(DialogManager, OwnerIsDisabledWhileTheDialogRunsAndActiveAfter) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "Owner";
    ASSERT_TRUE(RegisterClassA(&wc));
    HWND owner = CreateWindowExA(0, "Owner", "Main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300, nullptr,
                                 nullptr, nullptr, nullptr);
    ASSERT_TRUE(owner);
    TemplateWriter t(kDialogStyle, 100, 50, "Child", 8, "Arial");
    t.Item(0x0080, "OK", IDOK, kDefButton, 10, 30, 40, 14);
    bool ownerEnabledInside = true;
    HWND activeInside = nullptr;
    UseAgent([&](HWND top) {
        ownerEnabledInside = IsWindowEnabled(owner) != FALSE;
        activeInside = GetActiveWindow();
        EXPECT_EQ(top, activeInside);
        PostMessageA(top, WM_KEYDOWN, VK_RETURN, 1);
        return true;
    });
    Seen seen;
    EXPECT_EQ(DialogBoxIndirectParamA(nullptr, t.get(), owner, EndingProc, reinterpret_cast<LPARAM>(&seen)), IDOK);
    EXPECT_FALSE(ownerEnabledInside);
    EXPECT_NE(activeInside, owner);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(GetActiveWindow(), owner);
    EXPECT_FALSE(IsWindow(activeInside)) << "the dialog is destroyed when its loop ends";
    DestroyWindow(owner);
}

TEST_F(DialogManager, ModelessDialogRunsInTheProgramsOwnLoop) {
    TemplateWriter t(kDialogStyle | WS_VISIBLE, 100, 50, "Modeless", 8, "Arial");
    t.Item(0x0080, "OK", IDOK, kDefButton, 10, 30, 40, 14);
    Seen seen;
    HWND dlg = CreateDialogIndirectParamA(nullptr, t.get(), nullptr, EndingProc, reinterpret_cast<LPARAM>(&seen));
    ASSERT_TRUE(dlg);
    EXPECT_TRUE(IsWindowVisible(dlg));
    UseScript(json::array({{{"expect", {{"window", "Modeless"}}}}, {{"press", "OK"}}}));
    MSG msg;
    while (seen.commands.empty() && GetMessageA(&msg, nullptr, 0, 0)) {
        if (!IsDialogMessageA(dlg, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    EXPECT_EQ(seen.commands, std::vector<int>{IDOK});
    EXPECT_FALSE(IsWindowVisible(dlg)) << "EndDialog hides a modeless dialog";
    EXPECT_TRUE(DestroyWindow(dlg));
    EXPECT_FALSE(IsWindow(dlg));
}

}  // namespace
