// The settings guard on Windows 98/ME: automatic insert notification and
// DMA of the devices found at this boot, and of the IDE and SCSI adapters'
// class instances, examined, changed with their records and restored.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "unit/settings_fixture.h"

namespace settingstest {
namespace {

using Win98 = SettingsTest;

const char kDrive[] = "SCSI\\VALTORA_DVD-ROM_ZQ-X9046__\\MF&CHILD0001&PCI&VEN_8086&DEV_7111";
const char kOtherDrive[] = "SCSI\\OTHER___CD-ROM_DRIVE_____\\MF&CHILD0000&PCI&VEN_8086&DEV_7111";
const std::string kDriveEnum = Join("Enum", kDrive);
const std::string kOtherEnum = Join("Enum", kOtherDrive);
const std::string kChannel = Join(kHdc98, "0001");
const std::string kAdapter = Join(kScsiAdapter98, "0000");

RegValue On() { return RegValue::Binary({1}); }
RegValue Off() { return RegValue::Binary({0}); }
Setting Flag(const std::string& path, const char* name, RegValue before) { return Lm(path, name, std::move(before)); }
Setting Flag(const std::string& path, const char* name, RegValue before, RegValue after) {
    return Lm(path, name, std::move(before), std::move(after));
}

TEST_F(Win98, EachSettingIsExaminedChangedRecordedAndRestored) {
    const Case cases[] = {
        {"drive found at this boot",
         {Dyn("C1002C40", kDrive), Flag(kDriveEnum, "AutoInsertNotification", On(), Off()),
          Flag(kDriveEnum, "DMACurrentlyUsed", On(), Off())},
         1},
        {"flags already off", {Dyn("C1002C40", kDrive), Flag(kDriveEnum, "AutoInsertNotification", Off()),
                               Flag(kDriveEnum, "DMACurrentlyUsed", Off())},
         0},
        {"first byte 0 whatever follows",
         {Dyn("C1002C40", kDrive), Flag(kDriveEnum, "DMACurrentlyUsed", RegValue::Binary({0, 1, 2, 3}))}, 0},
        {"all bits of the byte", {Dyn("C1002C40", kDrive), Flag(kDriveEnum, "DMACurrentlyUsed", RegValue::Binary({0xFF}), Off())}, 1},
        {"five bytes are skipped",
         {Dyn("C1002C40", kDrive), Flag(kDriveEnum, "DMACurrentlyUsed", RegValue::Binary({1, 1, 1, 1, 1}))}, 0},
        {"two bytes would come back as one",
         {Dyn("C1002C40", kDrive), Flag(kDriveEnum, "DMACurrentlyUsed", RegValue::Binary({1, 0}))}, 0},
        {"a number would come back as a byte",
         {Dyn("C1002C40", kDrive), Flag(kDriveEnum, "DMACurrentlyUsed", RegValue::Dword(1))}, 0},
        {"no bytes at all", {Dyn("C1002C40", kDrive), Flag(kDriveEnum, "DMACurrentlyUsed", RegValue::Binary({}))}, 0},
        {"hardware key in lower case",
         {Dyn("C1002C40", "scsi\\VALTORA_DVD-ROM_ZQ-X9046__\\MF&CHILD0001&PCI&VEN_8086&DEV_7111"),
          Flag(kDriveEnum, "DMACurrentlyUsed", On())},
         0},
        {"hardware key stored without its zero",
         {{Hive::DynData, Join(kDevNodes, "C1002C40"), "HardWareKey", Bytes(REG_SZ, kDrive), {}},
          Flag(kDriveEnum, "DMACurrentlyUsed", On(), Off())},
         1},
        {"hardware key longer than its buffer",
         {{Hive::DynData, Join(kDevNodes, "C1002C40"), "HardWareKey", Bytes(REG_SZ, std::string("SCSI") + std::string(600, 'x')), {}},
          Flag(kDriveEnum, "DMACurrentlyUsed", On())},
         0},
        {"settings path too long to be read back from its record",
         {Dyn("C1002C40", std::string(kDrive) + std::string(60, '0')),
          Flag(Join("Enum", std::string(kDrive) + std::string(60, '0')), "DMACurrentlyUsed", On())},
         0},
        {"drive not present at this boot keeps its settings",
         {Dyn("C1002C40", kDrive), Flag(kOtherEnum, "DMACurrentlyUsed", On()),
          Flag(kDriveEnum, "DMACurrentlyUsed", On(), Off())},
         1},
        {"other devices are passed over",
         {Dyn("C1000000", "ROOT\\*PNP0A03\\0000"), Flag("Enum\\ROOT\\*PNP0A03\\0000", "DMACurrentlyUsed", On()),
          Dyn("C1002C40", kDrive), Flag(kDriveEnum, "AutoInsertNotification", On(), Off())},
         1},
        {"devices in enumeration order",
         {Dyn("C1002C40", kOtherDrive), Flag(kOtherEnum, "AutoInsertNotification", On(), Off()),
          Dyn("C1002E20", kDrive), Flag(kDriveEnum, "DMACurrentlyUsed", On(), Off())},
         1},

        {"IDE channel",
         {Flag(kChannel, "AutoInsertNotificationDrive0", On(), Off()), Flag(kChannel, "AutoInsertNotificationDrive1", Off()),
          Flag(kChannel, "IDEDMADRIVE0", On(), Off()), Flag(kChannel, "IDEDMADRIVE1", RegValue::Binary({2}), Off())},
         1},
        {"SCSI adapter", {Flag(kAdapter, "AutoInsertNotificationDrive1", On(), Off())}, 1},

        {"devices, then IDE, then SCSI adapters",
         {Dyn("C1002C40", kDrive), Flag(kDriveEnum, "DMACurrentlyUsed", On(), Off()),
          Flag(Join(kHdc98, "0000"), "IDEDMADRIVE1", On(), Off()), Flag(kChannel, "IDEDMADRIVE0", On(), Off()),
          Flag(kAdapter, "AutoInsertNotificationDrive0", On(), Off())},
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ExamineChangeRestore(false, c.settings, c.needed);
    }
}

// Windows 98/ME hand out a text as it was stored: a record whose texts lack
// their zero is still read, one that fills its buffer is not.
TEST_F(Win98, RecordTextsWithoutTheirZero) {
    Boot(false, {Flag(kChannel, "IDEDMADRIVE0", Off()), Flag(kChannel, "IDEDMADRIVE1", Off())}, 2);
    PutRecord("  1", {{"SubKey_Name", Bytes(REG_SZ, kChannel)},
                      {"Value_Name", Bytes(REG_SZ, "IDEDMADRIVE0")},
                      {"Value_Type", RegValue::Dword(3)},
                      {"Value", RegValue::Dword(1)}});
    PutRecord("  2", {{"SubKey_Name", Bytes(REG_SZ, kChannel + std::string(128 - kChannel.size(), '\\'))},
                      {"Value_Name", Bytes(REG_SZ, "IDEDMADRIVE1")},
                      {"Value_Type", RegValue::Dword(3)},
                      {"Value", RegValue::Dword(1)}});
    Restore();
    EXPECT_EQ(Stored(Hive::LocalMachine, kChannel, "IDEDMADRIVE0"), On());
    EXPECT_EQ(Stored(Hive::LocalMachine, kChannel, "IDEDMADRIVE1"), Off());
    EXPECT_EQ(RecordNames(), std::vector<std::string>{"  2"});
    EXPECT_EQ(m_nCount, 1);
}

// Only the low byte of a byte record's number is a byte.
TEST_F(Win98, ByteRecordKeepsTheLowByte) {
    Boot(false, {Flag(kChannel, "IDEDMADRIVE0", Off())}, 1);
    PutRecord("  1", Record{kChannel, "IDEDMADRIVE0", REG_BINARY, RegValue::Dword(0x1201)});
    Restore();
    EXPECT_EQ(Stored(Hive::LocalMachine, kChannel, "IDEDMADRIVE0"), On());
    EXPECT_EQ(m_nCount, 0);
}

// The devices come from the machine's hardware, listed anew at each boot.
TEST_F(Win98, DevicesComeFromTheHardwareOfThisBoot) {
    sim::Machine m = BareMachine(false);
    m.hardware = {"ROOT\\*PNP0A03\\0000", kOtherDrive};
    m.BuildDynData();
    Put(m, Flag(kDriveEnum, "DMACurrentlyUsed", On()));
    Put(m, Flag(kOtherEnum, "DMACurrentlyUsed", On()));
    Boot(m);
    EXPECT_EQ(Apply(1), 1);
    EXPECT_EQ(Stored(Hive::LocalMachine, kOtherEnum, "DMACurrentlyUsed"), Off());
    EXPECT_EQ(Stored(Hive::LocalMachine, kDriveEnum, "DMACurrentlyUsed"), On());

    // The other drive is gone and the supported one is fitted.
    m = sim::Proc().machine();
    m.hardware = {kDrive};
    m.Restart();
    Boot(m, m_nCount);
    EXPECT_EQ(Apply(1), 1);
    EXPECT_EQ(Stored(Hive::LocalMachine, kDriveEnum, "DMACurrentlyUsed"), Off());
    EXPECT_EQ(RecordNames(), (std::vector<std::string>{"  1", "  2"}));
    EXPECT_EQ(m_nCount, 2);
}

}  // namespace
}  // namespace settingstest
