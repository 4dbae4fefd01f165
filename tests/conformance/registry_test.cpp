// The registry rules the updater relies on, for the NT family and for
// Windows 98/ME.
#include <cstring>
#include <map>

#include "ScratchKey.h"

namespace conformance {
namespace {

using RegistryTest = ScratchKeyTest;

std::vector<std::string> SubkeyNames(HKEY key) {
    std::vector<std::string> names;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        LONG r = RegEnumKeyExA(key, i, name, &size, NULL, NULL, NULL, NULL);
        if (r == ERROR_NO_MORE_ITEMS) break;
        EXPECT_EQ(ERROR_SUCCESS, r) << "index " << i;
        if (r != ERROR_SUCCESS) break;
        EXPECT_EQ(std::strlen(name), size);
        names.push_back(name);
    }
    return names;
}

TEST_P(RegistryTest, OpenFindsExistingKeysOnlyAndAnEmptyNameOpensTheKeyItself) {
    HKEY key = NULL;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(scratch, "Missing", 0, KEY_READ, &key));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(scratch, "Missing\\Deeper", 0, KEY_READ, &key));

    ASSERT_EQ(ERROR_SUCCESS, SetRaw(scratch, "v", REG_SZ, std::string("one", 4)));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(scratch, "", 0, KEY_ALL_ACCESS, &key));
    EXPECT_NE(scratch, key);
    char data[8] = {};
    DWORD size = sizeof data;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "v", NULL, NULL, reinterpret_cast<BYTE*>(data), &size));
    EXPECT_STREQ("one", data);
    // Two handles to one key: closing one leaves the other usable.
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    size = sizeof data;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(scratch, "v", NULL, NULL, reinterpret_cast<BYTE*>(data), &size));
}

TEST_P(RegistryTest, CreateMakesParentsReportsDispositionAndIgnoresCase) {
    HKEY key = NULL;
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(scratch, "Alpha\\Beta\\Gamma", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, &disposition));
    EXPECT_EQ(DWORD(REG_CREATED_NEW_KEY), disposition);
    ASSERT_EQ(ERROR_SUCCESS, SetRaw(key, "n", REG_DWORD, std::string("\x07\0\0\0", 4)));
    RegCloseKey(key);
    EXPECT_TRUE(KeyExists(scratch, "Alpha\\Beta"));

    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(scratch, "ALPHA\\beta\\gAmMa", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, &disposition));
    EXPECT_EQ(DWORD(REG_OPENED_EXISTING_KEY), disposition);
    DWORD n = 0, size = sizeof n;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "N", NULL, NULL, reinterpret_cast<BYTE*>(&n), &size));
    EXPECT_EQ(7u, n);
    RegCloseKey(key);

    // The name keeps the case it was created with.
    EXPECT_EQ(std::vector<std::string>{"Alpha"}, SubkeyNames(scratch));
}

TEST_P(RegistryTest, SubkeysEnumerateSortedIgnoringCaseWithBlanksFirst) {
    for (const char* name : {"c", "  2", "A", "10", " 12", "b", "  1", "a"}) ASSERT_EQ(ERROR_SUCCESS, MakeKey(scratch, name));
    EXPECT_EQ((std::vector<std::string>{"  1", "  2", " 12", "10", "A", "b", "c"}), SubkeyNames(scratch));

    char name[8];
    DWORD size = sizeof name;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyExA(scratch, 7, name, &size, NULL, NULL, NULL, NULL));
}

TEST_P(RegistryTest, EnumKeyNeedsRoomForTheTerminatingZero) {
    ASSERT_EQ(ERROR_SUCCESS, MakeKey(scratch, "Name5"));
    char name[16];
    std::memset(name, '#', sizeof name);
    DWORD size = 5;
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyExA(scratch, 0, name, &size, NULL, NULL, NULL, NULL));
    size = 6;
    ASSERT_EQ(ERROR_SUCCESS, RegEnumKeyExA(scratch, 0, name, &size, NULL, NULL, NULL, NULL));
    EXPECT_EQ(5u, size);
    EXPECT_STREQ("Name5", name);
}

