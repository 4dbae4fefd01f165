// Pictures of the main dialog and its about box in English and Japanese,
// as the simulated desktop draws them, and the README's copy of the
// English main dialog. Written to $WINQOR_PICTURES, else to "pictures" in
// the directory the test runs in.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "ui_update_dlg_fixture.h"

namespace {

using namespace updatedlg_test;

std::string PictureDir() {
    const char* dir = std::getenv("WINQOR_PICTURES");
    return dir && *dir ? dir : "pictures";
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Draws the window in front, checks that the caption and every visible
// control's text made it into the picture, and keeps the picture. No text
// of these dialogs holds a character that SVG would escape.
UserStep Picture(const std::string& name, std::string* svg) {
    return [name, svg](HWND top) {
        *svg = UpdateDlgTest::Svg(top);
        EXPECT_NE(svg->find(">" + UpdateDlgTest::TextOf(top) + "<"), std::string::npos) << name << ": caption";
        int texts = 0;
        for (const auto& control : sim::desktop::VisibleControls(top)) {
            if (control.text.find_first_not_of(' ') == std::string::npos) continue;
            ++texts;
            EXPECT_NE(svg->find(control.text), std::string::npos)
                << name << ": control " << control.id << " shows \"" << control.text << "\"";
        }
        EXPECT_GE(texts, 3) << name;
        std::filesystem::create_directories(PictureDir());
        std::ofstream(PictureDir() + "/" + name + ".svg", std::ios::binary | std::ios::trunc) << *svg;
        return true;
    };
}

TEST_F(UpdateDlgTest, PicturesShowEveryVisibleTextOfTheMainDialogAndTheAboutBox) {
    std::string englishMain;
    for (unsigned codePage : {1252u, 932u}) {
        const std::string language = codePage == 932 ? "ja" : "en";
        SCOPED_TRACE(language);
        Boot({NeedsUpdate()}, codePage);
        std::string main, updating, about;
        UseSteps({Picture("main-dialog-" + language, &main),
                  [&](HWND top) {
                      std::string why;
                      EXPECT_TRUE(sim::desktop::ChooseMenu(top, Say(kAboutMenu), why)) << why;
                      return true;
                  },
                  Picture("about-box-" + language, &about), [](HWND top) {
                      Key(top, VK_RETURN);
                      return true;
                  },
                  ClickOn(1006), Answer(kStartNotice, 1),
                  // A minute into the download.
                  Until([](HWND top) { return Progress(top) >= 42; }),
                  Picture("main-dialog-updating-" + language, &updating), Answer(kEndNotice, 200)});
        CUpdateDlg dlg;
        EXPECT_EQ(Run(dlg), IDOK) << AllTranscript();
        // What the menu bar says, and the bar's progress.
        EXPECT_NE(main.find("> " + std::string(Say(kAboutMenu)) + " <"), std::string::npos);
        EXPECT_NE(updating.find("<title>42</title>"), std::string::npos);
        if (codePage == 1252) englishMain = main;
    }

    // The README shows the English main dialog; a change in the dialog or
    // in the drawing asks for a new copy.
    const std::string docs = std::string(WINQOR_MACHINES_DIR) + "/../../docs/main-dialog.svg";
    EXPECT_EQ(ReadFile(docs), englishMain) << "copy " << PictureDir() << "/main-dialog-en.svg to docs/main-dialog.svg";
}

}  // namespace
