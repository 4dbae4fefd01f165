// FormatMessageA with the system's message table: the English texts of the
// error codes that the storage and memory calls leave behind.
#include <algorithm>
#include <cstring>
#include <string>

#include "../core/Process.h"
#include "GlobalMemory.h"
#include "win32.h"

using sim::Proc;

namespace {

// winerror: not among the codes the declarations carry.
constexpr DWORD kErrorMrMidNotFound = 317;
constexpr DWORD kErrorResourceLangNotFound = 1815;

struct SystemMessage {
    DWORD code;
    const char* text;
};

// As the system's message table has them, each ending in a line break.
const SystemMessage kMessages[] = {
    {0, "The operation completed successfully.\r\n"},
    {1, "Incorrect function.\r\n"},
    {2, "The system cannot find the file specified.\r\n"},
    {3, "The system cannot find the path specified.\r\n"},
    {5, "Access is denied.\r\n"},
    {6, "The handle is invalid.\r\n"},
    {8, "Not enough storage is available to process this command.\r\n"},
    {21, "The device is not ready.\r\n"},
    {31, "A device attached to the system is not functioning.\r\n"},
    {32, "The process cannot access the file because it is being used by another process.\r\n"},
    {50, "The request is not supported.\r\n"},
    {87, "The parameter is incorrect.\r\n"},
    {121, "The semaphore timeout period has expired.\r\n"},
    {122, "The data area passed to a system call is too small.\r\n"},
    {158, "The segment is already unlocked.\r\n"},
    {998, "Invalid access to memory location.\r\n"},
    {1117, "The request could not be performed because of an I/O device error.\r\n"},
    {1306, "Indicates two revision levels are incompatible.\r\n"},
    {1460, "This operation returned because the timeout period expired.\r\n"},
};

bool EnglishOrDefault(DWORD language) {
    // Neutral, user default, system default, and English of any country.
    DWORD primary = language & 0x3FF;
    return language == 0 || language == 0x400 || language == 0x800 || primary == 0x09;
}

}  // namespace

extern "C" {

DWORD WINAPI FormatMessageA(DWORD flags, LPCVOID, DWORD id, DWORD language, LPSTR buffer, DWORD size,
                            va_list*) {
    auto& proc = Proc();
    // Only the system's table exists here; a caller's own string or module
    // has nothing to look in.
    if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || (flags & FORMAT_MESSAGE_FROM_STRING) || !buffer) {
        proc.SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!EnglishOrDefault(language)) {
        proc.SetLastError(kErrorResourceLangNotFound);
        return 0;
    }
    const char* found = nullptr;
    for (const auto& m : kMessages)
        if (m.code == id) found = m.text;
    if (!found) {
        proc.SetLastError(kErrorMrMidNotFound);
        return 0;
    }
    std::string text = found;
    // With a line width the table's own line break goes; no text here is
    // broken at the width.
    if (flags & FORMAT_MESSAGE_MAX_WIDTH_MASK) text.resize(text.size() - 2);
    if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        size_t bytes = std::max<size_t>(text.size() + 1, size);
        char* p = static_cast<char*>(sim::LocalBlock(bytes));
        if (!p) {
            proc.SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        std::memcpy(p, text.c_str(), text.size() + 1);
        *reinterpret_cast<LPSTR*>(buffer) = p;
    } else {
        if (text.size() + 1 > size) {
            proc.SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        std::memcpy(buffer, text.c_str(), text.size() + 1);
    }
    return static_cast<DWORD>(text.size());
}

}  // extern "C"
