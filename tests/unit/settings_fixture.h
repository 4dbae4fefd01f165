// Machines with driver settings for the settings guard's tests, the guard
// over a plain application profile, and readers of the registry through the
// Win32 calls and CRegistryKey.
//
// The guard is driven through CSettingsGuard with a CWinApp of the test's
// own rather than through CUpdaterApp: the application library carries the
// program's static objects (the drive facade and theApp, built before main),
// which must stay out of the unit tests.
#pragma once
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "afx.h"
#include "core/Process.h"
#include "settings/CRegistryKey.h"
#include "settings/CSettingsGuard.h"

namespace settingstest {

using sim::Hive;
using sim::RegValue;

const char kLog[] = "Software\\Valtora_ODD\\WINQOR\\Change";

// NT family.
const char kAtapi[] = "SYSTEM\\CurrentControlSet\\Services\\atapi\\Parameters";
const char kControlClass[] = "SYSTEM\\CurrentControlSet\\Control\\Class";
const char kHdcClass[] = "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96A-E325-11CE-BFC1-08002BE10318}";
const char kCdrom[] = "SYSTEM\\CurrentControlSet\\Services\\Cdrom";
// Windows 98/ME.
const char kDevNodes[] = "Config Manager\\Enum";
const char kHdc98[] = "System\\CurrentControlSet\\Services\\Class\\hdc";
const char kScsiAdapter98[] = "System\\CurrentControlSet\\Services\\Class\\SCSIAdapter";

inline std::string Join(const std::string& a, const std::string& b) { return a + "\\" + b; }

inline RegValue Bytes(uint32_t type, const std::string& bytes) {
    return RegValue{type, std::vector<uint8_t>(bytes.begin(), bytes.end())};
}

// How the guard stores a changed "DriverParameter" and a restored text: the
// text, its zero and zero filler to 128 bytes.
inline RegValue Padded(const std::string& text) {
    RegValue v = RegValue::Sz(text);
    v.data.resize(128, 0);
    return v;
}

// One value in the machine's registry: what the test puts there and, when
// the guard is to change it, what it becomes.
struct Setting {
    Hive hive;
    std::string path;
    std::string name;
    RegValue before;
    std::optional<RegValue> after;
};

inline Setting Lm(std::string path, std::string name, RegValue before, std::optional<RegValue> after = {}) {
    return {Hive::LocalMachine, std::move(path), std::move(name), std::move(before), std::move(after)};
}

inline Setting Dyn(std::string node, std::string hardwareKey) {
    return {Hive::DynData, Join(kDevNodes, node), "HardWareKey", RegValue::Sz(hardwareKey), {}};
}

// One row of a table: a machine's settings, in the order the guard examines
// them, and whether any needs a change.
struct Case {
    const char* what;
    std::vector<Setting> settings;
    int needed;
};

// A change record as the registry holds it.
struct Record {
    std::string subKey;
    std::string valueName;
    DWORD type = 0;
    RegValue value;  // REG_SZ for type 1, REG_DWORD for 3 and 4

