// USER32 calls that need no window: message boxes as the run records them,
// beeps, the screen saver setting and the shutdown request.
#include <cstring>

#include "../core/Process.h"
#include "../core/Text.h"
#include "win32.h"

using sim::Proc;

namespace {
std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}
}  // namespace

extern "C" {

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    auto& proc = Proc();
    unsigned cp = proc.machine().codePage;
    proc.Log("message box \"" + sim::ToUtf8(caption ? caption : "Error", cp) + "\": \"" +
             Escape(sim::ToUtf8(text ? text : "", cp)) + "\" -> OK");
    return IDOK;
}

BOOL WINAPI MessageBeep(UINT type) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "beep 0x%X", type);
    Proc().Log(buffer);
    return TRUE;
}

BOOL WINAPI SystemParametersInfoA(UINT action, UINT param, PVOID data, UINT winIni) {
    auto& proc = Proc();
    auto& m = proc.machine();
    switch (action) {
        case SPI_GETSCREENSAVEACTIVE:
            if (!data) {
                proc.SetLastError(ERROR_INVALID_PARAMETER);
                return FALSE;
            }
            *static_cast<BOOL*>(data) = m.screenSaverActive ? TRUE : FALSE;
            return TRUE;
        case SPI_SETSCREENSAVEACTIVE:
            m.screenSaverActive = param != 0;
            proc.Log(std::string("screen saver switched ") + (param ? "on" : "off"));
            return TRUE;
        default:
            proc.SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
    }
}

}  // extern "C"
