// The plain image this build's product data was made from, as the
// generator wrote it beside the generated source.
#pragma once
#include <fstream>
#include <iterator>
#include <vector>

inline const std::vector<unsigned char>& PlainFirmwareImage() {
    static const std::vector<unsigned char> image = [] {
        std::ifstream in(WINQOR_PLAIN_IMAGE, std::ios::binary);
        return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
    }();
    return image;
}

// Lane sums the plain way: lane i holds the bytes at offsets i, i + 13, ...
inline std::vector<unsigned> LaneSumsOf(const unsigned char* p, size_t n) {
    std::vector<unsigned> sums(13, 0);
    for (size_t k = 0; k < n; ++k) sums[k % 13] += p[k];
    return sums;
}
