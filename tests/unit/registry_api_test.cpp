// What the registry calls do to the simulated machine: which hive a call
// reaches, the handles it leaves, what is written back to the machine file.
#include <gtest/gtest.h>

#include "core/Process.h"
#include "settings/CRegistryKey.h"
#include "win32.h"

namespace {

using sim::Hive;
using sim::Proc;
using sim::RegValue;

sim::Machine TwoUsers(uint32_t platform) {
    sim::Machine m = sim::Machine::Default();
    m.os.platform = platform;
    m.user = "Alice";
    m.users = {{"Alice", {}}, {"Bob", {}}};
    return m;
}

TEST(RegistryCalls, CurrentUserIsTheUserLoggedOnAtTheTimeOfTheCall) {
    sim::Process::Boot(TwoUsers(2));
    HKEY key = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Mine", 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                                             &key, NULL));
    DWORD one = 1;
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "n", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4));
    RegCloseKey(key);

    Proc().machine().user = "Bob";
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Mine", 0, KEY_READ, &key));
    const auto& reg = Proc().machine().registry;
    EXPECT_EQ(RegValue::Dword(1), reg.GetValue("Alice", Hive::CurrentUser, "SOFTWARE\\MINE", "N"));
    EXPECT_FALSE(reg.KeyExists("Bob", Hive::CurrentUser, "Software\\Mine"));
}

TEST(RegistryCalls, WritesReachTheMachineFile) {
    sim::Process::Boot(TwoUsers(2));
    {
        CRegistryKey key;
        ASSERT_EQ(ERROR_SUCCESS, key.Create(HKEY_LOCAL_MACHINE, "Software\\VALTORA_ODD_WINQOR", NULL, 0,
                                            KEY_ALL_ACCESS, NULL, NULL));
        ASSERT_EQ(ERROR_SUCCESS, key.Create(HKEY_CURRENT_USER, "Software\\Valtora_ODD\\Alice", NULL, 0,
                                            KEY_ALL_ACCESS, NULL, NULL));
        ASSERT_EQ(ERROR_SUCCESS, key.SetDword(3, "Changed"));
        ASSERT_EQ(ERROR_SUCCESS, key.SetString("C:\\WINQOR\\WINQOR.EXE", "Valtora_ODD_Add"));
    }
    const nlohmann::json saved = Proc().machine().ToJson();
    // The new key takes the spelling of the parent that already existed.
    EXPECT_EQ(nlohmann::json::object(), saved.at("registry").at("SOFTWARE\\VALTORA_ODD_WINQOR"));
    EXPECT_EQ((nlohmann::json{{"Changed", {{"dword", 3}}}, {"Valtora_ODD_Add", "C:\\WINQOR\\WINQOR.EXE"}}),
              saved.at("users").at("Alice").at("registry").at("Software\\Valtora_ODD\\Alice"));
}

TEST(RegistryCalls, OpenKeysAreHandlesOfKindKey) {
    sim::Process::Boot(TwoUsers(2));
    auto& handles = Proc().handles();
    HKEY key = NULL, same = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &key));
    EXPECT_EQ(1u, handles.Count("key"));
    // A predefined key asked for by an empty name comes back as itself.
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "", 0, KEY_READ, &same));
    EXPECT_EQ(HKEY_CURRENT_USER, same);
    EXPECT_EQ(1u, handles.Count("key"));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(same));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    EXPECT_EQ(0u, handles.Count("key"));
}

TEST(RegistryCalls, DynDataComesFromTheMachineOnlyOnWindows98) {
    for (uint32_t platform : {1u, 2u}) {
        SCOPED_TRACE(platform);
        sim::Machine m = TwoUsers(platform);
        m.registry.SetValue("", Hive::DynData, "Config Manager\\Enum\\C29A3B40", "HardWareKey",
                            RegValue::Sz("SCSI\\VALTORA_DVD-ROM"));
        sim::Process::Boot(m);
        HKEY key = NULL;
        LONG r = RegOpenKeyExA(HKEY_DYN_DATA, "Config Manager\\Enum\\C29A3B40", 0, KEY_READ, &key);
        EXPECT_EQ(platform == 1 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND, r);
        if (r == ERROR_SUCCESS) RegCloseKey(key);
        // Not written back: rebuilt at every boot.
        EXPECT_EQ(std::string::npos, Proc().machine().ToJson().dump().find("C29A3B40"));
    }
}

