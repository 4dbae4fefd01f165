// The pass-through transport through the facade on an NT-family machine:
// the scan by drive letter, each slot's largest transfer, the texts of
// failed requests, unit-attention retries, the in-use mark, and no device
// handle left open afterwards.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "core/Text.h"
#include "drive/CDriveAccess.h"
#include "drive/DriveCommandSet.h"
#include "drive_machine.h"

namespace {

using namespace drivetest;

class Spti : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(0u, OpenDevices()) << "a device handle was left open"; }

    // Boots m and builds the facade on it, set for pass-through as the
    // start-up sets it on the NT family.
    void Start(const sim::Machine& m) {
        sim::Process::Boot(m);
        m_pDrive.reset(new CDriveAccess);
        m_pDrive->m_bUsePassThrough = 1;
    }

    // A machine with the supported drive on D: (a disc in it), scanned and selected.
    void StartWithDriveOnD(const std::function<void(sim::Machine&)>& adjust = nullptr) {
        sim::Machine m = NtMachine();
        PutDrive(m, 'D', Model::ZqX9046).medium = sim::Medium{4000};
        if (adjust) adjust(m);
        Start(m);
        ASSERT_EQ(1, m_pDrive->ScanDrives());
        m_pDrive->SelectDrive(0);
        m_pDrive->SetDataBuffer(m_abyBuffer, 0);
        DriveAt('D').ClearTrace();
    }

    std::string ErrorText() { return static_cast<LPCSTR>(m_pDrive->GetErrorText()); }
    std::pair<int, int> SenseCodes() {
        BYTE asc = 0xEE, ascq = 0xEE;
        m_pDrive->GetSenseCodes(asc, ascq);
        return {asc, ascq};
    }
    size_t Commands() { return DriveAt('D').Trace().size(); }

    std::unique_ptr<CDriveAccess> m_pDrive;
    BYTE m_abyBuffer[0x20004] = {};
};

std::string Line(const sim::TraceEntry& e) { return e.Text(""); }

TEST_F(Spti, ScanListsOnlyTheSupportedModelOnCdLettersInLetterOrder) {
    sim::Machine m = NtMachine();
    PutDrive(m, 'D', Model::ZqX9046);
    PutDrive(m, 'E', Model::Optical);                // another maker's drive
    PutDrive(m, 'F', Model::ZqX9046);
    PutDrive(m, 'G', Model::ZqX7301);                // the sibling model
    PutDrive(m, 'H', Model::ZqX9046).deviceType = 0;  // answers as a disk
    m.drives['I'].type = DRIVE_CDROM;                // a CD letter with no device to ask
    PutDrive(m, 'J', Model::ZqX9046, DRIVE_FIXED);   // not a CD letter
    PutDrive(m, 'K', Model::ZqX9046).deviceType = 4;
    PutDrive(m, 'L', Model::ZqX9046).deviceType = 7;
    PutDrive(m, 'M', Model::ZqX9046).deviceType = 8;
    PutDrive(m, 'N', Model::ZqX9046, DRIVE_REMOTE);
    Start(m);

    ASSERT_EQ(4, m_pDrive->ScanDrives());
    EXPECT_STREQ("D:   VALTORA DVD-ROM ZQ-X90461H12", m_pDrive->GetDriveName(0));
    EXPECT_STREQ("F:   VALTORA DVD-ROM ZQ-X90461H12", m_pDrive->GetDriveName(1));
    EXPECT_STREQ("K:   VALTORA DVD-ROM ZQ-X90461H12", m_pDrive->GetDriveName(2));
    EXPECT_STREQ("L:   VALTORA DVD-ROM ZQ-X90461H12", m_pDrive->GetDriveName(3));
    EXPECT_EQ("VALTORA ", std::string(m_pDrive->GetDriveName(1)).substr(5, 8));

    // Every device on a CD letter is asked once; other letters are never opened.
    for (char letter : std::string("DEFGHKLM")) {
        SCOPED_TRACE(letter);
        const auto& trace = DriveAt(letter).Trace();
        ASSERT_EQ(1u, trace.size());
        EXPECT_EQ("scsi 12 00 00 00 2C 00 | in 44", Line(trace[0]).substr(0, 30));
    }
    EXPECT_TRUE(DriveAt('J').Trace().empty());
    EXPECT_TRUE(DriveAt('N').Trace().empty());

    // A rescan refills the table from slot 0.
    sim::Proc().machine().drives.erase('D');
    ASSERT_EQ(3, m_pDrive->ScanDrives());
    EXPECT_STREQ("F:   VALTORA DVD-ROM ZQ-X90461H12", m_pDrive->GetDriveName(0));
}

