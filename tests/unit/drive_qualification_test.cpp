// Judging a drive: QualifyDrive on the INQUIRY data and the family query,
// and the short check at "Start Update", against simulated drives behind
// an NT drive letter.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/Process.h"
#include "drive/CDriveAccess.h"
#include "update/DriveQualification.h"
#include "update/FirmwareIndex.h"
#include "update/FirmwareTable.h"
#include "win32.h"

namespace {

using sim::Proc;
using Model = sim::ScsiDevice::Model;
using Opcodes = std::vector<uint8_t>;

const uint8_t INQUIRY = 0x12;
const uint8_t SEND_DIAG = 0x1D;
const uint8_t RECV_DIAG = 0x1C;

sim::ScsiDevice MakeDrive(Model model, const std::string& revision, const std::string& family, uint8_t level) {
    sim::ScsiDevice d(model);
    d.SetRevision(revision);
    d.SetFamily(family);
    d.SetLevel(level);
    return d;
}

sim::ScsiDevice Supported(const std::string& revision, const std::string& family = "hq", uint8_t level = 0) {
    return MakeDrive(Model::ZqX9046, revision, family, level);
}

sim::ScsiDevice Sibling(const std::string& revision, const char* product = nullptr) {
    sim::ScsiDevice d = MakeDrive(Model::ZqX7301, revision, "hq", 0);
    if (product) d.product = product;
    return d;
}

sim::Fault FailWith(uint8_t opcode, const sim::Sense& sense) {
    sim::Fault f;
    f.opcode = opcode;
    f.status = sim::scsi::kCheckCondition;
    f.sense = sense;
    return f;
}

// Windows XP with the drive on D:, scanned by a fresh facade on
// pass-through, as the start-up and the main dialog find it.
class DriveJudgement : public ::testing::Test {
protected:
    void Boot(const sim::ScsiDevice& device) {
        sim::Machine m = sim::Machine::Default();
        m.drives.clear();
        m.drives['C'].type = DRIVE_FIXED;
        m.drives['D'].type = DRIVE_CDROM;
        m.drives['D'].device = device;
        m.drives['D'].device->place = "D:";
        sim::Process::Boot(m);
        m_drive.m_bUsePassThrough = 1;
        ASSERT_EQ(m_drive.ScanDrives(), 1);
        Device().ClearTrace();
    }

    sim::ScsiDevice& Device() { return *Proc().machine().DeviceAt('D'); }

    // Commands the drive received since the trace was last cleared.
    Opcodes Sent() {
        Opcodes out;
        for (const auto& e : Device().Trace()) out.push_back(e.cdb.at(0));
        return out;
    }

