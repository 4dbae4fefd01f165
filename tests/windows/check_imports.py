#!/usr/bin/env python3
"""Checks that WINQOR.EXE loads on Windows 98 SE and on Windows XP: a 32-bit
GUI program for subsystem 4, importing only DLLs both systems have, and from
them only functions known to exist on both: the Win32 subset our headers
declare (written from the documentation of those systems) and the few calls
the compiler's runtime makes, each checked by hand below. A Windows loader
refuses a program whose import it cannot resolve, before any of our code
runs, and Wine resolves every one of them: only this check sees it.

Also checks the resources Windows itself reads, icon 128 and the version,
and that a program with a progress bar initialises the common controls:
Windows registers that window class only then, and a dialog holding an
unknown class is not created at all.

usage: check_imports.py OBJDUMP EXE VERSION HEADER...
"""
import re
import subprocess
import sys

# Every one of these ships with Windows 98 SE and with Windows XP.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "advapi32.dll", "msvcrt.dll"}

# What mingw-w64's start-up code, libgcc and libstdc++ import from KERNEL32
# beyond our own calls. The W functions exist on Windows 98 as stubs that
# fail with ERROR_CALL_NOT_IMPLEMENTED; the runtime copes with that (a module
# it does not find, a semaphore it waits on only when two threads contend).
RUNTIME_KERNEL32 = {
    "CreateSemaphoreW", "DeleteCriticalSection", "EnterCriticalSection", "ExitProcess", "GetCommandLineA",
    "GetCurrentProcess", "GetCurrentProcessId", "GetCurrentThread", "GetCurrentThreadId", "GetModuleHandleW",
    "GetStartupInfoA", "GetSystemTimeAsFileTime", "GetTickCount", "InitializeCriticalSection", "IsDBCSLeadByteEx",
    "LeaveCriticalSection", "LoadLibraryW", "MultiByteToWideChar", "QueryPerformanceCounter", "RaiseException",
    "ReleaseSemaphore", "SetUnhandledExceptionFilter", "TlsAlloc", "TlsFree", "TlsGetValue", "TlsSetValue",
    "VirtualProtect", "VirtualQuery", "WideCharToMultiByte",
}

# Windows 98 SE carries msvcrt.dll 6: the C library and these Microsoft
# names. Later versions added more (__iob_func, _vscprintf, ..._s), which a
# newer runtime may ask for.
MSVCRT_NAMES = {
    "__getmainargs", "__initenv", "__mb_cur_max", "__p__acmdln", "__p__commode", "__p__environ", "__p__fmode",
    "__set_app_type", "__setusermatherr", "_amsg_exit", "_beginthreadex", "_cexit", "_close", "_endthreadex",
    "_errno", "_exit", "_fdopen", "_fileno", "_fmode", "_fpreset", "_getcwd", "_getmbcp", "_initterm", "_iob",
    "_isatty", "_lock", "_lseek", "_onexit", "_open", "_read", "_setjmp3", "_snprintf", "_strdup", "_stricmp",
    "_strnicmp", "_ultoa", "_unlock", "_vsnprintf", "_write", "_commode", "_acmdln",
}
C_LIBRARY = set("""
abort abs atexit atof atoi atol bsearch calloc clearerr clock ctime difftime div exit fclose feof ferror fflush
fgetc fgetpos fgets fopen fprintf fputc fputs fread free freopen frexp fscanf fseek fsetpos ftell fwrite getc
getchar getenv gets gmtime isalnum isalpha iscntrl isdigit isgraph islower isprint ispunct isspace isupper
isxdigit labs ldexp ldiv localeconv localtime longjmp malloc mblen mbstowcs mbtowc memchr memcmp memcpy memmove
memset mktime modf perror printf putc putchar puts qsort raise rand realloc remove rename rewind scanf setbuf
setjmp setlocale setvbuf signal sprintf srand sscanf strcat strchr strcmp strcoll strcpy strcspn strerror
strftime strlen strncat strncmp strncpy strpbrk strrchr strspn strstr strtod strtok strtol strtoul strxfrm
system time tmpfile tmpnam tolower toupper ungetc vfprintf vprintf vsprintf wcslen wcstombs wctomb
""".split())

# Named so that the message says why, should our own headers ever declare
# one of them: Vista's and later, and what Windows 98 lacks.
NOT_ON_XP = {"GetTickCount64", "InitializeConditionVariable", "SleepConditionVariableCS", "WakeConditionVariable",
             "WakeAllConditionVariable", "InitializeSRWLock", "AcquireSRWLockExclusive", "ReleaseSRWLockExclusive",
             "InitOnceExecuteOnce", "GetSystemTimePreciseAsFileTime"}
