// winqor_prodgen: turns a plain firmware image into the product data the
// updater carries (scrambled image, lane sums, block count, block order).
//
//   winqor_prodgen --out FILE.cpp [--image PLAIN.bin] [--order ORDER.txt]
//                  [--blocks N] [--plain-out PLAIN.bin]
//
// Without --image it makes the synthetic image of our test drive; without
// --order it uses a fixed shuffle. --plain-out writes the plain image used,
// for the tests. Bad input ends with one line on stderr and exit code 1;
// nothing is written then.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "ProductData.h"

namespace {

struct Options {
    std::string out, image, order, plainOut;
    std::string blocks = "4";
};

std::vector<unsigned char> ReadFile(const std::string& path, const char* what) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error(std::string(what) + " " + path + ": cannot be read");
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

// Writes through a temporary file so a failed run leaves no half file.
void WriteFile(const std::string& path, const std::string& data) {
    std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out.write(data.data(), static_cast<std::streamsize>(data.size()));
        if (!out) throw std::runtime_error("output " + path + ": cannot be written");
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) throw std::runtime_error("output " + path + ": cannot be written");
}

Options ParseArgs(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) throw std::runtime_error("option " + a + " needs a value");
            return argv[++i];
        };
        if (a == "--out") o.out = value();
        else if (a == "--image") o.image = value();
        else if (a == "--order") o.order = value();
        else if (a == "--blocks") o.blocks = value();
        else if (a == "--plain-out") o.plainOut = value();
        else throw std::runtime_error("unknown option " + a);
    }
    if (o.out.empty()) throw std::runtime_error("--out is required");
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        Options o = ParseArgs(argc, argv);
        prodgen::Product p;
        p.blocks = prodgen::ParseBlockCount(o.blocks);
        if (o.image.empty()) {
            p.plain = prodgen::SyntheticImage();
            p.source = "synthetic image";
        } else {
            p.plain = ReadFile(o.image, "image");
            prodgen::CheckImageSize(p.plain.size(), o.image);
            p.source = o.image;
        }
        if (o.order.empty()) {
            p.order = prodgen::DefaultBlockOrder();
        } else {
            std::vector<unsigned char> text = ReadFile(o.order, "block order");
            p.order = prodgen::ParseBlockOrder(std::string(text.begin(), text.end()), o.order);
        }
        std::string source = prodgen::GenerateSource(p);
        if (!o.plainOut.empty()) WriteFile(o.plainOut, std::string(p.plain.begin(), p.plain.end()));
        WriteFile(o.out, source);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "winqor_prodgen: %s\n", e.what());
        return 1;
    }
}
