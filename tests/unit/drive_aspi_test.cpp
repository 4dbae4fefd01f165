// The ASPI transport's construction on every kind of machine (no manager,
// a manager that cannot be used, one that can, the NT family), commands
// without a usable manager, and the facade's selector: every operation goes
// to the transport the selector names.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "aspi_machine.h"
#include "core/Modules.h"
#include "drive/CDriveAccess.h"

namespace {

using namespace aspitest;

std::string Box(const std::string& text) { return "message box \"Firmware Update Utility\": \"" + text + "\" -> OK"; }

// Managers the transport loads but cannot use.
sim::Machine WithoutEntryPoint(const char* name) {
    sim::Machine m = Windows98WithAspi();
    m.aspi.missingEntryPoints = {name};
    return m;
}
sim::Machine WithSupportStatus(uint8_t status) {
    sim::Machine m = Windows98WithAspi();
    m.aspi.supportStatus = status;
    return m;
}
sim::Machine WindowsMe() {
    sim::Machine m = Windows98WithAspi();
    m.os.minor = 90;
    m.os.build = 3000;
    return m;
}
sim::Machine WithoutManager() {
    sim::Machine m = Windows98WithAspi();
    m.aspi.present = false;
    return m;
}
sim::Machine NtWithAspi() {
    sim::Machine m = NtMachine();
    m.aspi = Windows98WithAspi().aspi;
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
    unsigned loads = 0;  // of wnaspi32.dll while the facade lives
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
        {"Windows 98 with a manager", Windows98WithAspi(), {}, 1},
        {"Windows ME with a manager", WindowsMe(), {}, 1},
        {"the NT family never loads one", NtWithAspi(), {}, 0},
        // Whatever was loaded stays loaded until destruction.
        {"no GetASPI32SupportInfo", WithoutEntryPoint("GetASPI32SupportInfo"), {Box("ASPI Initialize Fail!")}, 1},
        {"no SendASPI32Command", WithoutEntryPoint("SendASPI32Command"), {Box("ASPI Initialize Fail!")}, 1},
        {"no adapters", WithSupportStatus(SS_NO_ADAPTERS), {Box("ASPI Initialize Fail!")}, 1},
        {"a manager that failed to start", WithSupportStatus(SS_FAILED_INIT), {Box("ASPI Initialize Fail!")}, 1},
    };
    for (const ConstructionCase& c : cases) {
        SCOPED_TRACE(c.what);
        sim::Process::Boot(c.machine);
        {
            CDriveAccess drive;
            EXPECT_EQ(0, drive.m_bUsePassThrough);
            EXPECT_EQ(c.shown, BoxesAndBeeps());
            EXPECT_EQ(c.loads, sim::ModuleLoadCount("wnaspi32.dll"));
        }
        EXPECT_EQ(c.shown, BoxesAndBeeps()) << "nothing more at destruction";
        EXPECT_EQ(0u, sim::ModuleLoadCount("wnaspi32.dll")) << "destruction unloads the manager";
    }
}

TEST(AspiTransport, WithoutAUsableManagerNothingIsFoundAndEveryCommandFailsAsNotInitialised) {
    // Each has the supported drive on an adapter the manager would report.
    const std::pair<const char*, sim::Machine> machines[] = {
        {"no manager", WithoutManager()},
        {"NT family", NtWithAspi()},
        {"no SendASPI32Command", WithoutEntryPoint("SendASPI32Command")},
        {"no GetASPI32SupportInfo", WithoutEntryPoint("GetASPI32SupportInfo")},
        {"a failing support status", WithSupportStatus(SS_FAILED_INIT)},
    };
    for (auto [what, m] : machines) {
        SCOPED_TRACE(what);
        PutTarget(m, 0, 1, Model::ZqX9046);
        sim::Process::Boot(m);
        CDriveAccess drive;
        EXPECT_EQ(0, drive.ScanDrives());
        EXPECT_TRUE(sim::Proc().machine().aspi.requests.empty()) << "nothing was sent to a manager";
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
