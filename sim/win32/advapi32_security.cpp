// Tokens, privileges and the restart request.
#include <strings.h>

#include "../core/Objects.h"
#include "../core/Process.h"
#include "win32.h"

using sim::Proc;

extern "C" {

BOOL WINAPI OpenProcessToken(HANDLE process, DWORD access, PHANDLE token) {
    auto& proc = Proc();
    if (!proc.machine().IsNT()) {
        proc.SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    if (process != GetCurrentProcess() || !token) {
        proc.SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    // Every handle opened here refers to the process's one token.
    if (!proc.processToken) proc.processToken = std::make_shared<sim::TokenObject>();
    auto t = std::make_shared<sim::TokenHandle>();
    t->token = std::static_pointer_cast<sim::TokenObject>(proc.processToken);
    t->access = access;
    *token = proc.handles().Add(t);
    return TRUE;
}

BOOL WINAPI LookupPrivilegeValueA(LPCSTR system, LPCSTR name, PLUID luid) {
    auto& proc = Proc();
    auto& m = proc.machine();
    if (!m.IsNT()) {
        proc.SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    if (m.privileges.lookupFails || !name || !luid || strcasecmp(name, SE_SHUTDOWN_NAME) != 0 ||
        (system && *system)) {
        proc.SetLastError(ERROR_NO_SUCH_PRIVILEGE);
        return FALSE;
    }
    luid->LowPart = sim::kShutdownPrivilegeLuid;
    luid->HighPart = 0;
    return TRUE;
}

BOOL WINAPI AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES state, DWORD length,
                                  PTOKEN_PRIVILEGES previous, PDWORD returnLength) {
    auto& proc = Proc();
    auto handle = proc.handles().GetAs<sim::TokenHandle>(token);
    auto t = handle ? handle->token : nullptr;
    if (!t) {
        proc.SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!(handle->access & TOKEN_ADJUST_PRIVILEGES) || proc.machine().privileges.adjustFails) {
        proc.SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (disableAll) {
        t->enabled.clear();
    } else if (state) {
        for (DWORD i = 0; i < state->PrivilegeCount; ++i) {
            const auto& p = state->Privileges[i];
            if (p.Attributes & SE_PRIVILEGE_ENABLED)
                t->enabled.insert(p.Luid.LowPart);
            else
                t->enabled.erase(p.Luid.LowPart);
        }
    }
    proc.SetLastError(0);
    return TRUE;
}

BOOL WINAPI ExitWindowsEx(UINT flags, DWORD) {
    auto& proc = Proc();
    auto& m = proc.machine();
    if (m.IsNT() && (flags & (EWX_REBOOT | EWX_SHUTDOWN | EWX_POWEROFF))) {
        // The calling process must have enabled the shutdown privilege in its token.
        auto t = std::dynamic_pointer_cast<sim::TokenObject>(proc.processToken);
        if (!t || !t->enabled.count(sim::kShutdownPrivilegeLuid)) {
            proc.SetLastError(ERROR_PRIVILEGE_NOT_HELD);
            proc.Log("restart refused: the shutdown privilege is not enabled");
            return FALSE;
        }
    }
    m.restart.pending = true;
    m.restart.flags = flags;
    m.restart.by = m.imagePath;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "restart requested (ExitWindowsEx flags 0x%X)", flags);
    proc.Log(buffer);
    return TRUE;
}

}  // extern "C"
