// The settings guard on the Windows NT family: DMA detection of the ATAPI
// driver, the transfer timing modes of the IDE channels and CD-ROM autorun,
// examined, changed with their records and restored.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "unit/settings_fixture.h"

namespace settingstest {
namespace {

using Nt = SettingsTest;

const std::string kDevice0 = Join(kAtapi, "Device0");
const std::string kDevice1 = Join(kAtapi, "Device1");
const std::string kPrimary = Join(kHdcClass, "0001");
const std::string kSecondary = Join(kHdcClass, "0002");
const char kOff[] = "DmaDetectionLevel = 0x0;";
const char kOn[] = "DmaDetectionLevel = 0x1;";

Setting HdcClass(const char* name = "hdc") { return Lm(kHdcClass, "Class", RegValue::Sz(name)); }
Setting Timing(const std::string& path, const char* name, uint32_t before) {
    return Lm(path, name, RegValue::Dword(before));
}
Setting Timing(const std::string& path, const char* name, uint32_t before, uint32_t after) {
    return Lm(path, name, RegValue::Dword(before), RegValue::Dword(after));
}

TEST_F(Nt, EachSettingIsExaminedChangedRecordedAndRestored) {
    const std::string k127(127 - std::string(kOn).size(), ';');
    const Case cases[] = {
        {"DMA detection already off", {Lm(kDevice0, "DriverParameter", RegValue::Sz(kOff))}, 0},
        {"DMA detection on", {Lm(kDevice0, "DriverParameter", RegValue::Sz(kOn), Padded(kOff))}, 1},
        {"level 2", {Lm(kDevice0, "DriverParameter", RegValue::Sz("DmaDetectionLevel = 0x2;"), Padded(kOff))}, 1},
        {"text ends right after 0x",
         {Lm(kDevice0, "DriverParameter", RegValue::Sz("DmaDetectionLevel = 0x"), Padded(kOff))}, 1},
        {"only the first 0x counts",
         {Lm(kDevice0, "DriverParameter", RegValue::Sz("A = 0x1; DmaDetectionLevel = 0x0;"), Padded(kOff))}, 1},
        {"no 0x: the second character 0", {Lm(kDevice0, "DriverParameter", RegValue::Sz("x0"))}, 0},
        {"no 0x: the second character m",
         {Lm(kDevice0, "DriverParameter", RegValue::Sz("DmaDetectionLevel = 0;"), Padded(kOff))}, 1},
        {"empty text", {Lm(kDevice0, "DriverParameter", RegValue::Sz(""), Padded(kOff))}, 1},
        {"one character", {Lm(kDevice0, "DriverParameter", RegValue::Sz("0"), Padded(kOff))}, 1},
        {"text stored without its zero",
         {Lm(kDevice0, "DriverParameter", Bytes(REG_SZ, kOn), Padded(kOff))}, 1},
        {"127 characters fit the buffer",
         {Lm(kDevice0, "DriverParameter", RegValue::Sz(kOn + k127), Padded(kOff))}, 1},
        {"128 characters do not", {Lm(kDevice0, "DriverParameter", RegValue::Sz(kOn + k127 + ";"))}, 0},
        {"an expandable text is not put back as it was",
         {Lm(kDevice0, "DriverParameter", Bytes(REG_EXPAND_SZ, std::string(kOn) + '\0'))}, 0},
        {"binary", {Lm(kDevice0, "DriverParameter", Bytes(REG_BINARY, kOn))}, 0},
        {"both channels, in enumeration order",
         {Lm(kDevice0, "DriverParameter", RegValue::Sz(kOn), Padded(kOff)),
          Lm(kDevice1, "DriverParameter", RegValue::Sz("DmaDetectionLevel = 0x3;"), Padded(kOff))},
         1},

        {"user limit above PIO: the timing mode is not examined",
         {HdcClass(), Timing(kPrimary, "UserMasterDeviceTimingModeAllowed", 0xFFFFFFFF, 31),
          Timing(kPrimary, "MasterDeviceTimingMode", 0x2010)},
         1},
        {"user limit at PIO decides alone",
         {HdcClass(), Timing(kPrimary, "UserMasterDeviceTimingModeAllowed", 31),
          Timing(kPrimary, "MasterDeviceTimingMode", 0x2010)},
         0},
        {"DMA mode: mode down to PIO 4, allowed modes to PIO",
         {HdcClass(), Timing(kPrimary, "MasterDeviceTimingMode", 0x2010, 16),
          Timing(kPrimary, "MasterDeviceTimingModeAllowed", 7, 31)},
         1},
        {"allowed modes rewritten whatever they were",
         {HdcClass(), Timing(kPrimary, "MasterDeviceTimingMode", 17, 16),
          Timing(kPrimary, "MasterDeviceTimingModeAllowed", 31, 31)},
         1},
        {"DMA mode without allowed modes", {HdcClass(), Timing(kPrimary, "MasterDeviceTimingMode", 0x2010, 16)}, 1},
        {"PIO 4 exactly leaves the allowed modes alone",
         {HdcClass(), Timing(kPrimary, "MasterDeviceTimingMode", 16),
          Timing(kPrimary, "MasterDeviceTimingModeAllowed", 0xFFFFFFFF)},
         0},
        {"allowed modes alone are not examined", {HdcClass(), Timing(kPrimary, "MasterDeviceTimingModeAllowed", 0xFFFFFFFF)}, 0},
        {"master first, then slave, instance by instance",
         {HdcClass(), Timing(kPrimary, "MasterDeviceTimingMode", 0x2010, 16),
          Timing(kPrimary, "MasterDeviceTimingModeAllowed", 0xFFFFFFFF, 31),
          Timing(kPrimary, "UserSlaveDeviceTimingModeAllowed", 0x3F, 31),
          Timing(kSecondary, "SlaveDeviceTimingMode", 0x4010, 16),
          Timing(kSecondary, "SlaveDeviceTimingModeAllowed", 0x1F, 31)},
         1},
        {"user limit of four binary bytes counts as unreadable",
         {HdcClass(), Lm(kPrimary, "UserMasterDeviceTimingModeAllowed", RegValue::Binary({0xFF, 0xFF, 0xFF, 0xFF})),
          Timing(kPrimary, "MasterDeviceTimingMode", 0x2010, 16)},
         1},
        {"timing mode of two bytes counts as unreadable",
         {HdcClass(), Lm(kPrimary, "MasterDeviceTimingMode", Bytes(REG_DWORD, "\x10\x20"))}, 0},
        {"timing mode of eight bytes counts as unreadable",
         {HdcClass(), Lm(kPrimary, "MasterDeviceTimingMode", Bytes(REG_DWORD, std::string("\x10\x20\0\0\0\0\0\0", 8)))},
         0},
        {"class HDC in capitals is another class",
         {HdcClass("HDC"), Timing(kPrimary, "MasterDeviceTimingMode", 0x2010)}, 0},
        {"class hdcx is another class", {HdcClass("hdcx"), Timing(kPrimary, "MasterDeviceTimingMode", 0x2010)}, 0},
        {"class text without its zero",
         {Lm(kHdcClass, "Class", Bytes(REG_SZ, "hdc")), Timing(kPrimary, "MasterDeviceTimingMode", 0x2010, 16)}, 1},
        {"other classes are passed over",
         {Lm(Join(kControlClass, "{4D36E965-E325-11CE-BFC1-08002BE10318}"), "Class", RegValue::Sz("CDROM")),
          Timing(Join(kControlClass, "{4D36E965-E325-11CE-BFC1-08002BE10318}\\0000"), "MasterDeviceTimingMode",
                 0x2010),
          HdcClass(), Timing(kSecondary, "MasterDeviceTimingMode", 0x2010, 16)},
         1},
        {"instance path too long to be read back from its record",
         {HdcClass(), Timing(Join(kHdcClass, std::string(60, 'I')), "MasterDeviceTimingMode", 0x2010)}, 0},

        {"autorun on", {Lm(kCdrom, "Autorun", RegValue::Dword(1), RegValue::Dword(0))}, 1},
        {"autorun of all bits", {Lm(kCdrom, "Autorun", RegValue::Dword(0xFFFFFFFF), RegValue::Dword(0))}, 1},
        {"autorun off", {Lm(kCdrom, "Autorun", RegValue::Dword(0))}, 0},
        {"autorun as text", {Lm(kCdrom, "Autorun", RegValue::Sz("1"))}, 0},

        {"all three kinds, in the guard's order",
         {Lm(kDevice1, "DriverParameter", RegValue::Sz(kOn), Padded(kOff)), HdcClass(),
          Timing(kSecondary, "UserMasterDeviceTimingModeAllowed", 0xFFFFFFFF, 31),
          Lm(kCdrom, "Autorun", RegValue::Dword(1), RegValue::Dword(0))},
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ExamineChangeRestore(true, c.settings, c.needed);
    }
}

TEST_F(Nt, UserWithoutTheRightToWriteTheSettingsSeesNoChangeNeeded) {
    sim::Machine m = BareMachine(true);
    m.users[m.user].admin = false;
    const Setting settings[] = {Lm(kDevice0, "DriverParameter", RegValue::Sz(kOn)), HdcClass(),
                                Timing(kPrimary, "MasterDeviceTimingMode", 0x2010),
                                Lm(kCdrom, "Autorun", RegValue::Dword(1))};
    for (const Setting& s : settings) Put(m, s);
    Boot(m);
    EXPECT_EQ(Apply(0), 0);
    EXPECT_EQ(Apply(1), 0);
    for (const Setting& s : settings) EXPECT_EQ(Raw(s), s.before);
    EXPECT_TRUE(RecordNames().empty());
    EXPECT_EQ(m_nCount, 0);
}

TEST_F(Nt, RecordsContinueFromTheLoadedCount) {
    Boot(true, {Lm(kDevice0, "DriverParameter", RegValue::Sz(kOn)), Lm(kCdrom, "Autorun", RegValue::Dword(1))}, 5);
    EXPECT_EQ(Apply(0), 1);
    EXPECT_EQ(m_nCount, 5);
    EXPECT_EQ(Apply(1), 1);
    EXPECT_EQ(RecordNames(), (std::vector<std::string>{"  6", "  7"}));
    EXPECT_EQ(ReadRecord("  7"), (Record{kCdrom, "Autorun", REG_DWORD, RegValue::Dword(1)}));
    EXPECT_EQ(m_nCount, 7);
    Restore();
    EXPECT_EQ(m_nCount, 5);
}

TEST_F(Nt, RecordNumbersKeepTheirWidthPastThreeDigits) {
    Boot(true, {Lm(kCdrom, "Autorun", RegValue::Dword(1))}, 999);
    EXPECT_EQ(Apply(1), 1);
    EXPECT_EQ(RecordNames(), std::vector<std::string>{"1000"});
    EXPECT_EQ(m_nCount, 1000);
}

// A run that ended after a change but before its count was saved left a
// record above the count: it holds the only copy of that old value.
TEST_F(Nt, RecordLeftAboveTheCountIsNotWrittenOver) {
    Boot(true, {Lm(kCdrom, "Autorun", RegValue::Dword(1))}, 0);
    const Record left{kDevice0, "DriverParameter", REG_SZ, RegValue::Sz(kOn)};
    PutRecord("  1", left);
    EXPECT_EQ(Apply(1), 1);
    EXPECT_EQ(ReadRecord("  1"), left);
    EXPECT_EQ(ReadRecord("  2"), (Record{kCdrom, "Autorun", REG_DWORD, RegValue::Dword(1)}));
    EXPECT_EQ(m_nCount, 2);
}

TEST_F(Nt, SettingWhoseRecordCannotBeWrittenStaysAsItWas) {
    // Without SetRegistryKey the profile has nowhere to write.
    Boot(true, {Lm(kDevice0, "DriverParameter", RegValue::Sz(kOn)), Lm(kCdrom, "Autorun", RegValue::Dword(1))});
    m_app.emplace();
    EXPECT_EQ(Apply(1), 1);
    EXPECT_EQ(Stored(Hive::LocalMachine, kDevice0, "DriverParameter"), RegValue::Sz(kOn));
    EXPECT_EQ(Stored(Hive::LocalMachine, kCdrom, "Autorun"), RegValue::Dword(1));
    EXPECT_TRUE(RecordNames().empty());
}

TEST_F(Nt, RestoreKeepsTheRecordOfADeletedValueAndItsNumber) {
    Boot(true, {Lm(kDevice0, "DriverParameter", RegValue::Sz(kOn)), HdcClass(),
                Timing(kPrimary, "UserMasterDeviceTimingModeAllowed", 0xFFFFFFFF),
                Lm(kCdrom, "Autorun", RegValue::Dword(1))});
    ASSERT_EQ(Apply(1), 1);
    ASSERT_EQ(m_nCount, 3);
    auto& m = sim::Proc().machine();
    m.registry.DeleteValue("", Hive::LocalMachine, kPrimary, "UserMasterDeviceTimingModeAllowed");

    Restore();
    EXPECT_EQ(Stored(Hive::LocalMachine, kDevice0, "DriverParameter"), Padded(kOn));
    EXPECT_EQ(Stored(Hive::LocalMachine, kCdrom, "Autorun"), RegValue::Dword(1));
    EXPECT_EQ(RecordNames(), std::vector<std::string>{"  2"});
    EXPECT_EQ(m_nCount, 1);

    // Back again, the next restore puts it there.
    m.registry.SetValue("", Hive::LocalMachine, kPrimary, "UserMasterDeviceTimingModeAllowed", RegValue::Dword(5));
    m_nCount = 3;
    Restore();
    EXPECT_EQ(Stored(Hive::LocalMachine, kPrimary, "UserMasterDeviceTimingModeAllowed"), RegValue::Dword(0xFFFFFFFF));
    EXPECT_TRUE(RecordNames().empty());
    EXPECT_EQ(m_nCount, 2);
}

// The log is walked in the registry's order of the record names, which the
// three-character width makes numeric: a setting changed twice gets the old
// value of its later record.
TEST_F(Nt, RestoreFollowsTheRecordNumbers) {
    Boot(true, {Lm(kCdrom, "Autorun", RegValue::Dword(0))}, 10);
    PutRecord(" 10", Record{kCdrom, "Autorun", REG_DWORD, RegValue::Dword(10)});
    PutRecord("  9", Record{kCdrom, "Autorun", REG_DWORD, RegValue::Dword(9)});
    PutRecord("  2", Record{kCdrom, "Autorun", REG_DWORD, RegValue::Dword(2)});
    Restore();
    EXPECT_EQ(Stored(Hive::LocalMachine, kCdrom, "Autorun"), RegValue::Dword(10));
    EXPECT_TRUE(RecordNames().empty());
    EXPECT_EQ(m_nCount, 7);
}

TEST_F(Nt, RecordThatCannotBeUsedStaysAndTheOthersAreRestored) {
    const std::string kLong128(128, 'K');
    struct Bad {
        const char* what;
        std::vector<std::pair<std::string, RegValue>> values;
    };
    const RegValue path = RegValue::Sz(kCdrom);
    const RegValue name = RegValue::Sz("Autorun");
    const Bad bad[] = {
        {"unknown type 2",
         {{"SubKey_Name", path}, {"Value_Name", name}, {"Value_Type", RegValue::Dword(2)}, {"Value", RegValue::Dword(7)}}},
        {"type as text",
         {{"SubKey_Name", path}, {"Value_Name", name}, {"Value_Type", RegValue::Sz("4")}, {"Value", RegValue::Dword(7)}}},
        {"number as text",
         {{"SubKey_Name", path}, {"Value_Name", name}, {"Value_Type", RegValue::Dword(4)}, {"Value", RegValue::Sz("7")}}},
        {"path of 128 characters",
         {{"SubKey_Name", RegValue::Sz(kLong128)}, {"Value_Name", name}, {"Value_Type", RegValue::Dword(4)},
          {"Value", RegValue::Dword(7)}}},
        {"value name of 128 characters",
         {{"SubKey_Name", path}, {"Value_Name", RegValue::Sz(kLong128)}, {"Value_Type", RegValue::Dword(4)},
          {"Value", RegValue::Dword(7)}}},
        {"old text of 128 characters",
         {{"SubKey_Name", RegValue::Sz(kDevice0)}, {"Value_Name", RegValue::Sz("DriverParameter")},
          {"Value_Type", RegValue::Dword(1)}, {"Value", RegValue::Sz(kLong128)}}},
        {"key that is gone",
         {{"SubKey_Name", RegValue::Sz(kDevice1)}, {"Value_Name", RegValue::Sz("DriverParameter")},
          {"Value_Type", RegValue::Dword(1)}, {"Value", RegValue::Sz(kOn)}}},
        {"malformed path",
         {{"SubKey_Name", RegValue::Sz("\\SYSTEM")}, {"Value_Name", name}, {"Value_Type", RegValue::Dword(4)},
          {"Value", RegValue::Dword(7)}}},
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.what);
        Boot(true, {Lm(kDevice0, "DriverParameter", RegValue::Sz(kOff)), Lm(kCdrom, "Autorun", RegValue::Dword(0))}, 3);
        PutRecord("  1", Record{kCdrom, "Autorun", REG_DWORD, RegValue::Dword(1)});
        PutRecord("  2", b.values);
        PutRecord("  3", Record{kDevice0, "DriverParameter", REG_SZ, RegValue::Sz(kOn)});
        Restore();
        EXPECT_EQ(RecordNames(), std::vector<std::string>{"  2"});
        EXPECT_EQ(m_nCount, 1);
        EXPECT_EQ(Stored(Hive::LocalMachine, kCdrom, "Autorun"), RegValue::Dword(1));
        EXPECT_EQ(Stored(Hive::LocalMachine, kDevice0, "DriverParameter"), Padded(kOn));
        TearDown();
    }
}

// The setting changes only after all four values of its record are in, so a
// record missing one (the power failed while it was written) guards
// nothing: it goes, counted like a restored one, and nothing is written.
TEST_F(Nt, RecordCutShortIsDroppedAndItsSettingLeftAlone) {
    const std::pair<std::string, RegValue> values[] = {{"SubKey_Name", RegValue::Sz(kCdrom)},
                                                       {"Value_Name", RegValue::Sz("Autorun")},
                                                       {"Value_Type", RegValue::Dword(4)},
                                                       {"Value", RegValue::Dword(7)}};
    for (size_t missing = 0; missing < 4; ++missing) {
        SCOPED_TRACE(values[missing].first);
        std::vector<std::pair<std::string, RegValue>> cut;
        for (size_t i = 0; i < missing; ++i) cut.push_back(values[i]);
        Boot(true, {Lm(kDevice0, "DriverParameter", RegValue::Sz(kOff)), Lm(kCdrom, "Autorun", RegValue::Dword(0))}, 2);
        PutRecord("  1", Record{kDevice0, "DriverParameter", REG_SZ, RegValue::Sz(kOn)});
        PutRecord("  2", cut);
        Restore();
        EXPECT_TRUE(RecordNames().empty());
        EXPECT_EQ(m_nCount, 0);
        EXPECT_EQ(Stored(Hive::LocalMachine, kCdrom, "Autorun"), RegValue::Dword(0));
        EXPECT_EQ(Stored(Hive::LocalMachine, kDevice0, "DriverParameter"), Padded(kOn));
        TearDown();
    }
}

// The NT family deletes only a key without subkeys: such a record stays,
// and the restore goes on past it rather than round it forever.
TEST_F(Nt, RecordThatCannotBeDeletedStaysWithItsCount) {
    Boot(true, {Lm(kCdrom, "Autorun", RegValue::Dword(0))}, 2);
    PutRecord("  1", Record{kCdrom, "Autorun", REG_DWORD, RegValue::Dword(1)});
    PutRecord(Join("  1", "stray"), {{"x", RegValue::Dword(0)}});
    PutRecord("  2", Record{kDevice0, "DriverParameter", REG_SZ, RegValue::Sz(kOn)});
    sim::Proc().machine().registry.SetValue("", Hive::LocalMachine, kDevice0, "DriverParameter", RegValue::Sz(kOff));
    Restore();
    EXPECT_EQ(Stored(Hive::LocalMachine, kCdrom, "Autorun"), RegValue::Dword(1));
    EXPECT_EQ(Stored(Hive::LocalMachine, kDevice0, "DriverParameter"), Padded(kOn));
    EXPECT_EQ(RecordNames(), std::vector<std::string>{"  1"});
    EXPECT_EQ(m_nCount, 1);
}

TEST_F(Nt, WithoutAChangeLogRestoreKeepsTheCount) {
    Boot(true, {Lm(kCdrom, "Autorun", RegValue::Dword(0))}, 4);
    Restore();
    EXPECT_EQ(m_nCount, 4);
    EXPECT_EQ(Stored(Hive::LocalMachine, kCdrom, "Autorun"), RegValue::Dword(0));
}

}  // namespace
}  // namespace settingstest
