// USER32 calls around the windows: message boxes, beeps, system parameters
// and wsprintf.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "../core/Process.h"
#include "../desktop/Dialogs.h"
#include "win32.h"

using sim::Proc;

namespace {

// wsprintf's own small format language: no floating point, 32-bit "l".
int Format(char* out, const char* format, va_list args) {
    constexpr size_t kLimit = 1024;
    std::string result;
    for (const char* p = format; *p && result.size() < kLimit; ++p) {
        if (*p != '%') {
            result += *p;
            continue;
        }
        std::string desc = "%";
        ++p;
        while (*p == '-' || *p == '#' || *p == '0') desc += *p++;
        while (*p >= '0' && *p <= '9') desc += *p++;
        if (*p == '.') {
            desc += *p++;
            while (*p >= '0' && *p <= '9') desc += *p++;
        }
        bool wide = false;
        if (*p == 'h' || *p == 'l') {
            ++p;
        } else if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
            wide = true;
            p += 3;
        }
        char piece[1100];
        switch (*p) {
            case 'd': case 'i': case 'u': case 'x': case 'X':
                if (wide) {
                    desc += "ll";
                    desc += *p;
                    std::snprintf(piece, sizeof piece, desc.c_str(), va_arg(args, long long));
                } else {
                    desc += *p;
                    std::snprintf(piece, sizeof piece, desc.c_str(), va_arg(args, int));
                }
                break;
            case 'c': case 'C':
                desc += 'c';
                std::snprintf(piece, sizeof piece, desc.c_str(), va_arg(args, int));
                break;
            case 's': case 'S': {
                const char* text = va_arg(args, const char*);
                desc += 's';
                std::snprintf(piece, sizeof piece, desc.c_str(), text ? text : "(null)");
                break;
            }
            case 'p':
                std::snprintf(piece, sizeof piece, "%08lX", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(va_arg(args, void*))));
                break;
            case '\0':
                --p;
                piece[0] = '\0';
                break;
            default:
                piece[0] = *p;
                piece[1] = '\0';
                break;
        }
        result += piece;
    }
    if (result.size() > kLimit - 1) result.resize(kLimit - 1);
    std::memcpy(out, result.c_str(), result.size() + 1);
    return static_cast<int>(result.size());
}

}  // namespace

extern "C" {

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    return sim::desktop::RunMessageBox(owner, text, caption, type);
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
        case SPI_GETWORKAREA:
            if (!data) {
                proc.SetLastError(ERROR_INVALID_PARAMETER);
                return FALSE;
            }
            *static_cast<RECT*>(data) = {0, 0, sim::desktop::kScreenWidth, sim::desktop::kScreenHeight};
            return TRUE;
        default:
            proc.SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
    }
}

int WINAPI wvsprintfA(LPSTR out, LPCSTR format, va_list args) {
    if (!out || !format) return -1;
    return Format(out, format, args);
}

int WINAPIV wsprintfA(LPSTR out, LPCSTR format, ...) {
    if (!out || !format) return -1;
    va_list args;
    va_start(args, format);
    int n = Format(out, format, args);
    va_end(args);
    return n;
}

}  // extern "C"
