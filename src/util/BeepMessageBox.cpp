#include "BeepMessageBox.h"

const char g_szMessageCaption[] = "Firmware Update Utility";

int BeepMessageBox(LPCSTR pszText, UINT nType) {
    MessageBeep(nType & MB_ICONMASK);
    return MessageBoxA(NULL, pszText, g_szMessageCaption, nType);
}
