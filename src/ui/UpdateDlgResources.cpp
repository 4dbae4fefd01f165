#include "ui/UpdateDlgResources.h"

namespace {

const DWORD DIALOG_FRAME = WS_POPUP | WS_CAPTION | DS_MODALFRAME;
const DWORD HIDDEN_EDIT = ES_READONLY | ES_AUTOHSCROLL | WS_DISABLED;

// The revision fields and the statics that named them once showed versions
// side by side; the dialog keeps them hidden and judges the drive itself.
const AFX_DLGITEM g_aUpdateItems[] = {
    {"COMBOBOX", NULL, IDC_DRIVE_LIST, WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 134, 7, 169, 95},
    {"STATIC", NULL, IDC_DRIVE_LABEL, WS_VISIBLE | SS_RIGHT | SS_CENTERIMAGE, 67, 7, 65, 11},
    {"STATIC", NULL, IDC_NOTES, WS_VISIBLE | SS_LEFT, 8, 36, 58, 24},
    {"BUTTON", u"Start Update", IDC_START_UPDATE, WS_VISIBLE | WS_TABSTOP | WS_DISABLED | BS_PUSHBUTTON, 185, 67, 77, 17},
    {"BUTTON", u"CANCEL", IDC_CANCEL_UPDATE, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 268, 67, 36, 17},
    {"STATIC", NULL, IDC_STATUS, WS_VISIBLE | SS_LEFT | SS_CENTERIMAGE, 5, 79, 172, 9},
    {PROGRESS_CLASSA, NULL, IDC_PROGRESS, WS_VISIBLE | WS_BORDER, 4, 90, 300, 10},
    {"EDIT", NULL, IDC_DRIVE_REVISION, HIDDEN_EDIT | WS_BORDER, 18, 10, 6, 12},
    {"EDIT", NULL, IDC_TARGET_REVISION, HIDDEN_EDIT | ES_CENTER, 8, 7, 6, 12},
    {"EDIT", NULL, IDC_FIRM_VERSION, HIDDEN_EDIT | WS_BORDER, 13, 7, 6, 12},
    {"EDIT", NULL, 1010, HIDDEN_EDIT, 22, 8, 6, 12},
    {"EDIT", NULL, 1011, HIDDEN_EDIT, 25, 8, 7, 12},
    {"STATIC", u"Current Firmware Version", -1, SS_LEFT, 10, 8, 4, 4},
    {"BUTTON", u"Update Firmware Ver.", -1, BS_GROUPBOX, 9, 7, 5, 5},
    {"BUTTON", NULL, IDCANCEL, WS_DISABLED | BS_PUSHBUTTON, 7, 7, 6, 8},
};

const AFX_DLGMENUITEM g_aUpdateMenu[] = {
    {"About", ID_APP_ABOUT},
};

const AFX_DLGITEM g_aAboutItems[] = {
    {"STATIC", NULL, -1, WS_VISIBLE | SS_ICON, 6, 22, 20, 20, 0, IDR_MAINFRAME},
    // Wide enough for the whole name and version at the system font's
    // average character width, not only at MS Sans Serif's narrow letters.
    {"STATIC", u"Firmware Update Utility", -1, WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 18, 8, 92, 8},
    {"STATIC", u"Ver.5.2.0", -1, WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 152, 8, 36, 8},
    {"STATIC", u"Copyright (C) VALTORA. All rights reserved.", -1, WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 4, 48, 196, 8},
    {"BUTTON", u"OK", IDOK, WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_DEFPUSHBUTTON, 158, 22, 34, 16},
    {"EDIT", NULL, IDC_ABOUT_MODEL, WS_VISIBLE | ES_READONLY | ES_AUTOHSCROLL, 40, 22, 92, 10},
    {"EDIT", NULL, IDC_ABOUT_FIRM_VERSION, ES_READONLY | ES_AUTOHSCROLL | WS_BORDER, 84, 34, 64, 12},
    {"STATIC", u"Firm Version", -1, SS_LEFT, 38, 36, 42, 8},
};

const AFX_STRINGRES g_aUpdateStrings[] = {
    {IDS_ABOUTBOX, "&About Quillon..."},
    {IDC_NOTES, "notes"},
    {IDC_DRIVE_LABEL, "target"},
    {static_cast<UINT>(IDT_UPDATE), "timer"},
    {IDC_STATUS, "nowstatus"},
};

template <class T, int N>
constexpr int CountOf(const T (&)[N]) {
    return N;
}

}  // namespace

// The caption is set at initialisation, with the model in it.
const AFX_DLGDESC g_dlgUpdate = {IDD_UPDATE_DIALOG,
                                 DIALOG_FRAME | DS_CENTER | DS_CENTERMOUSE | DS_3DLOOK,
                                 WS_EX_APPWINDOW,
                                 0,
                                 0,
                                 310,
                                 106,
                                 u"",
                                 u"FixedSys",
                                 14,
                                 g_aUpdateItems,
                                 CountOf(g_aUpdateItems),
                                 g_aUpdateMenu,
                                 CountOf(g_aUpdateMenu)};

const AFX_DLGDESC g_dlgAbout = {IDD_ABOUTBOX,
                                DIALOG_FRAME | WS_SYSMENU,
                                0,
                                0,
                                0,
                                207,
                                61,
                                u"About  Firmware Update Utility",
                                u"MS Sans Serif",
                                10,
                                g_aAboutItems,
                                CountOf(g_aAboutItems)};

void RegisterUpdateDlgResources() {
    static const AFX_DLGDESC* const s_apDescs[] = {&g_dlgAbout, &g_dlgUpdate};
    AfxRegisterDialogTemplates(s_apDescs, CountOf(s_apDescs));
    AfxRegisterStringTable(g_aUpdateStrings, CountOf(g_aUpdateStrings));
}
