// The notices: their texts, fonts and buttons in both languages, how each
// can end and what it returns, and the guard against log-off, shut-down
// and suspend while they wait.
#include <gtest/gtest.h>

#include <functional>

#include "ui/MessageDlg.h"
#include "ui/MessageDlgResources.h"
#include "ui_dialog_fixture.h"

namespace {

using namespace ui_test;

const char CAPTION[] = "Firmware Update Utility";
const char ARIAL[] = "Arial 10";
const char GOTHIC[] = "\xEF\xBC\xAD\xEF\xBC\xB3 \xEF\xBC\xB0\xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF 10";  // ＭＳ Ｐゴシック

// The restart notices show what their caller gives them.
const char REBOOT_RESUME[] =
    "The system needs to be restarted to continue the firmware update.\r\n"
    "Follow the update instructions that appear after restarting.";
const char REBOOT_RUN_AGAIN[] =
    "The system needs to be restarted to continue the firmware update.\r\n"
    "Please run again this program after restart.";
const char REBOOT_RESUME_J[] =
    "ファームウェアを書き換えられるようシステム設定を変更して再起動します。\r\n"
    "再起動後ファームウェアのアップデートを行ってください。";
const char REBOOT_RUN_AGAIN_J[] =
    "ファームウェアを書き換えられるようシステム設定を変更して再起動します。\r\n"
    "再起動後もう一度このプログラムを実行して下さい。";

using MakeFn = std::function<std::unique_ptr<CMessageDlg>(ProbeState*)>;
template <class T>
MakeFn Make() {
    return [](ProbeState* pState) { return std::make_unique<Probe<T>>(pState); };
}

struct Notice {
    const char* cls;
    MakeFn make;
    unsigned codePage;  // the machine its caller runs it on
    UINT nIDTemplate;
    const char* callerText;  // code page bytes the caller sets, or NULL
    const char* font;
    std::vector<std::string> shown;  // UTF-8, in tab order
    INT_PTR enterResult;
};

const std::vector<Notice>& Notices() {
    static const std::vector<Notice> notices = {
        {"CWarningDlg", Make<CWarningDlg>(), 1252, 132, NULL, ARIAL,
         {"static 102: Close all applications before updating firmware.", "<button 1: OK>"}, IDOK},
        {"CWarningJDlg", Make<CWarningJDlg>(), 932, 135, NULL, GOTHIC,
         {"static 108: ファームウェアのアップデートを行う前にアプリケーションを全て終了して下さい。", "<button 1: OK>"},
         IDOK},
        {"CStartDlg", Make<CStartDlg>(), 1252, 138, NULL, ARIAL,
         {"static 113: The firmware update takes about 3 minutes.\r\nDuring the update, do NOT run other "
          "applications, shut down, or restart your PC.\r\nDoing so may permanently damage your CD drive.",
          "<button 1: OK>"},
         IDOK},
        {"CStartJDlg", Make<CStartJDlg>(), 932, 139, NULL, GOTHIC,
         {"static 114: ファームウェアのアップデートには約3 分かかります。\r\nアップデート中は他のアプリケーションの実行"
          "や、パソコンを終了・再起動させることは絶対に行わないでください。\r\nCD ドライブが故障するおそれがあります。",
          "<button 1: OK>"},
         IDOK},
        {"CEndDlg", Make<CEndDlg>(), 1252, 136, NULL, ARIAL,
         {"static 111: Firmware update complete. \r\nRetrieves setting and system restart now.", "<button 1: OK>"},
         IDOK},
        {"CEndJDlg", Make<CEndJDlg>(), 932, 137, NULL, GOTHIC,
         {"static 112: ファームウェアのアップデートが終了しました。\r\n設定を元に戻し、再起動します。", "<button 1: OK>"},
         IDOK},
        {"CCancelDlg", Make<CCancelDlg>(), 1252, 133, NULL, ARIAL,
         {"static 109: Retrieves setting and system restart now.", "<button 1: OK>"}, IDOK},
        {"CCancelJDlg", Make<CCancelJDlg>(), 932, 134, NULL, GOTHIC,
         {"static 110: 設定を元に戻しシステムを再起動します。", "<button 1: OK>"}, IDOK},
        {"CRebootDlg", Make<CRebootDlg>(), 1252, 140, g_szRebootResume, ARIAL,
         {std::string("static 105: ") + REBOOT_RESUME, "<button 1006: CANCEL>", "button 1: OK"}, IDCANCEL},
        {"CRebootJDlg", Make<CRebootJDlg>(), 932, 141, g_szRebootRunAgainJ, GOTHIC,
         {std::string("static 106: ") + REBOOT_RUN_AGAIN_J, "<button 1006: キャンセル>", "button 1: OK"}, IDCANCEL},
    };
    return notices;
}

class MessageDlgTest : public mfc_test::MfcDialogTest {};

TEST_F(MessageDlgTest, EachShowsItsTextFontAndButtonsUnderTheCommonCaption) {
    for (const Notice& n : Notices()) {
        SetUp();
        Boot(n.codePage);
        ProbeState state;
        auto dlg = n.make(&state);
        EXPECT_FALSE(dlg->m_bEnding) << n.cls;
        if (n.callerText) {
            EXPECT_TRUE(dlg->m_strMessage.IsEmpty()) << n.cls << ": the caller's text starts empty";
            dlg->m_strMessage = n.callerText;
        }
        std::string caption, font;
        std::vector<std::string> shown;
        UseSteps({[&](HWND top) {
            caption = WindowText(top);
            font = FontFace(reinterpret_cast<HFONT>(SendMessageA(top, WM_GETFONT, 0, 0)));
            shown = Shown(top);
            Click(top, IDOK);
        }});
        EXPECT_EQ(dlg->DoModal(), IDOK) << n.cls << "\n" << AllTranscript();
        EXPECT_EQ(state.nIDTemplate, n.nIDTemplate) << n.cls;
        EXPECT_EQ(caption, CAPTION) << n.cls;
        EXPECT_EQ(Utf8(font, n.codePage), n.font) << n.cls;
        EXPECT_EQ(shown, n.shown) << n.cls;
        // OK read the static back into the member.
        EXPECT_EQ(Utf8(static_cast<LPCSTR>(dlg->m_strMessage), n.codePage),
                  n.shown[0].substr(n.shown[0].find(": ") + 2))
            << n.cls;
    }
}

TEST_F(MessageDlgTest, TheRestartTextsForTheCallerReadInTheirLanguage) {
    struct Case {
        const char* text;
        unsigned codePage;
        const char* utf8;
    } cases[] = {
        {g_szRebootResume, 1252, REBOOT_RESUME},
        {g_szRebootRunAgain, 1252, REBOOT_RUN_AGAIN},
        {g_szRebootResumeJ, 932, REBOOT_RESUME_J},
        {g_szRebootRunAgainJ, 932, REBOOT_RUN_AGAIN_J},
    };
    for (const Case& c : cases) EXPECT_EQ(Utf8(c.text, c.codePage), c.utf8);
}

// Escape, the hidden IDCANCEL and a close box that is not there leave each
// notice waiting and refusing; only its own buttons end it, and from then
// on the system's requests take their normal course.
TEST_F(MessageDlgTest, RefusesTheSessionsEndAndSuspendUntilAButtonEndsIt) {
    enum How { kOK, kEnter, kCancelButton };
    for (const Notice& n : Notices()) {
        const bool bRestart = n.nIDTemplate == IDD_REBOOT || n.nIDTemplate == IDD_REBOOTJ;
        for (How how : {kOK, kEnter, kCancelButton}) {
            if (how == kCancelButton && !bRestart) continue;
            const std::string name = std::string(n.cls) + (how == kOK ? " OK" : how == kEnter ? " Enter" : " CANCEL");
            SetUp();
            Boot(n.codePage);
            ProbeState state;
            auto dlg = n.make(&state);
            std::vector<std::string> answers;
            std::vector<std::pair<UINT, WPARAM>> reached;
            bool bCloseBox = true;
            UseSteps({
                [&](HWND top) {
                    answers = SendAllBroadcasts(top);
                    reached = state.reached;
                    Key(top, VK_ESCAPE);
                },
                [&](HWND top) { PostMessageA(top, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0); },
                [&](HWND top) {
                    std::string why;
                    bCloseBox = sim::desktop::ClickCloseBox(top, why);
                    if (bCloseBox) return;
                    if (how == kEnter)
                        Key(top, VK_RETURN);
                    else
                        Click(top, how == kOK ? IDOK : IDC_REBOOT_CANCEL);
                },
            });
            const INT_PTR expected = how == kOK ? IDOK : how == kEnter ? n.enterResult : IDCANCEL;
            EXPECT_EQ(dlg->DoModal(), expected) << name << "\n" << AllTranscript();
            EXPECT_FALSE(bCloseBox) << name;
            EXPECT_EQ(answers, RefusedAnswers()) << name;
            EXPECT_EQ(reached, PassedWhileWaiting()) << name;
            EXPECT_TRUE(dlg->m_bEnding) << name;
            EXPECT_EQ(state.answersAfterEnd, DefaultAnswers()) << name;
            EXPECT_EQ(state.reachedAfterEnd, PassedOnceEnding()) << name;
        }
    }
}

// Transcribed rectangles stay inside their dialog and the visible controls
// do not cover one another; the text sits above the buttons.
TEST(MessageDlgTemplates, ControlsLieInsideTheirDialogWithoutOverlapping) {
    const AFX_DLGDESC* descs[] = {&g_dlgWarning, &g_dlgWarningJ, &g_dlgStart,  &g_dlgStartJ, &g_dlgEnd,
                                  &g_dlgEndJ,    &g_dlgCancel,   &g_dlgCancelJ, &g_dlgReboot, &g_dlgRebootJ};
    for (const AFX_DLGDESC* d : descs) {
        EXPECT_EQ(d->dwStyle & (WS_SYSMENU | WS_VISIBLE), 0u) << d->nIDTemplate << ": no close box";
        for (int i = 0; i < d->nItems; ++i) {
            const AFX_DLGITEM& a = d->pItems[i];
            EXPECT_TRUE(a.x >= 0 && a.y >= 0 && a.x + a.cx <= d->cx && a.y + a.cy <= d->cy)
                << d->nIDTemplate << " item " << a.nID;
            if (!(a.dwStyle & WS_VISIBLE)) continue;
            for (int j = i + 1; j < d->nItems; ++j) {
                const AFX_DLGITEM& b = d->pItems[j];
                if (!(b.dwStyle & WS_VISIBLE)) continue;
                const bool bApart = a.x + a.cx <= b.x || b.x + b.cx <= a.x || a.y + a.cy <= b.y || b.y + b.cy <= a.y;
                EXPECT_TRUE(bApart) << d->nIDTemplate << ": " << a.nID << " and " << b.nID;
                if (std::string(a.pszClass) == "STATIC") {
                    EXPECT_LE(a.y + a.cy, b.y) << d->nIDTemplate;
                }
            }
        }
    }
}

TEST(MessageDlgTemplates, RegisteredUnderTheirIdsWithTheStringsOfTheirStatics) {
    RegisterMessageDlgResources();
    const std::pair<UINT, const char*> strings[] = {{102, "warning"}, {105, "reboot"}, {106, "rebootj"},
                                                    {108, "warningj"}, {109, "cancel"}, {110, "cancelj"},
                                                    {111, "end"},     {112, "endj"},   {113, "start"},
                                                    {114, "startj"}};
    for (UINT nID = IDD_WARNING; nID <= IDD_REBOOTJ; ++nID) {
        const AFX_DLGDESC* d = AfxFindDialogTemplate(nID);
        ASSERT_NE(d, nullptr) << nID;
        EXPECT_EQ(d->nIDTemplate, nID);
        CString s;
        EXPECT_TRUE(s.LoadString(static_cast<UINT>(d->pItems[0].nID))) << nID;
        bool bListed = false;
        for (auto& [nText, psz] : strings) bListed |= nText == static_cast<UINT>(d->pItems[0].nID) && s == psz;
        EXPECT_TRUE(bListed) << nID << ": " << static_cast<LPCSTR>(s);
    }
}

}  // namespace
