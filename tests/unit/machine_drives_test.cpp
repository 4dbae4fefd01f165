// Drive letters and devices in the machine file: what loads, what is written
// back after the drives were used, what a restart does, and the errors a
// bad description gets.
#include <gtest/gtest.h>

#include <string>

#include "core/Machine.h"
#include "core/Process.h"

namespace {

using nlohmann::json;
using sim::Machine;
using sim::ScsiDevice;

Machine WithDrives(const json& drives) {
    json j = Machine::Default().ToJson();
    j["drives"] = drives;
    return Machine::FromJson(j, "test.json");
}

const json kDrives = json::parse(R"({
    "C:": {"type": "fixed"},
    "d:": {"type": "cdrom", "maxTransfer": 32768, "refuseCapabilities": true,
           "device": {"model": "ZQ-X9046", "revision": "1H13", "family": "HQ", "level": 128,
                      "medium": {"blocks": 4000}, "prevented": true, "unitAttention": "medium-changed",
                      "senseByte19": "0x2A", "unitAttentionStorm": 3,
                      "faults": [{"opcode": "0x1D", "page": 136, "function": "0xC0", "argument": 2,
                                  "sense": "05/26/00", "senseByte19": 7, "times": 2},
                                 {"opcode": 18, "hang": true, "times": "always"},
                                 {"status": 8}]}},
    "E:": {"type": "cdrom"},
    "F:": {"type": "cdrom", "device": {"model": "ZQ-X7301"}},
    "G:": {"type": "cdrom", "device": {"model": "optical", "vendor": "OTHERCO", "product": "dvd-rom zq-x9046",
                                       "revision": "2.1", "type": 4, "tray": "open"}},
    "H:": {"type": "fixed", "device": {"model": "disk", "unitAttentionStorm": "forever"}},
    "N:": {"type": "remote"}
})");

TEST(MachineDrives, LoadAsDescribed) {
    Machine m = WithDrives(kDrives);
    ASSERT_EQ(7u, m.drives.size());
    EXPECT_EQ(3u, m.drives.at('C').type);
    EXPECT_EQ(4u, m.drives.at('N').type);
    EXPECT_EQ(nullptr, m.DeviceAt('E'));

    const sim::DriveLetter& d = m.drives.at('D');
    EXPECT_EQ(5u, d.type);
    EXPECT_EQ(32768u, d.maxTransfer);
    EXPECT_TRUE(d.refuseCapabilities);
    ScsiDevice* dev = m.DeviceAt('d');
    ASSERT_NE(nullptr, dev);
    EXPECT_EQ("D:", dev->place);
    EXPECT_EQ("1H13", dev->Revision());
    EXPECT_EQ("HQ", dev->Family());
    EXPECT_EQ(128, dev->Level());
    EXPECT_EQ(std::string("1H13"), std::string(dev->firmware.begin() + sim::firmware::kRevisionOffset,
                                               dev->firmware.begin() + sim::firmware::kRevisionOffset + 4));
    EXPECT_EQ(4000u, dev->medium->blocks);
    EXPECT_TRUE(dev->prevented);
    EXPECT_EQ(ScsiDevice::Attention::MediumChanged, dev->attention);
    EXPECT_EQ(0x2A, dev->senseByte19);
    EXPECT_EQ(3u, dev->stormLeft);
    ASSERT_EQ(3u, dev->faults.size());
    const sim::Fault& f = dev->faults[0];
    EXPECT_EQ(0x1D, f.opcode);
    EXPECT_EQ(0x88, f.page);
    EXPECT_EQ(0xC0, f.function);
    EXPECT_EQ(2, f.argument);
    EXPECT_EQ((sim::Sense{5, 0x26, 0}), f.sense);
    EXPECT_EQ(7, *f.senseByte19);
    EXPECT_EQ(2u, f.times);
    EXPECT_TRUE(dev->faults[1].hang);
    EXPECT_TRUE(dev->faults[1].always);
    EXPECT_EQ(sim::Fault::kAny, dev->faults[2].opcode);
    EXPECT_EQ(8, dev->faults[2].status);

    EXPECT_EQ("DVDR10  ZQ-X7301", m.DeviceAt('F')->product);
    const ScsiDevice* other = m.DeviceAt('G');
    EXPECT_EQ(4, other->deviceType);
    EXPECT_EQ("2.1", other->Revision());
    EXPECT_TRUE(other->trayOpen);
    EXPECT_FALSE(other->medium);
    EXPECT_TRUE(m.DeviceAt('H')->medium) << "a hard disk has its medium";
    EXPECT_TRUE(m.DeviceAt('H')->stormForever);
}

TEST(MachineDrives, WrittenBackAsTheyAreAndReadAgainTheSame) {
    Machine m = WithDrives(kDrives);
    const json once = m.ToJson();
    EXPECT_EQ(once, Machine::FromJson(once, "again.json").ToJson());
    EXPECT_EQ((json{{"type", "cdrom"}}), once["drives"]["E:"]);
    EXPECT_EQ("0x1D", once["drives"]["D:"]["device"]["faults"][0]["opcode"]);
    EXPECT_EQ("always", once["drives"]["D:"]["device"]["faults"][1]["times"]);
}

