// How the helper and the watcher print texts, so that the smoke run can
// compare them byte for byte: printable ASCII as it is, the rest as \xHH.
#pragma once
#include <cstdio>
#include <string>

inline std::string Escape(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}
