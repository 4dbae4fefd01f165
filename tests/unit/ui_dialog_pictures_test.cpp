// Pictures of every notice and of the agreement, in both languages, written
// into the build tree as SVG; each visible control's text must be in its
// picture, so a text the dialog cannot show in its place shows up here.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "ui/CAgreementDlg.h"
#include "ui/MessageDlg.h"
#include "ui/MessageDlgResources.h"
#include "ui_dialog_fixture.h"

namespace {

using namespace ui_test;

// The texts of a picture, in drawing order, without the blanks that
// wrapping moves or drops.
std::string PictureText(const std::string& svg) {
    static const std::regex element("<text[^>]*>([^<]*)</text>");
    std::string all;
    for (std::sregex_iterator it(svg.begin(), svg.end(), element), end; it != end; ++it) all += (*it)[1].str();
    const std::pair<const char*, const char*> entities[] = {{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""},
                                                            {"&apos;", "'"}, {"&amp;", "&"}};
    for (auto& [from, to] : entities)
        for (size_t at; (at = all.find(from)) != std::string::npos;) all.replace(at, std::strlen(from), to);
    return all;
}

std::string Squeezed(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != ' ' && c != '\r' && c != '\n') out += c;
    return out;
}

class DialogPictures : public mfc_test::MfcDialogTest {
protected:
    static std::string Save(const std::string& name, const std::string& svg) {
        std::filesystem::create_directories(WINQOR_PICTURES_DIR);
        const std::string path = std::string(WINQOR_PICTURES_DIR) + "/" + name + ".svg";
        std::ofstream(path, std::ios::binary | std::ios::trunc) << svg;
        return path;
    }
    // The caption and every visible control's whole text are drawn, but
    // for a last line cut that the test names (an edit is looked at by
    // itself).
    static void ExpectAllTextsIn(HWND top, const std::string& svg, const std::string& name,
                                 const std::string& cut = "") {
        const std::string drawn = Squeezed(PictureText(svg));
        EXPECT_NE(drawn.find(Squeezed(Utf8(WindowText(top), sim::Proc().machine().codePage))), std::string::npos)
            << name << ": the caption";
        for (const sim::desktop::ControlView& v : sim::desktop::VisibleControls(top)) {
            if (v.text.empty() || v.kind == sim::desktop::Kind::Edit) continue;
            std::string text = v.text;
            if (!cut.empty() && text.size() > cut.size() && text.compare(text.size() - cut.size(), cut.size(), cut) == 0)
                text.resize(text.size() - cut.size());
            EXPECT_NE(drawn.find(Squeezed(text)), std::string::npos) << name << ": control " << v.id << " \"" << text << "\"";
        }
    }
};

TEST_F(DialogPictures, EveryNoticeShowsItsWholeText) {
    using MakeFn = std::function<std::unique_ptr<CMessageDlg>()>;
    struct Case {
        const char* name;
        MakeFn make;
        unsigned codePage;
        const char* callerText;
        // The simulated desktop draws a character in four dialog units; the
        // start notices' three paragraphs then take six rows of a static five
        // high, and the picture loses the last one. Arial and MS P Gothic are
        // narrower on Windows.
        const char* cut = "";
    } cases[] = {
        {"CWarningDlg", [] { return std::make_unique<CWarningDlg>(); }, 1252, NULL},
        {"CWarningJDlg", [] { return std::make_unique<CWarningJDlg>(); }, 932, NULL},
        {"CStartDlg", [] { return std::make_unique<CStartDlg>(); }, 1252, NULL,
         "\r\nDoing so may permanently damage your CD drive."},
        {"CStartJDlg", [] { return std::make_unique<CStartJDlg>(); }, 932, NULL,
         "\r\nCD ドライブが故障するおそれがあります。"},
        {"CEndDlg", [] { return std::make_unique<CEndDlg>(); }, 1252, NULL},
        {"CEndJDlg", [] { return std::make_unique<CEndJDlg>(); }, 932, NULL},
        {"CCancelDlg", [] { return std::make_unique<CCancelDlg>(); }, 1252, NULL},
        {"CCancelJDlg", [] { return std::make_unique<CCancelJDlg>(); }, 932, NULL},
        {"CRebootDlg-resume", [] { return std::make_unique<CRebootDlg>(); }, 1252, g_szRebootResume},
        {"CRebootDlg-run-again", [] { return std::make_unique<CRebootDlg>(); }, 1252, g_szRebootRunAgain},
        {"CRebootJDlg-resume", [] { return std::make_unique<CRebootJDlg>(); }, 932, g_szRebootResumeJ},
        {"CRebootJDlg-run-again", [] { return std::make_unique<CRebootJDlg>(); }, 932, g_szRebootRunAgainJ},
    };
    for (const Case& c : cases) {
        SetUp();
        Boot(c.codePage);
        auto dlg = c.make();
        if (c.callerText) dlg->m_strMessage = c.callerText;
        std::string svg;
        UseSteps({[&](HWND top) {
            svg = Svg(top);
            Save(c.name, svg);
            ExpectAllTextsIn(top, svg, c.name, c.cut);
            Click(top, IDOK);
        }});
        EXPECT_EQ(dlg->DoModal(), IDOK) << c.name;
        EXPECT_FALSE(svg.empty()) << c.name;
    }
}

// The agreement's text is longer than its edit: its beginning shows at the
// top and its end once the user has paged down.
TEST_F(DialogPictures, TheAgreementShowsItsBeginningAndAfterScrollingItsEnd) {
    for (unsigned codePage : {1252u, 932u}) {
        SetUp();
        Boot(codePage);
        const std::string name = codePage == 932 ? "CAgreementDlg-ja" : "CAgreementDlg-en";
        CAgreementDlg dlg;
        dlg.m_strModel = "DVD-ROM ZQ-X9046";
        const std::string text = Squeezed(Utf8(static_cast<LPCSTR>(dlg.m_strAgreement), codePage));
        UseSteps({[&](HWND top) {
            const std::string svg = Svg(top);
            Save(name + "-top", svg);
            ExpectAllTextsIn(top, svg, name);
            const std::string drawn = Squeezed(PictureText(svg));
            EXPECT_NE(drawn.find(text.substr(0, 60)), std::string::npos) << name << "\n" << drawn;
            EXPECT_EQ(drawn.find(text.substr(text.size() - 60)), std::string::npos) << name << ": all of it fits?";

            // Page Down until the end shows.
            HWND edit = GetDlgItem(top, IDC_AGREEMENT_TEXT);
            SetFocus(edit);
            int nPages = 0;
            std::string scrolled = svg;
            while (Squeezed(PictureText(scrolled)).find(text.substr(text.size() - 60)) == std::string::npos &&
                   nPages < 10) {
                SendMessageA(edit, WM_KEYDOWN, VK_NEXT, 0);
                ++nPages;
                scrolled = Svg(top);
            }
            Save(name + "-end", scrolled);
            EXPECT_TRUE(nPages >= 1 && nPages < 10) << name << ": " << nPages << " pages\n" << PictureText(scrolled);
            Click(top, IDCANCEL);
        }});
        EXPECT_EQ(dlg.DoModal(), IDCANCEL) << name;
    }
}

}  // namespace
