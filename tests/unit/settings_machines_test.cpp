// The example machines under sim/machines and the built-in default machine:
// each carries driver settings the way its Windows keeps them, and needs the
// changes it is named for. The end-to-end roads run on these files.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "unit/settings_fixture.h"

namespace settingstest {
namespace {

using Where = std::pair<std::string, std::string>;  // path, value name
using Changed = std::vector<Where>;

struct Example {
    const char* file;  // below sim/machines; empty for the built-in default
    Changed changed;   // in the order they are recorded
};

const std::string kHdcNt = kHdcClass;
const char kDrive98[] =
    "Enum\\SCSI\\VALTORA_DVD-ROM_ZQ-X9046__\\MF&CHILD0001&PCI&VEN_8086&DEV_7111&SUBSYS_00000000&REV_01&BUS_00&DEV_07&"
    "FUNC_01";
const char kDriveMe[] =
    "Enum\\SCSI\\VALTORA_DVD-ROM_ZQ-X9046__\\MF&CHILD0002&PCI&VEN_8086&DEV_24CB&SUBSYS_00000000&REV_02&BUS_00&DEV_1F&"
    "FUNC_01";

const Example kExamples[] = {
    {"", {{Join(kAtapi, "Device1"), "DriverParameter"}, {kCdrom, "Autorun"}}},
    {"xp-dma-autorun.json",
     {{Join(kAtapi, "Device0"), "DriverParameter"}, {Join(kAtapi, "Device1"), "DriverParameter"}, {kCdrom, "Autorun"}}},
    {"2000-timing.json",
     {{Join(kHdcNt, "0001"), "UserMasterDeviceTimingModeAllowed"},
      {Join(kHdcNt, "0002"), "MasterDeviceTimingMode"},
      {Join(kHdcNt, "0002"), "MasterDeviceTimingModeAllowed"}}},
    {"98se-scsi.json",
     {{kDrive98, "AutoInsertNotification"},
      {kDrive98, "DMACurrentlyUsed"},
      {Join(kHdc98, "0001"), "IDEDMADRIVE0"},
      {Join(kHdc98, "0002"), "AutoInsertNotificationDrive0"},
      {Join(kHdc98, "0002"), "IDEDMADRIVE0"},
      {Join(kScsiAdapter98, "0000"), "AutoInsertNotificationDrive0"}}},
    {"me.json",
     {{kDriveMe, "AutoInsertNotification"}, {Join(kHdc98, "0001"), "IDEDMADRIVE0"}, {Join(kHdc98, "0002"), "IDEDMADRIVE0"}}},
};

using ExampleMachines = SettingsTest;

// Every value below HKEY_LOCAL_MACHINE, as the machine file keeps it.
std::map<Where, RegValue> LocalMachineValues(const sim::Machine& m) {
    std::map<Where, RegValue> values;
    std::vector<std::string> pending{""};
    while (!pending.empty()) {
        std::string path = pending.back();
        pending.pop_back();
        for (const auto& [name, value] : m.registry.Values("", Hive::LocalMachine, path)) values[{path, name}] = value;
        for (const auto& sub : m.registry.Subkeys("", Hive::LocalMachine, path))
            pending.push_back(path.empty() ? sub : Join(path, sub));
    }
    return values;
}

// The road across the restart: change, restart, nothing left to change,
// restore; only the named settings ever change, and all come back.
TEST_F(ExampleMachines, NeedTheChangesTheyAreNamedFor) {
    for (const Example& e : kExamples) {
        SCOPED_TRACE(*e.file ? e.file : "built-in default");
        sim::Machine m =
            *e.file ? sim::Machine::Load(std::string(WINQOR_MACHINES_DIR) + "/" + e.file) : sim::Machine::Default();
        const auto before = LocalMachineValues(m);
        Boot(m);
        EXPECT_EQ(Apply(0), 1);
        EXPECT_EQ(Apply(1), 1);
        Changed recorded;
        for (const Record& r : Records()) recorded.emplace_back(r.subKey, r.valueName);
        EXPECT_EQ(recorded, e.changed);

        m = sim::Proc().machine();
        m.Restart();
        Boot(m, m_nCount);
        EXPECT_EQ(Apply(0), 0);
        const auto changed = LocalMachineValues(sim::Proc().machine());
        std::set<Where> differ;
        for (const auto& [where, value] : before)
            if (changed.at(where) != value) differ.insert(where);
        EXPECT_EQ(differ, std::set<Where>(e.changed.begin(), e.changed.end()));

        Restore();
        EXPECT_EQ(m_nCount, 0);
        for (const auto& [where, value] : LocalMachineValues(sim::Proc().machine())) {
            const RegValue& was = before.at(where);
            if (value.type == REG_SZ)
                EXPECT_EQ(TextOf(value), TextOf(was)) << where.first << " " << where.second;
            else
                EXPECT_EQ(value, was) << where.first << " " << where.second;
        }
        TearDown();
    }
}

}  // namespace
}  // namespace settingstest
