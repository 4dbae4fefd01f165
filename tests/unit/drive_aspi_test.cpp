// The ASPI transport on machines without an ASPI manager, and the facade's
// selector: what construction shows, and that every operation goes to the
// transport the selector names.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "drive/CDriveAccess.h"
#include "drive_machine.h"

namespace {

using namespace drivetest;

std::string Box(const std::string& text) { return "message box \"Firmware Update Utility\": \"" + text + "\" -> OK"; }

sim::Machine Windows98(unsigned codePage = 1252) {
    sim::Machine m = NtMachine();
    m.os.platform = 1;
    m.os.major = 4;
    m.os.minor = 10;
    m.os.build = 2222;
    m.codePage = codePage;
    return m;
}

const std::function<DriveStatus(CDriveAccess&)> kEveryCommand[] = {
    [](CDriveAccess& d) { return d.Inquiry(44); },
    [](CDriveAccess& d) { return d.StartStopUnit(0, 0, 1); },
    [](CDriveAccess& d) { return d.ReceiveDiagnosticResults(16); },
    [](CDriveAccess& d) { return d.SendDiagnostic(0, 8); },
    [](CDriveAccess& d) { return d.PreventAllowMediumRemoval(0); },
    [](CDriveAccess& d) { return d.Read10(16, 1, 0, 0); },
};

struct ConstructionCase {
    const char* what;
    sim::Machine machine;
    std::vector<std::string> shown;
};

TEST(AspiTransport, ConstructionLoadsTheManagerOnlyOnWindows98AndSaysWhenItCannot) {
    sim::Machine noVersion = Windows98();
    noVersion.os.versionFails = true;
    sim::Machine noVersionJ = Windows98(932);
    noVersionJ.os.versionFails = true;
    const ConstructionCase cases[] = {
        {"NT family", NtMachine(), {}},
        {"Windows 98 without wnaspi32.dll", Windows98(), {Box("ASPI Initialize Fail!")}},
        {"the same in Japanese", Windows98(932), {Box("ASPI初期化に失敗しました。")}},
        {"no version information", noVersion, {Box("Cannot get operationg system information.")}},
        {"the same in Japanese", noVersionJ, {Box("オペレーティングシステムの情報を取得できません。")}},
    };
    for (const ConstructionCase& c : cases) {
        SCOPED_TRACE(c.what);
        sim::Process::Boot(c.machine);
        {
            CDriveAccess drive;
            EXPECT_EQ(0, drive.m_bUsePassThrough);
            EXPECT_EQ(c.shown, BoxesAndBeeps());
        }
        EXPECT_EQ(c.shown, BoxesAndBeeps()) << "nothing more at destruction";
    }
}

TEST(AspiTransport, WithoutAManagerNothingIsFoundAndEveryCommandFailsAsNotInitialised) {
    const sim::Machine machines[] = {Windows98(), NtMachine()};
    for (const sim::Machine& m : machines) {
        SCOPED_TRACE(m.os.platform);
        sim::Process::Boot(m);
        CDriveAccess drive;
        EXPECT_EQ(0, drive.ScanDrives());
        BYTE buffer[2048] = {};
        drive.SetDataBuffer(buffer, sizeof buffer);
        for (const auto& send : kEveryCommand) {
            EXPECT_EQ(SS_FAILED_INIT, send(drive));
            EXPECT_STREQ("", drive.GetErrorText()) << "refused before a request: the text stays";
            BYTE asc = 0xEE, ascq = 0xEE;
            drive.GetSenseCodes(asc, ascq);
            EXPECT_EQ(0, asc);
            EXPECT_EQ(0, ascq);
        }
    }
}

TEST(DriveAccess, EveryOperationGoesToTheSelectedTransport) {
    sim::Machine m = NtMachine();
    PutDrive(m, 'D', Model::ZqX9046);
    sim::Process::Boot(m);
    CDriveAccess drive;

    // ASPI, as constructed: the drive on D: is not reached.
    EXPECT_EQ(0, drive.ScanDrives());
    EXPECT_TRUE(DriveAt('D').Trace().empty());

    drive.m_bUsePassThrough = 1;
    ASSERT_EQ(1, drive.ScanDrives());
    EXPECT_STREQ("D:   VALTORA DVD-ROM ZQ-X90461H12", drive.GetDriveName(0));
    drive.SelectDrive(0);
    BYTE buffer[2048] = {};
    drive.SetDataBuffer(buffer, sizeof buffer);
    ASSERT_EQ(SS_ERR, drive.Read10(16, 1, 0, 0)) << "no disc in the drive";
    BYTE asc = 0, ascq = 0;
    drive.GetSenseCodes(asc, ascq);
    EXPECT_EQ(0x3A, asc);
    EXPECT_STREQ(" 3A-00 (00)", drive.GetErrorText());

    // Back on ASPI: its own sense bytes and text, none of the drive's.
    drive.m_bUsePassThrough = 0;
    drive.GetSenseCodes(asc, ascq);
    EXPECT_EQ(0, asc);
    EXPECT_STREQ("", drive.GetErrorText());
    size_t before = DriveAt('D').Trace().size();
    for (const auto& send : kEveryCommand) EXPECT_EQ(SS_FAILED_INIT, send(drive));
    EXPECT_EQ(before, DriveAt('D').Trace().size());
    EXPECT_EQ(0u, OpenDevices());
}

}  // namespace