// One stored value read with one buffer size. The NT family stores strings as
// Unicode and its ANSI query adds a missing terminating zero; Windows 98/ME
// hand out the stored bytes.
struct QueryCase {
    const char* label;
    DWORD type;
    std::string stored;
    DWORD capacity;
    LONG ntResult;
    DWORD ntSize;
    std::string ntData;  // empty when the buffer must stay untouched
    LONG w98Result;
    DWORD w98Size;
    std::string w98Data;
};

const QueryCase kQueryCases[] = {
    {"terminated string", REG_SZ, std::string("abc", 4), 8, 0, 4, std::string("abc", 4), 0, 4, std::string("abc", 4)},
    {"unterminated string, room for a zero", REG_SZ, "abc", 8, 0, 4, std::string("abc", 4), 0, 3, "abc"},
    {"unterminated string, room for exactly its zero", REG_SZ, "abc", 4, 0, 4, std::string("abc", 4), 0, 3, "abc"},
    {"unterminated string, no room for a zero", REG_SZ, "abc", 3, ERROR_MORE_DATA, 4, "", 0, 3, "abc"},
    {"unterminated expandable string", REG_EXPAND_SZ, "%x", 8, 0, 3, std::string("%x", 3), 0, 2, "%x"},
    {"string larger than the buffer", REG_SZ, "abcde", 4, ERROR_MORE_DATA, 6, "", ERROR_MORE_DATA, 5, ""},
    {"binary is never extended", REG_BINARY, "abc", 8, 0, 3, "abc", 0, 3, "abc"},
    {"binary larger than the buffer", REG_BINARY, "abcd", 2, ERROR_MORE_DATA, 4, "", ERROR_MORE_DATA, 4, ""},
    {"dword", REG_DWORD, std::string("\x78\x56\x34\x12", 4), 4, 0, 4, std::string("\x78\x56\x34\x12", 4), 0, 4,
     std::string("\x78\x56\x34\x12", 4)},
};

TEST_P(RegistryTest, QueryValueSizesAndTerminatingZero) {
    const bool nt = IsNT();
    std::string leftOut;
    for (const auto& c : kQueryCases) {
        SCOPED_TRACE(c.label);
        if (WineStoresStringsAsNT() &&
            (c.ntResult != c.w98Result || c.ntSize != c.w98Size || c.ntData != c.w98Data)) {
            leftOut += std::string(leftOut.empty() ? "" : ", ") + c.label;
            continue;
        }
        ASSERT_EQ(ERROR_SUCCESS, SetRaw(scratch, "v", c.type, c.stored));
        unsigned char buffer[16];
        std::memset(buffer, 0xEE, sizeof buffer);
        DWORD type = 0, size = c.capacity;
        LONG r = RegQueryValueExA(scratch, "v", NULL, &type, buffer, &size);
        EXPECT_EQ(nt ? c.ntResult : c.w98Result, r);
        EXPECT_EQ(nt ? c.ntSize : c.w98Size, size);
        EXPECT_EQ(c.type, type);
        std::string expected = nt ? c.ntData : c.w98Data;
        expected.resize(sizeof buffer, '\xEE');  // nothing written past the data
        EXPECT_EQ(expected, std::string(reinterpret_cast<char*>(buffer), sizeof buffer));
    }
    if (!leftOut.empty()) GTEST_SKIP() << "Wine stores strings as NT does; not checked: " << leftOut;
}

TEST_P(RegistryTest, QueryWithoutBufferReportsTheSize) {
    ASSERT_EQ(ERROR_SUCCESS, SetRaw(scratch, "s", REG_SZ, std::string("hello", 6)));
    ASSERT_EQ(ERROR_SUCCESS, SetRaw(scratch, "b", REG_BINARY, std::string(300, 'x')));
    DWORD type = 0, size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(scratch, "s", NULL, &type, NULL, &size));
    EXPECT_EQ(6u, size);
    EXPECT_EQ(DWORD(REG_SZ), type);
    size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(scratch, "b", NULL, &type, NULL, &size));
    EXPECT_EQ(300u, size);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(scratch, "none", NULL, &type, NULL, &size));
}

