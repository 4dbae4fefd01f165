// The product-data generator, run as the build runs it: what it refuses
// and that a vendor's image and block order end up in the source.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "devices/FirmwareLayout.h"
#include "firmware_plain.h"

namespace {

class Prodgen : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/prodgen_test.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_dir = tmpl;
    }
    void TearDown() override { std::system(("rm -rf '" + m_dir + "'").c_str()); }

    std::string Path(const std::string& name) const { return m_dir + "/" + name; }

    void Write(const std::string& name, const std::string& data) const {
        std::ofstream(Path(name), std::ios::binary) << data;
    }

    // Runs the generator; returns its exit code and keeps its stderr.
    int Run(const std::string& args) {
        std::string cmd = std::string(WINQOR_PRODGEN) + " " + args + " 2>'" + Path("stderr") + "'";
        int status = std::system(cmd.c_str());
        std::ifstream err(Path("stderr"));
        m_stderr.assign(std::istreambuf_iterator<char>(err), {});
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    bool Exists(const std::string& name) const {
        struct stat st;
        return stat(Path(name).c_str(), &st) == 0;
    }

    std::string m_dir;
    std::string m_stderr;
};

std::string Identity(int count) {
    std::string s;
    for (int j = 0; j < count; ++j) s += std::to_string(j) + (j % 16 == 15 ? "\n" : " ");
    return s;
}

struct Refusal {
    const char* name;
    std::string image;  // contents of image.bin; empty: not passed
    std::string order;  // contents of order.txt; empty: not passed
    std::string extra;  // further arguments
    const char* message;
};

TEST_F(Prodgen, RefusesBadInputWithOneLineAndNoOutput) {
    const std::string good(0x30000, '\x5A');
    std::string duplicate = Identity(256);
    duplicate.replace(duplicate.find(" 255"), 4, " 7");
    std::string reversedOut = Identity(255) + "256";
    const Refusal cases[] = {
        {"image one byte short", std::string(0x2FFFF, 'x'), "", "", "is 196607 bytes; a plain image is 196608"},
        {"image one byte long", std::string(0x30001, 'x'), "", "", "is 196609 bytes"},
        {"image empty", "", "", "--image /dev/null", "/dev/null is 0 bytes"},
        {"image option without a value", "", "", "--image", "option --image needs a value"},
        {"image missing", "", "", "--image /nonexistent/plain.bin", "/nonexistent/plain.bin: cannot be read"},
        {"order of 255 entries", good, Identity(255), "", "has 255 entries, 256 needed"},
        {"order of 257 entries", good, Identity(256) + " 0", "", "has 257 entries, 256 needed"},
        {"order with a repeat", good, duplicate, "", "not a permutation, 7 stands at entries 7 and 255"},
        {"order entry above 255", good, reversedOut, "", "entry 255 is 256, outside 0..255"},
        {"order entry negative", good, "-1 " + Identity(255), "", "entry 0 is -1, outside 0..255"},
        {"order entry not a number", good, "zero " + Identity(255), "", "entry 0 \"zero\" is not a number"},
        {"block count 0", good, "", "--blocks 0", "block count 0 is outside 1..6"},
        {"block count 7", good, "", "--blocks 7", "block count 7 is outside 1..6"},
        {"block count -1", good, "", "--blocks -1", "block count -1 is outside 1..6"},
        {"block count not a number", good, "", "--blocks four", "block count \"four\" is not a number"},
        {"unknown option", good, "", "--level 3", "unknown option --level"},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.name);
        std::string args = "--out '" + Path("out.cpp") + "' --plain-out '" + Path("plain.bin") + "'";
        if (!c.image.empty()) {
            Write("image.bin", c.image);
            args += " --image '" + Path("image.bin") + "'";
        }
        if (!c.order.empty()) {
            Write("order.txt", c.order);
            args += " --order '" + Path("order.txt") + "'";
        }
        args += " " + c.extra;
        EXPECT_EQ(Run(args), 1);
        EXPECT_NE(m_stderr.find(c.message), std::string::npos) << m_stderr;
        EXPECT_EQ(std::count(m_stderr.begin(), m_stderr.end(), '\n'), 1) << m_stderr;
        EXPECT_FALSE(Exists("out.cpp"));
        EXPECT_FALSE(Exists("plain.bin"));
    }
    EXPECT_EQ(Run("--blocks 4"), 1);
    EXPECT_NE(m_stderr.find("--out is required"), std::string::npos);
}