    bool operator==(const Record& o) const {
        return subKey == o.subKey && valueName == o.valueName && type == o.type && value == o.value;
    }
};

inline std::ostream& operator<<(std::ostream& os, const RegValue& v) {
    os << "{type " << v.type << ":";
    for (uint8_t b : v.data) os << ' ' << std::hex << static_cast<int>(b) << std::dec;
    return os << '}';
}

inline std::ostream& operator<<(std::ostream& os, const Record& r) {
    return os << "{" << r.subKey << ", " << r.valueName << ", " << r.type << ", " << r.value << "}";
}

// The record the guard writes for a setting it changes.
inline Record RecordOf(const Setting& s) {
    Record r{s.path, s.name, s.before.type, {}};
    if (s.before.type == REG_SZ) {
        std::string text(s.before.data.begin(), s.before.data.end());
        r.value = RegValue::Sz(text.substr(0, text.find('\0')));
    } else if (s.before.type == REG_BINARY) {
        r.value = RegValue::Dword(s.before.data.at(0));
    } else {
        r.value = s.before;
    }
    return r;
}

class SettingsTest : public ::testing::Test {
protected:
    // A machine of the family without any of the driver settings; the test
    // adds the ones it needs.
    static sim::Machine BareMachine(bool bWinNT) {
        sim::Machine m = sim::Machine::Default();
        m.os.platform = bWinNT ? 2 : 1;
        if (!bWinNT) {
            m.os.major = 4;
            m.os.minor = 10;
        }
        m.registry.DeleteKeyTree("", Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\atapi");
        m.registry.DeleteKeyTree("", Hive::LocalMachine, kCdrom);
        m.BuildDynData();
        return m;
    }

    static void Put(sim::Machine& m, const Setting& s) { m.registry.SetValue("", s.hive, s.path, s.name, s.before); }

    // Boots the machine and starts over with a fresh application whose
    // profile points at "Valtora_ODD", and the given change count.
    void Boot(const sim::Machine& m, int nCount = 0) {
        m_app.reset();
        sim::Process::Boot(m);
        m_bWinNT = m.IsNT();
        m_app.emplace();
        m_app->SetRegistryKey("Valtora_ODD");
        m_nCount = nCount;
    }

    void Boot(bool bWinNT, const std::vector<Setting>& settings, int nCount = 0) {
        sim::Machine m = BareMachine(bWinNT);
        for (const Setting& s : settings) Put(m, s);
        Boot(m, nCount);
    }

    int Apply(BYTE nMode) {
        CSettingsGuard guard(*m_app, m_bWinNT, m_nCount);
        return guard.ApplySettingChanges(nMode);
    }

    void Restore() {
        CSettingsGuard guard(*m_app, m_bWinNT, m_nCount);
        guard.RestoreSettingChanges();
    }

    void TearDown() override {
        m_app.reset();
        EXPECT_EQ(sim::Proc().handles().Count("key"), 0u) << "a registry key was left open";
    }

    static HKEY Root(Hive hive) {
        return hive == Hive::LocalMachine ? HKEY_LOCAL_MACHINE
               : hive == Hive::DynData    ? HKEY_DYN_DATA
                                          : HKEY_CURRENT_USER;
    }

    // The value as RegQueryValueExA hands it out; type REG_NONE and no bytes
    // when it cannot be read.
    static RegValue Stored(Hive hive, const std::string& path, const std::string& name) {
        RegValue v;
        CRegistryKey key;
        if (key.Open(Root(hive), path.c_str(), KEY_READ) != ERROR_SUCCESS) return v;
        DWORD type = REG_NONE;
        BYTE data[1024];
        DWORD size = sizeof data;
        if (RegQueryValueExA(key.GetHandle(), name.c_str(), NULL, &type, data, &size) == ERROR_SUCCESS) {
            v.type = type;
            v.data.assign(data, data + size);
        }
        return v;
    }

    static RegValue Stored(const Setting& s) { return Stored(s.hive, s.path, s.name); }

    static std::vector<std::string> RecordNames() {
        std::vector<std::string> names;
        CRegistryKey log;
        if (log.Open(HKEY_CURRENT_USER, kLog, KEY_READ) != ERROR_SUCCESS) return names;
        char name[256];
        for (DWORD i = 0;; ++i) {
            DWORD cch = sizeof name;
            if (RegEnumKeyExA(log.GetHandle(), i, name, &cch, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
            names.push_back(name);
        }
        return names;
    }

    static std::string RecordName(int n) {
        char name[16];
        std::snprintf(name, sizeof name, "%3d", n);
        return name;
    }

    static Record ReadRecord(const std::string& name) {
        const std::string path = Join(kLog, name);
        Record r;
        r.subKey = TextOf(Stored(Hive::CurrentUser, path, "SubKey_Name"));
        r.valueName = TextOf(Stored(Hive::CurrentUser, path, "Value_Name"));
        CRegistryKey key;
        EXPECT_EQ(key.Open(HKEY_CURRENT_USER, path.c_str(), KEY_READ), ERROR_SUCCESS) << name;
        EXPECT_EQ(key.QueryDword(r.type, "Value_Type"), ERROR_SUCCESS) << name;
        r.value = Stored(Hive::CurrentUser, path, "Value");
        return r;
    }

    std::vector<Record> Records() {
        std::vector<Record> records;
        for (const std::string& name : RecordNames()) records.push_back(ReadRecord(name));
        return records;
    }

    // A record put straight into the log, as an earlier run (or anything
    // else) may have left it.
    static void PutRecord(const std::string& name, const std::vector<std::pair<std::string, RegValue>>& values) {
        auto& m = sim::Proc().machine();
        const std::string path = Join(kLog, name);
        m.registry.CreateKey(m.user, Hive::CurrentUser, path);
        for (const auto& [value, data] : values) m.registry.SetValue(m.user, Hive::CurrentUser, path, value, data);
    }

    static void PutRecord(const std::string& name, const Record& r) {
        PutRecord(name, {{"SubKey_Name", RegValue::Sz(r.subKey)},
                         {"Value_Name", RegValue::Sz(r.valueName)},
                         {"Value_Type", RegValue::Dword(r.type)},
                         {"Value", r.value}});
    }

    static std::string TextOf(const RegValue& v) {
        std::string text(v.data.begin(), v.data.end());
        return text.substr(0, text.find('\0'));
    }

    // Every hive the guard may touch, as the machine file would keep it.
    static std::string Snapshot() {
        auto& m = sim::Proc().machine();
        return m.registry.SaveLocalMachine().dump() + m.registry.SaveUser(m.user).dump();
    }

    // As the registry holds it, bytes and all.
    static std::optional<RegValue> Raw(const Setting& s) {
        auto& m = sim::Proc().machine();
        return m.registry.GetValue(m.user, s.hive, s.path, s.name);
    }

    // One machine through a whole road: examine, change, examine again,
    // restore; each step checked against what the settings say.
    void ExamineChangeRestore(bool bWinNT, const std::vector<Setting>& settings, int nNeeded) {
        Boot(bWinNT, settings);
        const std::string before = Snapshot();
        EXPECT_EQ(Apply(0), nNeeded);
        EXPECT_EQ(Snapshot(), before) << "examining wrote to the registry";
        EXPECT_EQ(m_nCount, 0);

        EXPECT_EQ(Apply(1), nNeeded);
        std::vector<Record> expected;
        for (const Setting& s : settings) {
            if (s.after) {
                EXPECT_EQ(Stored(s), *s.after) << s.path << " " << s.name;
                expected.push_back(RecordOf(s));
            } else {
                EXPECT_EQ(Raw(s), s.before) << s.path << " " << s.name << " changed";
            }
        }
        EXPECT_EQ(Records(), expected);
        std::vector<std::string> names;
        for (size_t i = 1; i <= expected.size(); ++i) names.push_back(RecordName(static_cast<int>(i)));
        EXPECT_EQ(RecordNames(), names);
        EXPECT_EQ(m_nCount, static_cast<int>(expected.size()));
        EXPECT_EQ(Apply(0), 0) << "a changed setting still needs a change";

        Restore();
        for (const Setting& s : settings) {
            if (!s.after) {
                EXPECT_EQ(Raw(s), s.before) << s.path << " " << s.name << " changed";
            } else if (s.before.type == REG_SZ) {
                EXPECT_EQ(Stored(s), Padded(TextOf(s.before))) << s.path << " " << s.name;
            } else {
                EXPECT_EQ(Stored(s), s.before) << s.path << " " << s.name << " not restored";
            }
        }
        EXPECT_TRUE(RecordNames().empty());
        EXPECT_EQ(m_nCount, 0);
    }

    std::optional<CWinApp> m_app;
    bool m_bWinNT = true;
    int m_nCount = 0;
};

}  // namespace settingstest