TEST(MachineDrives, WhatTheDriveWentThroughIsKept) {
    sim::Process::Boot(WithDrives(kDrives));
    ScsiDevice& d = *sim::Proc().machine().DeviceAt('D');
    d.faults.erase(d.faults.begin() + 1, d.faults.end());
    d.stormLeft = 0;
    d.attention = ScsiDevice::Attention::None;
    // A fault spends one of its two times on the block it matches.
    const uint8_t cdb[6] = {0x1D, 0, 0, 0x80, 0x08, 0};
    std::vector<uint8_t> page(0x8008, 0);
    const uint8_t head[8] = {0x88, 0, 0x80, 0x04, 0, 0xC0, 2, 0};
    std::copy(head, head + 8, page.begin());
    sim::ScsiRequest rq;
    rq.cdb = cdb;
    rq.cdbLength = 6;
    rq.direction = sim::DataDirection::Out;
    rq.data = page.data();
    rq.length = static_cast<uint32_t>(page.size());
    EXPECT_EQ(2, d.Execute(rq).status);
    // A flashed image no longer matches any revision and is kept whole.
    d.firmware[0x5000] = 0x42;
    d.trayOpen = true;
    d.medium.reset();
    // A run may end halfway through a download; the drive stays powered.
    d.download.stage = 2;
    d.download.data.assign(sim::firmware::kBlockSize, 0x77);
    d.diagnosticResults = {0x88, 0, 0, 12};

    const json saved = sim::Proc().machine().ToJson();
    const json& dev = saved["drives"]["D:"]["device"];
    EXPECT_EQ(1u, dev["faults"][0]["times"]);
    EXPECT_EQ("open", dev["tray"]);
    EXPECT_TRUE(dev["medium"].is_null());
    EXPECT_FALSE(dev.contains("revision"));
    ASSERT_TRUE(dev.contains("firmware"));
    Machine again = Machine::FromJson(saved, "after.json");
    const ScsiDevice& after = *again.DeviceAt('D');
    EXPECT_EQ(d.firmware, after.firmware);
    EXPECT_EQ("1H13", after.Revision());
    EXPECT_EQ(2, after.download.stage);
    EXPECT_EQ(1, after.download.blocks);
    EXPECT_EQ(d.download.data, after.download.data);
    EXPECT_EQ(d.diagnosticResults, after.diagnosticResults);
}

TEST(MachineDrives, RestartPowersTheDrivesAnewAndLeavesTheirDiscs) {
    Machine m = WithDrives(kDrives);
    ScsiDevice& d = *m.DeviceAt('D');
    d.attention = ScsiDevice::Attention::None;
    d.download.stage = 1;
    m.Restart();
    EXPECT_EQ(ScsiDevice::Attention::PowerOn, d.attention);
    EXPECT_FALSE(d.prevented);
    EXPECT_EQ(0, d.download.stage);
    EXPECT_EQ(4000u, d.medium->blocks);
    EXPECT_EQ(ScsiDevice::Attention::PowerOn, m.DeviceAt('H')->attention);
    EXPECT_TRUE(m.DeviceAt('G')->trayOpen);
}

TEST(MachineDrives, TheDefaultMachineHasTheSupportedDriveOnD) {
    Machine m = Machine::Default();
    EXPECT_EQ(3u, m.drives.at('C').type);
    ScsiDevice* d = m.DeviceAt('D');
    ASSERT_NE(nullptr, d);
    EXPECT_EQ(ScsiDevice::Model::ZqX9046, d->model());
    EXPECT_EQ("1H12", d->Revision());
    EXPECT_TRUE(d->medium);
}

struct BadDrive {
    const char* drives;
    const char* where;  // the place the error names
    const char* what;
};