// Pulls the numbers of one initialiser out of the generated source.
std::vector<unsigned long> Initialiser(const std::string& source, const std::string& head) {
    size_t at = source.find(head);
    EXPECT_NE(at, std::string::npos) << head;
    if (at == std::string::npos) return {};
    size_t end = source.find("};", at);
    std::string body = source.substr(at + head.size(), end - at - head.size());
    std::vector<unsigned long> values;
    std::regex number("0x[0-9a-f]+|[0-9]+");
    for (std::sregex_iterator it(body.begin(), body.end(), number), last; it != last; ++it)
        values.push_back(std::stoul(it->str(), nullptr, 0));
    return values;
}

TEST_F(Prodgen, TakesAVendorImageAndBlockOrder) {
    std::string image(0x30000, '\0');
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    Write("image.bin", image);
    // Reversed order, as hex with commas and a comment, the way a vendor might hand it over.
    std::string order = "# vendor order\n";
    for (int j = 0; j < 256; ++j) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "0x%02x,%s", 255 - j, j % 8 == 7 ? "\n" : " ");
        order += buf;
    }
    Write("order.txt", order);
    ASSERT_EQ(Run("--out '" + Path("out.cpp") + "' --plain-out '" + Path("plain.bin") + "' --image '" +
                  Path("image.bin") + "' --order '" + Path("order.txt") + "' --blocks 6"),
              0)
        << m_stderr;

    std::ifstream in(Path("out.cpp"));
    std::string source((std::istreambuf_iterator<char>(in)), {});
    std::vector<unsigned long> stored = Initialiser(source, "g_abFirmImage[0x30000] = {");
    ASSERT_EQ(stored.size(), 0x30000u);
    for (size_t b = 0; b < 0x30000; b += 256)
        for (int j = 0; j < 256; ++j)
            ASSERT_EQ(stored[b + 255 - j], static_cast<unsigned char>(image[b + j])) << b << " " << j;

    std::vector<unsigned long> sums = Initialiser(source, "g_adwFirmCheckSum[16] = {");
    std::vector<unsigned> expected =
        LaneSumsOf(reinterpret_cast<const unsigned char*>(image.data()), image.size());
    expected.resize(16, 0);
    EXPECT_EQ(std::vector<unsigned long>(expected.begin(), expected.end()), sums);
    EXPECT_NE(source.find("g_adwFirmBlocks[1] = {6};"), std::string::npos);
    EXPECT_NE(source.find("anBlockOrder[0] = 255;"), std::string::npos);
    EXPECT_NE(source.find("anBlockOrder[255] = 0;"), std::string::npos);

    std::ifstream plainIn(Path("plain.bin"), std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(plainIn)), {}), image);
}

TEST_F(Prodgen, SyntheticImageCarriesTheRevisionWhereTheDriveReadsIt) {
    ASSERT_EQ(Run("--out '" + Path("out.cpp") + "' --plain-out '" + Path("plain.bin") + "'"), 0) << m_stderr;
    std::ifstream plainIn(Path("plain.bin"), std::ios::binary);
    std::string plain((std::istreambuf_iterator<char>(plainIn)), {});
    ASSERT_EQ(plain.size(), 0x30000u);
    namespace fw = sim::firmware;
    EXPECT_EQ(plain.substr(fw::kRevisionOffset, 4), "1H13");
    EXPECT_GE(static_cast<signed char>(plain[fw::kLevelOffset]), 32) << "a flashed drive would still ask for the update";
    EXPECT_EQ(plain.substr(fw::kFamilyOffset, 2), "hq");
    // The same every time: the build's product data does not drift.
    ASSERT_EQ(Run("--out '" + Path("again.cpp") + "'"), 0);
    std::ifstream a(Path("out.cpp")), b(Path("again.cpp"));
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(a)), {}), std::string((std::istreambuf_iterator<char>(b)), {}));
}

}  // namespace
