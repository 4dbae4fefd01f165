// The ASPI transport's requests on a simulated manager: what reaches the
// drive, the staging limit, the texts and error boxes of failed requests,
// the unit-attention retry, the time-out with its abort, requests the
// manager keeps, and the in-use mark.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "drive/DriveCommandSet.h"
#include "drive_aspi_fixture.h"

namespace {

using namespace aspitest;

std::string Box(const std::string& text) { return "message box \"Firmware Update Utility\": \"" + text + "\" -> OK"; }
uint64_t Now() { return sim::Proc().scheduler().Now(); }

struct CommandCase {
    const char* what;
    std::function<DriveStatus(CDriveAccess&)> send;
    DWORD length;
    const char* line;  // as the drive traced it
};

TEST_F(AspiDrive, EachCommandReachesTheDriveWithItsCdbDirectionAndTheLengthSet) {
    const CommandCase cases[] = {
        {"INQUIRY", [](CDriveAccess& d) { return d.Inquiry(44); }, 44,
         "scsi 1:3 12 00 00 00 2C 00 | in 44 | moved 44 | status 00 | 2 ms"},
        {"READ(10)", [](CDriveAccess& d) { return d.Read10(16, 1, 0, 0); }, 2048,
         "scsi 1:3 28 00 00 00 00 10 00 00 01 00 | in 2048 | moved 2048 | status 00 | 8 ms"},
        {"SEND DIAGNOSTIC, family query", [](CDriveAccess& d) { return d.SendDiagnostic(0, 8); }, 8,
         "scsi 1:3 1D 00 00 00 08 00 | out 8 [88 00 00 04 00 40 00 00] | moved 8 | status 00 | 2 ms"},
        {"RECEIVE DIAGNOSTIC RESULTS", [](CDriveAccess& d) { return d.ReceiveDiagnosticResults(16); }, 16,
         "scsi 1:3 1C 00 00 00 10 00 | in 16 | moved 16 | status 00 | 2 ms"},
        {"PREVENT ALLOW MEDIUM REMOVAL", [](CDriveAccess& d) { return d.PreventAllowMediumRemoval(0); }, 0,
         "scsi 1:3 1E 00 00 00 00 00 | none 0 | moved 0 | status 00 | 2 ms"},
        {"START STOP UNIT, eject (last: the tray opens)", [](CDriveAccess& d) { return d.StartStopUnit(0, 0, 1); }, 2048,
         "scsi 1:3 1B 00 00 00 02 00 | none 2048 | moved 0 | status 00 | 1500 ms"},
    };
    StartWithDrive();
    const std::string scanText = ErrorText();
    const BYTE familyQuery[8] = {0x88, 0, 0, 4, 0, 0x40, 0, 0};
    for (const CommandCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::memset(m_abyBuffer, 0, sizeof m_abyBuffer);
        std::memcpy(m_abyBuffer, familyQuery, sizeof familyQuery);
        m_pDrive->SetDataBuffer(m_abyBuffer, c.length);
        Drive().ClearTrace();
        EXPECT_EQ(SS_COMP, c.send(*m_pDrive)) << ErrorText();
        ASSERT_EQ(1u, Commands());
        EXPECT_EQ(c.line, Drive().Trace()[0].Text(Drive().place));
    }
    // What the drive sent comes back into the caller's buffer.
    m_pDrive->SetDataBuffer(m_abyBuffer, 44);
    ASSERT_EQ(SS_COMP, m_pDrive->Inquiry(44));
    EXPECT_EQ("VALTORA DVD-ROM ZQ-X9046", std::string(reinterpret_cast<char*>(m_abyBuffer + 8), 24));
    EXPECT_EQ(scanText, ErrorText()) << "no command failed: the scan's last text stays";
}

TEST_F(AspiDrive, ATransferLongerThanTheStagingAreaIsRefusedBeforeAnythingMoves) {
    StartWithDrive();
    // A failure first, so that the refusal visibly leaves its text and sense.
    Drive().medium.reset();
    m_pDrive->SetDataBuffer(m_abyBuffer, 2048);
    ASSERT_EQ(SS_ERR, m_pDrive->Read10(16, 1, 0, 0));
    const std::string text = ErrorText();
    sim::Proc().machine().aspi.requests.clear();
    Drive().ClearTrace();

    const uint64_t start = Now();
    m_pDrive->SetDataBuffer(m_abyBuffer, STAGING_AREA_BYTES + 1);
    EXPECT_EQ(SS_BUFFER_TO_BIG, m_pDrive->SendDiagnostic(0, 0x8008));
    EXPECT_EQ(start, Now());
    EXPECT_TRUE(ManagerLog().empty());
    EXPECT_EQ(text, ErrorText());
    EXPECT_EQ((std::pair<int, int>(0x3A, 0)), SenseCodes());
    EXPECT_EQ(0u, OpenEvents());

    // The whole staging area is there to be used.
    m_pDrive->SetDataBuffer(m_abyBuffer, STAGING_AREA_BYTES);
    EXPECT_EQ(SS_COMP, m_pDrive->PreventAllowMediumRemoval(0));
    ASSERT_EQ(1u, Commands());
    EXPECT_EQ(STAGING_AREA_BYTES, Drive().Trace()[0].length);
}

struct FailureCase {
    const char* what;
    std::function<void()> arrange;
    std::function<DriveStatus(CDriveAccess&)> send;
    DriveStatus status;
    std::string text;
    std::vector<std::string> shown;  // message boxes and beeps
    DWORD length = 2048;
};

sim::AspiFault ManagerFault(const std::function<void(sim::AspiFault&)>& set) {
    sim::AspiFault f;
    set(f);
    return f;
}

void InjectManagerFault(const std::function<void(sim::AspiFault&)>& set) {
    sim::Proc().machine().aspi.adapters[1].targets[3].faults = {ManagerFault(set)};
}

void InjectDeviceFault(const std::function<void(sim::Fault&)>& set) {
    sim::Fault f;
    set(f);
    TargetAt(1, 3).faults = {f};
}

std::function<void()> SrbStatus(BYTE status) {
    return [status] { InjectManagerFault([status](sim::AspiFault& f) { f.srbStatus = status; }); };
}
std::function<void()> HaStatus(BYTE status) {
    return [status] { InjectManagerFault([status](sim::AspiFault& f) { f.haStatus = status; }); };
}
std::function<void()> TargetStatus(BYTE status) {
    return [status] { InjectDeviceFault([status](sim::Fault& f) { f.status = status; }); };
}

DriveStatus Read16(CDriveAccess& d) { return d.Read10(16, 1, 0, 0); }
DriveStatus Inquire(CDriveAccess& d) { return d.Inquiry(44); }
DriveStatus Eject(CDriveAccess& d) { return d.StartStopUnit(0, 0, 1); }
DriveStatus Query(CDriveAccess& d) { return d.SendDiagnostic(0, 8); }

TEST_F(AspiDrive, FailedRequestsAreDescribedByTheCommandAndItsStatuses) {
    const std::string beep = "beep 0x30";
    const FailureCase cases[] = {
        {"no disc: CHECK CONDITION, the third sense number 0 whatever the drive's byte 19",
         [] {
             TargetAt(1, 3).medium.reset();
             TargetAt(1, 3).senseByte19 = 0x5C;
         },
         Read16, SS_ERR, "Read(Group1)(10)(1) Status : Check Condition. 3A-00 (00)", {}},
        {"selection time-out", HaStatus(0x11), Inquire, SS_ERR, "Inquiry Status : Selection timeout.", {}},
        {"overrun", HaStatus(0x12), Query, SS_ERR, "Send Diagnostic Status : Overrun or Underrun.", {}},
        {"bus free", HaStatus(0x13), Eject, SS_ERR, "Stat/StopUnit(0)(1) Status : Busfree ditect.", {}},
        {"phase error", HaStatus(0x14), [](CDriveAccess& d) { return d.ReceiveDiagnosticResults(16); }, SS_ERR,
         "Receive Diagnostic Results Status : Phase Error.", {}},
        {"another adapter status", HaStatus(0x20), [](CDriveAccess& d) { return d.PreventAllowMediumRemoval(0); },
         SS_ERR, "Prevent/Allow Medium Removal Status : Unknown Ha status:20", {}},
        {"target busy: no sense text", TargetStatus(0x08), Read16, SS_ERR,
         "Read(Group1)(10)(1) Status : Target Busy.", {}},
        {"reservation conflict", TargetStatus(0x18), Read16, SS_ERR, "Read(Group1)(10)(1) Status : Request Conflict.",
         {}},
        {"a status the ASPI table lacks", TargetStatus(0x28), Read16, SS_ERR,
         "Read(Group1)(10)(1) Status : Unknown Target status:28", {}},
        {"an error with neither status", SrbStatus(SS_ERR), Read16, SS_ERR, "Read(Group1)(10)(1) Status : Scsi Error.",
         {}},
        {"aborted", SrbStatus(SS_ABORTED), Read16, SS_ABORTED, "Read(Group1)(10)(1) Status : Aborted.", {}},
        {"abort failed", SrbStatus(SS_ABORT_FAIL), Read16, SS_ABORT_FAIL, "Read(Group1)(10)(1) Status : Failed Abort.",
         {}},
        {"invalid adapter", SrbStatus(SS_INVALID_HA), Read16, SS_INVALID_HA, "Read(Group1)(10)(1) Status : Invalid Ha.",
         {}},
        {"no device", SrbStatus(SS_NO_DEVICE), Read16, SS_NO_DEVICE, "Read(Group1)(10)(1) Status : No Device.", {}},
        {"invalid request block", SrbStatus(SS_INVALID_SRB), Read16, SS_INVALID_SRB,
         "Read(Group1)(10)(1) Status : Invalid SRB.", {}},
        {"not initialised", SrbStatus(SS_FAILED_INIT), Read16, SS_FAILED_INIT,
         "Read(Group1)(10)(1) Status : Faild Initailize.", {}},
        {"busy manager", SrbStatus(SS_ASPI_IS_BUSY), Read16, SS_ASPI_IS_BUSY,
         "Read(Group1)(10)(1) Status : Aspi is busy.", {}},
        {"our own codes, should a manager send them", SrbStatus(0xFD), Read16, 0xFD,
         "Read(Group1)(10)(1) Status : This target is executing now.", {}},
        {"0xFE", SrbStatus(0xFE), Read16, 0xFE, "Read(Group1)(10)(1) Status : Memory Allocation Error.", {}},
        {"0xFF", SrbStatus(0xFF), Read16, 0xFF, "Read(Group1)(10)(1) Status : Data Compare Error.", {}},
        {"buffer too big for the manager", SrbStatus(SS_BUFFER_TO_BIG), Read16, SS_BUFFER_TO_BIG,
         "Read(Group1)(10)(1) Status : ASPI Error", {beep, Box("Aspi Error : Buffer size is too big.")}},
        {"a block larger than the adapter moves",
         [] { AdapterAt(1).maxTransfer = 0x8000; },
         [](CDriveAccess& d) { return d.SendDiagnostic(0, 0x8008); }, SS_BUFFER_TO_BIG,
         "Send Diagnostic Status : ASPI Error", {beep, Box("Aspi Error : Buffer size is too big.")}, 0x8008},
        {"invalid command: the box's catch-all", SrbStatus(SS_INVALID_CMD), Read16, SS_INVALID_CMD,
         "Read(Group1)(10)(1) Status : ASPI Error", {beep, Box("Aspi Error : Timeout.")}},
        {"misaligned buffer", SrbStatus(SS_BUFFER_ALIGN), Inquire, SS_BUFFER_ALIGN, "Inquiry Status : ASPI Error",
         {beep, Box("Aspi Error : Timeout.")}},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.what);
        StartWithDrive();
        const size_t shownBefore = BoxesAndBeeps().size();
        c.arrange();
        m_pDrive->SetDataBuffer(m_abyBuffer, c.length);
        EXPECT_EQ(c.status, c.send(*m_pDrive));
        EXPECT_EQ(c.text, ErrorText());
        std::vector<std::string> shown = BoxesAndBeeps();
        shown.erase(shown.begin(), shown.begin() + static_cast<long>(shownBefore));
        EXPECT_EQ(c.shown, shown);
        // The text stays until the next failure.
        m_pDrive->SetDataBuffer(m_abyBuffer, 0);
        EXPECT_EQ(SS_COMP, m_pDrive->PreventAllowMediumRemoval(0));
        EXPECT_EQ(c.text, ErrorText());
    }
}

