// A loop that can never go on ends the run with the window's name, a failed
// expectation says what the user saw, and a malformed script is refused.
#include "desktop_fixture.h"

namespace {

using namespace desktop_test;
using nlohmann::json;

class EndlessLoops : public DesktopTest {
protected:
    void SetUp() override {
        DesktopTest::SetUp();
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        m_t = std::make_unique<TemplateWriter>(kDialogStyle, 160, 50, "Waiting Forever", 8, "Arial");
        m_t->Item(0x0082, "Please wait.", 100, kText, 5, 5, 150, 9);
        m_t->Item(0x0080, "OK", IDOK, kDefButton | WS_DISABLED, 55, 30, 50, 14);
    }
    INT_PTR Run() { return DialogBoxIndirectParamA(nullptr, m_t->get(), nullptr, EndingProc, 0); }
    std::unique_ptr<TemplateWriter> m_t;
};

TEST_F(EndlessLoops, NoTimerNoThreadAndNobodyAtTheMachine) {
    EXPECT_EXIT(Run(), ::testing::ExitedWithCode(70),
                "the program waits forever in the dialog \"Waiting Forever\": no timer runs, no other thread can wake "
                "it, and no user is at the machine");
}

TEST_F(EndlessLoops, TheScriptRanOut) {
    EXPECT_EXIT(
        {
            UseScript(json::array({{{"expect", "Please wait."}}}));
            Run();
        },
        ::testing::ExitedWithCode(70), "waits forever in the dialog \"Waiting Forever\".*the script has no steps left");
}

TEST_F(EndlessLoops, TheConsentingUserFindsNothingToPress) {
    EXPECT_EXIT(
        {
            UseConsentingUser();
            Run();
        },
        ::testing::ExitedWithCode(70), "waits forever in the dialog \"Waiting Forever\".*nothing in the dialog .* can "
                                       "sensibly be pressed");
}

DWORD WINAPI Sleeper(LPVOID) {
    Sleep(5000);
    return 0;
}

TEST_F(EndlessLoops, AWorkerThatEndsLeavesTheLoopHopeless) {
    EXPECT_EXIT(
        {
            CloseHandle(CreateThread(nullptr, 0, Sleeper, nullptr, 0, nullptr));
            Run();
        },
        ::testing::ExitedWithCode(70), "waits forever in the dialog \"Waiting Forever\"");
}

INT_PTR CALLBACK TickingForeverProc(HWND dlg, UINT msg, WPARAM, LPARAM) {
    if (msg == WM_INITDIALOG) SetTimer(dlg, 1, 60000, nullptr);
    return msg == WM_INITDIALOG || msg == WM_TIMER;
}

TEST_F(EndlessLoops, ATimerThatChangesNothingForAnHour) {
    EXPECT_EXIT(DialogBoxIndirectParamA(nullptr, m_t->get(), nullptr, TickingForeverProc, 0),
                ::testing::ExitedWithCode(70),
                "the program has shown nothing new in the dialog \"Waiting Forever\" for an hour of virtual time");
}

TEST_F(EndlessLoops, AFailedExpectationSaysWhatTheUserSaw) {
    EXPECT_EXIT(
        {
            UseScript(json::array({{{"expect", {{"text", "Update Complete."}, {"within", 30}}}}}));
            Run();
        },
        ::testing::ExitedWithCode(71),
        "script step 1 .* failed in the dialog \"Waiting Forever\": expected the text \"Update Complete.\" in the "
        "dialog \"Waiting Forever\" \\(it shows \"Waiting Forever\", \"Please wait.\", \"OK\"\\)");
}

TEST_F(EndlessLoops, WaitingForATextLetsVirtualTimeRun) {
    // The text shows after a minute; the user waits up to two for it.
    static const auto proc = [](HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) -> INT_PTR {
        if (msg == WM_INITDIALOG) SetTimer(dlg, 1, 60000, nullptr);
        if (msg == WM_TIMER) {
            KillTimer(dlg, 1);
            SetDlgItemTextA(dlg, 100, "Update Complete.");
            EnableWindow(GetDlgItem(dlg, IDOK), TRUE);
            return TRUE;
        }
        return EndingProc(dlg, msg, wParam, lParam);
    };
    UseScript(json::array({{{"wait", {{"text", "Update Complete."}, {"within", 120}}}},
                           {{"expect", {{"enabled", "OK"}}}},
                           {{"press", "OK"}}}));
    Seen seen;
    const uint64_t start = Now();
    EXPECT_EQ(DialogBoxIndirectParamA(nullptr, m_t->get(), nullptr, proc, reinterpret_cast<LPARAM>(&seen)), IDOK)
        << AllTranscript();
    EXPECT_EQ(Now() - start, 60000u);
}

TEST_F(EndlessLoops, MalformedScriptsAreRefusedWithTheStep) {
    struct Case {
        json script;
        const char* says;
    };
    const Case cases[] = {
        {json::object(), "a script is a list of steps"},
        {{"enter", "jump"}, "step 2: unknown step \"jump\""},
        {{{{"prss", "OK"}}}, "step 1: no action (known: expect, press"},
        {{{{"press", "OK"}, {"key", "enter"}}}, "one action a step"},
        {{{{"press", "OK"}, {"answer", "x"}}}, "\"answer\" does not go with \"press\""},
        {{{{"key", "F13"}}}, "\"key\" is one of"},
        {{{{"wait", -1}}}, "\"wait\" is a number of seconds from 0 to 86400"},
        {{{{"broadcast", "shutdown"}}}, "\"broadcast\" is one of queryendsession, logoff"},
        {{{{"expect", {{"colour", "red"}}}}}, "unknown expectation \"colour\""},
        {{{{"expect", {{"kind", "popup"}}}}}, "\"kind\" is \"dialog\", \"message box\" or \"window\""},
        {{{{"pick", -2}}}, "\"pick\" names an entry"},
        {{{{"close", false}}}, "\"close\" is true"},
    };
    for (const Case& c : cases) EXPECT_NE(ScriptProblem(c.script).find(c.says), std::string::npos) << c.script.dump() << ": " << ScriptProblem(c.script);
    EXPECT_EQ(ScriptProblem(json::array({"enter", {{"pick", "VALTORA"}, {"in", 1000}}, {{"snapshot", "main"}},
                                         {{"broadcast", "logoff"}, {"answer", "refused"}}, {{"menu", "About"}},
                                         {{"wait", 2.5}}})),
              "");
}

}  // namespace
