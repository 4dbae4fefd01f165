// The download worker against a simulated ZQ-X9046 behind a drive letter:
// what reaches the drive, in what order and when, what the drive holds
// afterwards, and where a refused command ends the run.
#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "afx.h"
#include "core/Process.h"
#include "devices/ScsiDevice.h"
#include "drive/CDriveAccess.h"
#include "firmware_plain.h"
#include "update/DriveQualification.h"
#include "update/FirmwareImage.h"
#include "update/FirmwareIndex.h"
#include "update/FirmwareUpdate.h"

namespace {

using sim::ScsiDevice;
using Bytes = std::vector<uint8_t>;

const Bytes kPreventAllowCdb = {0x1E, 0, 0, 0, 0x00, 0};
const Bytes kEjectCdb = {0x1B, 0, 0, 0, 0x02, 0};
const Bytes kShortPageCdb = {0x1D, 0, 0, 0x00, 0x08, 0};
const Bytes kBlockPageCdb = {0x1D, 0, 0, 0x80, 0x08, 0};

const Bytes kStart = {0x88, 0, 0x00, 0x04, 0, 0xF0, 0x00, 0};
const Bytes kSecondStart = {0x88, 0, 0x00, 0x04, 0, 0xF0, 0xFF, 0};
const Bytes kEnd = {0x88, 0, 0x00, 0x04, 0, 0xC0, 0x00, 0};
Bytes BlockHeader(uint8_t n) { return {0x88, 0, 0x80, 0x04, 0, 0xC0, n, 0}; }

class FirmwareUpdateRun : public ::testing::Test {
protected:
    void SetUp() override {
        m_facade.reset();
        // Windows XP, pass-through; a ZQ-X9046 on 1H12 with a disc at D:.
        sim::Process::Boot(sim::Machine::Default());

        m_facade = std::make_unique<CDriveAccess>();
        m_facade->m_bUsePassThrough = 1;
        ASSERT_EQ(m_facade->ScanDrives(), 1);
        m_device = sim::Proc().machine().DeviceAt('D');
        ASSERT_NE(m_device, nullptr);
        m_device->attention = ScsiDevice::Attention::None;
        m_device->ClearTrace();
        m_factory = m_device->firmware;
        g_nFirmIndex = 0;
    }

    // Started as the main dialog starts it: suspended, handle duplicated,
    // resumed; the exit code read from the duplicate.
    DWORD RunWorker() {
        struct WorkerParam param = {0, m_facade.get()};
        CWinThread* pThread =
            AfxBeginThread(FirmwareUpdateThread, &param, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED, NULL);
        EXPECT_NE(pThread, nullptr);
        if (!pThread) return 0xDEAD;
        HANDLE hThread = NULL;
        EXPECT_TRUE(DuplicateHandle(GetCurrentProcess(), pThread->m_hThread, GetCurrentProcess(), &hThread, 0,
                                    FALSE, DUPLICATE_SAME_ACCESS));
        m_started = sim::Proc().scheduler().Now();
        pThread->ResumeThread();
        EXPECT_EQ(WaitForSingleObject(hThread, INFINITE), WAIT_OBJECT_0);
        m_ended = sim::Proc().scheduler().Now();
        DWORD code = STILL_ACTIVE;
        EXPECT_TRUE(GetExitCodeThread(hThread, &code));
        CloseHandle(hThread);
        return code;
    }

    const std::vector<sim::TraceEntry>& Trace() const { return m_device->Trace(); }

    // Makes the drive refuse the SEND DIAGNOSTIC that carries this page.
    void RefusePage(const Bytes& header, sim::Sense sense) {
        sim::Fault f;
        f.opcode = 0x1D;
        f.page = header[0];
        f.function = header[5];
        f.argument = header[6];
        f.sense = sense;
        m_device->faults.push_back(f);
    }