TEST_F(Spti, ScanWithoutTheSupportedDriveFindsNothing) {
    sim::Machine bare = NtMachine();
    Start(bare);
    EXPECT_EQ(0, m_pDrive->ScanDrives());

    sim::Machine others = NtMachine();
    PutDrive(others, 'D', Model::Optical);
    PutDrive(others, 'E', Model::Disk);
    PutDrive(others, 'F', Model::ZqX9046, DRIVE_REMOVABLE);
    Start(others);
    EXPECT_EQ(0, m_pDrive->ScanDrives());
}

TEST_F(Spti, ScanMovesTheDataBufferAwayFromItsOwnFrame) {
    StartWithDriveOnD();
    m_pDrive->SetDataBuffer(m_abyBuffer, 16);
    ASSERT_EQ(1, m_pDrive->ScanDrives());
    // A caller that forgets to set a buffer after the scan moves no data.
    m_pDrive->SelectDrive(0);
    EXPECT_EQ(SS_COMP, m_pDrive->PreventAllowMediumRemoval(0));
    EXPECT_EQ(0u, DriveAt('D').Trace().back().length);
}

struct TransferCase {
    const char* what;
    uint32_t portMax;
    bool refuseCapabilities;
    DWORD length;
    bool refused;
};

TEST_F(Spti, EachSlotTakesTransfersUpToWhatItsAdapterAccepts) {
    const TransferCase cases[] = {
        {"1 MiB adapter, firmware block", 0x100000, false, 0x8008, false},
        {"capability query refused, firmware block", 0x100000, true, 0x8008, false},
        {"32 KiB adapter, firmware block", 0x8000, false, 0x8008, true},
        {"32 KiB adapter, 32 KiB", 0x8000, false, 0x8000, false},
        {"1 MiB adapter, more than 128 KiB", 0x100000, false, 0x20001, true},
        {"1 MiB adapter, more than the staging area", 0x100000, false, STAGING_AREA_BYTES + 1, true},
    };
    for (const TransferCase& c : cases) {
        SCOPED_TRACE(c.what);
        StartWithDriveOnD([&](sim::Machine& m) {
            m.drives['D'].maxTransfer = c.portMax;
            m.drives['D'].refuseCapabilities = c.refuseCapabilities;
        });
        m_pDrive->SetDataBuffer(m_abyBuffer, c.length);
        DriveStatus status = m_pDrive->PreventAllowMediumRemoval(0);
        if (c.refused) {
            EXPECT_EQ(SS_BUFFER_TO_BIG, status);
            EXPECT_EQ("Buffer Too Big", ErrorText());
            EXPECT_EQ(0u, Commands()) << "a refused request never reaches the drive";
            // The refusal cleared the mark again.
            m_pDrive->SetDataBuffer(m_abyBuffer, 0);
            EXPECT_EQ(SS_COMP, m_pDrive->PreventAllowMediumRemoval(0));
            EXPECT_EQ(1u, Commands());
        } else {
            EXPECT_EQ(SS_COMP, status) << ErrorText();
            ASSERT_EQ(1u, Commands());
            EXPECT_EQ(c.length, DriveAt('D').Trace()[0].length);
        }
    }
}

struct FailureCase {
    const char* what;
    std::function<void()> arrange;
    std::string text;
};

