// The runtime library's code page and working-directory queries.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "../core/Process.h"
#include "win32.h"

extern "C" {

int _getmbcp(void) {
    // The runtime reports the ANSI code page only when it is a multibyte one.
    unsigned cp = sim::Proc().machine().codePage;
    return (cp == 932 || cp == 936 || cp == 949 || cp == 950 || cp == 1361) ? static_cast<int>(cp) : 0;
}

char* _getcwd(char* buffer, int maxlen) {
    auto& m = sim::Proc().machine();
    if (m.cwdFails) {
        errno = ENOENT;
        return nullptr;
    }
    size_t need = m.cwd.size() + 1;
    if (!buffer) {
        // As the Microsoft runtime: allocate at least maxlen bytes.
        size_t size = need > static_cast<size_t>(maxlen > 0 ? maxlen : 0) ? need : static_cast<size_t>(maxlen);
        buffer = static_cast<char*>(std::malloc(size));
        if (!buffer) {
            errno = ENOMEM;
            return nullptr;
        }
    } else if (maxlen <= 0 || need > static_cast<size_t>(maxlen)) {
        errno = ERANGE;
        return nullptr;
    }
    std::memcpy(buffer, m.cwd.c_str(), need);
    return buffer;
}

}  // extern "C"
