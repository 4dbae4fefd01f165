// Conformance machines on Windows (and Wine): the running system is the one
// machine there is. A test asks for a family and an administrator or not;
// what this system is not, it cannot become, so such a test is skipped.
#include <windows.h>

#include "Fixture.h"

namespace conformance {
namespace {

bool RunningFamily(Family& family, std::string& reason) {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info)) {
        reason = "GetVersionExA failed";
        return false;
    }
    if (info.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        family = Family::NT;
    } else if (info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        family = Family::Win98;
    } else {
        reason = "platform " + std::to_string(info.dwPlatformId) + " is neither family";
        return false;
    }
    return true;
}

// Member of the Administrators group in this process's token. Windows 98 has
// no accounts: every user may do everything there, so the question is NT's.
bool IsAdministrator() {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = NULL;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                  &admins))
        return false;
    BOOL member = FALSE;
    if (!CheckTokenMembership(NULL, admins, &member)) member = FALSE;
    FreeSid(admins);
    return member != FALSE;
}

}  // namespace

bool UseMachine(const MachineKind& kind, std::string& reason) {
    Family family;
    if (!RunningFamily(family, reason)) return false;
    if (family != kind.family) {
        reason = std::string("this system is of the ") + FamilyName(family) + " family, the test wants " +
                 FamilyName(kind.family);
        return false;
    }
    if (family == Family::NT && IsAdministrator() != kind.administrator) {
        reason = kind.administrator ? "the test wants an administrator; this user is not one"
                                    : "the test wants a user who is not an administrator; this one is";
        return false;
    }
    return true;
}

bool RunningOnWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != NULL && GetProcAddress(ntdll, "wine_get_version") != NULL;
}

// Windows offers a process no count of its open registry keys.
bool CountOpenKeys(size_t&) { return false; }

}  // namespace conformance