TEST(MachineDrives, BadDescriptionsSayWhereAndWhat) {
    const BadDrive cases[] = {
        {R"([])", "/drives", "expected an object of drive letters"},
        {R"({"D": {"type": "cdrom"}})", "/drives/D", "expected a drive letter"},
        {R"({"1:": {"type": "cdrom"}})", "/drives/1:", "expected a drive letter"},
        {R"({"D:": {"type": "cdrom"}, "d:": {"type": "fixed"}})", "/drives/d:", "given twice"},
        {R"({"D:": {}})", "/drives/D:/type", "missing"},
        {R"({"D:": {"type": "floppy"}})", "/drives/D:/type", "unknown type \"floppy\""},
        {R"({"D:": {"type": "cdrom", "speed": 4}})", "/drives/D:/speed", "unknown entry"},
        {R"({"D:": {"type": "cdrom", "alignmentMask": 6}})", "/drives/D:/alignmentMask", "power of two"},
        {R"({"N:": {"type": "remote", "device": {"model": "disk"}}})", "/drives/N:/device", "no SCSI device"},
        {R"({"D:": {"type": "cdrom", "device": {}}})", "/drives/D:/device/model", "missing"},
        {R"({"D:": {"type": "cdrom", "device": {"model": "ZQ-X9999"}}})", "/drives/D:/device/model",
         "unknown model \"ZQ-X9999\""},
        {R"({"D:": {"type": "cdrom", "device": {"model": "optical", "vendor": "TOO LONG A"}}})",
         "/drives/D:/device/vendor", "longer than 8"},
        {R"({"D:": {"type": "cdrom", "device": {"model": "ZQ-X9046", "revision": "1H123"}}})",
         "/drives/D:/device/revision", "longer than 4"},
        {R"({"D:": {"type": "cdrom", "device": {"model": "ZQ-X9046", "type": 32}}})", "/drives/D:/device/type",
         "0 to 31"},
        {R"({"D:": {"type": "cdrom", "device": {"model": "optical", "family": "hq"}}})",
         "/drives/D:/device/family", "only the Valtora models"},
        {R"({"D:": {"type": "cdrom", "device": {"model": "ZQ-X9046", "level": 256}}})", "/drives/D:/device/level",
         "0 to 255"},
        {R"({"D:": {"type": "cdrom", "device": {"model": "ZQ-X9046", "level": "0xZZ"}}})",
         "/drives/D:/device/level", "expected a byte"},
        {R"({"D:": {"type": "cdrom", "device": {"model": "ZQ-X9046", "firmware": "00ff"}}})",
         "/drives/D:/device/firmware", "196608 bytes, not 2"},
        {R"({"D:": {"type": "cdrom", "device": {"model": "ZQ-X9046", "firmware": "0g"}}})",
         "/drives/D:/device/firmware", "not a hex digit"},
        {R"({"D:": {"type": "cdrom", "device": {"model": "optical", "firmware": ""}}})",
         "/drives/D:/device/firmware", "no firmware image"},
        {R"({"D:": {"type": "cdrom", "device": {"model": "disk", "medium": null}}})", "/drives/D:/device/medium",
         "always has its medium"},
        {R"({"D:": {"type": "cdrom", "device": {"model": "ZQ-X9046", "medium": {"blocks": 5}, "tray": "open"}}})",
         "/drives/D:/device/tray", "holds no medium"},
        {R"({"D:": {"type": "cdrom", "device": {"model": "ZQ-X9046", "tray": "ajar"}}})", "/drives/D:/device/tray",
         "\"open\" or \"closed\""},
        {R"({"D:": {"type": "cdrom", "device": {"model": "ZQ-X9046", "unitAttention": "reset"}}})",
         "/drives/D:/device/unitAttention", "expected \"none\""},
        {R"({"D:": {"type": "cdrom", "device": {"model": "ZQ-X9046", "unitAttentionStorm": "always"}}})",
         "/drives/D:/device/unitAttentionStorm", "or \"forever\""},
        {R"({"D:": {"type": "cdrom", "device": {"model": "ZQ-X9046", "faults": {}}}})", "/drives/D:/device/faults",
         "expected a list"},
        {R"({"D:": {"type": "cdrom", "device": {"model": "ZQ-X9046", "faults": [{"opcode": 0}]}}})",
         "/drives/D:/device/faults/0", "needs its \"sense\""},
        {R"({"D:": {"type": "cdrom", "device": {"model": "ZQ-X9046", "faults": [{"sense": "5/24/0"}]}}})",
         "/drives/D:/device/faults/0/sense", "\"KK/AA/QQ\""},
        {R"({"D:": {"type": "cdrom", "device": {"model": "ZQ-X9046", "faults": [{"status": 8, "sense": "05/24/00"}]}}})",
         "/drives/D:/device/faults/0/sense", "only with status 2"},
        {R"({"D:": {"type": "cdrom", "device": {"model": "ZQ-X9046", "faults": [{"hang": true, "status": 8}]}}})",
         "/drives/D:/device/faults/0/hang", "has no status"},
        {R"({"D:": {"type": "cdrom", "device": {"model": "ZQ-X9046", "faults": [{"status": 8, "times": 0}]}}})",
         "/drives/D:/device/faults/0/times", "never happens"},
        {R"({"D:": {"type": "cdrom", "device": {"model": "ZQ-X9046", "faults": [{"status": 8, "times": "once"}]}}})",
         "/drives/D:/device/faults/0/times", "\"always\""},
        {R"({"D:": {"type": "cdrom", "device": {"model": "ZQ-X9046", "faults": [{"status": 8, "when": 1}]}}})",
         "/drives/D:/device/faults/0/when", "unknown entry"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.drives);
        try {
            WithDrives(json::parse(c.drives));
            ADD_FAILURE() << "accepted";
        } catch (const sim::MachineFileError& e) {
            const std::string message = e.what();
            EXPECT_EQ(0u, message.find(std::string("test.json: ") + c.where + ": ")) << message;
            EXPECT_NE(std::string::npos, message.find(c.what)) << message;
        }
    }
}

}  // namespace
