// Arbitrary change logs and driver settings for the settings guard, on the
// simulated PC. Whatever the registry holds (any type, any size, texts with
// or without their zero, odd names), examining, changing and restoring must
// not crash or read outside a buffer; and a change followed by a restore must
// give back every setting it changed and leave no record behind.
//
// The input is read in order (see make_seeds.py, which writes the seeds):
//   flags byte      bit 0: NT family; bit 1: change and restore (else only
//                   examine, then restore the log as found)
//   4 bytes         the loaded change count, little-endian
//   then entries, each a kind byte followed by its fields:
//     0 value       place, subkey path, value name, value
//     1 record      record name, then its four values, each present or not
//     2 device      flags, hardware key name, two values (98/ME devices)
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "afx.h"
#include "core/Process.h"
#include "settings/CSettingsGuard.h"

namespace {

using sim::Hive;
using sim::RegValue;

struct Place {
    Hive hive;
    const char* path;
};

// Where the guard looks, so that values land in its way.
const Place kPlaces[] = {
    {Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\atapi\\Parameters"},
    {Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Control\\Class"},
    {Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96A-E325-11CE-BFC1-08002BE10318}"},
    {Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\Cdrom"},
    {Hive::DynData, "Config Manager\\Enum"},
    {Hive::LocalMachine, "Enum\\SCSI"},
    {Hive::LocalMachine, "System\\CurrentControlSet\\Services\\Class\\hdc"},
    {Hive::LocalMachine, "System\\CurrentControlSet\\Services\\Class\\SCSIAdapter"},
};

const char* const kValueNames[] = {
    "DriverParameter", "Class", "UserMasterDeviceTimingModeAllowed", "MasterDeviceTimingMode",
    "MasterDeviceTimingModeAllowed", "UserSlaveDeviceTimingModeAllowed", "SlaveDeviceTimingMode",
    "SlaveDeviceTimingModeAllowed", "Autorun", "HardWareKey", "AutoInsertNotification", "DMACurrentlyUsed",
    "AutoInsertNotificationDrive0", "AutoInsertNotificationDrive1", "IDEDMADRIVE0", "IDEDMADRIVE1",
};

const char* const kRecordValues[] = {"SubKey_Name", "Value_Name", "Value_Type", "Value"};

const char kLog[] = "Software\\Valtora_ODD\\WINQOR\\Change";

// A key name without separators; 255 asks for one longer than the guard's
// 512-character name buffer.
std::string KeyName(FuzzInput& in) {
    uint8_t n = in.Byte();
    std::string name = n == 255 ? std::string(512 + in.Byte(), 'K') : in.Bytes(n);
    for (char& c : name)
        if (c == '\\') c = '_';
    return name.empty() ? "0000" : name;
}

std::string ValueName(FuzzInput& in) {
    uint8_t n = in.Byte();
    if (n < sizeof kValueNames / sizeof *kValueNames) return kValueNames[n];
    return in.Bytes(n - sizeof kValueNames / sizeof *kValueNames);
}

// Types 0 to 7 as they are; above, odd type codes.
RegValue Value(FuzzInput& in) {
    uint8_t t = in.Byte();
    RegValue v;
    v.type = t < 8 ? t : 0xFFFF0000u | t;
    std::string bytes = in.Bytes(in.Word() % 1025);
    v.data.assign(bytes.begin(), bytes.end());
    return v;
}

void PutValue(sim::Machine& m, Hive hive, const std::string& path, const std::string& name, RegValue v) {
    m.registry.SetValue(hive == Hive::CurrentUser ? m.user : "", hive, path, name, std::move(v));
}

void ReadEntry(FuzzInput& in, sim::Machine& m) {
    switch (in.Byte() % 3) {
        case 0: {
            const Place& place = kPlaces[in.Byte() % (sizeof kPlaces / sizeof *kPlaces)];
            std::string path = place.path;
            for (int depth = in.Byte() % 3; depth > 0; --depth) path += "\\" + KeyName(in);
            std::string name = ValueName(in);
            PutValue(m, place.hive, path, name, Value(in));
            break;
        }
        case 1: {
            std::string name;
            if (in.Byte() & 1) {
                char number[16];
                std::snprintf(number, sizeof number, "%3d", static_cast<int16_t>(in.Word()));
                name = number;
            } else {
                name = KeyName(in);
            }
            const std::string path = std::string(kLog) + "\\" + name;
            m.registry.CreateKey(m.user, Hive::CurrentUser, path);
            for (const char* value : kRecordValues)
                if (in.Byte() & 1) PutValue(m, Hive::CurrentUser, path, value, Value(in));
            break;
        }
        default: {
            uint8_t flags = in.Byte();
            std::string device = KeyName(in);
            std::string hardwareKey = std::string(flags & 2 ? "scsi\\" : "SCSI\\") + device;
            RegValue key{REG_SZ, std::vector<uint8_t>(hardwareKey.begin(), hardwareKey.end())};
            if (flags & 1) key.data.push_back(0);
            char node[16];
            std::snprintf(node, sizeof node, "C1%06X", static_cast<unsigned>(in.Word()));
            PutValue(m, Hive::DynData, std::string("Config Manager\\Enum\\") + node, "HardWareKey", key);
            const std::string enumPath = "Enum\\SCSI\\" + device;
            PutValue(m, Hive::LocalMachine, enumPath, "AutoInsertNotification", Value(in));
            PutValue(m, Hive::LocalMachine, enumPath, "DMACurrentlyUsed", Value(in));
            break;
        }
    }
}

// Every value below HKEY_LOCAL_MACHINE, by key path and name.
std::vector<std::pair<std::string, RegValue>> LocalMachine(const sim::Machine& m) {
    std::vector<std::pair<std::string, RegValue>> all;
    std::vector<std::string> pending{""};
    while (!pending.empty()) {
        std::string path = pending.back();
        pending.pop_back();
        for (const auto& [name, value] : m.registry.Values("", Hive::LocalMachine, path))
            all.emplace_back(path + "|" + name, value);
        for (const auto& sub : m.registry.Subkeys("", Hive::LocalMachine, path))
            pending.push_back(path.empty() ? sub : path + "\\" + sub);
    }
    return all;
}

std::string Text(const RegValue& v) {
    std::string s(v.data.begin(), v.data.end());
    return s.substr(0, s.find('\0'));
}

// A text comes back as itself, padded to 128 bytes; anything else exactly.
bool CameBack(const RegValue& now, const RegValue& was) {
    if (now == was) return true;
    return now.type == REG_SZ && was.type == REG_SZ && now.data.size() == 128 && Text(now) == Text(was);
}

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "settings_fuzz: %s\n", what);
    std::abort();
}

size_t Records() { return sim::Proc().machine().registry.Subkeys(sim::Proc().machine().user, Hive::CurrentUser, kLog).size(); }

const sim::Machine& BaseMachine(bool bWinNT) {
    static const sim::Machine nt = [] {
        sim::Machine m = sim::Machine::Default();
        m.registry.DeleteKeyTree("", Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\atapi");
        m.registry.DeleteKeyTree("", Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\Cdrom");
        return m;
    }();
    static const sim::Machine win98 = [] {
        sim::Machine m = nt;
        m.os.platform = 1;
        m.os.major = 4;
        m.os.minor = 10;
        m.BuildDynData();
        return m;
    }();
    return bWinNT ? nt : win98;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const uint8_t flags = in.Byte();
    const bool bWinNT = flags & 1;
    const bool bChange = flags & 2;
    int nCount = static_cast<int>(in.Long());
    sim::Machine m = BaseMachine(bWinNT);
    while (!in.Empty()) ReadEntry(in, m);
    sim::Process::Boot(m);

    CWinApp app;
    app.SetRegistryKey("Valtora_ODD");
    CSettingsGuard guard(app, bWinNT, nCount);
    if (!bChange) {
        guard.ApplySettingChanges(0);
        guard.RestoreSettingChanges();
    } else if (Records() == 0) {
        const auto before = LocalMachine(sim::Proc().machine());
        const int nNeeded = guard.ApplySettingChanges(1);
        const size_t nWritten = Records();
        if (nWritten && !nNeeded) Fail("records written for settings that needed no change");
        // At the top of the count no record can be written, so nothing changes.
        if (nCount != INT_MAX && guard.ApplySettingChanges(0)) Fail("a changed setting still needs a change");
        const int64_t nAfterChange = nCount;
        guard.RestoreSettingChanges();
        if (Records()) Fail("a record of this run was left behind");
        if (nCount != std::max<int64_t>(nAfterChange - static_cast<int64_t>(nWritten), INT_MIN))
            Fail("the count does not match the records restored");
        const auto after = LocalMachine(sim::Proc().machine());
        if (after.size() != before.size()) Fail("values came or went");
        for (size_t i = 0; i < before.size(); ++i)
            if (after[i].first != before[i].first || !CameBack(after[i].second, before[i].second))
                Fail("a setting did not come back");
    } else {
        guard.ApplySettingChanges(1);
        guard.RestoreSettingChanges();
    }
    if (sim::Proc().handles().Count("key") != 0) Fail("a registry key was left open");
    return 0;
}
