// ADVAPI32 token and privilege subset, and the USER32 shutdown call.
#pragma once
#include "win32_base.h"

extern "C" {

#define TOKEN_ASSIGN_PRIMARY 0x0001u
#define TOKEN_DUPLICATE 0x0002u
#define TOKEN_IMPERSONATE 0x0004u
#define TOKEN_QUERY 0x0008u
#define TOKEN_QUERY_SOURCE 0x0010u
#define TOKEN_ADJUST_PRIVILEGES 0x0020u
#define TOKEN_ADJUST_GROUPS 0x0040u
#define TOKEN_ADJUST_DEFAULT 0x0080u

#define SE_PRIVILEGE_ENABLED_BY_DEFAULT 0x00000001u
#define SE_PRIVILEGE_ENABLED 0x00000002u
#define SE_PRIVILEGE_REMOVED 0x00000004u
#define SE_PRIVILEGE_USED_FOR_ACCESS 0x80000000u

#define SE_SHUTDOWN_NAME "SeShutdownPrivilege"

typedef struct _LUID_AND_ATTRIBUTES {
    LUID Luid;
    DWORD Attributes;
} LUID_AND_ATTRIBUTES, *PLUID_AND_ATTRIBUTES;

#define ANYSIZE_ARRAY 1
typedef struct _TOKEN_PRIVILEGES {
    DWORD PrivilegeCount;
    LUID_AND_ATTRIBUTES Privileges[ANYSIZE_ARRAY];
} TOKEN_PRIVILEGES, *PTOKEN_PRIVILEGES;

BOOL WINAPI OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, PHANDLE TokenHandle);
BOOL WINAPI LookupPrivilegeValueA(LPCSTR lpSystemName, LPCSTR lpName, PLUID lpLuid);
BOOL WINAPI AdjustTokenPrivileges(HANDLE TokenHandle, BOOL DisableAllPrivileges, PTOKEN_PRIVILEGES NewState,
                                  DWORD BufferLength, PTOKEN_PRIVILEGES PreviousState, PDWORD ReturnLength);

#define EWX_LOGOFF 0x00000000u
#define EWX_SHUTDOWN 0x00000001u
#define EWX_REBOOT 0x00000002u
#define EWX_FORCE 0x00000004u
#define EWX_POWEROFF 0x00000008u
#define EWX_FORCEIFHUNG 0x00000010u
BOOL WINAPI ExitWindowsEx(UINT uFlags, DWORD dwReason);

}  // extern "C"
