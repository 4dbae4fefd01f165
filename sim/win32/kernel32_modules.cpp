// Loading libraries on the simulated PC. No machine has a library to load
// yet, so every load fails the way Windows fails for a missing DLL; the
// ASPI manager will be the first library a machine can carry.
#include "../core/Process.h"
#include "win32.h"

using sim::Proc;

extern "C" {

HMODULE WINAPI LoadLibraryA(LPCSTR) {
    Proc().SetLastError(ERROR_MOD_NOT_FOUND);
    return NULL;
}

FARPROC WINAPI GetProcAddress(HMODULE, LPCSTR) {
    // Only a loaded module has entry points, and none can be loaded.
    Proc().SetLastError(ERROR_INVALID_HANDLE);
    return NULL;
}

BOOL WINAPI FreeLibrary(HMODULE) {
    Proc().SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

}  // extern "C"