TEST_P(RegistryTest, ValueNamesIgnoreCaseAndTheEmptyNameIsTheDefaultValue) {
    DWORD size = 0;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(scratch, NULL, NULL, NULL, NULL, &size));
    ASSERT_EQ(ERROR_SUCCESS, SetRaw(scratch, NULL, REG_SZ, std::string("dflt", 5)));
    ASSERT_EQ(ERROR_SUCCESS, SetRaw(scratch, "Mixed", REG_SZ, std::string("m", 2)));
    char data[8];
    size = sizeof data;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(scratch, "", NULL, NULL, reinterpret_cast<BYTE*>(data), &size));
    EXPECT_STREQ("dflt", data);
    size = sizeof data;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(scratch, "MIXED", NULL, NULL, reinterpret_cast<BYTE*>(data), &size));
    EXPECT_STREQ("m", data);
}

// Windows promises no order ("values are not ordered"): the NT family and
// the simulated PC keep the order of creation, Wine sorts by name. Each
// value comes once, with its name, type and data.
TEST_P(RegistryTest, ValuesEnumerateOnceEachWithTheirData) {
    ASSERT_EQ(ERROR_SUCCESS, SetRaw(scratch, "zeta", REG_SZ, std::string("z", 2)));
    ASSERT_EQ(ERROR_SUCCESS, SetRaw(scratch, "alpha", REG_DWORD, std::string("\1\0\0\0", 4)));
    ASSERT_EQ(ERROR_SUCCESS, SetRaw(scratch, "Mid", REG_BINARY, "\x01\x02"));
    // Setting again keeps the place.
    ASSERT_EQ(ERROR_SUCCESS, SetRaw(scratch, "ALPHA", REG_DWORD, std::string("\2\0\0\0", 4)));

    struct Found {
        DWORD type;
        std::string data;
    };
    const std::map<std::string, Found> expected = {{"zeta", {REG_SZ, std::string("z", 2)}},
                                                   {"alpha", {REG_DWORD, std::string("\2\0\0\0", 4)}},
                                                   {"Mid", {REG_BINARY, "\x01\x02"}}};
    std::map<std::string, Found> found;
    for (DWORD index = 0; index < 3; ++index) {
        SCOPED_TRACE(index);
        char name[32];
        unsigned char data[32];
        DWORD nameSize = sizeof name, dataSize = sizeof data, type = 0;
        ASSERT_EQ(ERROR_SUCCESS, RegEnumValueA(scratch, index, name, &nameSize, NULL, &type, data, &dataSize));
        EXPECT_EQ(std::strlen(name), nameSize);
        EXPECT_TRUE(found.emplace(name, Found{type, std::string(reinterpret_cast<char*>(data), dataSize)}).second)
            << name << " came twice";
        // A name buffer without room for the zero is too small.
        DWORD exact = static_cast<DWORD>(std::strlen(name));
        EXPECT_EQ(ERROR_MORE_DATA, RegEnumValueA(scratch, index, name, &exact, NULL, NULL, NULL, NULL));
    }
    EXPECT_EQ(expected.size(), found.size());
    for (const auto& e : expected) {
        SCOPED_TRACE(e.first);
        auto it = found.find(e.first);
        ASSERT_TRUE(it != found.end());
        EXPECT_EQ(e.second.type, it->second.type);
        EXPECT_EQ(e.second.data, it->second.data);
    }
    char name[32];
    DWORD nameSize = sizeof name;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumValueA(scratch, 3, name, &nameSize, NULL, NULL, NULL, NULL));
}

TEST_P(RegistryTest, DeleteValue) {
    ASSERT_EQ(ERROR_SUCCESS, SetRaw(scratch, "v", REG_SZ, std::string("x", 2)));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(scratch, "V"));
    DWORD size = 0;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(scratch, "v", NULL, NULL, NULL, &size));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(scratch, "v"));
}

