// The dialog manager: dialogs made from a read template, the modal loop,
// the keyboard interface and the message box.
#pragma once
#include <string>

#include "DialogTemplate.h"
#include "Desktop.h"

namespace sim::desktop {

struct DialogOptions {
    bool modal = false;
    bool messageBox = false;
    UINT boxType = 0;
};

// Creates the dialog and its controls and runs WM_INITDIALOG. Null, with
// the reason in error, when something in the template cannot be made.
HWND CreateDialogFromSpec(const DialogSpec& desc, HINSTANCE instance, HWND owner, DLGPROC proc, LPARAM param,
                          const DialogOptions& options, std::string& error);
// Runs the modal loop until EndDialog; owner is disabled meanwhile.
INT_PTR RunModal(HWND dialog, HWND owner);
// A message box as a modal dialog; writes its line to the transcript.
int RunMessageBox(HWND owner, const char* text, const char* caption, UINT type);

DLGPROC DialogProcOf(const Window& w);
void SetDialogProc(Window& w, DLGPROC proc);
LONG_PTR MessageResultOf(const Window& w);
void SetMessageResult(Window& w, LONG_PTR value);

// The next control that Tab reaches (visible, enabled, a tab stop).
HWND NextTabItem(HWND dialog, HWND control, bool previous);
// Gives a control the focus the way the dialog manager does: an edit
// control gets its text selected.
void FocusControl(HWND control);
// The default button's id as DM_GETDEFID reports it, or 0.
int DefaultId(HWND dialog);
// The name of a message box answer for the transcript.
const char* AnswerName(int id);

}  // namespace sim::desktop
