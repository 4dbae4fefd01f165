// Pictures of a window, as text and as SVG, show what its visible controls
// show now and nothing of the hidden ones.
#include "desktop_fixture.h"

namespace {

using namespace desktop_test;

// The characters either side of a caption in a text picture.
std::string Framing(const std::string& picture, const std::string& caption) {
    size_t at = picture.find(caption);
    if (at == std::string::npos) return "";
    size_t left = picture.find_last_not_of(' ', at - 1);
    size_t right = picture.find_first_not_of(' ', at + caption.size());
    return std::string(1, picture[left]) + picture[right];
}

class Drawing : public DesktopTest {
protected:
    HWND MakeUpdateLikeDialog(const std::string& start = "Start Update", const std::string& label = "CD-Drive") {
        m_t = std::make_unique<TemplateWriter>(WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT | WS_VISIBLE, 310,
                                               106, "Firmware Update Utility", 14, "FixedSys");
        m_t->Item(0x0085, "", 1000, WS_CHILD | WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST, 134, 7, 169, 95);
        m_t->Item(0x0082, label, 104, WS_CHILD | WS_VISIBLE | SS_RIGHT, 67, 7, 65, 11);
        m_t->Item(0x0080, start, 1006, kButton | WS_DISABLED, 185, 67, 77, 17);
        m_t->Item(0x0080, "CANCEL", 1007, kDefButton, 268, 67, 36, 17);
        m_t->Item(0x0082, "Scan Complete.", 115, kText, 5, 79, 172, 9);
        m_t->NamedItem(PROGRESS_CLASSA, "", 1012, WS_CHILD | WS_VISIBLE | WS_BORDER, 4, 90, 300, 10);
        m_t->Item(0x0081, "secret", 1004, WS_CHILD | ES_READONLY | WS_BORDER, 18, 10, 6, 12);
        HWND dlg = CreateDialogIndirectParamA(nullptr, m_t->get(), nullptr, EndingProc, 0);
        SendDlgItemMessageA(dlg, 1000, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("0:1: VALTORA  DVD-ROM ZQ-X9046"));
        SendDlgItemMessageA(dlg, 1000, CB_SETCURSEL, 0, 0);
        SendDlgItemMessageA(dlg, 1012, PBM_SETPOS, 50, 0);
        return dlg;
    }
    std::unique_ptr<TemplateWriter> m_t;
};

TEST_F(Drawing, TextPictureShowsTheLiveStateOfVisibleControls) {
    HWND dlg = MakeUpdateLikeDialog();
    auto lines = Draw(dlg);
    std::string all;
    for (auto& l : lines) all += l + "\n";
    for (const char* shown : {"Firmware Update Utility", "CD-Drive", "[0:1: VALTORA  DVD-ROM ZQ-X9046", "|v]",
                              "Scan Complete."})
        EXPECT_NE(all.find(shown), std::string::npos) << shown << "\n" << all;
    EXPECT_EQ(Framing(all, "Start Update"), "()") << "disabled\n" << all;
    EXPECT_EQ(Framing(all, "CANCEL"), "<>") << "the default button\n" << all;
    EXPECT_EQ(all.find("secret"), std::string::npos) << "a hidden control is not drawn\n" << all;
    EXPECT_EQ(all.find("[X]"), std::string::npos) << "no system menu, no close box";
    // 310 x 106 dialog units are 78 x 13 cells inside the frame.
    ASSERT_EQ(lines.size(), 15u) << all;
    for (auto& l : lines) EXPECT_EQ(Cells(l), 80) << l;
    // The progress bar stands at half its width.
    const std::string& bar = lines[12];
    size_t from = bar.find('['), to = bar.find(']', from);
    ASSERT_NE(from, std::string::npos) << bar;
    const std::string inner = bar.substr(from + 1, to - from - 1);
    EXPECT_EQ(std::count(inner.begin(), inner.end(), '#'), static_cast<long>(inner.size() / 2)) << bar;

    // The picture follows the controls.
    EnableWindow(GetDlgItem(dlg, 1006), TRUE);
    SetDlgItemTextA(dlg, 115, "Now Updating...");
    all.clear();
    for (auto& l : Draw(dlg)) all += l + "\n";
    EXPECT_EQ(Framing(all, "Start Update"), "[]") << all;
    EXPECT_NE(all.find("Now Updating..."), std::string::npos) << all;
    EXPECT_EQ(all.find("Scan Complete."), std::string::npos) << all;
}

TEST_F(Drawing, SvgShowsTheSameTextsAndTheProgress) {
    HWND dlg = MakeUpdateLikeDialog();
    const std::string svg = Svg(dlg);
    EXPECT_EQ(svg.rfind("<svg ", 0), 0u);
    for (const char* shown : {"Firmware Update Utility", "CD-Drive", "0:1: VALTORA  DVD-ROM ZQ-X9046", "Start Update",
                              "CANCEL", "Scan Complete.", "FixedSys"})
        EXPECT_NE(svg.find(shown), std::string::npos) << shown;
    EXPECT_EQ(svg.find("secret"), std::string::npos);
    EXPECT_NE(svg.find("<title>50</title>"), std::string::npos) << "the progress position";
    EXPECT_NE(svg.find("fill=\"#808080\" text-anchor=\"middle\">Start Update"), std::string::npos)
        << "a disabled button's caption is grey";
}

TEST_F(Drawing, JapaneseTextTakesTwoCellsACharacter) {
    Boot(932);
    // CD ドライブ and アップデート開始 come from a template in UTF-16.
    HWND dlg = MakeUpdateLikeDialog("\xE3\x82\xA2\xE3\x83\x83\xE3\x83\x97\xE3\x83\x87\xE3\x83\xBC\xE3\x83\x88\xE9\x96\x8B\xE5\xA7\x8B",
                                    "CD \xE3\x83\x89\xE3\x83\xA9\xE3\x82\xA4\xE3\x83\x96");
    char label[32];
    GetDlgItemTextA(dlg, 104, label, sizeof label);
    EXPECT_STREQ(label, "CD \x83\x68\x83\x89\x83\x43\x83\x75") << "the program reads the code page's bytes";
    auto lines = Draw(dlg);
    std::string all;
    for (auto& l : lines) all += l + "\n";
    EXPECT_NE(all.find("CD \xE3\x83\x89\xE3\x83\xA9\xE3\x82\xA4\xE3\x83\x96"), std::string::npos) << all;
    EXPECT_NE(all.find("\xE3\x82\xA2\xE3\x83\x83\xE3\x83\x97\xE3\x83\x87\xE3\x83\xBC\xE3\x83\x88\xE9\x96\x8B\xE5\xA7\x8B"),
              std::string::npos)
        << all;
    for (auto& l : lines) EXPECT_EQ(Cells(l), 80) << l;
}

TEST_F(Drawing, AWindowIsDrawnIntoTheTranscriptWhenItFirstShows) {
    TemplateWriter t(kDialogStyle | WS_SYSMENU, 160, 40, "Notice", 8, "Arial");
    t.Item(0x0082, "Close all applications before updating firmware.", 102, kText, 7, 3, 150, 16);
    t.Item(0x0080, "OK", IDOK, kDefButton, 55, 22, 50, 14);
    UseScript(nlohmann::json::array({"draw", "enter"}));
    Seen seen;
    EXPECT_EQ(DialogBoxIndirectParamA(nullptr, t.get(), nullptr, EndingProc, reinterpret_cast<LPARAM>(&seen)), IDOK);
    auto shows = Transcript("screen: the dialog \"Notice\"");
    ASSERT_EQ(shows.size(), 2u) << "once as it shows, once on request";
    const std::string all = AllTranscript();
    EXPECT_NE(all.find("  += Notice ="), std::string::npos) << all;
    EXPECT_NE(all.find("[X]+"), std::string::npos) << "a system menu brings the close box\n" << all;
    EXPECT_NE(all.find("  |  Close all applications before"), std::string::npos) << all;
}

}  // namespace