TEST_P(RegistryTest, DeleteKeyOfAKeyWithSubkeysDependsOnTheFamily) {
    ASSERT_EQ(ERROR_SUCCESS, MakeKey(scratch, "T\\U\\V"));
    ASSERT_EQ(ERROR_SUCCESS, MakeKey(scratch, "T\\W"));
    ASSERT_EQ(ERROR_SUCCESS, MakeKey(scratch, "Leaf"));

    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyA(scratch, "Missing"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(scratch, "Leaf"));
    EXPECT_FALSE(KeyExists(scratch, "Leaf"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(scratch, "T\\W"));
    EXPECT_FALSE(KeyExists(scratch, "T\\W"));

    if (IsNT()) {
        EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(scratch, "T"));
        EXPECT_TRUE(KeyExists(scratch, "T\\U\\V"));
        return;
    }
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(scratch, "T"));
    EXPECT_FALSE(KeyExists(scratch, "T"));

    // Windows 98 removes the whole subtree, however many subkeys it has;
    // Wine's recursive delete stops after the first of several (it does not
    // reset its name buffer's length between them) and returns 5.
    if (RunningOnWine()) GTEST_SKIP() << "Wine stops deleting after the first of several subkeys";
    for (const char* path : {"S\\A", "S\\B\\C", "S\\D"}) ASSERT_EQ(ERROR_SUCCESS, MakeKey(scratch, path));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(scratch, "S"));
    EXPECT_FALSE(KeyExists(scratch, "S"));
}

TEST_P(RegistryTest, HandleOfADeletedKeyReportsKeyDeleted) {
    HKEY key = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(scratch, "Gone", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL));
    ASSERT_EQ(ERROR_SUCCESS, SetRaw(key, "v", REG_SZ, std::string("x", 2)));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(scratch, "Gone"));

    DWORD size = 0;
    EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExA(key, "v", NULL, NULL, NULL, &size));
    EXPECT_EQ(ERROR_KEY_DELETED, SetRaw(key, "w", REG_SZ, std::string("y", 2)));
    char name[8];
    size = sizeof name;
    EXPECT_EQ(ERROR_KEY_DELETED, RegEnumKeyExA(key, 0, name, &size, NULL, NULL, NULL, NULL));
    HKEY sub = NULL;
    EXPECT_EQ(ERROR_KEY_DELETED, RegCreateKeyExA(key, "Sub", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &sub, NULL));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));

    // The name is free again: a new, empty key.
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(scratch, "Gone", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, &disposition));
    EXPECT_EQ(DWORD(REG_CREATED_NEW_KEY), disposition);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(key, "v", NULL, NULL, NULL, &size));
    RegCloseKey(key);
}

TEST_P(RegistryTest, ClosedOrNullHandlesAreInvalid) {
    HKEY closed = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(scratch, "", 0, KEY_ALL_ACCESS, &closed));
    ASSERT_EQ(ERROR_SUCCESS, RegCloseKey(closed));

    for (HKEY bad : {closed, static_cast<HKEY>(NULL)}) {
        HKEY out = NULL;
        char name[8];
        unsigned char data[8];
        DWORD size = sizeof name, dataSize = sizeof data;
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegOpenKeyExA(bad, "x", 0, KEY_READ, &out));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegCreateKeyExA(bad, "x", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &out, NULL));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegQueryValueExA(bad, "v", NULL, NULL, data, &dataSize));
        EXPECT_EQ(ERROR_INVALID_HANDLE, SetRaw(bad, "v", REG_SZ, std::string("x", 2)));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegEnumKeyExA(bad, 0, name, &size, NULL, NULL, NULL, NULL));
        size = sizeof name;
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegEnumValueA(bad, 0, name, &size, NULL, NULL, NULL, NULL));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegDeleteKeyA(bad, "x"));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegDeleteValueA(bad, "v"));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(bad));
    }
}

// Windows 98/ME keep no rights on keys and ignore the access asked for.
TEST_P(RegistryTest, AHandleOpenedForReadingWritesOnlyOnWindows98) {
    ASSERT_EQ(ERROR_SUCCESS, SetRaw(scratch, "v", REG_SZ, std::string("x", 2)));
    HKEY key = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kScratchPath, 0, KEY_READ, &key));
    DWORD size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "v", NULL, NULL, NULL, &size));
    const LONG denied = IsNT() ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
    EXPECT_EQ(denied, SetRaw(key, "w", REG_SZ, std::string("y", 2)));
    EXPECT_EQ(denied, RegDeleteValueA(key, "v"));
    EXPECT_EQ(IsNT() ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND, RegQueryValueExA(scratch, "v", NULL, NULL, NULL, &size));
    EXPECT_EQ(IsNT() ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS, RegQueryValueExA(scratch, "w", NULL, NULL, NULL, &size));
    RegCloseKey(key);
}