NOT_ON_98 = {"AddVectoredExceptionHandler", "RemoveVectoredExceptionHandler", "TryEnterCriticalSection"}


def declared_functions(headers):
    names = set()
    for path in headers:
        with open(path, encoding="utf-8") as f:
            names.update(re.findall(r"\bWINAPIV?\s+(\w+)\s*\(", f.read()))
    return names


def read_pe(objdump, exe):
    text = subprocess.run([objdump, "-p", exe], check=True, capture_output=True, text=True).stdout
    imports, dll = {}, None
    for line in text.splitlines():
        m = re.match(r"\s*DLL Name:\s*(\S+)", line)
        if m:
            dll = m.group(1)
            imports[dll] = []
            continue
        if not line.strip():
            dll = None
            continue
        m = re.match(r"\s*[0-9a-f]+\s+\d+\s+(\w+)\s*$", line)
        if dll and m:
            imports[dll].append(m.group(1))
    header = dict(re.findall(r"^(Magic|Subsystem|MajorSubsystemVersion)\s+(\S+)", text, re.M))
    return header, imports, text


def main():
    if len(sys.argv) < 5:
        sys.exit(__doc__)
    objdump, exe, version, headers = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
    declared = declared_functions(headers)
    header, imports, dump = read_pe(objdump, exe)
    faults = []

    if header.get("Magic") != "010b":
        faults.append("not a 32-bit program (PE32)")
    if header.get("Subsystem") != "00000002":
        faults.append("not a Windows GUI program")
    if header.get("MajorSubsystemVersion") != "4":
        faults.append("subsystem version %s: Windows 98 wants 4" % header.get("MajorSubsystemVersion"))

    for dll, functions in sorted(imports.items()):
        print("%s: %s" % (dll, " ".join(functions)))
        lower = dll.lower()
        if lower not in SYSTEM_DLLS:
            faults.append("%s is not a DLL that both Windows 98 SE and XP have" % dll)
            continue
        for fn in functions:
            if fn in NOT_ON_XP:
                faults.append("%s!%s does not exist before Windows Vista" % (dll, fn))
            elif fn in NOT_ON_98:
                faults.append("%s!%s does not exist on Windows 98" % (dll, fn))
            elif lower == "msvcrt.dll":
                if fn not in C_LIBRARY and fn not in MSVCRT_NAMES:
                    faults.append("msvcrt.dll!%s is not known in Windows 98 SE's msvcrt.dll 6" % fn)
            elif fn not in declared and not (lower == "kernel32.dll" and fn in RUNTIME_KERNEL32):
                faults.append("%s!%s is neither declared in platform/win32 nor a checked runtime import" % (dll, fn))

    # Resource types 3 (icon) and 14 (icon group) with the group named 128,
    # and 16 (version) holding the version string.
    rsrc = dump[dump.find("The .rsrc Resource Directory section"):]
    types = re.findall(r"^\S+\s{3}Entry: ID: (0x[0-9a-f]+)", rsrc, re.M)
    if "0x00000e" not in types or not re.search(r"Entry: ID: 0x00000e.*\n.*\n\s*\S+\s+Entry: ID: 0x000080", rsrc):
        faults.append("no icon group 128")
    if "0x000010" not in types:
        faults.append("no version resource")
    with open(exe, "rb") as f:
        # The key, its zero, padding to a 4-byte boundary, the text.
        pattern = re.escape("FileVersion".encode("utf-16-le")) + b"(?:\\0\\0)+" + re.escape(
            (version + "\0").encode("utf-16-le"))
        if not re.search(pattern, f.read()):
            faults.append("the version resource does not say %s" % version)

    # Dialog templates name their classes as text, in either width.
    progress = "msctls_progress32"
    with open(exe, "rb") as f:
        image = f.read()
    if progress.encode() in image or progress.encode("utf-16-le") in image:
        comctl = {fn for dll, fns in imports.items() if dll.lower() == "comctl32.dll" for fn in fns}
        if not comctl & {"InitCommonControls", "InitCommonControlsEx"}:
            faults.append("a progress bar is named, but the common controls are never initialised")

    for fault in faults:
        print("FAULT: " + fault)
    print("%d DLLs, %d functions imported; %s" % (len(imports), sum(len(f) for f in imports.values()),
                                                  "%d faults" % len(faults) if faults else "loads on 98 SE and XP"))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
