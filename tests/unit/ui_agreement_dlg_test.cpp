// The agreement: its caption, buttons and text in the language of the code
// page, the ways it ends and what they return, a text the user cannot
// change, and the guard while it waits.
#include <gtest/gtest.h>

#include "ui/CAgreementDlg.h"
#include "ui_dialog_fixture.h"

namespace {

using namespace ui_test;

const char MODEL[] = "DVD-ROM ZQ-X9046";
const char CAPTION[] = "Firmware Update Utility For  DVD-ROM ZQ-X9046";

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2)
        lines.push_back(text.substr(start, at - start));
    lines.push_back(text.substr(start));  // after the last "\r\n": empty
    return lines;
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// What stands in the text whatever the wording of the preamble and the
// terms: their place, the instructions and the trademark line.
struct Language {
    unsigned codePage;
    const char* agree;
    const char* notAgree;
    const char* instructionsHead;
    int firstTerm;  // line of "1) " of the terms
    std::vector<std::string> instructions;
    const char* trademark;
    int trailingBreaks;
    size_t models;
};

const Language ENGLISH = {
    1252,
    "I Agree",
    "Not Agree",
    "[Instructions]",
    2,
    {"1) This program is for use only with the \"DVD-ROM ZQ-X9046\".  It cannot be used with any other model.",
     "2) This program can be run under Windows(R) 98 Second Edition, Windows(R) Millennium Edition, Windows(R) 2000, "
     "Windows(R) XP.",
     "3) Using under Windows(R) 2000 or Windows(R) XP, please log on used \"Administrator Group user\", then you run "
     "this program.",
     "4) Please close all other applications before starting firmware update.",
     "5) Verify that no media is installed in the \"DVD-ROM ZQ-X9046\".",
     "6) Do not turn off the power supply or reset the system while updating the firmware.",
     "7) This program may be unable to update some previous versions of firmware."},
    "  Windows is registered trademark of Microsoft Corporation in the United States and/or other countries.",
    1,
    2,
};

const Language JAPANESE = {
    932,
    "合意する",
    "合意しない",
    "[注意事項]",
    1,
    {"1) 本プログラムは\"DVD-ROM ZQ-X9046\" 専用です。他のモデルではご使用になれません。",
     "2) 本プログラムはWindows (R) 98 Second Edition 、Windows (R) Millennium Edition 、Windows (R) 2000 、"
     "Windows (R) XP でお使い下さい。",
     "3) Windows (R) 2000 またはWindows (R) XP でお使いの場合は、\"Administrators グループのユーザー\" でログオンし、"
     "本プログラムを実行して下さい。",
     "4) ファームウェアアップデート前に他のアプリケーションは全て終了させておいて下さい。",
     "5) ファームウェアアップデート前にドライブからディスクを取り出しておいて下さい。",
     "6) ファームウェアアップデート中はコンピュータ及びドライブの電源を切らないで下さい。",
     "7) 現在のファームウェアのバージョンによっては、本プログラムでアップデートできない場合があります。"},
    "  Windows は、米国Microsoft Corporation の米国及びその他の国における登録商標です。",
    2,
    1,
};

class AgreementDlgTest : public mfc_test::MfcDialogTest {};

TEST_F(AgreementDlgTest, ShowsCaptionButtonsAndTextInTheLanguageOfTheCodePage) {
    for (const Language* lang : {&ENGLISH, &JAPANESE}) {
        SetUp();
        Boot(lang->codePage);
        CAgreementDlg dlg;
        dlg.m_strModel = MODEL;
        EXPECT_FALSE(dlg.m_bEnding);
        const std::string text = Utf8(static_cast<LPCSTR>(dlg.m_strAgreement), lang->codePage);
        std::string caption, shownText;
        std::vector<std::string> buttons;
        UseSteps({[&](HWND top) {
            caption = WindowText(top);
            CString strShown;
            AfxGetWindowText(GetDlgItem(top, IDC_AGREEMENT_TEXT), strShown);
            shownText = Utf8(static_cast<LPCSTR>(strShown), lang->codePage);
            for (const std::string& line : Shown(top))
                if (line.rfind("button", 0) == 0 || line.rfind("<button", 0) == 0) buttons.push_back(line);
            Click(top, IDOK);
        }});
        EXPECT_EQ(dlg.DoModal(), IDOK) << AllTranscript();
        EXPECT_EQ(caption, CAPTION) << lang->codePage;
        // "I Agree" is no tab stop, so the focus and the default stay on "Not Agree".
        EXPECT_EQ(buttons, (std::vector<std::string>{std::string("button 1: ") + lang->agree,
                                                     std::string("<button 2: ") + lang->notAgree + ">"}))
            << lang->codePage;
        EXPECT_EQ(shownText, text) << lang->codePage;

        // Below the limit of the data exchange, so "I Agree" always ends it.
        EXPECT_LT(dlg.m_strAgreement.GetLength(), 2000) << lang->codePage;
        EXPECT_EQ(Count(text, MODEL), lang->models) << lang->codePage;
        EXPECT_EQ(Count(text, "%"), 0u) << lang->codePage;
        const std::vector<std::string> lines = Lines(text);
        const int first = lang->firstTerm;
        const int head = first + 5;
        ASSERT_EQ(lines.size(), static_cast<size_t>(head + 1 + 7 + 2 + lang->trailingBreaks)) << text;
        EXPECT_NE(lines[0].find(lang->agree), std::string::npos) << "the preamble names the button: " << lines[0];
        if (first == 2) {
            EXPECT_EQ(lines[1], "") << "a blank line before the terms";
        }
        for (int i = 0; i < 4; ++i) EXPECT_EQ(lines[first + i].rfind(std::to_string(i + 1) + ") ", 0), 0u) << lines[first + i];
        EXPECT_EQ(lines[first + 4], "");
        EXPECT_EQ(lines[head], lang->instructionsHead);
        for (int i = 0; i < 7; ++i) EXPECT_EQ(lines[head + 1 + i], lang->instructions[i]);
        EXPECT_EQ(lines[head + 8], "");
        EXPECT_EQ(lines[head + 9], lang->trademark);
        for (size_t i = head + 10; i < lines.size(); ++i) EXPECT_EQ(lines[i], "") << "ends in line breaks";
    }
}

