#include "Text.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace sim {
namespace {

std::string Charset(unsigned codePage) {
    if (codePage == 932) return "CP932";
    if (codePage == 65001) return "UTF-8";
    return "CP" + std::to_string(codePage);
}

// Converts with iconv; a byte that does not convert shows as U+FFFD / '?'.
std::string Convert(const std::string& text, const std::string& from, const std::string& to, const char* bad) {
    iconv_t cd = iconv_open(to.c_str(), from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) cd = iconv_open(to.c_str(), "CP1252");
    if (cd == reinterpret_cast<iconv_t>(-1)) return text;
    std::string out;
    std::vector<char> in(text.begin(), text.end());
    char* src = in.data();
    size_t srcLeft = in.size();
    char buffer[256];
    while (srcLeft > 0) {
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buffer, dst - buffer);
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            out += bad;
            ++src;
            --srcLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace

std::string ToUtf8(const std::string& text, unsigned codePage) {
    return Convert(text, Charset(codePage), "UTF-8", "\xEF\xBF\xBD");
}

std::string FromUtf8(const std::string& text, unsigned codePage) {
    return Convert(text, "UTF-8", Charset(codePage), "?");
}

}  // namespace sim