TEST_F(AspiDrive, CheckConditionKeepsTheSenseCodes) {
    StartWithDrive();
    InjectDeviceFault([](sim::Fault& f) { f.sense = sim::Sense{0x05, 0x24, 0x01}; });
    m_pDrive->SetDataBuffer(m_abyBuffer, 8);
    EXPECT_EQ(SS_ERR, m_pDrive->SendDiagnostic(0, 8));
    EXPECT_EQ("Send Diagnostic Status : Check Condition. 24-01 (00)", ErrorText());
    EXPECT_EQ((std::pair<int, int>(0x24, 0x01)), SenseCodes());
    EXPECT_EQ(1u, Commands()) << "only a unit attention is repeated";
    // A command that succeeds brings the manager's (empty) sense bytes.
    EXPECT_EQ(SS_COMP, m_pDrive->PreventAllowMediumRemoval(0));
    EXPECT_EQ((std::pair<int, int>(0, 0)), SenseCodes());
}

TEST_F(AspiDrive, UnitAttentionIsRetriedUpToSevenAttemptsInAll) {
    for (const UnitAttentionCase& c : UnitAttentionCases()) {
        SCOPED_TRACE(c.what);
        StartWithDrive();
        c.arrange(Drive());
        EXPECT_EQ(c.status, m_pDrive->StartStopUnit(0, 0, 1));
        const auto& trace = Drive().Trace();
        ASSERT_EQ(c.attempts, trace.size());
        for (const auto& e : trace) EXPECT_EQ((Bytes{0x1B, 0, 0, 0, 2, 0}), e.cdb) << "the same CDB each time";
        if (c.status == SS_ERR) {
            EXPECT_EQ("Stat/StopUnit(0)(1) Status : Check Condition. 29-00 (00)", ErrorText());
            EXPECT_EQ((std::pair<int, int>(0x29, 0)), SenseCodes());
        }
    }
}

