// The command set as it reaches the drive through the facade: the bytes of
// every CDB, the direction stated for it, the transfer length that goes
// with it, the data copied both ways, and the handle closed afterwards.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "drive/CDriveAccess.h"
#include "drive_machine.h"

namespace {

using namespace drivetest;
using Direction = sim::DataDirection;

class DriveCommands : public ::testing::Test {
protected:
    void SetUp() override {
        sim::Machine m = NtMachine();
        PutDrive(m, 'D', Model::ZqX9046).medium = sim::Medium{4000};
        sim::Process::Boot(m);
        m_pDrive.reset(new CDriveAccess);
        m_pDrive->m_bUsePassThrough = 1;
        ASSERT_EQ(1, m_pDrive->ScanDrives());
        m_pDrive->SelectDrive(0);
        DriveAt('D').ClearTrace();
    }
    void TearDown() override { EXPECT_EQ(0u, OpenDevices()) << "a device handle was left open"; }

    std::unique_ptr<CDriveAccess> m_pDrive;
};

struct CommandCase {
    const char* what;
    std::function<DriveStatus(CDriveAccess&)> send;
    Bytes cdb;
    Direction direction;
};

TEST_F(DriveCommands, EveryCommandSendsItsCdbWithTheDirectionOfItsOpcodeAndTheBufferLength) {
    const CommandCase cases[] = {
        {"INQUIRY", [](CDriveAccess& d) { return d.Inquiry(44); }, {0x12, 0, 0, 0, 44, 0}, Direction::In},
        {"START STOP UNIT eject", [](CDriveAccess& d) { return d.StartStopUnit(0, 0, 1); },
         {0x1B, 0, 0, 0, 0x02, 0}, Direction::Unspecified},
        {"START STOP UNIT flags masked to bit 0", [](CDriveAccess& d) { return d.StartStopUnit(0xFF, 0xFF, 0xFE); },
         {0x1B, 0x01, 0, 0, 0x01, 0}, Direction::Unspecified},
        {"RECEIVE DIAGNOSTIC RESULTS", [](CDriveAccess& d) { return d.ReceiveDiagnosticResults(16); },
         {0x1C, 0, 0, 0, 16, 0}, Direction::In},
        {"RECEIVE DIAGNOSTIC RESULTS high byte first",
         [](CDriveAccess& d) { return d.ReceiveDiagnosticResults(0x1234); }, {0x1C, 0, 0, 0x12, 0x34, 0},
         Direction::In},
        {"SEND DIAGNOSTIC firmware block", [](CDriveAccess& d) { return d.SendDiagnostic(0, 0x8008); },
         {0x1D, 0, 0, 0x80, 0x08, 0}, Direction::Out},
        {"SEND DIAGNOSTIC self-test shifted", [](CDriveAccess& d) { return d.SendDiagnostic(1, 8); },
         {0x1D, 0x04, 0, 0, 8, 0}, Direction::Out},
        // Shifted and cut to 8 bits, then the LUN takes the top three.
        {"SEND DIAGNOSTIC self-test cut", [](CDriveAccess& d) { return d.SendDiagnostic(0x7F, 8); },
         {0x1D, 0x1C, 0, 0, 8, 0}, Direction::Out},
        {"PREVENT ALLOW allow", [](CDriveAccess& d) { return d.PreventAllowMediumRemoval(0); },
         {0x1E, 0, 0, 0, 0, 0}, Direction::Unspecified},
        {"PREVENT ALLOW prevent masked", [](CDriveAccess& d) { return d.PreventAllowMediumRemoval(0x03); },
         {0x1E, 0, 0, 0, 1, 0}, Direction::Unspecified},
        {"READ(10) block 16", [](CDriveAccess& d) { return d.Read10(16, 1, 0, 0); },
         {0x28, 0, 0, 0, 0, 0x10, 0, 0, 1, 0}, Direction::In},
        {"READ(10) address, count and flags", [](CDriveAccess& d) { return d.Read10(0x01020304, 0x0506, 3, 3); },
         {0x28, 0x09, 0x01, 0x02, 0x03, 0x04, 0, 0x05, 0x06, 0}, Direction::In},
    };
    // The transfer length is the buffer's, never the CDB's.
    const DWORD lengths[] = {2048, 0x8008};
    static BYTE buffer[0x8008];
    for (DWORD length : lengths) {
        for (const CommandCase& c : cases) {
            SCOPED_TRACE(std::string(c.what) + ", buffer " + std::to_string(length));
            DriveAt('D').ClearTrace();
            m_pDrive->SetDataBuffer(buffer, length);
            c.send(*m_pDrive);
            const auto& trace = DriveAt('D').Trace();
            ASSERT_EQ(1u, trace.size());
            EXPECT_EQ(c.cdb, trace[0].cdb);
            EXPECT_EQ(c.direction, trace[0].direction);
            EXPECT_EQ(length, trace[0].length);
            EXPECT_EQ(0u, OpenDevices());
        }
    }
}

TEST_F(DriveCommands, DataInArrivesInTheCallersBuffer) {
    BYTE inquiry[96];
    std::memset(inquiry, 0xEE, sizeof inquiry);
    m_pDrive->SetDataBuffer(inquiry, 44);
    ASSERT_EQ(SS_COMP, m_pDrive->Inquiry(44));
    EXPECT_EQ(5, inquiry[0]);
    EXPECT_EQ(0, std::memcmp(inquiry + 8, "VALTORA DVD-ROM ZQ-X9046", 24));
    EXPECT_EQ(0xEE, inquiry[44]) << "nothing beyond the length set is written";

    BYTE block[2048];
    std::memset(block, 0, sizeof block);
    m_pDrive->SetDataBuffer(block, sizeof block);
    ASSERT_EQ(SS_COMP, m_pDrive->Read10(16, 1, 0, 0));
    EXPECT_EQ(2048u, DriveAt('D').Trace().back().transferred);
}

TEST_F(DriveCommands, DataOutLeavesTheCallersBufferForTheDrive) {
    // The family query page of the vendor diagnostic page.
    BYTE page[8] = {0x88, 0x00, 0x00, 0x04, 0x00, 0x40, 0x00, 0x00};
    m_pDrive->SetDataBuffer(page, sizeof page);
    EXPECT_EQ(SS_COMP, m_pDrive->SendDiagnostic(0, sizeof page));
    EXPECT_EQ(Bytes(page, page + 8), DriveAt('D').Trace().back().dataOut);

    BYTE results[16] = {};
    m_pDrive->SetDataBuffer(results, sizeof results);
    EXPECT_EQ(SS_COMP, m_pDrive->ReceiveDiagnosticResults(sizeof results));
    EXPECT_EQ(0x88, results[0]) << "the results of the page come back";
}

TEST_F(DriveCommands, ACommandWithoutDataStillCarriesTheLengthSet) {
    BYTE scratch[16];
    m_pDrive->SetDataBuffer(scratch, sizeof scratch);
    EXPECT_EQ(SS_COMP, m_pDrive->PreventAllowMediumRemoval(0));
    const sim::TraceEntry& e = DriveAt('D').Trace().back();
    EXPECT_EQ(Direction::Unspecified, e.direction);
    EXPECT_EQ(16u, e.length);
    EXPECT_EQ(0u, e.transferred);
}

}  // namespace