TEST_P(RegistryTest, DynDataOpensAndHoldsDataOnlyOnWindows98) {
    HKEY root = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_DYN_DATA, "", 0, KEY_READ, &root));
    RegCloseKey(root);
    if (IsNT()) {
        // Windows NT keeps no data here; Wine makes "Config Manager\Enum"
        // in every version.
        if (RunningOnWine()) GTEST_SKIP() << "Wine keeps keys in HKEY_DYN_DATA on the NT family too";
        char name[256];
        DWORD size = sizeof name;
        EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumKeyExA(HKEY_DYN_DATA, 0, name, &size, NULL, NULL, NULL, NULL));
        HKEY key = NULL;
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_DYN_DATA, "Config Manager\\Enum", 0, KEY_READ, &key));
    } else {
        HKEY key = NULL;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExA(HKEY_DYN_DATA, "WinqorConformance", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL));
        EXPECT_EQ(ERROR_SUCCESS, SetRaw(key, "v", REG_DWORD, std::string("\1\0\0\0", 4)));
        RegCloseKey(key);
        DWORD value = 0, size = sizeof value;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_DYN_DATA, "WinqorConformance", 0, KEY_READ, &key));
        EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "v", NULL, NULL, reinterpret_cast<BYTE*>(&value), &size));
        EXPECT_EQ(1u, value);
        RegCloseKey(key);
        EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_DYN_DATA, "WinqorConformance"));
    }
}

INSTANTIATE_TEST_SUITE_P(Families, RegistryTest, ::testing::Values(Family::NT, Family::Win98), FamilyParamName);

// HKEY_LOCAL_MACHINE for a user who is not an administrator: the NT family
// allows reading only; Windows 98/ME know no rights.
class LocalMachineRightsTest : public ::testing::TestWithParam<Family> {
protected:
    void SetUp() override {
        std::string reason;
        if (!UseMachine({GetParam(), false}, reason)) GTEST_SKIP() << reason;
        m_bReady = true;
    }
    void TearDown() override {
        if (m_bReady) RemoveTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\WinqorConformance");
    }

private:
    bool m_bReady = false;
};

TEST_P(LocalMachineRightsTest, OnlyReadingIsAllowedOnTheNTFamily) {
    const LONG denied = IsNT() ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
    HKEY key = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &key));
    RegCloseKey(key);

    const struct {
        const char* label;
        REGSAM access;
    } writes[] = {{"KEY_ALL_ACCESS", KEY_ALL_ACCESS}, {"KEY_WRITE", KEY_WRITE}, {"KEY_SET_VALUE", KEY_SET_VALUE},
                  {"KEY_CREATE_SUB_KEY", KEY_CREATE_SUB_KEY}, {"DELETE", DELETE}};
    for (const auto& w : writes) {
        SCOPED_TRACE(w.label);
        key = NULL;
        EXPECT_EQ(denied, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, w.access, &key));
        if (key) RegCloseKey(key);
    }

    // Opening an existing key through create is reading; making one is not.
    DWORD disposition = 0;
    key = NULL;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, NULL, 0, KEY_READ, NULL, &key, &disposition));
    EXPECT_EQ(DWORD(REG_OPENED_EXISTING_KEY), disposition);
    RegCloseKey(key);
    key = NULL;
    EXPECT_EQ(denied, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\WinqorConformance", 0, NULL, 0, KEY_READ, NULL,
                                      &key, NULL));
    if (key) RegCloseKey(key);
    EXPECT_EQ(!IsNT(), KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\WinqorConformance"));

    // The user's own hive stays writable.
    EXPECT_EQ(ERROR_SUCCESS, MakeKey(HKEY_CURRENT_USER, kScratchPath));
    EXPECT_EQ(ERROR_SUCCESS, RemoveTree(HKEY_CURRENT_USER, kScratchPath));
}

INSTANTIATE_TEST_SUITE_P(Families, LocalMachineRightsTest, ::testing::Values(Family::NT, Family::Win98),
                         FamilyParamName);

}  // namespace
}  // namespace conformance