TEST_F(AspiDrive, ARequestStillPendingAtItsTimeOutIsAbortedAndReleased) {
    StartWithDrive();
    InjectDeviceFault([](sim::Fault& f) {
        f.opcode = 0x1B;
        f.hang = true;
    });
    const uint64_t start = Now();
    EXPECT_EQ(SS_PENDING, m_pDrive->StartStopUnit(0, 0, 1));
    // 3600 seconds of the calendar clock, counted in whole seconds.
    const uint64_t waited = Now() - start;
    EXPECT_LE(3599000u, waited);
    EXPECT_GE(3600000u, waited);
    EXPECT_EQ("Stat/StopUnit(0)(1) Status : Aspi Timeout Error.", ErrorText());
    EXPECT_EQ((std::vector<std::string>{"exec 1:3 1B", "abort 1"}), ManagerLog());
    EXPECT_EQ(0u, OpenEvents()) << "the aborted request came back and was released";
    EXPECT_EQ(m_nBlocks, sim::LiveGlobalBlocks());
    // The abort reset the drive: the next command sees that once, and is
    // then taken.
    Drive().ClearTrace();
    EXPECT_EQ(SS_COMP, m_pDrive->PreventAllowMediumRemoval(0));
    EXPECT_EQ(2u, Commands());
}

