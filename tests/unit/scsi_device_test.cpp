// The simulated SCSI devices: what each command does to a drive and what it
// answers, unit attentions, injected faults, the firmware download and the
// trace of commands.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "core/Process.h"
#include "devices/ScsiDevice.h"

namespace {

using sim::DataDirection;
using sim::Fault;
using sim::ScsiDevice;
using sim::Sense;
using Bytes = std::vector<uint8_t>;
using Model = ScsiDevice::Model;

const Sense kGoodSense{};

struct Outcome {
    bool completes = true;
    uint8_t status = 0;
    Sense sense;
    uint8_t byte19 = 0;
    Bytes data;  // what came back in the data phase
    uint32_t ms = 0;
};

// One command as a host sends it; out is the parameter list, or the size
// of the buffer offered for data in.
Outcome Send(ScsiDevice& d, Bytes cdb, DataDirection dir = DataDirection::Unspecified, Bytes out = {},
            uint32_t inLength = 0) {
    Bytes buffer = out.empty() ? Bytes(inLength, 0xEE) : out;
    sim::ScsiRequest rq;
    rq.cdb = cdb.data();
    rq.cdbLength = cdb.size();
    rq.direction = dir;
    rq.data = buffer.empty() ? nullptr : buffer.data();
    rq.length = static_cast<uint32_t>(buffer.size());
    sim::ScsiResult r = d.Execute(rq);
    Outcome o;
    o.completes = r.completes;
    o.status = r.status;
    if (r.hasSense) {
        o.sense = Sense{static_cast<uint8_t>(r.sense[2] & 0xF), r.sense[12], r.sense[13]};
        o.byte19 = r.sense[19];
        EXPECT_EQ(0x70, r.sense[0]);
        EXPECT_EQ(16, r.sense[7]) << "24 bytes of fixed-format sense";
    }
    if (dir != DataDirection::Out) o.data.assign(buffer.begin(), buffer.begin() + r.transferred);
    o.ms = r.durationMs;
    return o;
}

Bytes Inquiry(uint8_t length = 44) { return {0x12, 0, 0, 0, length, 0}; }
Bytes Tur() { return {0x00, 0, 0, 0, 0, 0}; }
Bytes StartStop(uint8_t bits, uint8_t immediate = 0) { return {0x1B, immediate, 0, 0, bits, 0}; }
Bytes Prevent(uint8_t p) { return {0x1E, 0, 0, 0, p, 0}; }
Bytes Read10(uint32_t lba, uint16_t count, uint8_t flags = 0) {
    return {0x28, flags, uint8_t(lba >> 24), uint8_t(lba >> 16), uint8_t(lba >> 8), uint8_t(lba), 0,
            uint8_t(count >> 8), uint8_t(count), 0};
}
Bytes SendDiag(uint16_t n, uint8_t byte1 = 0) { return {0x1D, byte1, 0, uint8_t(n >> 8), uint8_t(n), 0}; }
Bytes ReceiveDiag(uint16_t n) { return {0x1C, 0, 0, uint8_t(n >> 8), uint8_t(n), 0}; }
const Bytes kFamilyQuery = {0x88, 0, 0, 4, 0, 0x40, 0, 0};

Outcome SendPage(ScsiDevice& d, const Bytes& page) {
    return Send(d, SendDiag(static_cast<uint16_t>(page.size())), DataDirection::Out, page);
}

// A drive as the machine file's defaults make it, with a disc in.
ScsiDevice Drive(Model m = Model::ZqX9046) {
    ScsiDevice d(m);
    if (d.Removable()) d.medium = sim::Medium{1000};
    return d;
}

class ScsiDeviceTest : public ::testing::Test {
protected:
    void SetUp() override { sim::Process::Boot(sim::Machine::Default()); }
};

TEST_F(ScsiDeviceTest, InquiryReportsTheIdentityInTheStandardLayout) {
    ScsiDevice d = Drive();
    d.SetRevision("1H12");
    Outcome o = Send(d, Inquiry(44), DataDirection::In, {}, 44);
    ASSERT_EQ(0, o.status);
    ASSERT_EQ(44u, o.data.size());
    EXPECT_EQ(5, o.data[0]);
    EXPECT_EQ(0x80, o.data[1]) << "removable medium";
    EXPECT_EQ("VALTORA DVD-ROM ZQ-X9046" "1H12", std::string(o.data.begin() + 8, o.data.begin() + 36));

    // The allocation length and the host's buffer both cut the data short.
    EXPECT_EQ(5u, Send(d, Inquiry(5), DataDirection::In, {}, 44).data.size());
    EXPECT_EQ(36u, Send(d, Inquiry(96), DataDirection::In, {}, 36).data.size());

    ScsiDevice disk(Model::Disk);
    disk.vendor = "ACME";
    o = Send(disk, Inquiry(36), DataDirection::In, {}, 36);
    EXPECT_EQ(0, o.data[0]);
    EXPECT_EQ(0, o.data[1]);
    EXPECT_EQ("ACME    HARD DISK       1.00", std::string(o.data.begin() + 8, o.data.end()));
}

TEST_F(ScsiDeviceTest, RevisionFamilyAndLevelAreReadFromTheFirmwareImage) {
    ScsiDevice d = Drive();
    std::copy_n("2H07", 4, d.firmware.begin() + sim::firmware::kRevisionOffset);
    d.firmware[sim::firmware::kLevelOffset] = 0x7F;
    d.firmware[sim::firmware::kFamilyOffset] = 'x';
    d.firmware[sim::firmware::kFamilyOffset + 1] = 'y';
    Outcome o = Send(d, Inquiry(36), DataDirection::In, {}, 36);
    EXPECT_EQ("2H07", std::string(o.data.begin() + 32, o.data.begin() + 36));
    ASSERT_EQ(0, SendPage(d, kFamilyQuery).status);
    o = Send(d, ReceiveDiag(16), DataDirection::In, {}, 16);
    ASSERT_EQ(16u, o.data.size());
    EXPECT_EQ('x', o.data[6]);
    EXPECT_EQ('y', o.data[7]);
    EXPECT_EQ(0x7F, o.data[15]);
}

struct FamilyCase {
    const char* family;
    uint8_t level;
    Bytes codeBytes;  // reply bytes 6 and 7
};

TEST_F(ScsiDeviceTest, FamilyQueryRepliesWithTheDrivesFamilyCodeAndLevel) {
    const FamilyCase cases[] = {
        {"hq", 31, {'h', 'q'}},
        {"HQ", 0x80, {'H', 'Q'}},
        {"h", 32, {'h', 0}},
        {"", 127, {0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.family);
        ScsiDevice d = Drive(Model::ZqX7301);
        d.SetFamily(c.family);
        d.SetLevel(c.level);
        ASSERT_EQ(0, SendPage(d, kFamilyQuery).status);
        Outcome o = Send(d, ReceiveDiag(16), DataDirection::In, {}, 16);
        ASSERT_EQ(0, o.status);
        ASSERT_EQ(16u, o.data.size());
        EXPECT_EQ(0x88, o.data[0]);
        EXPECT_EQ(c.codeBytes, Bytes(o.data.begin() + 6, o.data.begin() + 8));
        EXPECT_EQ(c.level, o.data[15]);
        // The results stay until the next SEND DIAGNOSTIC.
        EXPECT_EQ(o.data, Send(d, ReceiveDiag(16), DataDirection::In, {}, 16).data);
    }
}

struct CommandCase {
    const char* what;
    Model model;
    std::function<void(ScsiDevice&)> setup;
    Bytes cdb;
    DataDirection dir;
    Bytes out;
    uint8_t status;
    Sense sense;
};

TEST_F(ScsiDeviceTest, CommandsAnswerAsARealDriveDoes) {
    auto none = [](ScsiDevice&) {};
    auto noDisc = [](ScsiDevice& d) { d.medium.reset(); };
    auto prevented = [](ScsiDevice& d) { d.prevented = true; };
    const auto U = DataDirection::Unspecified, I = DataDirection::In, O = DataDirection::Out;
    const CommandCase cases[] = {
        {"ready with a disc", Model::ZqX9046, none, Tur(), U, {}, 0, kGoodSense},
        {"not ready without a disc", Model::ZqX9046, noDisc, Tur(), U, {}, 2, {2, 0x3A, 0}},
        {"read without a disc", Model::ZqX9046, noDisc, Read10(16, 1), I, {}, 2, {2, 0x3A, 0}},
        {"read past the end", Model::ZqX9046, none, Read10(999, 2), I, {}, 2, {5, 0x21, 0}},
        {"read with RelAdr", Model::ZqX9046, none, Read10(16, 1, 1), I, {}, 2, {5, 0x24, 0}},
        {"read of no blocks", Model::ZqX9046, noDisc, Read10(0, 0), I, {}, 2, {2, 0x3A, 0}},
        {"unknown opcode", Model::ZqX9046, none, {0xA8, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0}, I, {}, 2, {5, 0x20, 0}},
        {"vital product data", Model::ZqX9046, none, {0x12, 1, 0x80, 0, 44, 0}, I, {}, 2, {5, 0x24, 0}},
        {"spin up without a disc", Model::ZqX9046, noDisc, StartStop(1), U, {}, 2, {2, 0x3A, 0}},
        {"eject while prevented", Model::ZqX9046, prevented, StartStop(2), U, {}, 2, {5, 0x53, 2}},
        {"load while prevented", Model::ZqX9046, prevented, StartStop(3), U, {}, 0, kGoodSense},
        {"stop", Model::ZqX9046, none, StartStop(0), U, {}, 0, kGoodSense},
        {"hard disk eject", Model::Disk, none, StartStop(2), U, {}, 2, {5, 0x24, 0}},
        {"self-test", Model::Optical, none, SendDiag(0, 0x04), U, {}, 0, kGoodSense},
        {"self-test with a list", Model::ZqX9046, none, SendDiag(8, 0x04), O, kFamilyQuery, 2, {5, 0x24, 0}},
        {"page too short for its length", Model::ZqX9046, none, SendDiag(8), O, {0x88, 0, 0, 8, 0, 0x40, 0, 0}, 2,
         {5, 0x1A, 0}},
        {"host offers less than the list", Model::ZqX9046, none, SendDiag(16), O, kFamilyQuery, 2, {5, 0x1A, 0}},
        {"host sends nothing", Model::ZqX9046, none, SendDiag(8), I, kFamilyQuery, 2, {5, 0x1A, 0}},
        {"unknown vendor function", Model::ZqX9046, none, SendDiag(8), O, {0x88, 0, 0, 4, 0, 0x41, 0, 0}, 2,
         {5, 0x26, 0}},
        {"another page code", Model::ZqX9046, none, SendDiag(8), O, {0x80, 0, 0, 4, 0, 0x40, 0, 0}, 2, {5, 0x26, 0}},
        {"vendor page on another maker's drive", Model::Optical, none, SendDiag(8), O, kFamilyQuery, 2,
         {5, 0x26, 0}},
        {"results before any query", Model::ZqX9046, none, ReceiveDiag(16), I, {}, 2, {5, 0x2C, 0}},
        {"end of data before a download", Model::ZqX9046, none, SendDiag(8), O, {0x88, 0, 0, 4, 0, 0xC0, 0, 0}, 2,
         {5, 0x2C, 0}},
        {"second start page alone", Model::ZqX9046, none, SendDiag(8), O, {0x88, 0, 0, 4, 0, 0xF0, 0xFF, 0}, 2,
         {5, 0x2C, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScsiDevice d = Drive(c.model);
        c.setup(d);
        Outcome o = Send(d, c.cdb, c.dir, c.out, c.dir == DataDirection::In ? 4096 : 0);
        EXPECT_EQ(c.status, o.status);
        EXPECT_EQ(c.sense, o.sense) << o.sense.Text();
        EXPECT_TRUE(o.completes);
        EXPECT_GT(o.ms, 0u) << "every command takes some time";
    }
}

TEST_F(ScsiDeviceTest, ReadReturnsTheAddressedBlocks) {
    ScsiDevice d = Drive();
    Outcome o = Send(d, Read10(16, 2), DataDirection::In, {}, 4096);
    ASSERT_EQ(0, o.status);
    ASSERT_EQ(4096u, o.data.size());
    EXPECT_EQ((Bytes{0, 0, 0, 16}), Bytes(o.data.begin(), o.data.begin() + 4));
    EXPECT_EQ((Bytes{0, 0, 0, 17}), Bytes(o.data.begin() + 2048, o.data.begin() + 2052));
    EXPECT_NE(o.data[100], o.data[2048 + 100]);
    // A buffer shorter than the blocks gets what fits.
    EXPECT_EQ(2048u, Send(d, Read10(16, 2), DataDirection::In, {}, 2048).data.size());
}

TEST_F(ScsiDeviceTest, EjectOpensTheTrayAndTakesTheDiscUnlessRemovalIsPrevented) {
    ScsiDevice d = Drive();
    ASSERT_EQ(0, Send(d, Prevent(1)).status);
    EXPECT_EQ((Sense{5, 0x53, 2}), Send(d, StartStop(2)).sense);
    EXPECT_TRUE(d.medium.has_value());
    EXPECT_EQ(0, Send(d, Read10(16, 1), DataDirection::In, {}, 2048).status);

    ASSERT_EQ(0, Send(d, Prevent(0)).status);
    Outcome eject = Send(d, StartStop(2));
    EXPECT_EQ(0, eject.status);
    EXPECT_GE(eject.ms, 1000u) << "a tray takes its time";
    EXPECT_TRUE(d.trayOpen);
    EXPECT_FALSE(d.medium.has_value());
    EXPECT_EQ((Sense{2, 0x3A, 0}), Send(d, Read10(16, 1), DataDirection::In, {}, 2048).sense);
    EXPECT_LT(Send(d, StartStop(2, 1)).ms, 100u) << "already open";

    EXPECT_EQ(0, Send(d, StartStop(3)).status);
    EXPECT_FALSE(d.trayOpen);
    EXPECT_EQ((Sense{2, 0x3A, 0}), Send(d, Tur()).sense) << "closing an empty tray brings no disc";

    d.InsertMedium(sim::Medium{500});
    EXPECT_EQ((Sense{6, 0x28, 0}), Send(d, Tur()).sense);
    EXPECT_EQ(0, Send(d, Tur()).status);
}

TEST_F(ScsiDeviceTest, UnitAttentionGoesToTheNextCommandButInquiry) {
    for (auto [attention, sense] : {std::pair{ScsiDevice::Attention::PowerOn, Sense{6, 0x29, 0}},
                                    std::pair{ScsiDevice::Attention::MediumChanged, Sense{6, 0x28, 0}}}) {
        ScsiDevice d = Drive();
        d.attention = attention;
        EXPECT_EQ(0, Send(d, Inquiry(), DataDirection::In, {}, 44).status);
        EXPECT_EQ(0, Send(d, Inquiry(), DataDirection::In, {}, 44).status);
        Outcome o = Send(d, Read10(16, 1), DataDirection::In, {}, 2048);
        EXPECT_EQ(2, o.status);
        EXPECT_EQ(sense, o.sense);
        EXPECT_TRUE(o.data.empty()) << "the command was not carried out";
        EXPECT_EQ(0, Send(d, Read10(16, 1), DataDirection::In, {}, 2048).status);
    }
}

TEST_F(ScsiDeviceTest, ResetLeavesAPowerOnAttentionAndTheDisc) {
    ScsiDevice d = Drive();
    Send(d, Prevent(1));
    SendPage(d, kFamilyQuery);
    d.Reset();
    EXPECT_EQ((Sense{6, 0x29, 0}), Send(d, Tur()).sense);
    EXPECT_FALSE(d.prevented);
    EXPECT_TRUE(d.medium.has_value());
    EXPECT_EQ((Sense{5, 0x2C, 0}), Send(d, ReceiveDiag(16), DataDirection::In, {}, 16).sense);
}

TEST_F(ScsiDeviceTest, UnitAttentionStormSparesInquiryAndEndsAfterItsCount) {
    ScsiDevice d = Drive();
    d.stormLeft = 3;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(0, Send(d, Inquiry(), DataDirection::In, {}, 44).status);
        EXPECT_EQ((Sense{6, 0x29, 0}), Send(d, Tur()).sense) << i;
    }
    EXPECT_EQ(0, Send(d, Tur()).status);

    d.stormForever = true;
    for (int i = 0; i < 50; ++i) ASSERT_EQ((Sense{6, 0x29, 0}), Send(d, Tur()).sense);
}

Fault MakeFault(int opcode, uint8_t status, Sense sense = {}, uint32_t times = 1) {
    Fault f;
    f.opcode = opcode;
    f.status = status;
    f.sense = sense;
    f.times = times;
    return f;
}

TEST_F(ScsiDeviceTest, InjectedFaultsReplaceTheCommandForTheirCount) {
    ScsiDevice d = Drive();
    d.senseByte19 = 0x11;
    Fault f = MakeFault(0x28, 2, {3, 0x11, 0x05}, 2);
    f.senseByte19 = 0x42;
    d.faults = {f, MakeFault(0x00, 0x08, {}, 1)};
    d.faults[1].always = true;
    for (int i = 0; i < 2; ++i) {
        Outcome o = Send(d, Read10(16, 1), DataDirection::In, {}, 2048);
        EXPECT_EQ(2, o.status);
        EXPECT_EQ((Sense{3, 0x11, 0x05}), o.sense);
        EXPECT_EQ(0x42, o.byte19);
        EXPECT_TRUE(o.data.empty());
    }
    EXPECT_EQ(0, Send(d, Read10(16, 1), DataDirection::In, {}, 2048).status);
    ASSERT_EQ(1u, d.faults.size()) << "a spent fault goes";
    for (int i = 0; i < 3; ++i) {
        Outcome o = Send(d, Tur());
        EXPECT_EQ(0x08, o.status) << "busy, always";
        EXPECT_EQ(kGoodSense, o.sense);
    }
    // The drive's own sense carries its byte 19.
    d.medium.reset();
    d.faults.clear();
    EXPECT_EQ(0x11, Send(d, Read10(16, 1), DataDirection::In, {}, 2048).byte19);
}

TEST_F(ScsiDeviceTest, PageFaultsMatchTheDiagnosticPageSent) {
    ScsiDevice d = Drive();
    Fault f = MakeFault(0x1D, 2, {5, 0x26, 0x00});
    f.page = 0x88;
    f.function = 0xC0;
    f.argument = 2;
    d.faults = {f};
    auto block = [](uint8_t n) {
        Bytes page(8 + 0x8000, n);
        Bytes head = {0x88, 0, 0x80, 0x04, 0, 0xC0, n, 0};
        std::copy(head.begin(), head.end(), page.begin());
        return page;
    };
    EXPECT_EQ(0, SendPage(d, kFamilyQuery).status);
    EXPECT_EQ(0, SendPage(d, {0x88, 0, 0, 4, 0, 0xF0, 0, 0}).status);
    EXPECT_EQ(0, SendPage(d, {0x88, 0, 0, 4, 0, 0xF0, 0xFF, 0}).status);
    EXPECT_EQ(0, SendPage(d, block(1)).status);
    EXPECT_EQ((Sense{5, 0x26, 0}), SendPage(d, block(2)).sense) << "block 2 is refused";
    EXPECT_TRUE(d.faults.empty());
    EXPECT_EQ(0, SendPage(d, block(2)).status) << "the refused block left the download as it was";
}

TEST_F(ScsiDeviceTest, AHungCommandNeverCompletesAndChangesNothing) {
    ScsiDevice d = Drive();
    Fault f;
    f.opcode = 0x1B;
    f.hang = true;
    d.faults = {f};
    Outcome o = Send(d, StartStop(2));
    EXPECT_FALSE(o.completes);
    EXPECT_FALSE(d.trayOpen);
    EXPECT_EQ(0, Send(d, StartStop(2)).status);
    EXPECT_TRUE(d.trayOpen);
}

// The fuzz target's replies: in order, for any command, ahead of a pending
// unit attention; never more data than the host offered (its staging area
// is larger, so a sanitizer would not see the excess); sense only with
// CHECK CONDITION.
TEST_F(ScsiDeviceTest, ScriptedRepliesAnswerInOrderThenTheModelTakesOver) {
    ScsiDevice d = Drive();
    d.attention = ScsiDevice::Attention::MediumChanged;
    std::array<uint8_t, sim::ScsiResult::kSenseLength> sense{};
    sense[0] = 0x70;
    sense[2] = 0x03;
    sense[7] = 16;
    sense[12] = 0x11;
    sense[13] = 0x05;
    sim::RawReply longData;
    longData.data = Bytes(96, 0x5A);
    sim::RawReply busy;
    busy.status = 0x08;
    busy.sense = sense;
    sim::RawReply check;
    check.status = 0x02;
    check.sense = sense;
    sim::RawReply model;
    model.model = true;
    sim::RawReply hang;
    hang.hang = true;
    d.replies = {longData, busy, check, model, hang};

    Outcome read = Send(d, Read10(16, 1), DataDirection::In, {}, 44);
    EXPECT_EQ(0, read.status);
    EXPECT_EQ(Bytes(44, 0x5A), read.data);
    Outcome busyOutcome = Send(d, Tur());
    EXPECT_EQ(0x08, busyOutcome.status);
    EXPECT_EQ(kGoodSense, busyOutcome.sense);
    EXPECT_EQ((Sense{3, 0x11, 0x05}), Send(d, Tur()).sense);
    EXPECT_EQ((Sense{6, 0x28, 0}), Send(d, Tur()).sense) << "the model's turn: the attention kept for it";
    EXPECT_FALSE(Send(d, StartStop(2)).completes);
    EXPECT_FALSE(d.trayOpen);
    EXPECT_EQ(0, Send(d, StartStop(2)).status);
    EXPECT_TRUE(d.trayOpen);
    ASSERT_EQ(6u, d.Trace().size());
    EXPECT_EQ(44u, d.Trace()[0].transferred);
    EXPECT_FALSE(d.Trace()[4].completes);
}

Bytes Page(uint8_t function, uint8_t argument) { return {0x88, 0, 0, 4, 0, function, argument, 0}; }

Bytes BlockPage(uint8_t n, const Bytes& image) {
    Bytes page = {0x88, 0, 0x80, 0x04, 0, 0xC0, n, 0};
    page.insert(page.end(), image.begin() + (n - 1) * 0x8000, image.begin() + n * 0x8000);
    return page;
}

TEST_F(ScsiDeviceTest, DownloadFlashesTheBlocksAndRestartsOnTheNewFirmware) {
    ScsiDevice d = Drive();
    d.SetRevision("1H12");
    Bytes image(sim::firmware::kImageSize);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7 + 3);
    std::copy_n("1H13", 4, image.begin() + sim::firmware::kRevisionOffset);
    const Bytes before = d.firmware;

    ASSERT_EQ(0, SendPage(d, Page(0xF0, 0x00)).status);
    ASSERT_EQ(0, SendPage(d, Page(0xF0, 0xFF)).status);
    for (uint8_t n = 1; n <= 4; ++n) ASSERT_EQ(0, SendPage(d, BlockPage(n, image)).status) << int(n);
    EXPECT_EQ(before, d.firmware) << "nothing is written before the end of data";
    Outcome end = SendPage(d, Page(0xC0, 0x00));
    ASSERT_EQ(0, end.status);
    EXPECT_GT(end.ms, 1000u) << "writing the flash takes a while";

    EXPECT_TRUE(std::equal(image.begin(), image.begin() + 4 * 0x8000, d.firmware.begin()));
    EXPECT_TRUE(std::equal(before.begin() + 4 * 0x8000, before.end(), d.firmware.begin() + 4 * 0x8000));
    EXPECT_EQ("1H13", d.Revision());
    EXPECT_EQ((Sense{6, 0x29, 0}), Send(d, Tur()).sense);
    Outcome inq = Send(d, Inquiry(36), DataDirection::In, {}, 36);
    EXPECT_EQ("1H13", std::string(inq.data.begin() + 32, inq.data.end()));
}

TEST_F(ScsiDeviceTest, DownloadOutOfOrderIsASequenceErrorAndStartsOver) {
    ScsiDevice d = Drive();
    Bytes image(sim::firmware::kImageSize, 0x5A);
    SendPage(d, Page(0xF0, 0x00));
    SendPage(d, Page(0xF0, 0xFF));
    ASSERT_EQ(0, SendPage(d, BlockPage(1, image)).status);
    EXPECT_EQ((Sense{5, 0x2C, 0}), SendPage(d, BlockPage(3, image)).sense);
    EXPECT_EQ((Sense{5, 0x2C, 0}), SendPage(d, BlockPage(2, image)).sense) << "the download was dropped";
    EXPECT_EQ((Sense{5, 0x2C, 0}), SendPage(d, Page(0xC0, 0)).sense);
    EXPECT_TRUE(d.FirmwareIsFactory());
}

TEST_F(ScsiDeviceTest, TraceRecordsEveryCommandWithTimeAndOutcome) {
    ScsiDevice d = Drive();
    d.place = "D:";
    d.medium.reset();
    Send(d, Inquiry(44), DataDirection::In, {}, 44);
    SendPage(d, kFamilyQuery);
    Send(d, Read10(16, 1), DataDirection::In, {}, 2048);
    const auto& t = d.Trace();
    ASSERT_EQ(3u, t.size());
    EXPECT_EQ(Inquiry(44), t[0].cdb);
    EXPECT_EQ(DataDirection::In, t[0].direction);
    EXPECT_EQ(44u, t[0].length);
    EXPECT_EQ(44u, t[0].transferred);
    EXPECT_EQ(kFamilyQuery, t[1].dataOut);
    EXPECT_EQ(2, t[2].status);
    EXPECT_EQ((Sense{2, 0x3A, 0}), t[2].sense);
    EXPECT_EQ(sim::Proc().scheduler().Now(), t[2].time);
    EXPECT_EQ("scsi D: 28 00 00 00 00 10 00 00 01 00 | in 2048 | moved 0 | status 02 sense 02/3A/00 | 2 ms",
              t[2].Text(d.place));
    EXPECT_EQ("scsi D: 1D 00 00 00 08 00 | out 8 [88 00 00 04 00 40 00 00] | moved 8 | status 00 | 2 ms",
              t[1].Text(d.place));
}

TEST_F(ScsiDeviceTest, TraceGoesToTheTranscriptWhenAsked) {
    ScsiDevice d = Drive();
    d.place = "E:";
    auto& transcript = sim::Proc().machine().transcript;
    size_t before = transcript.size();
    Send(d, Tur());
    EXPECT_EQ(before, transcript.size());
    setenv("WINSIM_TRACE", "1", 1);
    Send(d, Tur());
    unsetenv("WINSIM_TRACE");
    ASSERT_EQ(before + 1, transcript.size());
    EXPECT_NE(std::string::npos, transcript.back().find("scsi E: 00 00 00 00 00 00 | none 0 | moved 0 | status 00"))
        << transcript.back();
}

}  // namespace
