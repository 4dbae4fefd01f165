// CString: bounds that callers get wrong, formatting of any length, and the
// buffer hand-over that Win32 calls write into.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "afx.h"
#include "unit/mfc_print.h"

namespace {

TEST(CStringTest, ConstructsFromTextCountAndCharacter) {
    EXPECT_EQ(std::string(CString()), "");
    EXPECT_EQ(std::string(CString(static_cast<LPCSTR>(NULL))), "");
    EXPECT_EQ(std::string(CString("VALTORA ")), "VALTORA ");
    EXPECT_EQ(std::string(CString("VALTORA DVD", 7)), "VALTORA");
    EXPECT_EQ(std::string(CString("abc", -1)), "");
    EXPECT_EQ(std::string(CString('-', 3)), "---");
    EXPECT_EQ(std::string(CString('-', 0)), "");
    EXPECT_EQ(CString('x').GetLength(), 1);
}

TEST(CStringTest, CopiesAreIndependent) {
    CString a("1H13");
    CString b(a);
    CString c;
    c = a;
    a.SetAt(0, '2');
    a += "x";
    EXPECT_EQ(b, "1H13");
    EXPECT_EQ(c, "1H13");
    EXPECT_EQ(a, "2H13x");

    CString fromBuffer("abc");
    CString copy = fromBuffer;
    std::strcpy(fromBuffer.GetBuffer(8), "changed");
    fromBuffer.ReleaseBuffer();
    EXPECT_EQ(copy, "abc");
}

TEST(CStringTest, ConcatenatesInEveryCombination) {
    CString drive("E:");
    EXPECT_EQ(drive + "\\", "E:\\");
    EXPECT_EQ("\\\\.\\" + drive, "\\\\.\\E:");
    EXPECT_EQ(drive + CString("x"), "E:x");
    EXPECT_EQ(drive + '\\', "E:\\");
    EXPECT_EQ('[' + drive, "[E:");
    EXPECT_EQ(drive + static_cast<LPCSTR>(NULL), "E:");

    CString s("ab");
    s += s;  // appending itself
    EXPECT_EQ(s, "abab");
    s += 'c';
    s += "de";
    EXPECT_EQ(s, "ababcde");
    s = static_cast<LPCSTR>(s) + 4;  // assigning a tail of itself
    EXPECT_EQ(s, "cde");
    s = 'z';
    EXPECT_EQ(s, "z");
    s = static_cast<LPCSTR>(NULL);
    EXPECT_TRUE(s.IsEmpty());
}

TEST(CStringTest, ComparesBytesUnsigned) {
    CString a("abc");
    EXPECT_TRUE(a == "abc");
    EXPECT_TRUE("abc" == a);
    EXPECT_TRUE(a != "abd");
    EXPECT_TRUE(a < "abd");
    EXPECT_TRUE(a < CString("abcd"));
    EXPECT_TRUE("abb" < a);
    EXPECT_TRUE(a >= "abc");
    EXPECT_TRUE(a <= "abc");
    // A code page 932 lead byte sorts after every ASCII character.
    EXPECT_TRUE(CString("\x83\x5c") > "z");
    EXPECT_TRUE(CString("") == static_cast<LPCSTR>(NULL));
    EXPECT_GT(CString("VALTORA ").Compare("VALTORA"), 0);
    EXPECT_NE(CString("valtora ").Compare("VALTORA "), 0);  // case counts
}

TEST(CStringTest, LengthEmptyAndCharacterAccess) {
    CString s("1H13");
    EXPECT_EQ(s.GetLength(), 4);
    EXPECT_FALSE(s.IsEmpty());
    EXPECT_EQ(s.GetAt(1), 'H');
    EXPECT_EQ(s[3], '3');
    EXPECT_EQ(s.GetAt(4), '\0');
    EXPECT_EQ(s[-1], '\0');
    s.SetAt(9, 'x');  // out of range: ignored
    EXPECT_EQ(s, "1H13");
    EXPECT_STREQ(static_cast<LPCSTR>(s), "1H13");
    s.Empty();
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_EQ(s.GetLength(), 0);
    EXPECT_STREQ(static_cast<LPCSTR>(s), "");
}

struct SliceCase {
    const char* what;
    CString (*slice)(const CString&);
    const char* expected;
};

const SliceCase kSlices[] = {
    {"Left(-1)", [](const CString& s) { return s.Left(-1); }, ""},
    {"Left(0)", [](const CString& s) { return s.Left(0); }, ""},
    {"Left(3)", [](const CString& s) { return s.Left(3); }, "ABC"},
    {"Left(6)", [](const CString& s) { return s.Left(6); }, "ABCDEF"},
    {"Left(99)", [](const CString& s) { return s.Left(99); }, "ABCDEF"},
    {"Right(-1)", [](const CString& s) { return s.Right(-1); }, ""},
    {"Right(2)", [](const CString& s) { return s.Right(2); }, "EF"},
    {"Right(99)", [](const CString& s) { return s.Right(99); }, "ABCDEF"},
    {"Mid(2)", [](const CString& s) { return s.Mid(2); }, "CDEF"},
    {"Mid(6)", [](const CString& s) { return s.Mid(6); }, ""},
    {"Mid(7)", [](const CString& s) { return s.Mid(7); }, ""},
    {"Mid(-2)", [](const CString& s) { return s.Mid(-2); }, "ABCDEF"},
    {"Mid(1,3)", [](const CString& s) { return s.Mid(1, 3); }, "BCD"},
    {"Mid(4,99)", [](const CString& s) { return s.Mid(4, 99); }, "EF"},
    {"Mid(-2,3)", [](const CString& s) { return s.Mid(-2, 3); }, "ABC"},
    {"Mid(2,0)", [](const CString& s) { return s.Mid(2, 0); }, ""},
    {"Mid(2,-1)", [](const CString& s) { return s.Mid(2, -1); }, ""},
    {"Mid(9,2)", [](const CString& s) { return s.Mid(9, 2); }, ""},
};

TEST(CStringTest, SlicesClampToTheString) {
    const CString s("ABCDEF");
    for (const auto& c : kSlices) {
        CString part = c.slice(s);
        EXPECT_EQ(std::string(part), c.expected) << c.what;
        EXPECT_EQ(part.GetLength(), static_cast<int>(std::strlen(c.expected))) << c.what;
    }
    EXPECT_EQ(s, "ABCDEF");
    // The vendor field of a drive's display name, as the start-up scan takes it.
    EXPECT_EQ(CString("E:   VALTORA DVD-ROM ZQ-X9046").Mid(5, 8), "VALTORA ");
}

TEST(CStringTest, FindsCharactersAndTextFromAPosition) {
    const CString s("DmaDetectionLevel = 0x0;");
    EXPECT_EQ(s.Find("0x"), 20);
    EXPECT_EQ(s.Find('D'), 0);
    EXPECT_EQ(s.Find('D', 1), 3);
    EXPECT_EQ(s.Find("e", 5), 6);
    EXPECT_EQ(s.Find("0x", 21), -1);
    EXPECT_EQ(s.Find('Q'), -1);
    EXPECT_EQ(s.Find("1x"), -1);
    EXPECT_EQ(s.Find(';', -5), 23);
    EXPECT_EQ(s.Find(';', 24), -1);
    EXPECT_EQ(s.Find(';', 99), -1);
    EXPECT_EQ(s.Find(""), 0);
    EXPECT_EQ(s.Find(static_cast<LPCSTR>(NULL)), -1);
    EXPECT_EQ(CString().Find('a'), -1);
}

CString FormatThrough(LPCSTR format, ...) {
    va_list args;
    va_start(args, format);
    CString s;
    s.FormatV(format, args);
    va_end(args);
    return s;
}

TEST(CStringTest, FormatsLikePrintf) {
    CString s;
    s.Format("Change\\%3d", 1);
    EXPECT_EQ(s, "Change\\  1");
    s.Format("Change\\%3d", 1234);
    EXPECT_EQ(s, "Change\\1234");
    s.Format("%d:%d: %16.28s", 1, 0, "VALTORA DVD-ROM ZQ-X9046        1H12");
    EXPECT_EQ(s, "1:0: VALTORA DVD-ROM ZQ-X9046    ");
    s.Format("%c:   %s %02X %u %ld", 'E', "x", 0x2A, 4000000000u, -5L);
    EXPECT_EQ(s, "E:   x 2A 4000000000 -5");
    s.Format("%s", "");
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_EQ(FormatThrough("Software\\Valtora_ODD\\%s", "WINQOR"), "Software\\Valtora_ODD\\WINQOR");
}

TEST(CStringTest, FormatsOutputOfAnyLength) {
    // Longer than any first guess at a buffer, as the agreement text is.
    std::string line(1000, 'a');
    CString s;
    s.Format("%s|%s|%s|%d", line.c_str(), line.c_str(), line.c_str(), 12345);
    ASSERT_EQ(s.GetLength(), 3 * 1000 + 3 + 5);
    EXPECT_EQ(s.Right(6), "|12345");
    EXPECT_EQ(s.Mid(1000, 1), "|");

    std::string big(300000, 'b');
    s.Format("<%s>", big.c_str());
    EXPECT_EQ(s.GetLength(), 300002);
    EXPECT_EQ(s.Left(2), "<b");
    EXPECT_EQ(s.Right(2), "b>");

    // Exactly at the edges of a 256-byte first attempt.
    for (int n : {254, 255, 256, 257}) {
        s.Format("%s", std::string(static_cast<size_t>(n), 'c').c_str());
        EXPECT_EQ(s.GetLength(), n);
    }
}

TEST(CStringTest, FormatMayTakeItsOwnTextAsArgument) {
    CString s("DVD-ROM ZQ-X9046");
    s.Format("Use only with the \"%s\".  Not the \"%s\".", static_cast<LPCSTR>(s), static_cast<LPCSTR>(s));
    EXPECT_EQ(s, "Use only with the \"DVD-ROM ZQ-X9046\".  Not the \"DVD-ROM ZQ-X9046\".");
    const CString once = s;
    s.Format("%s%s%s%s", static_cast<LPCSTR>(s), static_cast<LPCSTR>(s), static_cast<LPCSTR>(s),
             static_cast<LPCSTR>(s));
    EXPECT_EQ(s, once + once + once + once);
}

TEST(CStringTest, BufferTakesWhatWasWrittenIntoIt) {
    CString s;
    char* p = s.GetBuffer(1024);
    std::strcpy(p, "C:\\WINQOR");
    s.ReleaseBuffer();
    EXPECT_EQ(s, "C:\\WINQOR");
    EXPECT_EQ(s.GetLength(), 9);

    // A buffer filled to its last character without a zero.
    p = s.GetBuffer(4);
    EXPECT_EQ(std::string(p), "C:\\WINQOR");  // the text is kept when it is longer
    CString t;
    p = t.GetBuffer(4);
    std::memcpy(p, "ABCD", 4);
    t.ReleaseBuffer();
    EXPECT_EQ(t, "ABCD");

    // An explicit length cuts the text; one past the buffer is clamped.
    CString u("abcdef");
    u.GetBuffer(0);
    u.ReleaseBuffer(3);
    EXPECT_EQ(u, "abc");
    u.GetBuffer(5);
    u.ReleaseBuffer(500);
    EXPECT_EQ(u.GetLength(), 5);
    EXPECT_EQ(u.Left(3), "abc");

    CString v;
    p = v.GetBufferSetLength(3);
    std::memcpy(p, "xyz", 3);
    EXPECT_EQ(v, "xyz");
    v.ReleaseBuffer(0);
    EXPECT_TRUE(v.IsEmpty());
}

}  // namespace
