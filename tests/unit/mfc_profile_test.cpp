// The application's profile in the simulated registry: the keys even a read
// creates, the empty section, nested sections such as the change records,
// defaults, deletes, and no key handle left open.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "afx.h"
#include "core/Process.h"
#include "unit/mfc_print.h"

namespace {

using sim::Hive;
using sim::RegValue;

const char kAppKey[] = "Software\\Valtora_ODD\\WINQOR";

class ProfileTest : public ::testing::Test {
protected:
    // imagePath C:\WINQOR\WINQOR.EXE: the application's key is "WINQOR".
    static void Boot(uint32_t platform = 2, bool withSoftwareKey = true) {
        sim::Machine m = sim::Machine::Default();
        m.os.platform = platform;
        if (platform == 1) m.os.major = 4;
        // Every profile has Software; the odd machine without it is made by hand.
        if (!withSoftwareKey) m.registry.DeleteKeyTree(m.user, Hive::CurrentUser, "Software");
        sim::Process::Boot(m);
    }

    void SetUp() override { Boot(); }

    void TearDown() override {
        EXPECT_EQ(sim::Proc().handles().Count("key"), 0u) << "a registry key was left open";
    }

    static void Put(const std::string& path, const std::string& name, RegValue value) {
        auto& m = sim::Proc().machine();
        m.registry.SetValue(m.user, Hive::CurrentUser, path, name, std::move(value));
    }

    static bool KeyExists(const std::string& path) {
        HKEY key = NULL;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        RegCloseKey(key);
        return true;
    }

