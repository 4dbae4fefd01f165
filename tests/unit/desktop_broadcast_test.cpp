// The system's end-session and power messages reach the waiting dialog, and
// its answer is recorded: a guarded dialog refuses until it ends itself.
#include "desktop_fixture.h"

namespace {

using namespace desktop_test;
using nlohmann::json;

// Refuses end-session and suspend until a button is pressed, in the manner
// of the updater's own dialogs.
INT_PTR CALLBACK GuardedProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_QUERYENDSESSION:
        case WM_ENDSESSION:
            SetWindowLongPtrA(dlg, DWLP_MSGRESULT, 0);
            return TRUE;
        case WM_POWER:
            if (wParam != PWR_SUSPENDREQUEST) return FALSE;
            SetWindowLongPtrA(dlg, DWLP_MSGRESULT, PWR_FAIL);
            return TRUE;
        case WM_POWERBROADCAST:
            if (wParam != PBT_APMQUERYSUSPEND && wParam != PBT_APMQUERYSTANDBY) return FALSE;
            SetWindowLongPtrA(dlg, DWLP_MSGRESULT, BROADCAST_QUERY_DENY);
            return TRUE;
        default:
            return EndingProc(dlg, msg, wParam, lParam);
    }
}

class Broadcasts : public DesktopTest {};

TEST_F(Broadcasts, AnswersAreRecordedAndCheckedByTheScript) {
    struct Case {
        const char* broadcast;
        const char* guarded;   // the answer of the guarded dialog
        const char* ordinary;  // the answer of the default handling
        const char* message;
    };
    const Case cases[] = {
        {"queryendsession", "refused", "allowed", "WM_QUERYENDSESSION"},
        {"logoff", "refused", "allowed", "WM_QUERYENDSESSION"},
        {"endsession", "noted", "noted", "WM_ENDSESSION"},
        {"suspendrequest", "refused", "allowed", "WM_POWER"},
        {"querysuspend", "denied", "allowed", "WM_POWERBROADCAST"},
        {"querystandby", "denied", "allowed", "WM_POWERBROADCAST"},
        {"resumesuspend", "noted", "noted", "WM_POWERBROADCAST"},
    };
    for (const Case& c : cases) {
        for (bool guarded : {true, false}) {
            SetUp();
            TemplateWriter t(kDialogStyle, 160, 50, "Guarded", 8, "Arial");
            t.Item(0x0080, "OK", IDOK, kDefButton, 55, 30, 50, 14);
            const char* answer = guarded ? c.guarded : c.ordinary;
            UseScript(json::array({{{"broadcast", c.broadcast}, {"answer", answer}}, "enter"}));
            Seen seen;
            EXPECT_EQ(DialogBoxIndirectParamA(nullptr, t.get(), nullptr, guarded ? GuardedProc : EndingProc,
                                              reinterpret_cast<LPARAM>(&seen)),
                      IDOK)
                << c.broadcast << "\n" << AllTranscript();
            auto lines = Transcript("system:");
            ASSERT_EQ(lines.size(), 1u) << c.broadcast;
            EXPECT_EQ(lines[0].rfind(std::string("system: sends ") + c.message + " (" + c.broadcast +
                                         ") to the dialog \"Guarded\": " + answer,
                                     0),
                      0u)
                << lines[0];
        }
    }
}

TEST_F(Broadcasts, AWrongAnswerEndsTheRunNamingTheWindow) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            TemplateWriter t(kDialogStyle, 160, 50, "Unguarded", 8, "Arial");
            t.Item(0x0080, "OK", IDOK, kDefButton, 55, 30, 50, 14);
            UseScript(json::array({{{"broadcast", "querysuspend"}, {"answer", "denied"}}}));
            DialogBoxIndirectParamA(nullptr, t.get(), nullptr, EndingProc, 0);
        },
        ::testing::ExitedWithCode(71),
        "script step 1 .* failed in the dialog \"Unguarded\": the answer was \"allowed\", not \"denied\"");
}

}  // namespace
