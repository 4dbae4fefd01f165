// The ASPI transport's scan on a simulated manager: host adapter inquiries,
// which targets are probed and how, which devices are listed, where a scan
// stops, and how a drive is selected by its name afterwards.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drive_aspi_fixture.h"

namespace {

using namespace aspitest;

std::vector<std::string> Probes(unsigned adapter, std::initializer_list<unsigned> targets) {
    std::vector<std::string> lines = {"inquiry " + std::to_string(adapter)};
    for (unsigned t : targets) {
        const std::string where = "exec " + std::to_string(adapter) + ":" + std::to_string(t);
        lines.push_back(where + " 00");
        lines.push_back(where + " 12");
    }
    return lines;
}

std::vector<std::string> Seq(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::vector<std::string> Names(CDriveAccess& drive, int count) {
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) names.push_back(static_cast<LPCSTR>(drive.GetDriveName(i)));
    return names;
}

TEST_F(AspiDrive, ScanProbesEveryTargetButTheAdaptersOwnAndListsTheSupportedOpticalDrives) {
    sim::Machine m = Windows98WithAspi(2);
    PutTarget(m, 0, 0, Model::Disk);
    PutTarget(m, 0, 1, Model::ZqX9046);
    PutTarget(m, 0, 2, Model::ZqX9046).deviceType = 0;  // answers as a disk
    PutTarget(m, 0, 3, Model::ZqX7301);                 // the sibling model
    PutTarget(m, 0, 4, Model::ZqX9046).deviceType = 4;
    sim::ScsiDevice& other = PutTarget(m, 0, 5, Model::Optical);
    other.vendor = "OTHERCO ";
    other.product = "DVD-ROM ZQ-X9046";  // only the product is looked at here
    PutTarget(m, 0, 6, Model::ZqX9046).deviceType = 8;
    m.aspi.adapters[1].scsiId = 2;
    PutTarget(m, 1, 0, Model::ZqX9046).deviceType = 7;
    PutTarget(m, 1, 6, Model::ZqX9046);
    PutTarget(m, 1, 7, Model::ZqX9046);  // beyond the targets a scan visits
    Start(m);

    ASSERT_EQ(5, m_pDrive->ScanDrives());
    EXPECT_EQ((std::vector<std::string>{
                  "0:1: VALTORA DVD-ROM ZQ-X90461H12",
                  "0:4: VALTORA DVD-ROM ZQ-X90461H12",
                  "0:5: OTHERCO DVD-ROM ZQ-X90461.00",
                  "1:0: VALTORA DVD-ROM ZQ-X90461H12",
                  "1:6: VALTORA DVD-ROM ZQ-X90461H12",
              }),
              Names(*m_pDrive, 5));
    EXPECT_EQ("VALTORA ", std::string(m_pDrive->GetDriveName(3)).substr(5, 8));
    // Adapter 1 sits at ID 2 itself; 7 is never visited.
    EXPECT_EQ(Seq({Probes(0, {0, 1, 2, 3, 4, 5, 6}), Probes(1, {0, 1, 3, 4, 5, 6})}), ManagerLog());
    EXPECT_TRUE(TargetAt(1, 7).Trace().empty());

    // Each probe: TEST UNIT READY without data (no disc: not ready, which
    // changes nothing), then a 44-byte INQUIRY.
    const auto& trace = TargetAt(0, 1).Trace();
    ASSERT_EQ(2u, trace.size());
    EXPECT_EQ("scsi 0:1 00 00 00 00 00 00 | none 0 | moved 0 | status 02 sense 02/3A/00 | 2 ms", trace[0].Text("0:1"));
    EXPECT_EQ("scsi 0:1 12 00 00 00 2C 00 | in 44 | moved 44 | status 00 | 2 ms", trace[1].Text("0:1"));
}

TEST_F(AspiDrive, ScanWithoutTheSupportedDriveFindsNothing) {
    Start(Windows98WithAspi(1));
    EXPECT_EQ(0, m_pDrive->ScanDrives());
    EXPECT_EQ(Probes(0, {0, 1, 2, 3, 4, 5, 6}), ManagerLog()) << "empty targets are asked too";

    sim::Machine m = Windows98WithAspi(1);
    PutTarget(m, 0, 0, Model::Disk);
    PutTarget(m, 0, 1, Model::Optical);
    sim::Fault refused;
    refused.opcode = 0x12;
    refused.sense = sim::Sense{5, 0x24, 0};
    PutTarget(m, 0, 2, Model::ZqX9046).faults = {refused};
    Start(m);
    EXPECT_EQ(0, m_pDrive->ScanDrives());
    // The scan's INQUIRY records no name: its failure reads as the TEST UNIT READY's.
    EXPECT_EQ("Test Unit Ready Status : No Device.", ErrorText()) << "the last target is empty";
}

TEST_F(AspiDrive, AnAdapterWhoseInquiryFailsEndsTheScan) {
    struct Case {
        const char* what;
        std::function<void(sim::AspiAdapter&)> fail;
        uint64_t secondsWaited;
    };
    const Case cases[] = {
        {"refused", [](sim::AspiAdapter& a) { a.inquiryStatus = SS_INVALID_HA; }, 0},
        {"never answered", [](sim::AspiAdapter& a) { a.inquiryPending = true; }, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sim::Machine m = Windows98WithAspi(3);
        PutTarget(m, 0, 1, Model::ZqX9046);
        c.fail(m.aspi.adapters[1]);
        PutTarget(m, 2, 1, Model::ZqX9046);
        Start(m);
        const uint64_t start = sim::Proc().scheduler().Now();
        ASSERT_EQ(1, m_pDrive->ScanDrives());
        EXPECT_STREQ("0:1: VALTORA DVD-ROM ZQ-X90461H12", m_pDrive->GetDriveName(0));
        EXPECT_EQ(Seq({Probes(0, {0, 1, 2, 3, 4, 5, 6}), {"inquiry 1"}}), ManagerLog());
        EXPECT_TRUE(TargetAt(2, 1).Trace().empty());
        // The whole scan takes milliseconds, and the look at adapter 1 at
        // most its 10 seconds of the calendar clock.
        const uint64_t waited = sim::Proc().scheduler().Now() - start;
        EXPECT_LE(c.secondsWaited * 1000 - (c.secondsWaited ? 1000 : 0), waited);
        EXPECT_GE(c.secondsWaited * 1000 + 100, waited);
    }
}

TEST_F(AspiDrive, TheAdapterInquiryKeepsTheThreadsWindowsAnswering) {
    // Three messages wait for the thread; each turn of the wait dispatches
    // one. An adapter that answers at once leaves two of them; one that
    // keeps the scan waiting lets all of them through.
    struct Case {
        bool pending;
        int left;
    };
    for (const Case c : {Case{false, 2}, Case{true, 0}}) {
        SCOPED_TRACE(c.pending);
        sim::Machine m = Windows98WithAspi(1);
        m.aspi.adapters[0].inquiryPending = c.pending;
        Start(m);
        const DWORD thread = GetCurrentThreadId();
        for (int i = 0; i < 3; ++i) ASSERT_TRUE(PostThreadMessageA(thread, WM_USER + i, 0, 0));
        m_pDrive->ScanDrives();
        int left = 0;
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) ++left;
        EXPECT_EQ(c.left, left);
    }
}

TEST_F(AspiDrive, AdaptersFromSevenOnAreNotScanned) {
    sim::Machine m = Windows98WithAspi(9);
    PutTarget(m, 6, 1, Model::ZqX9046);
    PutTarget(m, 7, 1, Model::ZqX9046);
    PutTarget(m, 8, 1, Model::ZqX9046);
    Start(m);
    ASSERT_EQ(1, m_pDrive->ScanDrives());
    EXPECT_STREQ("6:1: VALTORA DVD-ROM ZQ-X90461H12", m_pDrive->GetDriveName(0));
    std::vector<std::string> inquiries;
    for (const std::string& line : ManagerLog())
        if (line.rfind("inquiry", 0) == 0) inquiries.push_back(line);
    EXPECT_EQ((std::vector<std::string>{"inquiry 0", "inquiry 1", "inquiry 2", "inquiry 3", "inquiry 4", "inquiry 5",
                                        "inquiry 6"}),
              inquiries);
    EXPECT_TRUE(TargetAt(7, 1).Trace().empty());
    EXPECT_TRUE(TargetAt(8, 1).Trace().empty());
}

TEST_F(AspiDrive, TheProbesTestUnitReadyTakesAPowerOnUnitAttention) {
    sim::Machine m = Windows98WithAspi(1);
    sim::ScsiDevice& drive = PutTarget(m, 0, 1, Model::ZqX9046);
    drive.attention = sim::ScsiDevice::Attention::PowerOn;
    drive.medium = sim::Medium{4000};
    Start(m);
    ASSERT_EQ(1, m_pDrive->ScanDrives());
    std::vector<std::string> lines;
    for (const auto& e : TargetAt(0, 1).Trace()) lines.push_back(e.Text(""));
    EXPECT_EQ((std::vector<std::string>{
                  "scsi 00 00 00 00 00 00 | none 0 | moved 0 | status 02 sense 06/29/00 | 2 ms",
                  "scsi 00 00 00 00 00 00 | none 0 | moved 0 | status 00 | 2 ms",
                  "scsi 12 00 00 00 2C 00 | in 44 | moved 44 | status 00 | 2 ms",
              }),
              lines);
}

TEST_F(AspiDrive, AfterAScanOnlyItsDrivesCanBeSelectedAndNoBufferIsLeft) {
    sim::Machine m = Windows98WithAspi(2);
    PutTarget(m, 0, 1, Model::ZqX9046).medium = sim::Medium{4000};
    PutTarget(m, 1, 3, Model::ZqX9046).medium = sim::Medium{4000};
    Start(m);
    m_pDrive->SetDataBuffer(m_abyBuffer, 2048);
    ASSERT_EQ(2, m_pDrive->ScanDrives());
    EXPECT_EQ(0u, TargetAt(0, 1).Trace()[0].length) << "the caller's buffer is not the scan's";

    // A caller that sets no buffer after the scan moves no data.
    m_pDrive->SelectDrive(1);
    EXPECT_EQ(SS_COMP, m_pDrive->Read10(16, 1, 0, 0));
    EXPECT_EQ(0u, TargetAt(1, 3).Trace().back().length);
    EXPECT_EQ(2u, TargetAt(0, 1).Trace().size()) << "selected by its name: adapter 1, target 3";

    // The drive at 0:1 goes; a scan finds only the other one, and the name
    // of the earlier scan's second drive is gone.
    sim::Proc().machine().aspi.adapters[0].targets.erase(1);
    ASSERT_EQ(1, m_pDrive->ScanDrives());
    EXPECT_STREQ("1:3: VALTORA DVD-ROM ZQ-X90461H12", m_pDrive->GetDriveName(0));
    EXPECT_STREQ("", m_pDrive->GetDriveName(1));
    EXPECT_STREQ("", m_pDrive->GetDriveName(5000));

    // Selecting beyond the table selects nothing: commands are refused
    // before they reach the manager, and the last text stays.
    const std::string text = static_cast<LPCSTR>(m_pDrive->GetErrorText());
    sim::Proc().machine().aspi.requests.clear();
    for (BYTE index : {1, 48, 49, 255}) {
        SCOPED_TRACE(index);
        m_pDrive->SelectDrive(index);
        EXPECT_EQ(SS_NO_DEVICE, m_pDrive->PreventAllowMediumRemoval(0));
        EXPECT_EQ(text, std::string(m_pDrive->GetErrorText()));
    }
    EXPECT_TRUE(ManagerLog().empty());
    m_pDrive->SelectDrive(0);
    const size_t before = TargetAt(1, 3).Trace().size();
    EXPECT_EQ(SS_COMP, m_pDrive->PreventAllowMediumRemoval(0));
    EXPECT_EQ(before + 1, TargetAt(1, 3).Trace().size());
}

}  // namespace