TEST(RegistryCalls, ClearingDynDataDeletesKeysStillOpen) {
    sim::Machine m = TwoUsers(1);
    m.registry.CreateKey("", Hive::DynData, "Config Manager\\Enum");
    sim::Process::Boot(m);
    HKEY key = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_DYN_DATA, "Config Manager\\Enum", 0, KEY_READ, &key));
    Proc().machine().registry.ClearDynData();
    char name[16];
    DWORD size = sizeof name;
    EXPECT_EQ(ERROR_KEY_DELETED, RegEnumKeyExA(key, 0, name, &size, NULL, NULL, NULL, NULL));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
}

// Handle values are never reused on the simulated PC, so a key closed behind
// the wrapper's back stays invalid; on Windows the slot may be taken again.
TEST(RegistryKeyWrapper, AFailedCloseOfTheReplacedKeyIsTheResultButTheNewKeyIsHeld) {
    sim::Process::Boot(TwoUsers(2));
    auto& reg = Proc().machine().registry;
    reg.SetValue("Alice", Hive::CurrentUser, "A", "n", RegValue::Dword(1));
    reg.SetValue("Alice", Hive::CurrentUser, "B", "n", RegValue::Dword(2));

    CRegistryKey key;
    ASSERT_EQ(ERROR_SUCCESS, key.Open(HKEY_CURRENT_USER, "A", KEY_ALL_ACCESS));
    ASSERT_EQ(ERROR_SUCCESS, RegCloseKey(key.GetHandle()));
    EXPECT_EQ(ERROR_INVALID_HANDLE, key.Open(HKEY_CURRENT_USER, "B", KEY_ALL_ACCESS));
    DWORD n = 0;
    EXPECT_EQ(ERROR_SUCCESS, key.QueryDword(n, "n"));
    EXPECT_EQ(2u, n);

    ASSERT_EQ(ERROR_SUCCESS, RegCloseKey(key.GetHandle()));
    EXPECT_EQ(ERROR_INVALID_HANDLE, key.Create(HKEY_CURRENT_USER, "A", NULL, 0, KEY_ALL_ACCESS, NULL, NULL));
    EXPECT_EQ(ERROR_SUCCESS, key.QueryDword(n, "n"));
    EXPECT_EQ(1u, n);
    EXPECT_EQ(ERROR_SUCCESS, key.Close());
    EXPECT_EQ(0u, Proc().handles().Count("key"));
}

TEST(RegistryKeyWrapper, DeleteKeyTreeClearsANonAdministratorsOwnTreeOnNT) {
    sim::Machine m = TwoUsers(2);
    m.users["Alice"].admin = false;
    for (const char* path : {"Software\\Valtora_ODD\\Alice\\Change\\  1", "Software\\Valtora_ODD\\Alice\\Change\\  2",
                             "Software\\Valtora_ODD\\Alice\\Change\\ 10"})
        m.registry.SetValue("Alice", Hive::CurrentUser, path, "Key", RegValue::Sz("x"));
    m.registry.CreateKey("", Hive::LocalMachine, "SOFTWARE\\VALTORA_ODD_WINQOR\\Inner");
    sim::Process::Boot(m);

    CRegistryKey key;
    ASSERT_EQ(ERROR_SUCCESS, key.Open(HKEY_CURRENT_USER, "Software\\Valtora_ODD", KEY_ALL_ACCESS));
    EXPECT_EQ(ERROR_SUCCESS, key.DeleteKeyTree("Alice"));
    EXPECT_TRUE(Proc().machine().registry.Subkeys("Alice", Hive::CurrentUser, "Software\\Valtora_ODD").empty());

    // Below HKEY_LOCAL_MACHINE the first open for deletion is already refused.
    ASSERT_EQ(ERROR_SUCCESS, key.Open(HKEY_LOCAL_MACHINE, "SOFTWARE", KEY_READ));
    EXPECT_EQ(ERROR_ACCESS_DENIED, key.DeleteKeyTree("VALTORA_ODD_WINQOR"));
    EXPECT_TRUE(Proc().machine().registry.KeyExists("", Hive::LocalMachine, "SOFTWARE\\VALTORA_ODD_WINQOR\\Inner"));
}

}  // namespace
