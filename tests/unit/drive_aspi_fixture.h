// The facade on a Windows 98/ME machine with an ASPI manager, set to ASPI
// as the start-up sets it there; whatever a test does, the manager is
// unloaded with the facade and no request block or event is left behind.
#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "aspi_machine.h"
#include "core/Modules.h"
#include "drive/CDriveAccess.h"
#include "win32/GlobalMemory.h"

namespace aspitest {

class AspiDrive : public ::testing::Test {
protected:
    void SetUp() override { m_nBlocks = sim::LiveGlobalBlocks(); }

    void TearDown() override {
        m_pDrive.reset();
        EXPECT_EQ(0u, sim::ModuleLoadCount("wnaspi32.dll")) << "destruction unloads the manager";
        EXPECT_EQ(m_nBlocks, sim::LiveGlobalBlocks()) << "a request block was left";
        EXPECT_EQ(0u, OpenEvents()) << "an event was left open";
    }

    void Start(const sim::Machine& m) {
        // The transports' state is shared: the old facade goes first.
        m_pDrive.reset();
        sim::Process::Boot(m);
        m_pDrive.reset(new CDriveAccess);
    }

    // The supported drive, a disc in it, at 1:3 (a hard disk at 0:0),
    // scanned and selected, with nothing of the scan left in its trace or
    // in the manager's log.
    void StartWithDrive(const std::function<void(sim::Machine&)>& adjust = nullptr) {
        sim::Machine m = Windows98WithAspi(2);
        PutTarget(m, 0, 0, Model::Disk);
        PutTarget(m, 1, 3, Model::ZqX9046).medium = sim::Medium{4000};
        if (adjust) adjust(m);
        Start(m);
        const BYTE nCount = m_pDrive->ScanDrives();
        BYTE nIndex = 0;
        while (nIndex < nCount && std::string(m_pDrive->GetDriveName(nIndex)).rfind("1:3:", 0) != 0) ++nIndex;
        ASSERT_LT(nIndex, nCount);
        m_pDrive->SelectDrive(nIndex);
        m_pDrive->SetDataBuffer(m_abyBuffer, 0);
        Drive().ClearTrace();
        sim::Proc().machine().aspi.requests.clear();
    }

    static sim::ScsiDevice& Drive() { return TargetAt(1, 3); }
    size_t Commands() { return Drive().Trace().size(); }
    std::string ErrorText() { return static_cast<LPCSTR>(m_pDrive->GetErrorText()); }
    std::pair<int, int> SenseCodes() {
        BYTE asc = 0xEE, ascq = 0xEE;
        m_pDrive->GetSenseCodes(asc, ascq);
        return {asc, ascq};
    }

    std::unique_ptr<CDriveAccess> m_pDrive;
    BYTE m_abyBuffer[0x10000] = {};
    size_t m_nBlocks = 0;
};

}  // namespace aspitest