// The INQUIRY to a target lost in the manager once: the scan's probe
// gives up after its 10 seconds.
void LoseTheScansInquiry(sim::Machine& m, uint8_t target) {
    sim::AspiFault lost;
    lost.opcode = 0x12;
    lost.pending = true;
    m.aspi.adapters[1].targets[target].faults = {lost};
}

TEST_F(AspiDrive, AProbeThatGetsNoAnswerGivesUpAfterTenSeconds) {
    sim::Machine m = Windows98WithAspi(2);
    PutTarget(m, 1, 6, Model::ZqX9046);
    LoseTheScansInquiry(m, 6);
    Start(m);
    const uint64_t start = Now();
    EXPECT_EQ(0, m_pDrive->ScanDrives());
    const uint64_t waited = Now() - start;
    EXPECT_LE(9000u, waited);
    EXPECT_GE(10100u, waited);
    EXPECT_EQ("Test Unit Ready Status : Aspi Timeout Error.", ErrorText()) << "the drive was the last target";
    const std::vector<std::string> log = ManagerLog();
    EXPECT_EQ((std::vector<std::string>{"exec 1:5 12", "exec 1:6 00", "exec 1:6 12", "abort 1"}),
              std::vector<std::string>(log.end() - 4, log.end()));
    EXPECT_EQ(0u, OpenEvents());
    EXPECT_EQ(m_nBlocks, sim::LiveGlobalBlocks());
    // The fault is spent; the next scan finds the drive.
    EXPECT_EQ(1, m_pDrive->ScanDrives());
}

