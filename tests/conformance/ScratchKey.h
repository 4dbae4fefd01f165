// A fresh key under HKEY_CURRENT_USER for each registry test, on a machine of
// the family the test is instantiated for, and the few raw helpers the tests
// share. Only Win32 calls, so the same tests run on Windows.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Fixture.h"
#include "win32.h"

namespace conformance {

constexpr const char* kScratchPath = "Software\\WinqorConformance";

inline bool IsNT() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
    return GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

// Wine keeps every string as the NT family does, also when it plays
// Windows 98, which hands out the bytes it was given.
inline bool WineStoresStringsAsNT() { return !IsNT() && RunningOnWine(); }

inline LONG SetRaw(HKEY key, const char* name, DWORD type, const std::string& bytes) {
    return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                          static_cast<DWORD>(bytes.size()));
}

inline bool KeyExists(HKEY parent, const char* path) {
    HKEY key = NULL;
    if (RegOpenKeyExA(parent, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

inline LONG MakeKey(HKEY parent, const char* path) {
    HKEY key = NULL;
    LONG r = RegCreateKeyExA(parent, path, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL);
    if (r == ERROR_SUCCESS) RegCloseKey(key);
    return r;
}

// Independent of the key wrapper under test: collects the names first, then
// removes the children before the key.
inline LONG RemoveTree(HKEY parent, const char* path) {
    HKEY key = NULL;
    LONG r = RegOpenKeyExA(parent, path, 0, KEY_ALL_ACCESS, &key);
    if (r != ERROR_SUCCESS) return r;
    std::vector<std::string> names;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        if (RegEnumKeyExA(key, i, name, &size, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
        names.push_back(name);
    }
    for (const auto& child : names) RemoveTree(key, child.c_str());
    RegCloseKey(key);
    return RegDeleteKeyA(parent, path);
}

class ScratchKeyTest : public ::testing::TestWithParam<Family> {
protected:
    void SetUp() override {
        std::string reason;
        if (!UseMachine({GetParam(), true}, reason)) GTEST_SKIP() << reason;
        m_bCounting = CountOpenKeys(m_nKeysBefore);
        RemoveTree(HKEY_CURRENT_USER, kScratchPath);
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kScratchPath, 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                                                 &scratch, NULL));
    }

    void TearDown() override {
        if (!scratch) return;
        RegCloseKey(scratch);
        EXPECT_EQ(ERROR_SUCCESS, RemoveTree(HKEY_CURRENT_USER, kScratchPath));
        size_t after = 0;
        if (m_bCounting && CountOpenKeys(after)) {
            EXPECT_EQ(m_nKeysBefore, after) << "a key handle was left open";
        }
    }

    HKEY scratch = NULL;

private:
    bool m_bCounting = false;
    size_t m_nKeysBefore = 0;
};

inline std::string FamilyParamName(const ::testing::TestParamInfo<Family>& info) { return FamilyName(info.param); }

}  // namespace conformance