    CDriveAccess m_drive;
};

typedef void (*InquiryPatch)(BYTE* pInquiry);

void ProductInLowerCase(BYTE* p) { std::memcpy(p + 16, "dvd-rom zq-x9046", 16); }
void InquiryFailed(BYTE* p) { std::memset(p, 0, IDENTITY_BUFFER); }

struct QualifyCase {
    const char* what;
    sim::ScsiDevice device;
    std::vector<sim::Fault> faults;  // in force after the scan
    InquiryPatch patch;              // the data QualifyDrive is handed, if not the drive's
    DriveVerdict verdict;
    const char* revision;  // the revision text QualifyDrive forms
    bool entryFound;
    Opcodes sent;  // after the INQUIRY
};

TEST_F(DriveJudgement, QualifyDriveJudgesModelFamilyRevisionAndLevel) {
    const sim::Sense refused{5, 0x24, 0};
    const Opcodes none;
    const Opcodes query{SEND_DIAG, RECV_DIAG};
    const QualifyCase cases[] = {
        {"older revision, lowest level", Supported("1H12", "hq", 0x00), {}, nullptr, VerdictNeeded, "1H12", true, query},
        {"older revision, highest level", Supported("1H12", "hq", 0x7F), {}, nullptr, VerdictNeeded, "1H12", true, query},
        {"same revision, level below threshold", Supported("1H13", "hq", 31), {}, nullptr, VerdictNeeded, "1H13", true,
         query},
        {"same revision, level at threshold", Supported("1H13", "hq", 32), {}, nullptr, VerdictNotNeeded, "1H13", true,
         query},
        {"same revision, level 127", Supported("1H13", "hq", 127), {}, nullptr, VerdictNotNeeded, "1H13", true, query},
        {"same revision, level -128", Supported("1H13", "hq", 0x80), {}, nullptr, VerdictNeeded, "1H13", true, query},
        {"same revision, level 0xFF", Supported("1H13", "hq", 0xFF), {}, nullptr, VerdictNeeded, "1H13", true, query},
        {"newer revision, level 0", Supported("1H14", "hq", 0), {}, nullptr, VerdictNotNeeded, "1H14", true, query},
        {"lower-case family letter", Supported("1h13"), {}, nullptr, VerdictWrongFirmware, "1h13", false, none},
        {"other first revision character", Supported("2H13"), {}, nullptr, VerdictNotSupported, "2H13", false, none},
        {"product in lower case", Supported("1H12"), {}, ProductInLowerCase, VerdictNotSupported, "1H12", false, none},
        {"INQUIRY failed: zero data", Supported("1H12"), {}, InquiryFailed, VerdictNotSupported, "", false, none},
        {"family code in upper case", Supported("1H12", "HQ"), {}, nullptr, VerdictNotSupported, "1H12", false, query},
        {"family code with a zero first byte", Supported("1H12", ""), {}, nullptr, VerdictNotSupported, "1H12", false,
         query},
        {"family code cut short by a zero", Supported("1H12", "h"), {}, nullptr, VerdictNotSupported, "1H12", false,
         query},
        {"family query refused", Supported("1H12"), {FailWith(SEND_DIAG, refused)}, nullptr, VerdictNotSupported,
         "1H12", false, {SEND_DIAG}},
        {"family answer refused", Supported("1H12"), {FailWith(RECV_DIAG, refused)}, nullptr, VerdictNotSupported,
         "1H12", false, query},
        // Not a number: such a drive is left as it is.
        {"revision number unreadable", Supported("1HXY"), {}, nullptr, VerdictNotNeeded, "1HXY", true, query},
        // Read like "%02d": a blank is skipped, a sign counts.
        {"revision number with a blank", Supported("1H 9"), {}, nullptr, VerdictNeeded, "1H 9", true, query},
        {"revision number negative", Supported("1H-5", "hq", 127), {}, nullptr, VerdictNeeded, "1H-5", true, query},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Boot(c.device);
        BYTE abBuffer[IDENTITY_BUFFER];
        std::memset(abBuffer, 0xCC, sizeof abBuffer);
        ASSERT_EQ(ReadDriveIdentity(m_drive, 0, abBuffer), SS_COMP);
        EXPECT_EQ(Sent(), Opcodes{INQUIRY});
        // Beyond the 44 bytes asked for, the buffer was cleared, not left as it was.
        EXPECT_TRUE(std::all_of(abBuffer + IDENTITY_LENGTH, abBuffer + IDENTITY_BUFFER, [](BYTE b) { return b == 0; }));
        Device().ClearTrace();
        Device().faults = c.faults;
        if (c.patch) c.patch(abBuffer);

        DriveFindings findings;
        EXPECT_EQ(QualifyDrive(m_drive, abBuffer, findings), c.verdict);
        EXPECT_EQ(std::string(findings.strRevision), c.revision);
        EXPECT_EQ(findings.nEntry, c.entryFound ? 0 : -1);
        EXPECT_EQ(std::string(findings.strTargetRevision), c.entryFound ? "1H13" : "");
        EXPECT_EQ(Sent(), c.sent);
    }
}

TEST_F(DriveJudgement, FamilyQueryIsTheEightByteVendorPage) {
    Boot(Supported("1H12"));
    BYTE abBuffer[IDENTITY_BUFFER];
    ASSERT_EQ(ReadDriveIdentity(m_drive, 0, abBuffer), SS_COMP);
    Device().ClearTrace();
    DriveFindings findings;
    QualifyDrive(m_drive, abBuffer, findings);
    const auto& trace = Device().Trace();
    ASSERT_EQ(trace.size(), 2u);
    EXPECT_EQ(trace[0].cdb, (Opcodes{0x1D, 0x00, 0x00, 0x00, 0x08, 0x00}));
    EXPECT_EQ(trace[0].dataOut, (Opcodes{0x88, 0x00, 0x00, 0x04, 0x00, 0x40, 0x00, 0x00}));
    EXPECT_EQ(trace[1].cdb, (Opcodes{0x1C, 0x00, 0x00, 0x00, 0x10, 0x00}));
    EXPECT_EQ(trace[1].length, 16u);
}

struct StartCase {
    const char* what;
    sim::ScsiDevice device;          // behind D: once the scan is done
    std::vector<sim::Fault> faults;  // in force after the scan
    StartCheck check;
    int firmIndex;          // g_nFirmIndex afterwards; it starts at 7
    const char* errorText;  // part of the facade's error text, if it failed
    Opcodes sent;
};

TEST_F(DriveJudgement, RecheckForStartRefusesTheSiblingAndFindsTheEntry) {
    const Opcodes all{INQUIRY, SEND_DIAG, RECV_DIAG};
    const StartCase cases[] = {
        {"supported drive", Supported("1H12"), {}, StartReady, 0, nullptr, all},
        // Revision and level are not looked at again.
        {"supported drive, up to date", Supported("1H14", "hq", 127), {}, StartReady, 0, nullptr, all},
        {"no entry for the family", Supported("1H12", "xq"), {}, StartNoEntry, FIRM_ENTRIES, nullptr, all},
        {"INQUIRY fails", Supported("1H12"), {FailWith(INQUIRY, {4, 0x44, 0})}, StartCommandFailed, 7, "44-00",
         {INQUIRY}},
        {"family query fails", Supported("1H12"), {FailWith(SEND_DIAG, {5, 0x26, 1})}, StartCommandFailed, 7, "26-01",
         {INQUIRY, SEND_DIAG}},
        {"family answer fails", Supported("1H12"), {FailWith(RECV_DIAG, {5, 0x2C, 0})}, StartCommandFailed, 7,
         "2C-00", all},
        {"sibling below revision 30", Sibling("1H29"), {}, StartSiblingRefused, 7, nullptr, {INQUIRY}},
        {"sibling at revision 30", Sibling("1H30"), {}, StartReady, 0, nullptr, all},
        // The revision bytes are taken as digits whatever they are: '/' is one below '0'.
        {"sibling with a non-digit revision", Sibling("1H/9"), {}, StartSiblingRefused, 7, nullptr, {INQUIRY}},
        // Refused only with "10" as the fifth and sixth product characters.
        {"sibling fragment without the 10", Sibling("1H12", "DVD-ROM ZQ-X7301"), {}, StartReady, 0, nullptr, all},
        {"10 without the sibling fragment", Sibling("1H12", "DVDR10  ZQ-X9046"), {}, StartReady, 0, nullptr, all},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Boot(Supported("1H12"));
        auto& slot = Proc().machine().drives['D'].device;
        slot = c.device;
        slot->place = "D:";
        slot->faults = c.faults;

        g_nFirmIndex = 7;
        EXPECT_EQ(RecheckForStart(m_drive, 0), c.check);
        EXPECT_EQ(g_nFirmIndex, c.firmIndex);
        if (c.errorText) {
            EXPECT_NE(std::string(m_drive.GetErrorText()).find(c.errorText), std::string::npos);
        }
        EXPECT_EQ(Sent(), c.sent);
    }
}

}  // namespace