TEST_F(AspiDrive, ARequestTheManagerKeepsAfterItsAbortIsReleasedOnlyWhenItLetsGo) {
    sim::Machine m = Windows98WithAspi(2);
    PutTarget(m, 1, 3, Model::ZqX9046);
    PutTarget(m, 1, 4, Model::ZqX9046);
    LoseTheScansInquiry(m, 3);
    m.aspi.adapters[1].abortFails = true;
    Start(m);
    ASSERT_EQ(1, m_pDrive->ScanDrives());
    EXPECT_STREQ("1:4: VALTORA DVD-ROM ZQ-X90461H12", m_pDrive->GetDriveName(0));
    EXPECT_EQ(1u, OpenEvents()) << "the manager still holds the lost request's event";
    EXPECT_EQ(m_nBlocks + 1, sim::LiveGlobalBlocks());

    // Requests go on; the kept one stays kept.
    m_pDrive->SelectDrive(0);
    m_pDrive->SetDataBuffer(m_abyBuffer, 0);
    EXPECT_EQ(SS_COMP, m_pDrive->PreventAllowMediumRemoval(0));
    EXPECT_EQ(1u, OpenEvents());
    EXPECT_EQ(m_nBlocks + 1, sim::LiveGlobalBlocks());
    // Destroying the facade unloads the manager; then it goes (TearDown).
}

TEST_F(AspiDrive, ASecondCommandToATargetInUseIsRefusedAtOnce) {
    StartWithDrive([](sim::Machine& m) { PutTarget(m, 0, 1, Model::ZqX9046); });
    ASSERT_STREQ("0:1: VALTORA DVD-ROM ZQ-X90461H12", m_pDrive->GetDriveName(0));
    // A failure first, whose text and sense the refusal leaves alone.
    Drive().medium.reset();
    m_pDrive->SetDataBuffer(m_abyBuffer, 2048);
    ASSERT_EQ(SS_ERR, m_pDrive->Read10(16, 1, 0, 0));
    const std::string text = ErrorText();
    Drive().ClearTrace();

    // A worker ejects, which takes the drive a second and a half.
    m_pDrive->SetDataBuffer(m_abyBuffer, 0);
    InFlight work = {m_pDrive.get(), Eject, 0};
    HANDLE hThread = CreateThread(NULL, 0, SendInFlight, &work, 0, NULL);
    ASSERT_NE(nullptr, hThread);
    Sleep(500);
    ASSERT_EQ(1u, Commands()) << "the worker's command is in flight";

    const uint64_t start = Now();
    EXPECT_EQ(DRV_IN_USE, m_pDrive->PreventAllowMediumRemoval(0));
    EXPECT_EQ(start, Now());
    EXPECT_EQ(text, ErrorText());
    EXPECT_EQ((std::pair<int, int>(0x3A, 0)), SenseCodes());
    EXPECT_EQ(1u, Commands()) << "the refused command never reached the drive";

    // Another target is not in use.
    m_pDrive->SelectDrive(0);
    EXPECT_EQ(SS_COMP, m_pDrive->PreventAllowMediumRemoval(0));
    m_pDrive->SelectDrive(1);

    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hThread, INFINITE));
    CloseHandle(hThread);
    EXPECT_EQ(SS_COMP, work.status);
    // The mark went with the worker's command.
    EXPECT_EQ(SS_COMP, m_pDrive->PreventAllowMediumRemoval(0));
    EXPECT_EQ(2u, Commands());
}

}  // namespace