TEST_F(Spti, FailedRequestsLeaveTheirErrorText) {
    const FailureCase cases[] = {
        {"the device cannot be opened",
         [] { sim::Proc().machine().users[sim::Proc().machine().user].admin = false; },
         std::string("Get Handle Error: 5\n") + std::strerror(5)},
        {"the letter has no device behind it", [] { LetterAt('D').device.reset(); },
         "Error opening . Error: 1\nIncorrect function.\r\n"},
        {"the port refuses what the capability query did not say",
         [] {
             // Refused at the scan, so the slot assumed 64 KiB.
             LetterAt('D').maxTransfer = 0x4000;
         },
         "Error opening . Error: 87\nThe parameter is incorrect.\r\n"},
        {"the drive never ends the command",
         [] {
             sim::Fault hang;
             hang.hang = true;
             DriveAt('D').faults = {hang};
         },
         "Error opening . Error: 121\nThe semaphore timeout period has expired.\r\n"},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.what);
        StartWithDriveOnD([](sim::Machine& m) { m.drives['D'].refuseCapabilities = true; });
        c.arrange();
        m_pDrive->SetDataBuffer(m_abyBuffer, 0x8008);
        EXPECT_EQ(SS_ERR, m_pDrive->SendDiagnostic(0, 0x8008));
        EXPECT_EQ(c.text, ErrorText());
        EXPECT_EQ((std::pair<int, int>(0, 0)), SenseCodes());
        EXPECT_EQ(0u, OpenDevices());
    }
}

TEST_F(Spti, AFailedOpenIsReportedInJapaneseOnCodePage932) {
    StartWithDriveOnD([](sim::Machine& m) { m.codePage = 932; });
    sim::Proc().machine().users[sim::Proc().machine().user].admin = false;
    EXPECT_EQ(SS_ERR, m_pDrive->Inquiry(44));
    EXPECT_EQ(std::string("ハンドル取得に失敗しました: 5\n") + std::strerror(5), sim::ToUtf8(ErrorText(), 932));
}

TEST_F(Spti, TheHungCommandWaitsOutTheDeviceTimeOut) {
    StartWithDriveOnD();
    sim::Fault hang;
    hang.hang = true;
    DriveAt('D').faults = {hang};
    uint64_t start = sim::Proc().scheduler().Now();
    EXPECT_EQ(SS_ERR, m_pDrive->StartStopUnit(0, 0, 1));
    EXPECT_EQ(200000u, sim::Proc().scheduler().Now() - start);
    EXPECT_EQ(1u, Commands()) << "a request that failed in the driver is not repeated";
}

struct StatusCase {
    BYTE status;
    const char* text;
};

TEST_F(Spti, ANonZeroStatusByteIsDescribedByTheTargetStatusTable) {
    const StatusCase cases[] = {
        {0x04, "Condition Met."},           {0x08, "Target Busy."},
        {0x10, "Intermediate."},            {0x14, "Intermediate-Condition Met."},
        {0x18, "Reservation Conflict."},    {0x22, "Command Terminated."},
        {0x28, "Queue Full."},              {0x30, "Unknown Target status:30"},
    };
    for (const StatusCase& c : cases) {
        SCOPED_TRACE(c.text);
        StartWithDriveOnD();
        sim::Fault fault;
        fault.status = c.status;
        DriveAt('D').faults = {fault};
        EXPECT_EQ(SS_ERR, m_pDrive->Read10(16, 1, 0, 0));
        EXPECT_EQ(c.text, ErrorText());
        EXPECT_EQ(1u, Commands());
        // The next command succeeds and clears the text.
        EXPECT_EQ(SS_COMP, m_pDrive->PreventAllowMediumRemoval(0));
        EXPECT_EQ("", ErrorText());
    }
}

