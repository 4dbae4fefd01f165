// HKEY_DYN_DATA of a Windows 98/ME machine: built from the machine file's
// hardware at every load and restart, never written back.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/Machine.h"
#include "core/Process.h"
#include "settings/CRegistryKey.h"

namespace {

using nlohmann::json;
using sim::Machine;

const char kDrive[] = "SCSI\\VALTORA_DVD-ROM_ZQ-X9046__\\MF&CHILD0001&PCI&VEN_8086&DEV_7111";
const char kBus[] = "ROOT\\*PNP0A03\\0000";

json MachineFile(uint32_t platform, json hardware) {
    return {{"os", {{"platform", platform}, {"major", platform == 1 ? 4 : 5}}}, {"hardware", std::move(hardware)}};
}

struct DevNode {
    std::string name;
    std::string hardwareKey;
};

// The devices as a program on the machine sees them.
std::vector<DevNode> DevNodes() {
    std::vector<DevNode> nodes;
    CRegistryKey list;
    if (list.Open(HKEY_DYN_DATA, "Config Manager\\Enum", KEY_READ) != ERROR_SUCCESS) return nodes;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD cch = sizeof name;
        if (RegEnumKeyExA(list.GetHandle(), i, name, &cch, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
        CRegistryKey node;
        EXPECT_EQ(ERROR_SUCCESS, node.Open(list.GetHandle(), name, KEY_READ));
        char key[512] = "";
        DWORD size = sizeof key - 1;
        EXPECT_EQ(ERROR_SUCCESS, node.QueryString(key, "HardWareKey", &size));
        nodes.push_back({name, key});
    }
    return nodes;
}

std::vector<std::string> HardwareKeys(const std::vector<DevNode>& nodes) {
    std::vector<std::string> keys;
    for (const auto& n : nodes) keys.push_back(n.hardwareKey);
    std::sort(keys.begin(), keys.end());
    return keys;
}

TEST(MachineHardware, EachDeviceIsListedAtBootWithItsHardwareKey) {
    sim::Process::Boot(Machine::FromJson(MachineFile(1, {kBus, kDrive}), "98.json"));
    auto nodes = DevNodes();
    EXPECT_EQ(HardwareKeys(nodes), (std::vector<std::string>{kBus, kDrive}));
    for (const auto& n : nodes) EXPECT_EQ(8u, n.name.size()) << n.name;
    EXPECT_NE(nodes[0].name, nodes[1].name);
}

TEST(MachineHardware, ListIsRebuiltAtEveryRestartAndNeverSaved) {
    Machine m = Machine::FromJson(MachineFile(1, {kDrive}), "98.json");
    sim::Process::Boot(m);
    const auto first = DevNodes();
    ASSERT_EQ(1u, first.size());
    // Something a program left there.
    m.registry.SetValue("", sim::Hive::DynData, "Config Manager\\Enum\\" + first[0].name, "Stray", sim::RegValue::Dword(1));

    const json saved = m.ToJson();
    EXPECT_EQ(json::array({kDrive}), saved.at("hardware"));
    EXPECT_EQ(std::string::npos, saved.dump().find(first[0].name));
    // The same boot, loaded by the next run: the same devices under the same names.
    sim::Process::Boot(Machine::FromJson(saved, "98.json"));
    const auto reloaded = DevNodes();
    ASSERT_EQ(1u, reloaded.size());
    EXPECT_EQ(first[0].name, reloaded[0].name);

    m.Restart();
    EXPECT_FALSE(m.registry.GetValue("", sim::Hive::DynData, "Config Manager\\Enum\\" + first[0].name, "Stray"));
    sim::Process::Boot(m);
    const auto restarted = DevNodes();
    ASSERT_EQ(1u, restarted.size());
    EXPECT_EQ(kDrive, restarted[0].hardwareKey);
    EXPECT_NE(first[0].name, restarted[0].name) << "device nodes are new at every boot";
}

TEST(MachineHardware, NtFamilyKeepsNothingThere) {
    sim::Process::Boot(Machine::FromJson(MachineFile(2, {kDrive}), "xp.json"));
    EXPECT_TRUE(DevNodes().empty());
}

TEST(MachineHardware, BadListIsRefusedWithItsPlace) {
    struct Case {
        json hardware;
        const char* says;
    } cases[] = {
        {"SCSI\\X", "98.json: /hardware: expected a list of hardware keys"},
        {json::array({kBus, 7}), "98.json: /hardware/1: expected a hardware key"},
        {json::array({""}), "98.json: /hardware/0: a hardware key is a key path below Enum"},
        {json::array({"SCSI\\\\X"}), "98.json: /hardware/0: a hardware key is a key path below Enum"},
        {json::array({"SCSI\\" + std::string(256, 'x')}), "98.json: /hardware/0: key name longer than 255"},
    };
    for (const auto& c : cases) {
        try {
            Machine::FromJson(MachineFile(1, c.hardware), "98.json");
            ADD_FAILURE() << "accepted " << c.hardware.dump();
        } catch (const sim::MachineFileError& e) {
            EXPECT_EQ(0u, std::string(e.what()).find(c.says)) << e.what();
        }
    }
}

}  // namespace
