// A message box after a beep of the same type, for what the user must see
// even from the worker thread: no owner window.
#pragma once
#include "win32.h"

// The caption every message box of the program carries.
extern const char g_szMessageCaption[];

int BeepMessageBox(LPCSTR pszText, UINT nType);