    std::unique_ptr<CDriveAccess> m_facade;
    ScsiDevice* m_device = nullptr;
    Bytes m_factory;
    uint64_t m_started = 0, m_ended = 0;  // virtual ms, the trace's clock
};

// The commands of a whole run, in order: CDB, page header, length offered.
struct Step {
    Bytes cdb;
    Bytes page;
    uint32_t length;
};
std::vector<Step> FullRun() {
    std::vector<Step> steps = {{kPreventAllowCdb, {}, 16}, {kEjectCdb, {}, 16}, {kShortPageCdb, kStart, 8},
                               {kShortPageCdb, kSecondStart, 8}};
    for (uint8_t n = 1; n <= 4; ++n) steps.push_back({kBlockPageCdb, BlockHeader(n), 0x8008});
    steps.push_back({kShortPageCdb, kEnd, 8});
    return steps;
}

TEST_F(FirmwareUpdateRun, SendsTheFirmwareAndTheDriveReportsTheNewRevision) {
    ASSERT_EQ(m_device->Revision(), "1H12");
    auto wallStart = std::chrono::steady_clock::now();
    EXPECT_EQ(RunWorker(), 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - wallStart, std::chrono::seconds(1));

    const auto& trace = Trace();
    std::vector<Step> expected = FullRun();
    ASSERT_EQ(trace.size(), expected.size());
    uint64_t busy = 0;
    for (size_t i = 0; i < trace.size(); ++i) {
        SCOPED_TRACE("command " + std::to_string(i));
        EXPECT_EQ(trace[i].cdb, expected[i].cdb);
        EXPECT_EQ(trace[i].length, expected[i].length);
        if (!expected[i].page.empty()) {
            EXPECT_EQ(trace[i].direction, sim::DataDirection::Out);
            EXPECT_EQ(trace[i].dataOut, expected[i].page);
            EXPECT_EQ(trace[i].transferred, expected[i].length);
        }
        EXPECT_EQ(trace[i].status, sim::scsi::kGood);
        busy += trace[i].durationMs;
    }
    // Eject, then 2 + 60 + 60 s before the first start page, 3 s before the
    // second, the blocks back to back, 2 s after the end of data.
    auto endOf = [&](size_t i) { return trace[i].time + trace[i].durationMs; };
    EXPECT_EQ(trace[2].time - endOf(1), 122000u);
    EXPECT_EQ(trace[3].time - endOf(2), 3000u);
    for (size_t i = 4; i < trace.size(); ++i) EXPECT_EQ(trace[i].time, endOf(i - 1)) << "command " << i;
    EXPECT_EQ(m_ended - endOf(trace.size() - 1), 2000u);
    EXPECT_EQ(trace[0].time, m_started) << "the check of the image takes no virtual time";
    EXPECT_GE(m_ended - m_started, 127000u);
    EXPECT_LE(m_ended - m_started, 127000u + busy);

    // Blocks 1-4 came from offsets 0, 0x8000, 0x10000, 0x18000 of the plain
    // image: the drive now holds exactly those 128 KiB and the rest as it was.
    const auto& plain = PlainFirmwareImage();
    ASSERT_EQ(plain.size(), FIRM_IMAGE_SIZE);
    ASSERT_EQ(m_device->firmware.size(), FIRM_IMAGE_SIZE);
    EXPECT_TRUE(std::equal(plain.begin(), plain.begin() + 0x20000, m_device->firmware.begin()));
    EXPECT_TRUE(std::equal(m_factory.begin() + 0x20000, m_factory.end(), m_device->firmware.begin() + 0x20000));
    EXPECT_EQ(m_device->Revision(), "1H13");
    EXPECT_EQ(m_device->Level(), plain[sim::firmware::kLevelOffset]);
    EXPECT_EQ(m_device->attention, ScsiDevice::Attention::PowerOn);
    EXPECT_TRUE(m_device->trayOpen);

    // Judged again, through its power-on attention, the drive needs nothing more.
    BYTE abBuffer[IDENTITY_BUFFER];
    DriveFindings findings;
    ASSERT_EQ(ReadDriveIdentity(*m_facade, 0, abBuffer), SS_COMP);
    EXPECT_EQ(QualifyDrive(*m_facade, abBuffer, findings), VerdictNotNeeded);
    EXPECT_STREQ(static_cast<LPCSTR>(findings.strRevision), "1H13");
}

// A refused page ends the run at once: nothing after it, exit code 1, the
// flash untouched.
TEST_F(FirmwareUpdateRun, ARefusedPageEndsTheRunWithNothingSentAfterIt) {
    struct Case {
        const char* name;
        Bytes page;
        size_t index;  // its place in a full run
    };
    const Case cases[] = {
        {"first start", kStart, 2},           {"second start", kSecondStart, 3}, {"block 1", BlockHeader(1), 4},
        {"block 2", BlockHeader(2), 5},       {"block 3", BlockHeader(3), 6},   {"block 4", BlockHeader(4), 7},
        {"end of data", kEnd, 8},
    };
    const sim::Sense refusals[] = {{0x5, 0x26, 0x00}, {0x4, 0x44, 0x00}};  // bad field; hardware error
    std::vector<Step> full = FullRun();
    for (const Case& c : cases) {
        for (const sim::Sense& sense : refusals) {
            SCOPED_TRACE(std::string(c.name) + " refused with " + sense.Text());
            SetUp();
            RefusePage(c.page, sense);
            EXPECT_EQ(RunWorker(), 1u);
            const auto& trace = Trace();
            ASSERT_EQ(trace.size(), c.index + 1);
            for (size_t i = 0; i < c.index; ++i) {
                EXPECT_EQ(trace[i].status, sim::scsi::kGood) << i;
                if (!full[i].page.empty()) {
                    EXPECT_EQ(trace[i].dataOut, full[i].page) << i;
                }
            }
            // The refused page itself moved no data, so only its CDB shows.
            EXPECT_EQ(trace.back().cdb, full[c.index].cdb);
            EXPECT_EQ(trace.back().status, sim::scsi::kCheckCondition);
            EXPECT_EQ(trace.back().sense, sense);
            EXPECT_EQ(m_ended, trace.back().time + trace.back().durationMs) << "no wait after a refusal";
            EXPECT_EQ(m_device->firmware, m_factory);
            EXPECT_EQ(m_device->Revision(), "1H12");
        }
    }
}

TEST_F(FirmwareUpdateRun, RefusedRemovalOrEjectDoesNotStopTheDownload) {
    for (uint8_t opcode : {uint8_t{0x1E}, uint8_t{0x1B}}) {
        SCOPED_TRACE(opcode);
        SetUp();
        sim::Fault f;
        f.opcode = opcode;
        f.sense = {0x5, 0x53, 0x02};  // medium removal prevented
        m_device->faults.push_back(f);
        EXPECT_EQ(RunWorker(), 0u);
        const auto& trace = Trace();
        ASSERT_EQ(trace.size(), FullRun().size());
        EXPECT_EQ(trace[opcode == 0x1E ? 0 : 1].status, sim::scsi::kCheckCondition);
        EXPECT_EQ(trace.back().dataOut, kEnd);
        EXPECT_EQ(m_device->Revision(), "1H13");
    }
}

// The stored image itself changed by one byte: the check finds exactly one
// lane off and the drive never hears from the worker.
TEST_F(FirmwareUpdateRun, AChangedStoredImageStopsBeforeAnyCommand) {
    const size_t at = 0x1234B;
    BYTE* pByte = const_cast<BYTE*>(g_abFirmImage) + at;
    const uintptr_t pageSize = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    void* pPage = reinterpret_cast<void*>(reinterpret_cast<uintptr_t>(pByte) & ~(pageSize - 1));
    ASSERT_EQ(mprotect(pPage, pageSize, PROT_READ | PROT_WRITE), 0);
    const BYTE original = *pByte;
    *pByte = static_cast<BYTE>(original ^ 0x21);

    std::vector<BYTE> working(FIRM_WORK_SIZE);
    DescrambleImage(0, working.data());
    std::vector<unsigned> sums = LaneSumsOf(working.data(), FIRM_IMAGE_SIZE);
    int differing = 0;
    for (int i = 0; i < FIRM_LANES; ++i) differing += sums[i] != g_adwFirmCheckSum[i];
    EXPECT_EQ(differing, 1);

    DWORD code = RunWorker();
    *pByte = original;
    mprotect(pPage, pageSize, PROT_READ);

    EXPECT_EQ(code, 1u);
    EXPECT_TRUE(Trace().empty());
    EXPECT_EQ(m_ended, m_started);
    EXPECT_EQ(m_device->firmware, m_factory);
    EXPECT_FALSE(m_device->trayOpen);
}

}  // namespace
