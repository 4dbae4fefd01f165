// MessageBoxA is a modal window with the buttons of its type; the user
// answers it, and the transcript keeps the line tests and winsim read.
#include "desktop_fixture.h"

namespace {

using namespace desktop_test;
using nlohmann::json;

class MessageBoxes : public DesktopTest {};

TEST_F(MessageBoxes, TheConsentingUserPressesOkAndTheBoxIsDrawnFirst) {
    UseConsentingUser();
    EXPECT_EQ(MessageBoxA(nullptr, "Not Support.", "Firmware Update Utility", MB_OK), IDOK);
    EXPECT_EQ(Transcript("message box"),
              std::vector<std::string>{"message box \"Firmware Update Utility\": \"Not Support.\" -> OK"});
    const std::string all = AllTranscript();
    const size_t shown = all.find("screen: the message box \"Firmware Update Utility\" shows");
    const size_t pressed = all.find("user: clicks \"OK\"");
    ASSERT_NE(shown, std::string::npos) << all;
    ASSERT_NE(pressed, std::string::npos) << all;
    EXPECT_LT(shown, pressed);
    EXPECT_NE(all.find("Not Support."), std::string::npos);
    EXPECT_EQ(GetActiveWindow(), nullptr) << "the box is gone";
}

TEST_F(MessageBoxes, ButtonsEscapeAndCloseBoxFollowTheType) {
    struct Case {
        const char* name;
        UINT type;
        json script;
        int result;
        const char* transcriptHas;
    };
    const Case cases[] = {
        {"Escape in an OK box gives OK", MB_OK, {"escape"}, IDOK, ""},
        {"the close box of an OK box gives OK", MB_OK | MB_ICONHAND, {"close"}, IDOK, "user: clicks the close box"},
        {"Escape gives Cancel", MB_OKCANCEL, {"escape"}, IDCANCEL, ""},
        {"Enter gives the first button", MB_OKCANCEL, {"enter"}, IDOK, ""},
        {"Enter gives the second button when it is the default", MB_YESNOCANCEL | MB_DEFBUTTON2, {"enter"}, IDNO, ""},
        {"Escape does nothing without Cancel", MB_YESNO, {"escape", {{"press", "No"}}}, IDNO, "user: clicks \"No\""},
        {"no Cancel, no working close box", MB_ABORTRETRYIGNORE, {"close", {{"press", 5}}}, IDIGNORE,
         "it is disabled, nothing happens"},
        {"Retry", MB_RETRYCANCEL, {{{"expect", {{"text", {"Disk full", "Retry", "Cancel"}}, {"kind", "message box"}}}},
                                   {{"press", "Retry"}}},
         IDRETRY, "user: sees what step 1 expects"},
    };
    for (const Case& c : cases) {
        SetUp();
        UseScript(c.script);
        EXPECT_EQ(MessageBoxA(nullptr, "Disk full", "Caption", c.type), c.result) << c.name << "\n" << AllTranscript();
        EXPECT_NE(AllTranscript().find(c.transcriptHas), std::string::npos) << c.name << "\n" << AllTranscript();
    }
}

TEST_F(MessageBoxes, TheOwnerWaitsDisabledAndComesBackActive) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "Owner";
    RegisterClassA(&wc);
    HWND owner = CreateWindowExA(0, "Owner", "Main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300, nullptr, nullptr,
                                 nullptr, nullptr);
    HWND other = CreateWindowExA(0, "Owner", "Other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300, nullptr,
                                 nullptr, nullptr, nullptr);
    SetActiveWindow(owner);
    bool ownerEnabled = true, otherEnabled = false;
    UseAgent([&](HWND box) {
        ownerEnabled = IsWindowEnabled(owner) != FALSE;
        otherEnabled = IsWindowEnabled(other) != FALSE;
        PostMessageA(GetFocus(), WM_KEYDOWN, VK_RETURN, 1);
        return true;
    });
    EXPECT_EQ(MessageBoxA(owner, "text", "caption", MB_OK), IDOK);
    EXPECT_FALSE(ownerEnabled);
    EXPECT_TRUE(otherEnabled) << "only the owner waits";
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(GetActiveWindow(), owner);
    // A task-modal box without an owner holds up every window of the thread.
    EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", MB_OK | MB_TASKMODAL), IDOK);
    EXPECT_FALSE(ownerEnabled);
    EXPECT_FALSE(otherEnabled);
    EXPECT_TRUE(IsWindowEnabled(other));
    EXPECT_EQ(MessageBoxA(reinterpret_cast<HWND>(0x12345678), "text", "caption", MB_OK), 0) << "no such owner";
}

TEST_F(MessageBoxes, JapaneseBoxesHaveJapaneseButtonsTheConsentingUserStillFinds) {
    Boot(932);
    UseConsentingUser();
    const char* question = "\x8D\xC4\x8B\x4E\x93\xAE\x82\xB5\x82\xDC\x82\xB7\x82\xA9\x81\x48";  // 再起動しますか？ in CP932
    EXPECT_EQ(MessageBoxA(nullptr, question, "Firmware Update Utility", MB_YESNO), IDYES);
    const std::string all = AllTranscript();
    EXPECT_NE(all.find("\xE5\x86\x8D\xE8\xB5\xB7\xE5\x8B\x95\xE3\x81\x97\xE3\x81\xBE\xE3\x81\x99\xE3\x81\x8B"),
              std::string::npos)
        << "the text shows in UTF-8\n" << all;
    EXPECT_NE(all.find("\xE3\x81\xAF\xE3\x81\x84(Y)"), std::string::npos) << "はい(Y) is drawn\n" << all;
    EXPECT_NE(all.find("-> Yes"), std::string::npos);
}

}  // namespace