TEST_F(Spti, CheckConditionKeepsTheSenseAndDescribesItWithByte19) {
    StartWithDriveOnD();
    sim::Fault fault;
    fault.sense = sim::Sense{0x05, 0x24, 0x01};
    fault.senseByte19 = 0xAB;
    DriveAt('D').faults = {fault};
    m_pDrive->SetDataBuffer(m_abyBuffer, 8);
    EXPECT_EQ(SS_ERR, m_pDrive->SendDiagnostic(0, 8));
    EXPECT_EQ(" 24-01 (AB)", ErrorText());
    EXPECT_EQ((std::pair<int, int>(0x24, 0x01)), SenseCodes());
    EXPECT_EQ(1u, Commands()) << "only a unit attention is repeated";

    // A disc-less drive: the sense the drive itself returns.
    DriveAt('D').medium.reset();
    DriveAt('D').senseByte19 = 0x5C;
    m_pDrive->SetDataBuffer(m_abyBuffer, 2048);
    EXPECT_EQ(SS_ERR, m_pDrive->Read10(16, 1, 0, 0));
    EXPECT_EQ(" 3A-00 (5C)", ErrorText());
}

TEST_F(Spti, UnitAttentionIsRetriedUpToSevenAttemptsInAll) {
    for (const UnitAttentionCase& c : UnitAttentionCases()) {
        SCOPED_TRACE(c.what);
        StartWithDriveOnD();
        c.arrange(DriveAt('D'));
        EXPECT_EQ(c.status, m_pDrive->StartStopUnit(0, 0, 1));
        const auto& trace = DriveAt('D').Trace();
        ASSERT_EQ(c.attempts, trace.size());
        for (const auto& e : trace) EXPECT_EQ((Bytes{0x1B, 0, 0, 0, 2, 0}), e.cdb) << "the same CDB each time";
        if (c.status == SS_ERR) {
            EXPECT_EQ(" 29-00 (00)", ErrorText()) << "the caller sees the last failure";
            EXPECT_EQ((std::pair<int, int>(0x29, 0)), SenseCodes());
        }
    }
}

TEST_F(Spti, ARefusalClearsTheSenseOfTheUnitAttentionBeforeIt) {
    StartWithDriveOnD();
    DriveAt('D').stormForever = true;
    ASSERT_EQ(SS_ERR, m_pDrive->PreventAllowMediumRemoval(0));
    ASSERT_EQ((std::pair<int, int>(0x29, 0)), SenseCodes());
    m_pDrive->SetDataBuffer(m_abyBuffer, STAGING_AREA_BYTES + 1);
    EXPECT_EQ(SS_BUFFER_TO_BIG, m_pDrive->PreventAllowMediumRemoval(0));
    EXPECT_EQ((std::pair<int, int>(0, 0)), SenseCodes());
}

TEST_F(Spti, ASecondCommandToABusyDriveIsRefusedAtOnce) {
    StartWithDriveOnD();
    sim::Fault hang;
    hang.opcode = 0x1D;
    hang.hang = true;
    DriveAt('D').faults = {hang};
    m_pDrive->SetDataBuffer(m_abyBuffer, 8);
    InFlight work = {m_pDrive.get(), [](CDriveAccess& d) { return d.SendDiagnostic(0, 8); }, 0};
    HANDLE hThread = CreateThread(NULL, 0, SendInFlight, &work, 0, NULL);
    ASSERT_NE(nullptr, hThread);
    Sleep(1000);
    ASSERT_EQ(1u, Commands()) << "the worker's command is in flight";

    uint64_t start = sim::Proc().scheduler().Now();
    EXPECT_EQ(DRV_IN_USE, m_pDrive->PreventAllowMediumRemoval(0));
    EXPECT_EQ(start, sim::Proc().scheduler().Now());
    EXPECT_EQ("Inuse", ErrorText());
    EXPECT_EQ(1u, Commands()) << "the refused command never reached the drive";
    EXPECT_EQ(1u, OpenDevices()) << "only the worker's handle is open";

    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hThread, INFINITE));
    CloseHandle(hThread);
    EXPECT_EQ(SS_ERR, work.status);
    // The mark went with the worker's command; the drive, reset by the
    // port, reports its power-on once and then takes the command.
    EXPECT_EQ(SS_COMP, m_pDrive->PreventAllowMediumRemoval(0));
    EXPECT_EQ(3u, Commands());
}

}  // namespace
