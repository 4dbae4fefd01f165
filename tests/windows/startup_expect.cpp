// Says which message boxes WINQOR.EXE should show on this system when it
// starts, from the same system calls the program makes: the version, the
// ASPI manager on Windows 98/ME, the power status, the drives. It knows no
// drive of ours, so it answers only for a system without optical drives
// (Wine has none) and says so otherwise.
//
// Output, one line each, texts escaped (\xHH outside printable ASCII):
//   static=TEXT   a box of the static objects' construction, before the checks
//   box=TEXT      the box the start-up checks end with
//   info=...      what the answer rests on
#include <windows.h>

#include <mbctype.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Escape.h"

namespace {

// Source texts are UTF-8; the program shows code page 932 bytes on a
// Japanese system, so the Japanese texts are converted here on the system
// itself rather than copied from the program.
std::string Text(const char* english, const wchar_t* japanese) {
    if (_getmbcp() != 932) return english;
    char out[512];
    int n = WideCharToMultiByte(932, 0, japanese, -1, out, sizeof out, NULL, NULL);
    return n > 0 ? std::string(out, n - 1) : std::string("<no code page 932>");
}

// The ASPI manager as the drive access layer loads it at construction.
bool AspiReady(int& adapters) {
    adapters = 0;
    HMODULE module = LoadLibraryA("wnaspi32.dll");
    if (!module) return false;
    typedef DWORD(__cdecl * SupportInfo)(void);
    SupportInfo info = reinterpret_cast<SupportInfo>(GetProcAddress(module, "GetASPI32SupportInfo"));
    bool ready = false;
    if (info) {
        DWORD result = info();
        if (HIBYTE(LOWORD(result)) == 1) {
            adapters = LOBYTE(result);
            ready = GetProcAddress(module, "SendASPI32Command") != NULL;
        }
    }
    FreeLibrary(module);
    return ready;
}

}  // namespace

int main() {
    std::vector<std::string> statics;
    std::string box;
    std::printf("info=code page %d\n", _getmbcp());

    OSVERSIONINFOA osvi = {};
    osvi.dwOSVersionInfoSize = sizeof osvi;
    if (!GetVersionExA(&osvi)) {
        const std::string m1 = Text("Cannot get operationg system information.",
                                    L"\u30AA\u30DA\u30EC\u30FC\u30C6\u30A3\u30F3\u30B0\u30B7\u30B9\u30C6\u30E0"
                                    L"\u306E\u60C5\u5831\u3092\u53D6\u5F97\u3067\u304D\u307E\u305B\u3093\u3002");
        std::printf("info=GetVersionExA failed\nstatic=%s\nbox=%s\n", Escape(m1).c_str(), Escape(m1).c_str());
        return 0;
    }
    std::printf("info=platform %lu, version %lu.%lu\n", osvi.dwPlatformId, osvi.dwMajorVersion, osvi.dwMinorVersion);
    const bool nt = osvi.dwPlatformId == VER_PLATFORM_WIN32_NT;
    if (!nt && osvi.dwPlatformId != VER_PLATFORM_WIN32_WINDOWS) {
        std::printf("box=%s\n", Escape(Text("Win32s or unknown operating system.",
                                            L"Win32s \u307E\u305F\u306F\u4E0D\u660E\u306AOS \u3067\u3059\u3002"))
                                        .c_str());
        return 0;
    }

    int adapters = 0;
    if (!nt) {
        bool ready = AspiReady(adapters);
        std::printf("info=ASPI manager %s, %d host adapters\n", ready ? "ready" : "not ready", adapters);
        if (!ready)
            statics.push_back(Text("ASPI Initialize Fail!", L"ASPI\u521D\u671F\u5316\u306B\u5931\u6557\u3057\u307E\u3057\u305F\u3002"));
    }
    for (const auto& s : statics) std::printf("static=%s\n", Escape(s).c_str());

    if (!nt || osvi.dwMajorVersion >= 5) {
        SYSTEM_POWER_STATUS power = {};
        if (!GetSystemPowerStatus(&power)) {
            std::printf("info=GetSystemPowerStatus failed\nbox=%s\n",
                        Escape(Text("Cannot get the power status of the system.\r\n Update abort.",
                                    L"\u30B7\u30B9\u30C6\u30E0\u306E\u96FB\u6E90\u72B6\u614B\u3092\u53D6\u5F97"
                                    L"\u3067\u304D\u307E\u305B\u3093\u3002\r\n\u30A2\u30C3\u30D7\u30C7\u30FC"
                                    L"\u30C8\u3092\u4E2D\u65AD\u3057\u307E\u3059\u3002"))
                            .c_str());
            return 0;
        }
        std::printf("info=ACLineStatus %u\n", power.ACLineStatus);
        if (power.ACLineStatus != 1) {
            std::printf("box=%s\n", Escape(Text("Try again after AC adapter connect the system.",
                                                L"\u30B7\u30B9\u30C6\u30E0\u306BAC \u96FB\u6E90\u3092\u63A5\u7D9A"
                                                L"\u3057\u3066\u518D\u5EA6\u5B9F\u884C\u3057\u3066\u304F\u3060"
                                                L"\u3055\u3044\u3002"))
                                        .c_str());
            return 0;
        }
    }

    // Optical drives: letters on the NT family, ASPI adapters on 98/ME.
    std::string letters;
    for (char c = 'A'; c <= 'Z'; ++c) {
        char root[] = {c, ':', '\\', 0};
        if (GetDriveTypeA(root) == DRIVE_CDROM) letters += c;
    }
    std::printf("info=CD-ROM letters [%s]\n", letters.c_str());
    if ((nt && !letters.empty()) || (!nt && adapters > 0)) {
        std::printf("info=optical drives present: their INQUIRY decides between two answers\nbox=unknown\n");
        return 1;
    }
    std::printf("box=%s\n", Escape(Text("Could not be found CD-Drive for this program.",
                                        L"\u3053\u306E\u30D7\u30ED\u30B0\u30E9\u30E0\u306B\u5BFE\u5FDC\u3057\u305F"
                                        L"CD \u30C9\u30E9\u30A4\u30D6\u304C\u898B\u3064\u304B\u308A\u307E\u305B\u3093"
                                        L"\u3002"))
                                .c_str());
    return 0;
}