// Each way out, with the guard before it and the normal course after it.
TEST_F(AgreementDlgTest, OnlyIAgreeGivesOneAndEveryOtherWayOutGivesTwo) {
    struct Case {
        const char* name;
        std::function<void(HWND)> act;
        INT_PTR result;
    } cases[] = {
        {"I Agree", [](HWND top) { Click(top, IDOK); }, IDOK},
        {"Not Agree", [](HWND top) { Click(top, IDCANCEL); }, IDCANCEL},
        {"Enter", [](HWND top) { Key(top, VK_RETURN); }, IDCANCEL},
        {"Escape", [](HWND top) { Key(top, VK_ESCAPE); }, IDCANCEL},
        {"the close box",
         [](HWND top) {
             std::string why;
             EXPECT_TRUE(sim::desktop::ClickCloseBox(top, why)) << why;
         },
         IDCANCEL},
    };
    for (unsigned codePage : {1252u, 932u}) {
        for (const Case& c : cases) {
            SetUp();
            Boot(codePage);
            ProbeState state;
            Probe<CAgreementDlg> dlg(&state);
            dlg.m_strModel = MODEL;
            std::vector<std::string> answers;
            std::vector<std::pair<UINT, WPARAM>> reached;
            UseSteps({[&](HWND top) {
                answers = SendAllBroadcasts(top);
                reached = state.reached;
                c.act(top);
            }});
            EXPECT_EQ(dlg.DoModal(), c.result) << c.name << " " << codePage << "\n" << AllTranscript();
            EXPECT_EQ(state.nIDTemplate, IDD_AGREEMENT);
            EXPECT_EQ(answers, RefusedAnswers()) << c.name;
            EXPECT_EQ(reached, PassedWhileWaiting()) << c.name;
            EXPECT_TRUE(dlg.m_bEnding) << c.name;
            EXPECT_EQ(state.answersAfterEnd, DefaultAnswers()) << c.name;
            EXPECT_EQ(state.reachedAfterEnd, PassedOnceEnding()) << c.name;
        }
    }
}

// The user may scroll and select but not type: what OK reads back is the
// text as it was formatted.
TEST_F(AgreementDlgTest, TheTextCanBeScrolledAndSelectedButNotChanged) {
    CAgreementDlg dlg;
    dlg.m_strModel = MODEL;
    const CString strFormatted = dlg.m_strAgreement;
    int nFirstLine = -1;
    DWORD dwSel = 0;
    UseSteps({[&](HWND top) {
        HWND edit = GetDlgItem(top, IDC_AGREEMENT_TEXT);
        SetFocus(edit);
        SendMessageA(edit, WM_KEYDOWN, VK_NEXT, 0);
        nFirstLine = static_cast<int>(SendMessageA(edit, EM_GETFIRSTVISIBLELINE, 0, 0));
        SendMessageA(edit, EM_SETSEL, 3, 10);
        dwSel = static_cast<DWORD>(SendMessageA(edit, EM_GETSEL, 0, 0));
        SendMessageA(edit, WM_CHAR, 'x', 0);
        SendMessageA(edit, WM_CHAR, VK_BACK, 0);
        Click(top, IDOK);
    }});
    EXPECT_EQ(dlg.DoModal(), IDOK) << AllTranscript();
    EXPECT_GT(nFirstLine, 0) << "Page Down scrolls";
    EXPECT_EQ(LOWORD(dwSel), 3);
    EXPECT_EQ(HIWORD(dwSel), 10);
    EXPECT_EQ(dlg.m_strAgreement, strFormatted);
}

}  // namespace
