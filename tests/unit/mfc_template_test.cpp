// The template builder's bytes against the documented DLGTEMPLATE layout,
// its refusals, and the registered descriptions and strings found by id.
#include <gtest/gtest.h>

#include "mfc_dialog_fixture.h"

namespace {

using namespace mfc_test;
using nlohmann::json;

std::vector<BYTE> Build(const AFX_DLGDESC& desc) {
    std::vector<BYTE> bytes = {0xEE};  // must be replaced, not appended to
    EXPECT_TRUE(AfxBuildDialogTemplate(desc, bytes));
    return bytes;
}

TEST(DialogTemplate, BytesFollowTheDocumentedLayout) {
    // Two items: a button by class ordinal, a progress bar by class name
    // with id -1; a font, so DS_SETFONT is added and the face follows.
    static const AFX_DLGITEM twoItems[] = {
        {"Button", u"OK", IDOK, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 10, 30, 40, 14},
        {PROGRESS_CLASSA, nullptr, -1, WS_VISIBLE | WS_BORDER, 60, 30, 30, 12},
    };
    const AFX_DLGDESC withFont = {0,  WS_POPUP | WS_CAPTION | DS_MODALFRAME, WS_EX_APPWINDOW, 0, 0, 100, 50, u"Hi",
                                  u"Arial", 8, twoItems, 2};
    const std::vector<BYTE> withFontBytes = {
        0xC0, 0x00, 0xC0, 0x80, 0x00, 0x00, 0x04, 0x00,  // style with DS_SETFONT, WS_EX_APPWINDOW
        0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x64, 0x00, 0x32, 0x00,  // 2 items at 0,0, 100 x 50
        0x00, 0x00, 0x00, 0x00,                          // no menu, the dialog class
        'H', 0, 'i', 0, 0, 0,                            // caption
        0x08, 0x00, 'A', 0, 'r', 0, 'i', 0, 'a', 0, 'l', 0, 0, 0,  // 8 points, face
        0x00, 0x00,                                      // to a DWORD boundary (44)
        0x01, 0x00, 0x01, 0x50, 0x00, 0x00, 0x00, 0x00,  // WS_CHILD added
        0x0A, 0x00, 0x1E, 0x00, 0x28, 0x00, 0x0E, 0x00, 0x01, 0x00,
        0xFF, 0xFF, 0x80, 0x00,                          // the button ordinal
        'O', 0, 'K', 0, 0, 0,                            // text
        0x00, 0x00,                                      // no creation data
        0x00, 0x00,                                      // to a DWORD boundary (76)
        0x00, 0x00, 0x80, 0x50, 0x00, 0x00, 0x00, 0x00,
        0x3C, 0x00, 0x1E, 0x00, 0x1E, 0x00, 0x0C, 0x00, 0xFF, 0xFF,
        'm', 0, 's', 0, 'c', 0, 't', 0, 'l', 0, 's', 0, '_', 0, 'p', 0, 'r', 0,
        'o', 0, 'g', 0, 'r', 0, 'e', 0, 's', 0, 's', 0, '3', 0, '2', 0, 0, 0,  // class by name
        0x00, 0x00,                                      // empty text
        0x00, 0x00,                                      // no creation data
    };
    // No font, no caption; an icon static whose text is resource ordinal 128.
    static const AFX_DLGITEM iconItem[] = {{"static", nullptr, -1, SS_ICON, 6, 22, 20, 20, 0, 128}};
    const AFX_DLGDESC noFont = {0, WS_POPUP | WS_CAPTION, 0, 5, 6, 7, 8, nullptr, nullptr, 0, iconItem, 1};
    const std::vector<BYTE> noFontBytes = {
        0x00, 0x00, 0xC0, 0x80, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00,
        0x05, 0x00, 0x06, 0x00, 0x07, 0x00, 0x08, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00,              // menu, class, empty caption: already on 24
        0x03, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00, 0x00,
        0x06, 0x00, 0x16, 0x00, 0x14, 0x00, 0x14, 0x00, 0xFF, 0xFF,
        0xFF, 0xFF, 0x82, 0x00,                          // the static ordinal, whatever the case
        0xFF, 0xFF, 0x80, 0x00,                          // the icon's ordinal as text
        0x00, 0x00,
    };
    EXPECT_EQ(Build(withFont), withFontBytes);
    EXPECT_EQ(Build(noFont), noFontBytes);
}

TEST(DialogTemplate, RefusesWhatCannotBeWritten) {
    static const AFX_DLGITEM noClass[] = {{nullptr, u"x", 1, 0, 0, 0, 1, 1}};
    static const AFX_DLGITEM emptyClass[] = {{"", u"x", 1, 0, 0, 0, 1, 1}};
    static const AFX_DLGITEM nonAscii[] = {{"Kn\xF6pfe", u"x", 1, 0, 0, 0, 1, 1}};
    static const AFX_DLGITEM fine[] = {{"BUTTON", u"x", 1, 0, 0, 0, 1, 1}};
    struct Case {
        const char* name;
        const AFX_DLGITEM* items;
        int count;
    } cases[] = {
        {"no class", noClass, 1},           {"an empty class", emptyClass, 1},
        {"a class that is not ASCII", nonAscii, 1}, {"a negative count", fine, -1},
        {"items missing", nullptr, 1},      {"more items than a WORD counts", fine, 0x10000},
    };
    for (const Case& c : cases) {
        const AFX_DLGDESC desc = {0, WS_POPUP, 0, 0, 0, 10, 10, u"", nullptr, 0, c.items, c.count};
        std::vector<BYTE> bytes = {1, 2, 3};
        EXPECT_FALSE(AfxBuildDialogTemplate(desc, bytes)) << c.name;
        EXPECT_TRUE(bytes.empty()) << c.name;
    }
}

TEST(DialogTemplate, StyleIsReadFromEitherKindOfTemplate) {
    const std::vector<BYTE> standard = Build(kForm);
    EXPECT_EQ(AfxGetTemplateStyle(reinterpret_cast<LPCDLGTEMPLATEA>(standard.data())),
              kForm.dwStyle | DS_SETFONT);
    // DLGTEMPLATEEX: version 1, 0xFFFF, help id, extended style, style.
    alignas(4) const BYTE extended[] = {1, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x08, 0xC8, 0x80};
    EXPECT_EQ(AfxGetTemplateStyle(reinterpret_cast<LPCDLGTEMPLATEA>(extended)), 0x80C80800u);
}

// ---------------------------------------------------------------------------
// Resources by id.

const AFX_DLGDESC* const kDialogs[] = {&kForm};
const AFX_STRINGRES kStrings[] = {{101, "&About Quillon..."}, {107, "timer"}};
const AFX_STRINGRES kMoreStrings[] = {{107, "not this one"}, {115, "nowstatus"}};

class ResourcesTest : public MfcDialogTest {};

TEST_F(ResourcesTest, ARegisteredDescriptionRunsByItsTemplateId) {
    AfxRegisterDialogTemplates(kDialogs, 1);
    AfxRegisterDialogTemplates(kDialogs, 1);  // again: nothing changes
    EXPECT_EQ(AfxFindDialogTemplate(200), &kForm);
    EXPECT_EQ(AfxFindDialogTemplate(201), nullptr);
    UseScript(json::array({{{"expect", {{"window", "Form"}}}}, "enter"}));
    CDialog dlg(200);
    EXPECT_EQ(dlg.DoModal(), IDOK) << AllTranscript();
}

TEST_F(ResourcesTest, AReadyMadeTemplateRunsThroughInitModalIndirect) {
    const std::vector<BYTE> bytes = Build(kForm);
    UseScript(json::array({{{"expect", {{"window", "Form"}}}}, "escape"}));
    CDialog dlg;
    EXPECT_FALSE(dlg.InitModalIndirect(NULL));
    ASSERT_TRUE(dlg.InitModalIndirect(reinterpret_cast<LPCDLGTEMPLATEA>(bytes.data())));
    EXPECT_EQ(dlg.DoModal(), IDCANCEL) << AllTranscript();
}

TEST_F(ResourcesTest, StringsLoadByIdAndTheFirstTableWins) {
    AfxRegisterStringTable(kStrings, 2);
    AfxRegisterStringTable(kMoreStrings, 2);
    struct Case {
        UINT id;
        BOOL loaded;
        const char* text;
    } cases[] = {{101, TRUE, "&About Quillon..."}, {107, TRUE, "timer"}, {115, TRUE, "nowstatus"}, {5, FALSE, ""}};
    for (const Case& c : cases) {
        CString s = "before";
        EXPECT_EQ(s.LoadString(c.id), c.loaded) << c.id;
        EXPECT_EQ(s, c.text) << c.id;
    }
}

}  // namespace