    static std::vector<std::string> Subkeys(const std::string& path) {
        std::vector<std::string> names;
        HKEY key = NULL;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
        char name[256];
        for (DWORD i = 0;; ++i) {
            DWORD cch = sizeof name;
            if (RegEnumKeyExA(key, i, name, &cch, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
            names.push_back(name);
        }
        RegCloseKey(key);
        return names;
    }

    // The value as stored: its type and bytes; type REG_NONE with no bytes
    // when it cannot be read.
    static RegValue Stored(const std::string& path, const char* name) {
        RegValue v;
        HKEY key = NULL;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return v;
        DWORD type = REG_NONE;
        BYTE data[512];
        DWORD size = sizeof data;
        if (RegQueryValueExA(key, name, NULL, &type, data, &size) == ERROR_SUCCESS) {
            v.type = type;
            v.data.assign(data, data + size);
        }
        RegCloseKey(key);
        return v;
    }
};

TEST_F(ProfileTest, ReadingCreatesTheKeysOnTheWayAndGivesTheDefault) {
    CWinApp app;
    app.SetRegistryKey("Valtora_ODD");
    ASSERT_FALSE(KeyExists("Software\\Valtora_ODD"));

    EXPECT_EQ(static_cast<int>(app.GetProfileInt("", "Changed", 0)), 0);
    EXPECT_TRUE(KeyExists("Software\\Valtora_ODD"));
    EXPECT_TRUE(KeyExists(kAppKey));
    EXPECT_EQ(Stored(kAppKey, "Changed").type, REG_NONE) << "a read wrote the value";
    EXPECT_TRUE(Subkeys(kAppKey).empty()) << "the empty section made a subkey";

    EXPECT_EQ(static_cast<int>(app.GetProfileInt("Change\\  7", "Value_Type", -3)), -3);
    EXPECT_EQ(app.GetProfileString("Change\\  7", "SubKey_Name", "none"), "none");
    EXPECT_EQ(app.GetProfileString("Change\\  7", "Value_Name"), "");
    EXPECT_TRUE(KeyExists(std::string(kAppKey) + "\\Change\\  7"));
    EXPECT_EQ(Subkeys(std::string(kAppKey) + "\\Change"), std::vector<std::string>{"  7"});
}

TEST_F(ProfileTest, EmptySectionIsTheApplicationKeyItself) {
    CWinApp app;
    app.SetRegistryKey("Valtora_ODD");
    EXPECT_TRUE(app.WriteProfileInt("", "Changed", 3));
    EXPECT_EQ(Stored(kAppKey, "Changed"), RegValue::Dword(3));
    EXPECT_TRUE(Subkeys(kAppKey).empty());
    EXPECT_EQ(app.GetProfileInt("", "Changed", 0), 3u);

    // A value that an earlier run left is read, not replaced.
    Put(kAppKey, "Changed", RegValue::Dword(12));
    EXPECT_EQ(app.GetProfileInt("", "Changed", 0), 12u);
}

TEST_F(ProfileTest, ChangeRecordLandsInItsNestedSection) {
    CWinApp app;
    app.SetRegistryKey("Valtora_ODD");
    CString section;
    section.Format("Change\\%3d", 1);
    const char kTarget[] = "SYSTEM\\CurrentControlSet\\Services\\Cdrom";
    EXPECT_TRUE(app.WriteProfileString(section, "SubKey_Name", kTarget));
    EXPECT_TRUE(app.WriteProfileString(section, "Value_Name", "Autorun"));
    EXPECT_TRUE(app.WriteProfileInt(section, "Value_Type", 4));
    EXPECT_TRUE(app.WriteProfileInt(section, "Value", -1));

    const std::string record = std::string(kAppKey) + "\\Change\\  1";
    EXPECT_EQ(Stored(record, "SubKey_Name"), RegValue::Sz(kTarget));
    EXPECT_EQ(Stored(record, "Value_Name"), RegValue::Sz("Autorun"));
    EXPECT_EQ(Stored(record, "Value_Type"), RegValue::Dword(4));
    EXPECT_EQ(Stored(record, "Value"), RegValue::Dword(0xFFFFFFFFu));

    EXPECT_EQ(app.GetProfileString(section, "SubKey_Name"), kTarget);
    EXPECT_EQ(app.GetProfileInt(section, "Value", 0), 0xFFFFFFFFu);
    EXPECT_EQ(static_cast<int>(app.GetProfileInt(section, "Value", 0)), -1);
    // Rewriting a text keeps one value, with the new text.
    EXPECT_TRUE(app.WriteProfileString(section, "Value_Name", "AutoRunAlwaysDisable"));
    EXPECT_EQ(app.GetProfileString(section, "Value_Name"), "AutoRunAlwaysDisable");
}

TEST_F(ProfileTest, ValueOfTheWrongTypeOrSizeGivesTheDefault) {
    CWinApp app;
    app.SetRegistryKey("Valtora_ODD");
    struct Case {
        const char* what;
        RegValue stored;
    } cases[] = {
        {"text", RegValue::Sz("3")},
        {"binary of four bytes", RegValue::Binary({3, 0, 0, 0})},
        {"short dword", RegValue{REG_DWORD, {3, 0}}},
        {"long dword", RegValue{REG_DWORD, {3, 0, 0, 0, 0}}},
    };
    for (const auto& c : cases) {
        Put(kAppKey, "Changed", c.stored);
        EXPECT_EQ(app.GetProfileInt("", "Changed", 42), 42u) << c.what;
    }
    Put(kAppKey, "Name", RegValue::Dword(0x41414141));
    EXPECT_EQ(app.GetProfileString("", "Name", "default"), "default");
}

TEST_F(ProfileTest, TextWithoutItsZeroIsReadWhole) {
    // 98/ME hand out the stored bytes; the NT family adds the zero.
    for (uint32_t platform : {1u, 2u}) {
        Boot(platform);
        CWinApp app;
        app.SetRegistryKey("Valtora_ODD");
        Put(kAppKey, "Dir", RegValue{REG_SZ, {'C', ':', '\\', 'W', 'I', 'N', 'Q', 'O', 'R'}});
        Put(kAppKey, "Empty", RegValue{REG_SZ, {}});
        Put(kAppKey, "Inner", RegValue{REG_SZ, {'a', 'b', 0, 'c', 0}});
        EXPECT_EQ(app.GetProfileString("", "Dir"), "C:\\WINQOR") << "platform " << platform;
        EXPECT_EQ(app.GetProfileString("", "Dir").GetLength(), 9);
        EXPECT_EQ(app.GetProfileString("", "Empty", "x"), "") << "platform " << platform;
        EXPECT_EQ(app.GetProfileString("", "Inner"), "ab") << "platform " << platform;
    }
}

TEST_F(ProfileTest, NullValueDeletesTheEntry) {
    CWinApp app;
    app.SetRegistryKey("Valtora_ODD");
    ASSERT_TRUE(app.WriteProfileString("Change\\  1", "Value_Name", "Autorun"));
    ASSERT_TRUE(app.WriteProfileInt("Change\\  1", "Value", 1));
    EXPECT_TRUE(app.WriteProfileString("Change\\  1", "Value_Name", NULL));
    EXPECT_EQ(app.GetProfileString("Change\\  1", "Value_Name", "gone"), "gone");
    EXPECT_EQ(app.GetProfileInt("Change\\  1", "Value", 0), 1u);
    EXPECT_FALSE(app.WriteProfileString("Change\\  1", "Value_Name", NULL)) << "nothing left to delete";
}

TEST_F(ProfileTest, NullEntryDeletesTheSectionKey) {
    CWinApp app;
    app.SetRegistryKey("Valtora_ODD");
    ASSERT_TRUE(app.WriteProfileInt("Change\\  1", "Value_Type", 4));
    ASSERT_TRUE(app.WriteProfileInt("Change\\  2", "Value_Type", 4));
    ASSERT_TRUE(app.WriteProfileInt("", "Changed", 2));

    EXPECT_TRUE(app.WriteProfileString("Change\\  1", NULL, NULL));
    EXPECT_EQ(Subkeys(std::string(kAppKey) + "\\Change"), std::vector<std::string>{"  2"});
    EXPECT_EQ(app.GetProfileInt("", "Changed", 0), 2u);

    // The NT family deletes only a key without subkeys.
    EXPECT_FALSE(app.WriteProfileString("Change", NULL, NULL));
    EXPECT_TRUE(KeyExists(std::string(kAppKey) + "\\Change\\  2"));
    EXPECT_TRUE(app.WriteProfileString("Change\\  2", NULL, NULL));
    EXPECT_TRUE(app.WriteProfileString("Change", NULL, NULL));
    EXPECT_TRUE(Subkeys(kAppKey).empty());

    // The empty section: the application's key goes, the maker key stays.
    EXPECT_TRUE(app.WriteProfileString("", NULL, NULL));
    EXPECT_FALSE(KeyExists(kAppKey));
    EXPECT_TRUE(KeyExists("Software\\Valtora_ODD"));
}

TEST_F(ProfileTest, NullEntryOnWindows98TakesTheWholeSection) {
    Boot(1);
    CWinApp app;
    app.SetRegistryKey("Valtora_ODD");
    ASSERT_TRUE(app.WriteProfileInt("Change\\  1", "Value_Type", 3));
    EXPECT_TRUE(app.WriteProfileString("Change", NULL, NULL));
    EXPECT_FALSE(KeyExists(std::string(kAppKey) + "\\Change"));
    EXPECT_TRUE(KeyExists(kAppKey));
}

TEST_F(ProfileTest, WithoutRegistryKeyNothingIsTouched) {
    CWinApp app;
    EXPECT_EQ(app.GetProfileInt("", "Changed", 5), 5u);
    EXPECT_FALSE(app.WriteProfileInt("", "Changed", 1));
    EXPECT_FALSE(app.WriteProfileString("Change\\  1", "Value_Name", "x"));
    EXPECT_EQ(app.GetProfileString("", "Name", "d"), "d");
    EXPECT_EQ(app.GetAppRegistryKey(), nullptr);
    EXPECT_TRUE(Subkeys("Software").empty());
}

TEST_F(ProfileTest, MissingSoftwareKeyIsNotCreated) {
    Boot(2, false);
    CWinApp app;
    app.SetRegistryKey("Valtora_ODD");
    EXPECT_EQ(app.GetProfileInt("", "Changed", 5), 5u);
    EXPECT_FALSE(app.WriteProfileInt("", "Changed", 1));
    EXPECT_FALSE(app.WriteProfileString("", NULL, NULL));
    EXPECT_FALSE(KeyExists("Software"));
}

TEST_F(ProfileTest, SectionKeyIsOpenForReadAndWrite) {
    CWinApp app;
    app.SetRegistryKey("Valtora_ODD");
    HKEY key = app.GetSectionKey("Change\\  3");
    ASSERT_NE(key, nullptr);
    DWORD seven = 7;
    EXPECT_EQ(RegSetValueExA(key, "Value", 0, REG_DWORD, reinterpret_cast<BYTE*>(&seven), sizeof seven),
              ERROR_SUCCESS);
    DWORD back = 0, size = sizeof back;
    EXPECT_EQ(RegQueryValueExA(key, "Value", NULL, NULL, reinterpret_cast<BYTE*>(&back), &size), ERROR_SUCCESS);
    EXPECT_EQ(back, 7u);
    RegCloseKey(key);
    EXPECT_EQ(app.GetSectionKey(NULL), nullptr);
}

}  // namespace
