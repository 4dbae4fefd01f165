// Dialog descriptions and the in-memory DLGTEMPLATE made from them.
//
// The program carries its dialogs as data rather than as compiled
// resources. A description gives what a resource script would: the
// dialog's caption, style, font and size, and its controls with class,
// text, id, style and rectangle in dialog units. Texts that go into the
// template are UTF-16, as a template stores them, so u"..." literals work
// whatever the code page; the menu is made with AppendMenuA, so its texts
// are ANSI like every other text the program sets at run time.
//
//   static const AFX_DLGITEM s_items[] = {
//       {"STATIC", u"Firmware update complete.", 111, WS_VISIBLE | WS_GROUP | SS_LEFT, 7, 7, 153, 24},
//       {"BUTTON", u"OK", IDOK, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 57, 34, 50, 14},
//   };
//   const AFX_DLGDESC g_dlgEnd = {136, WS_POPUP | WS_CAPTION | DS_MODALFRAME, 0, 0, 0, 167, 55,
//                                 u"", u"Arial", 10, s_items, 2};
#pragma once
#include <vector>

#include "win32.h"

struct AFX_DLGITEM {
    // "BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR" and "COMBOBOX", in
    // any case, become the template's class ordinals; any other class (the
    // progress bar's "msctls_progress32") is written by name. ASCII only.
    LPCSTR pszClass;
    const char16_t* pszText;  // NULL: empty
    int nID;                  // -1 for a control nothing refers to
    DWORD dwStyle;            // WS_CHILD is always added
    short x, y, cx, cy;
    DWORD dwExStyle = 0;
    // Non-zero: instead of text, this resource ordinal (an SS_ICON's icon).
    WORD nResourceID = 0;
};

struct AFX_DLGMENUITEM {
    LPCSTR pszText;  // NULL with MF_SEPARATOR
    UINT nID;
    UINT nFlags = MF_STRING;
};

struct AFX_DLGDESC {
    UINT nIDTemplate;  // the id CDialog(nIDTemplate) finds it by once registered
    DWORD dwStyle;     // DS_SETFONT is added when there is a font
    DWORD dwExStyle;
    short x, y, cx, cy;
    const char16_t* pszCaption;  // NULL: empty
    const char16_t* pszFace;     // NULL: no font in the template, the system's
    WORD wPointSize;
    const AFX_DLGITEM* pItems;
    int nItems;
    // A menu bar of commands, put on the window before OnInitDialog; the
    // window grows by its height, so the client area keeps the size above.
    const AFX_DLGMENUITEM* pMenu = NULL;
    int nMenuItems = 0;
};

// Fills bytes with a standard template: DLGTEMPLATE on the first byte (the
// vector's storage is DWORD-aligned), then no menu, the dialog class, the
// caption and, with a font, its point size and face; each DLGITEMTEMPLATE
// on a DWORD boundary followed by its class, its text and an empty
// creation-data array, all in WORDs. FALSE, with bytes empty, for a
// description that cannot be written (a missing or non-ASCII class name,
// more than 65535 items).
BOOL AfxBuildDialogTemplate(const AFX_DLGDESC& desc, std::vector<BYTE>& bytes);

// The style of a DLGTEMPLATE or DLGTEMPLATEEX.
DWORD AfxGetTemplateStyle(LPCDLGTEMPLATEA lpTemplate);

// Descriptions found by template id, as a module's resources would be.
// Tables are kept by reference: give static data. The first registered
// description of an id wins; registering the same table again does nothing.
void AfxRegisterDialogTemplates(const AFX_DLGDESC* const* ppDescs, int nCount);
const AFX_DLGDESC* AfxFindDialogTemplate(UINT nIDTemplate);

// The string table, read by CString::LoadString. Same rules as above.
struct AFX_STRINGRES {
    UINT nID;
    LPCSTR pszText;
};
void AfxRegisterStringTable(const AFX_STRINGRES* pStrings, int nCount);
LPCSTR AfxFindString(UINT nID);
