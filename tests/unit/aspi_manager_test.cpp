// The simulated ASPI manager as a program sees it through LoadLibraryA and
// GetProcAddress: which machines carry it, what its support information and
// host adapter inquiries report, execute requests that end through their
// event after the device's time, refusals, injected faults, aborts and
// unloading; and the ASPI part of the machine file.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "aspi_machine.h"
#include "core/Modules.h"
#include "win32/GlobalMemory.h"

namespace {

using namespace aspitest;
using nlohmann::json;

const char kManager[] = "wnaspi32.dll";

uint64_t Now() { return sim::Proc().scheduler().Now(); }

template <class Function>
Function EntryPoint(HMODULE hModule, LPCSTR pszName) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)(void)>(GetProcAddress(hModule, pszName)));
}

class AspiManager : public ::testing::Test {
protected:
    void TearDown() override {
        if (m_hModule) {
            EXPECT_TRUE(FreeLibrary(m_hModule));
        }
        EXPECT_EQ(0u, sim::ModuleLoadCount(kManager));
        for (HANDLE h : m_events) CloseHandle(h);
    }

    void Load(const sim::Machine& m) {
        sim::Process::Boot(m);
        m_hModule = LoadLibraryA("wnaspi32.dll");
        ASSERT_NE(nullptr, m_hModule);
        m_pfnInfo = EntryPoint<PFNGETASPI32SUPPORTINFO>(m_hModule, "GetASPI32SupportInfo");
        m_pfnSend = EntryPoint<PFNSENDASPI32COMMAND>(m_hModule, "SendASPI32Command");
        ASSERT_NE(nullptr, m_pfnInfo);
        ASSERT_NE(nullptr, m_pfnSend);
    }

    // One adapter with the supported drive (a disc in it) on target 1.
    void LoadWithDrive() {
        sim::Machine m = Windows98WithAspi();
        PutTarget(m, 0, 1, Model::ZqX9046).medium = sim::Medium{4000};
        Load(m);
    }

    // An execute request with event notification, direction by the flags.
    SRB_ExecSCSICmd Request(BYTE ha, BYTE target, std::vector<BYTE> cdb, BYTE dirFlags = 0, BYTE* data = nullptr,
                            DWORD length = 0) {
        SRB_ExecSCSICmd srb;
        std::memset(&srb, 0, sizeof srb);
        srb.SRB_Cmd = SC_EXEC_SCSI_CMD;
        srb.SRB_HaId = ha;
        srb.SRB_Target = target;
        srb.SRB_Flags = SRB_EVENT_NOTIFY | dirFlags;
        srb.SRB_BufPointer = data;
        srb.SRB_BufLen = length;
        srb.SRB_SenseLen = SENSE_LEN;
        srb.SRB_CDBLen = static_cast<BYTE>(cdb.size());
        if (!cdb.empty()) std::memcpy(srb.CDBByte, cdb.data(), cdb.size());
        HANDLE hEvent = CreateEventA(NULL, FALSE, FALSE, NULL);
        m_events.push_back(hEvent);
        srb.SRB_PostProc = hEvent;
        return srb;
    }

    static HANDLE EventOf(const SRB_ExecSCSICmd& srb) { return static_cast<HANDLE>(srb.SRB_PostProc); }
    static bool Signalled(const SRB_ExecSCSICmd& srb) { return WaitForSingleObject(EventOf(srb), 0) == WAIT_OBJECT_0; }

    DWORD Abort(BYTE ha, void* pSrb) {
        SRB_Abort abortSrb;
        std::memset(&abortSrb, 0, sizeof abortSrb);
        abortSrb.SRB_Cmd = SC_ABORT_SRB;
        abortSrb.SRB_HaId = ha;
        abortSrb.SRB_ToAbort = pSrb;
        DWORD status = m_pfnSend(&abortSrb);
        EXPECT_EQ(status, abortSrb.SRB_Status);
        return status;
    }

    HMODULE m_hModule = NULL;
    PFNGETASPI32SUPPORTINFO m_pfnInfo = NULL;
    PFNSENDASPI32COMMAND m_pfnSend = NULL;
    std::vector<HANDLE> m_events;
};

const std::vector<BYTE> kTestUnitReady = {0x00, 0, 0, 0, 0, 0};
const std::vector<BYTE> kInquiry = {0x12, 0, 0, 0, 44, 0};
const std::vector<BYTE> kEject = {0x1B, 0, 0, 0, 2, 0};
const std::vector<BYTE> kRead16 = {0x28, 0, 0, 0, 0, 0x10, 0, 0, 1, 0};

TEST_F(AspiManager, LoadsOnlyWhereTheMachineCarriesIt) {
    sim::Machine without = Windows98();
    sim::Process::Boot(without);
    EXPECT_EQ(nullptr, LoadLibraryA("wnaspi32.dll"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());

    sim::Machine with = Windows98WithAspi();
    sim::Process::Boot(with);
    // Windows adds ".dll" to a bare name (a final dot asks for a file
    // without extension), and the case does not matter.
    for (const char* name : {"wnaspi32.dll", "WNASPI32", "C:\\WINDOWS\\SYSTEM\\WnAspi32.DLL"}) {
        SCOPED_TRACE(name);
        HMODULE h = LoadLibraryA(name);
        ASSERT_NE(nullptr, h);
        EXPECT_EQ(1u, sim::ModuleLoadCount(kManager));
        EXPECT_TRUE(FreeLibrary(h));
        EXPECT_EQ(0u, sim::ModuleLoadCount(kManager));
    }
    for (const char* name : {"wnaspi32.", "wnaspi32.dl", "wnaspi.dll", "wnaspi32.dll.old", ""}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(nullptr, LoadLibraryA(name));
    }

    // Loads are counted; the module goes with the last free.
    HMODULE first = LoadLibraryA("wnaspi32.dll");
    HMODULE second = LoadLibraryA("WNASPI32.DLL");
    EXPECT_EQ(first, second);
    EXPECT_EQ(2u, sim::ModuleLoadCount(kManager));
    EXPECT_NE(nullptr, GetProcAddress(first, "SendASPI32Command"));
    EXPECT_EQ(nullptr, GetProcAddress(first, "SendASPI32CommandEx"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PROC_NOT_FOUND), GetLastError());
    EXPECT_EQ(nullptr, GetProcAddress(first, reinterpret_cast<LPCSTR>(1))) << "no entry points by ordinal";
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_TRUE(FreeLibrary(second));
    EXPECT_FALSE(FreeLibrary(first)) << "already gone";
    EXPECT_EQ(nullptr, GetProcAddress(first, "SendASPI32Command"));

    // A copy of the manager that lacks an entry point still loads.
    with.aspi.missingEntryPoints = {"SendASPI32Command"};
    sim::Process::Boot(with);
    HMODULE h = LoadLibraryA("wnaspi32.dll");
    ASSERT_NE(nullptr, h);
    EXPECT_NE(nullptr, GetProcAddress(h, "GetASPI32SupportInfo"));
    EXPECT_EQ(nullptr, GetProcAddress(h, "SendASPI32Command"));
    EXPECT_TRUE(FreeLibrary(h));

    // The NT family may carry one too (ASPI for NT existed); nothing stops a load.
    sim::Machine nt = NtMachine();
    nt.aspi.present = true;
    sim::Process::Boot(nt);
    h = LoadLibraryA("wnaspi32.dll");
    EXPECT_NE(nullptr, h);
    FreeLibrary(h);
}

TEST_F(AspiManager, SupportInformationCountsTheAdaptersAndCarriesAStatus) {
    struct Case {
        size_t adapters;
        int status;  // -1: as the manager finds it
        DWORD info;
    };
    const Case cases[] = {{1, -1, 0x0101}, {3, -1, 0x0103}, {0, -1, 0xE800}, {2, 0xE4, 0xE402}, {12, -1, 0x010C}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.info);
        sim::Machine m = Windows98WithAspi(c.adapters);
        if (c.status >= 0) m.aspi.supportStatus = static_cast<uint8_t>(c.status);
        Load(m);
        EXPECT_EQ(c.info, m_pfnInfo());
        FreeLibrary(m_hModule);
        m_hModule = NULL;
    }
}

TEST_F(AspiManager, HostAdapterInquiryDescribesEachAdapter) {
    sim::Machine m = Windows98WithAspi(4);
    m.aspi.adapters[1].scsiId = 3;
    m.aspi.adapters[1].identifier = "ESDI_506";
    m.aspi.adapters[1].maxTransfer = 0x20000;
    m.aspi.adapters[1].alignmentMask = 3;
    m.aspi.adapters[2].inquiryStatus = SS_ASPI_IS_BUSY;
    m.aspi.adapters[3].inquiryPending = true;
    Load(m);

    SRB_HAInquiry srb;
    std::memset(&srb, 0, sizeof srb);
    srb.SRB_Cmd = SC_HA_INQUIRY;
    srb.SRB_HaId = 1;
    EXPECT_EQ(static_cast<DWORD>(SS_COMP), m_pfnSend(&srb));
    EXPECT_EQ(SS_COMP, srb.SRB_Status);
    EXPECT_EQ(4, srb.HA_Count);
    EXPECT_EQ(3, srb.HA_SCSI_ID);
    EXPECT_EQ(std::string("ASPI for WIN32"), std::string(reinterpret_cast<char*>(srb.HA_ManagerId), 14));
    EXPECT_EQ(std::string("ESDI_506"), std::string(reinterpret_cast<char*>(srb.HA_Identifier)));
    EXPECT_EQ(3, srb.HA_Unique[0] | srb.HA_Unique[1] << 8) << "alignment mask";
    EXPECT_EQ(8, srb.HA_Unique[3]) << "targets on the bus";
    EXPECT_EQ(0x20000u, static_cast<DWORD>(srb.HA_Unique[4] | srb.HA_Unique[5] << 8 | srb.HA_Unique[6] << 16 |
                                           srb.HA_Unique[7] << 24));

    const struct {
        BYTE ha;
        BYTE status;
    } others[] = {{2, SS_ASPI_IS_BUSY}, {4, SS_INVALID_HA}, {200, SS_INVALID_HA}, {3, SS_PENDING}};
    for (const auto& o : others) {
        SCOPED_TRACE(o.ha);
        std::memset(&srb, 0, sizeof srb);
        srb.SRB_Cmd = SC_HA_INQUIRY;
        srb.SRB_HaId = o.ha;
        EXPECT_EQ(o.status, m_pfnSend(&srb));
        EXPECT_EQ(o.status, srb.SRB_Status);
    }
    // The inquiry that never ends stays so however long one looks.
    Sleep(60000);
    EXPECT_EQ(SS_PENDING, srb.SRB_Status);
    EXPECT_EQ((std::vector<std::string>{"inquiry 1", "inquiry 2", "inquiry 4", "inquiry 200", "inquiry 3"}),
              ManagerLog());
}

TEST_F(AspiManager, ARequestEndsThroughItsEventAfterTheDevicesTime) {
    LoadWithDrive();
    BYTE inquiry[64] = {};
    SRB_ExecSCSICmd srb = Request(0, 1, kInquiry, SRB_DIR_IN, inquiry, 44);
    const uint64_t start = Now();
    EXPECT_EQ(static_cast<DWORD>(SS_PENDING), m_pfnSend(&srb));
    EXPECT_EQ(SS_PENDING, srb.SRB_Status);
    EXPECT_FALSE(Signalled(srb)) << "nothing happens before the caller waits";
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(EventOf(srb), INFINITE));
    EXPECT_EQ(SS_COMP, srb.SRB_Status);
    EXPECT_EQ(0, srb.SRB_HaStat);
    EXPECT_EQ(0, srb.SRB_TargStat);
    EXPECT_EQ(2u, Now() - start) << "the drive answers an INQUIRY in 2 ms";
    EXPECT_EQ("VALTORA DVD-ROM ZQ-X90461H12", std::string(reinterpret_cast<char*>(inquiry + 8), 28));
    ASSERT_EQ(1u, TargetAt(0, 1).Trace().size());
    EXPECT_EQ("scsi 0:1 12 00 00 00 2C 00 | in 44 | moved 44 | status 00 | 2 ms",
              TargetAt(0, 1).Trace()[0].Text(TargetAt(0, 1).place));

    // An eject takes the drive a second and a half; a read behind it waits
    // its turn at the drive.
    SRB_ExecSCSICmd eject = Request(0, 1, kEject);
    BYTE block[2048];
    SRB_ExecSCSICmd read = Request(0, 1, kRead16, SRB_DIR_IN, block, sizeof block);
    const uint64_t ejected = Now();
    EXPECT_EQ(static_cast<DWORD>(SS_PENDING), m_pfnSend(&eject));
    EXPECT_EQ(static_cast<DWORD>(SS_PENDING), m_pfnSend(&read));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(EventOf(eject), INFINITE));
    EXPECT_EQ(1500u, Now() - ejected);
    EXPECT_EQ(SS_COMP, eject.SRB_Status);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(EventOf(read), INFINITE));
    EXPECT_EQ(1500u, TargetAt(0, 1).Trace().back().time - ejected) << "the read reached the drive after the eject";
    // The tray is open now: the read ends with the drive's sense.
    EXPECT_EQ(SS_ERR, read.SRB_Status);
    EXPECT_EQ(STATUS_CHKCOND, read.SRB_TargStat);
    EXPECT_EQ(0, read.SRB_HaStat);
    EXPECT_EQ(0x70, read.SenseArea[0]);
    EXPECT_EQ(0x02, read.SenseArea[2]);
    EXPECT_EQ(0x3A, read.SenseArea[12]);
    EXPECT_EQ(0x00, read.SenseArea[13]);
}

TEST_F(AspiManager, OnlyTheSenseBytesAskedForAreWritten) {
    LoadWithDrive();
    TargetAt(0, 1).medium.reset();
    TargetAt(0, 1).senseByte19 = 0x5C;
    BYTE block[2048];
    SRB_ExecSCSICmd read = Request(0, 1, kRead16, SRB_DIR_IN, block, sizeof block);
    read.SRB_SenseLen = 13;
    std::memset(read.SenseArea, 0xEE, sizeof read.SenseArea);
    m_pfnSend(&read);
    WaitForSingleObject(EventOf(read), INFINITE);
    EXPECT_EQ(0x3A, read.SenseArea[12]);
    EXPECT_EQ(0xEE, read.SenseArea[13]);

    // A target status other than CHECK CONDITION comes without sense.
    sim::Fault busy;
    busy.status = STATUS_BUSY;
    TargetAt(0, 1).faults = {busy};
    SRB_ExecSCSICmd tur = Request(0, 1, kTestUnitReady);
    std::memset(tur.SenseArea, 0xEE, sizeof tur.SenseArea);
    m_pfnSend(&tur);
    WaitForSingleObject(EventOf(tur), INFINITE);
    EXPECT_EQ(SS_ERR, tur.SRB_Status);
    EXPECT_EQ(STATUS_BUSY, tur.SRB_TargStat);
    EXPECT_EQ(0xEE, tur.SenseArea[12]);
}

TEST_F(AspiManager, RequestsItCannotTakeEndAtOnceThroughTheirEvent) {
    sim::Machine m = Windows98WithAspi(1);
    m.aspi.adapters[0].scsiId = 5;
    m.aspi.adapters[0].maxTransfer = 0x8000;
    m.aspi.adapters[0].alignmentMask = 1;
    PutTarget(m, 0, 1, Model::ZqX9046);
    // Only the manager's file could put a device at the adapter's own ID.
    PutTarget(m, 0, 5, Model::ZqX9046);
    Load(m);

    alignas(4) static BYTE buffer[0x8001];
    struct Case {
        const char* what;
        SRB_ExecSCSICmd srb;
        BYTE status;
    };
    std::vector<Case> cases = {
        {"no such adapter", Request(1, 1, kTestUnitReady), SS_INVALID_HA},
        {"no device on the target", Request(0, 2, kTestUnitReady), SS_NO_DEVICE},
        {"the adapter's own ID", Request(0, 5, kTestUnitReady), SS_NO_DEVICE},
        {"beyond a narrow bus", Request(0, 9, kTestUnitReady), SS_NO_DEVICE},
        {"more than the adapter moves", Request(0, 1, kRead16, SRB_DIR_IN, buffer, 0x8001), SS_BUFFER_TO_BIG},
        {"a buffer off the adapter's alignment", Request(0, 1, kRead16, SRB_DIR_IN, buffer + 1, 2048),
         SS_BUFFER_ALIGN},
        {"both directions", Request(0, 1, kRead16, SRB_DIR_IN | SRB_DIR_OUT, buffer, 2048), SS_INVALID_SRB},
        {"a length without a buffer", Request(0, 1, kRead16, SRB_DIR_IN, nullptr, 2048), SS_INVALID_SRB},
        {"no CDB", Request(0, 1, {}), SS_INVALID_SRB},
    };
    Case lun = {"LUN 1", Request(0, 1, kTestUnitReady), SS_NO_DEVICE};
    lun.srb.SRB_Lun = 1;
    cases.push_back(lun);
    Case sense = {"more sense than the block holds", Request(0, 1, kTestUnitReady), SS_INVALID_SRB};
    sense.srb.SRB_SenseLen = SENSE_LEN + 3;
    cases.push_back(sense);
    Case posting = {"posting", Request(0, 1, kTestUnitReady), SS_INVALID_SRB};
    posting.srb.SRB_Flags |= SRB_POSTING;
    cases.push_back(posting);
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        const uint64_t start = Now();
        EXPECT_EQ(c.status, m_pfnSend(&c.srb));
        EXPECT_EQ(c.status, c.srb.SRB_Status);
        EXPECT_TRUE(Signalled(c.srb));
        EXPECT_EQ(start, Now());
    }
    EXPECT_TRUE(TargetAt(0, 1).Trace().empty());
    EXPECT_TRUE(TargetAt(0, 5).Trace().empty());

    // Without a valid event the request could never end: refused, nothing set.
    SRB_ExecSCSICmd noEvent = Request(0, 1, kTestUnitReady);
    noEvent.SRB_PostProc = reinterpret_cast<HANDLE>(0x7777);
    EXPECT_EQ(static_cast<DWORD>(SS_INVALID_SRB), m_pfnSend(&noEvent));

    // Commands the program never sends.
    SRB_GDEVBlock type;
    std::memset(&type, 0, sizeof type);
    type.SRB_Cmd = SC_GET_DEV_TYPE;
    EXPECT_EQ(static_cast<DWORD>(SS_INVALID_CMD), m_pfnSend(&type));
    EXPECT_EQ(static_cast<DWORD>(SS_INVALID_SRB), m_pfnSend(nullptr));
}

TEST_F(AspiManager, InjectedFaultsEndRequestsBeforeTheDeviceSeesThem) {
    LoadWithDrive();
    sim::AspiTarget& target = sim::Proc().machine().aspi.adapters[0].targets[1];
    sim::AspiFault bufferTooBig;
    bufferTooBig.opcode = 0x28;
    bufferTooBig.srbStatus = SS_BUFFER_TO_BIG;
    bufferTooBig.times = 2;
    sim::AspiFault selection;
    selection.opcode = 0x12;
    selection.haStatus = HASTAT_SEL_TO;
    target.faults = {bufferTooBig, selection};

    BYTE block[2048];
    for (int i = 0; i < 2; ++i) {
        SRB_ExecSCSICmd read = Request(0, 1, kRead16, SRB_DIR_IN, block, sizeof block);
        EXPECT_EQ(static_cast<DWORD>(SS_BUFFER_TO_BIG), m_pfnSend(&read));
        EXPECT_TRUE(Signalled(read));
    }
    SRB_ExecSCSICmd inquiry = Request(0, 1, kInquiry, SRB_DIR_IN, block, 44);
    EXPECT_EQ(static_cast<DWORD>(SS_ERR), m_pfnSend(&inquiry));
    EXPECT_EQ(SS_ERR, inquiry.SRB_Status);
    EXPECT_EQ(HASTAT_SEL_TO, inquiry.SRB_HaStat);
    EXPECT_EQ(0, inquiry.SRB_TargStat);
    EXPECT_TRUE(TargetAt(0, 1).Trace().empty());
    EXPECT_TRUE(target.faults.empty()) << "spent faults go";

    // Now the read reaches the drive, which has a disc.
    SRB_ExecSCSICmd read = Request(0, 1, kRead16, SRB_DIR_IN, block, sizeof block);
    EXPECT_EQ(static_cast<DWORD>(SS_PENDING), m_pfnSend(&read));
    WaitForSingleObject(EventOf(read), INFINITE);
    EXPECT_EQ(SS_COMP, read.SRB_Status);
}

TEST_F(AspiManager, ARequestThatNeverEndsEndsWhenAborted) {
    LoadWithDrive();
    sim::AspiFault lost;
    lost.pending = true;
    sim::Proc().machine().aspi.adapters[0].targets[1].faults = {lost};
    SRB_ExecSCSICmd srb = Request(0, 1, kTestUnitReady);
    EXPECT_EQ(static_cast<DWORD>(SS_PENDING), m_pfnSend(&srb));
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(EventOf(srb), 3600000));
    EXPECT_EQ(SS_PENDING, srb.SRB_Status);

    EXPECT_EQ(static_cast<DWORD>(SS_INVALID_HA), Abort(1, &srb));
    EXPECT_EQ(static_cast<DWORD>(SS_INVALID_SRB), Abort(0, nullptr));
    EXPECT_EQ(SS_PENDING, srb.SRB_Status);
    EXPECT_EQ(static_cast<DWORD>(SS_COMP), Abort(0, &srb));
    EXPECT_EQ(SS_ABORTED, srb.SRB_Status);
    EXPECT_TRUE(Signalled(srb));
    EXPECT_TRUE(TargetAt(0, 1).Trace().empty());
    // An abort of a request that has ended changes nothing.
    EXPECT_EQ(static_cast<DWORD>(SS_COMP), Abort(0, &srb));
    EXPECT_EQ(SS_ABORTED, srb.SRB_Status);
}

TEST_F(AspiManager, AnAbortedCommandResetsTheDeviceThatHungOnIt) {
    LoadWithDrive();
    sim::Fault hang;
    hang.opcode = 0x1B;
    hang.hang = true;
    hang.always = true;
    TargetAt(0, 1).faults = {hang};
    SRB_ExecSCSICmd eject = Request(0, 1, kEject);
    m_pfnSend(&eject);
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(EventOf(eject), 10000));
    ASSERT_EQ(1u, TargetAt(0, 1).Trace().size());
    EXPECT_FALSE(TargetAt(0, 1).Trace()[0].completes);
    EXPECT_TRUE(TargetAt(0, 1).busy);

    const uint64_t aborted = Now();
    EXPECT_EQ(static_cast<DWORD>(SS_COMP), Abort(0, &eject));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(EventOf(eject), INFINITE));
    EXPECT_EQ(aborted, Now());
    EXPECT_EQ(SS_ABORTED, eject.SRB_Status);
    EXPECT_FALSE(TargetAt(0, 1).busy);
    EXPECT_EQ(sim::ScsiDevice::Attention::PowerOn, TargetAt(0, 1).attention);

    // An adapter that cannot abort leaves the request where it is.
    AdapterAt(0).abortFails = true;
    TargetAt(0, 1).attention = sim::ScsiDevice::Attention::None;
    SRB_ExecSCSICmd again = Request(0, 1, kEject);
    m_pfnSend(&again);
    EXPECT_EQ(static_cast<DWORD>(SS_COMP), Abort(0, &again));
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(EventOf(again), 3600000));
    EXPECT_EQ(SS_PENDING, again.SRB_Status);
    EXPECT_EQ((std::vector<std::string>{"exec 0:1 1B", "abort 0", "exec 0:1 1B", "abort 0"}), ManagerLog());
}

TEST_F(AspiManager, UnloadingDropsWhatItHoldsAndGivesTheDeviceBack) {
    const size_t threads = sim::Proc().scheduler().LiveThreads();
    LoadWithDrive();
    EXPECT_EQ(threads + 1, sim::Proc().scheduler().LiveThreads()) << "the manager works on a thread of its own";
    sim::Fault hang;
    hang.opcode = 0x1B;
    hang.hang = true;
    TargetAt(0, 1).faults = {hang};
    SRB_ExecSCSICmd eject = Request(0, 1, kEject);
    SRB_ExecSCSICmd behind = Request(0, 1, kTestUnitReady);
    m_pfnSend(&eject);
    m_pfnSend(&behind);
    Sleep(1000);
    ASSERT_TRUE(TargetAt(0, 1).busy);

    const uint64_t freed = Now();
    EXPECT_TRUE(FreeLibrary(m_hModule));
    m_hModule = NULL;
    EXPECT_EQ(freed, Now());
    EXPECT_EQ(threads, sim::Proc().scheduler().LiveThreads()) << "its thread ended with it";
    EXPECT_FALSE(TargetAt(0, 1).busy);
    EXPECT_EQ(sim::ScsiDevice::Attention::PowerOn, TargetAt(0, 1).attention);
    EXPECT_EQ(1u, TargetAt(0, 1).Trace().size()) << "the request behind it never reached the drive";
    EXPECT_EQ(SS_PENDING, eject.SRB_Status) << "a manager that went writes nothing";
    EXPECT_EQ(SS_PENDING, behind.SRB_Status);
    EXPECT_FALSE(Signalled(behind));

    // Loaded again, it takes commands; the drive reports its reset first.
    m_hModule = LoadLibraryA("wnaspi32.dll");
    m_pfnSend = EntryPoint<PFNSENDASPI32COMMAND>(m_hModule, "SendASPI32Command");
    SRB_ExecSCSICmd tur = Request(0, 1, kTestUnitReady);
    m_pfnSend(&tur);
    WaitForSingleObject(EventOf(tur), INFINITE);
    EXPECT_EQ(SS_ERR, tur.SRB_Status);
    EXPECT_EQ(0x29, tur.SenseArea[12]);
}

TEST(AspiCalendar, TheRuntimesClockRunsOnVirtualTime) {
    sim::Process::Boot(Windows98());
    const time_t before = time(NULL);
    Sleep(3600 * 1000);
    time_t after = 0;
    EXPECT_EQ(before + 3600, time(&after));
    EXPECT_EQ(before + 3600, after);
}

// The ASPI part of a machine file.
const json kAspi = json::parse(R"({
  "manager": "present",
  "missingEntryPoints": ["SendASPI32Command"],
  "supportStatus": "0xE8",
  "adapters": [
    { "targets": { "0": { "device": { "model": "disk" } } } },
    { "scsiId": 2, "identifier": "ESDI_506", "maxTransfer": 32768, "alignmentMask": 3, "inquiryStatus": "0x81",
      "abortFails": true,
      "targets": {
        "0": { "device": { "model": "ZQ-X9046", "revision": "1H12", "medium": { "blocks": 4000 } },
               "faults": [ { "opcode": "0x28", "srbStatus": "0xE6", "times": 2 },
                           { "haStatus": 17, "times": "always" },
                           { "opcode": 27, "pending": true } ] },
        "7": { }
      } },
    { "inquiryStatus": "pending" }
  ]
})");

sim::Machine WithAspi(const json& aspi) {
    json j = Windows98().ToJson();
    j["aspi"] = aspi;
    return sim::Machine::FromJson(j, "test.json");
}

TEST(AspiMachineFile, LoadsAsDescribedAndIsWrittenBackTheSame) {
    sim::Machine m = WithAspi(kAspi);
    const sim::AspiSetup& a = m.aspi;
    EXPECT_TRUE(a.present);
    EXPECT_EQ((std::vector<std::string>{"SendASPI32Command"}), a.missingEntryPoints);
    EXPECT_EQ(0xE8, *a.supportStatus);
    ASSERT_EQ(3u, a.adapters.size());
    EXPECT_EQ(7, a.adapters[0].scsiId);
    EXPECT_EQ(0x10000u, a.adapters[0].maxTransfer);
    EXPECT_EQ("0:0", a.adapters[0].targets.at(0).device->place);
    EXPECT_EQ(Model::Disk, a.adapters[0].targets.at(0).device->model());
    const sim::AspiAdapter& second = a.adapters[1];
    EXPECT_EQ(2, second.scsiId);
    EXPECT_EQ("ESDI_506", second.identifier);
    EXPECT_EQ(32768u, second.maxTransfer);
    EXPECT_EQ(3, second.alignmentMask);
    EXPECT_EQ(0x81, *second.inquiryStatus);
    EXPECT_TRUE(second.abortFails);
    const sim::AspiTarget& drive = second.targets.at(0);
    EXPECT_EQ("1:0", drive.device->place);
    EXPECT_EQ("1H12", drive.device->Revision());
    ASSERT_EQ(3u, drive.faults.size());
    EXPECT_EQ(0x28, drive.faults[0].opcode);
    EXPECT_EQ(0xE6, *drive.faults[0].srbStatus);
    EXPECT_EQ(2u, drive.faults[0].times);
    EXPECT_EQ(sim::AspiFault::kAny, drive.faults[1].opcode);
    EXPECT_EQ(0x11, *drive.faults[1].haStatus);
    EXPECT_TRUE(drive.faults[1].always);
    EXPECT_TRUE(drive.faults[2].pending);
    EXPECT_FALSE(second.targets.at(7).device) << "a target may be described without a device";
    EXPECT_TRUE(a.adapters[2].inquiryPending);

    const json once = m.ToJson();
    EXPECT_EQ(once, sim::Machine::FromJson(once, "again.json").ToJson());
    EXPECT_EQ("0x81", once["aspi"]["adapters"][1]["inquiryStatus"]);
    EXPECT_EQ("pending", once["aspi"]["adapters"][2]["inquiryStatus"]);
    EXPECT_FALSE(NtMachine().ToJson().contains("aspi")) << "a machine without ASPI writes no ASPI part";
}

TEST(AspiMachineFile, SpentFaultsAndTheDrivesStateAreKeptAndARestartPowersTheDrivesAnew) {
    sim::Process::Boot(WithAspi(kAspi));
    sim::AspiSetup& a = sim::Proc().machine().aspi;
    a.adapters[1].targets.at(0).faults[0].times = 1;
    a.adapters[1].targets.at(0).faults.pop_back();
    a.DeviceAt(1, 0)->trayOpen = true;
    a.DeviceAt(1, 0)->medium.reset();
    a.requests.push_back(sim::AspiRecord{});
    const json saved = sim::Proc().machine().ToJson();
    const json& target = saved["aspi"]["adapters"][1]["targets"]["0"];
    EXPECT_EQ(1u, target["faults"][0]["times"]);
    EXPECT_EQ(2u, target["faults"].size());
    EXPECT_EQ("open", target["device"]["tray"]);

    sim::Machine m = sim::Machine::FromJson(saved, "saved.json");
    EXPECT_TRUE(m.aspi.requests.empty()) << "what the manager was sent is not kept";
    m.aspi.requests.push_back(sim::AspiRecord{});
    m.Restart();
    EXPECT_EQ(sim::ScsiDevice::Attention::PowerOn, m.aspi.DeviceAt(1, 0)->attention);
    EXPECT_EQ(sim::ScsiDevice::Attention::PowerOn, m.aspi.DeviceAt(0, 0)->attention);
    EXPECT_TRUE(m.aspi.DeviceAt(1, 0)->trayOpen);
    EXPECT_TRUE(m.aspi.requests.empty());
}

TEST(AspiMachineFile, BadDescriptionsSayWhereAndWhat) {
    const struct {
        const char* aspi;
        const char* where;
        const char* what;
    } cases[] = {
        {R"([])", "/aspi", "expected an object"},
        {R"({})", "/aspi/manager", "missing: \"present\" or \"missing\""},
        {R"({"manager": "broken"})", "/aspi/manager", "expected \"present\" or \"missing\""},
        {R"({"manager": "present", "version": 4})", "/aspi/version", "unknown entry"},
        {R"({"manager": "present", "missingEntryPoints": "SendASPI32Command"})", "/aspi/missingEntryPoints",
         "expected a list"},
        {R"({"manager": "present", "missingEntryPoints": ["SendASPI32"]})", "/aspi/missingEntryPoints/0",
         "\"GetASPI32SupportInfo\" or \"SendASPI32Command\""},
        {R"({"manager": "present", "supportStatus": 256})", "/aspi/supportStatus", "0 to 255"},
        {R"({"manager": "present", "adapters": {}})", "/aspi/adapters", "expected a list of host adapters"},
        {R"({"manager": "present", "adapters": [{"scsiId": 8}]})", "/aspi/adapters/0/scsiId", "0 to 7"},
        {R"({"manager": "present", "adapters": [{"identifier": "A VERY LONG ADAPTER"}]})",
         "/aspi/adapters/0/identifier", "longer than 16"},
        {R"({"manager": "present", "adapters": [{"alignmentMask": 5}]})", "/aspi/adapters/0/alignmentMask",
         "power of two"},
        {R"({"manager": "present", "adapters": [{"inquiryStatus": 0}]})", "/aspi/adapters/0/inquiryStatus",
         "say \"pending\""},
        {R"({"manager": "present", "adapters": [{"inquiryStatus": "soon"}]})", "/aspi/adapters/0/inquiryStatus",
         "expected a byte"},
        {R"({"manager": "present", "adapters": [{"targets": []}]})", "/aspi/adapters/0/targets",
         "expected an object of SCSI IDs"},
        {R"({"manager": "present", "adapters": [{"targets": {"8": {}}}]})", "/aspi/adapters/0/targets/8",
         "\"0\" to \"7\""},
        {R"({"manager": "present", "adapters": [{"targets": {"7": {}}}]})", "/aspi/adapters/0/targets/7",
         "the adapter itself has this ID"},
        {R"({"manager": "present", "adapters": [{}, {"targets": {"0": {"drive": {}}}}]})",
         "/aspi/adapters/1/targets/0/drive", "unknown entry"},
        {R"({"manager": "present", "adapters": [{"targets": {"0": {"device": {"model": "ZQ"}}}}]})",
         "/aspi/adapters/0/targets/0/device/model", "unknown model"},
        {R"({"manager": "present", "adapters": [{"targets": {"0": {"faults": {}}}}]})",
         "/aspi/adapters/0/targets/0/faults", "expected a list"},
        {R"({"manager": "present", "adapters": [{"targets": {"0": {"faults": [{"opcode": 0}]}}}]})",
         "/aspi/adapters/0/targets/0/faults/0", "give one of"},
        {R"({"manager": "present", "adapters": [{"targets": {"0": {"faults": [{"srbStatus": 4, "pending": true}]}}}]})",
         "/aspi/adapters/0/targets/0/faults/0", "give one of"},
        {R"({"manager": "present", "adapters": [{"targets": {"0": {"faults": [{"srbStatus": 0}]}}}]})",
         "/aspi/adapters/0/targets/0/faults/0/srbStatus", "say \"pending\": true"},
        {R"({"manager": "present", "adapters": [{"targets": {"0": {"faults": [{"srbStatus": 1}]}}}]})",
         "/aspi/adapters/0/targets/0/faults/0/srbStatus", "not a fault"},
        {R"({"manager": "present", "adapters": [{"targets": {"0": {"faults": [{"haStatus": 0}]}}}]})",
         "/aspi/adapters/0/targets/0/faults/0/haStatus", "no host adapter error"},
        {R"({"manager": "present", "adapters": [{"targets": {"0": {"faults": [{"pending": true, "times": 0}]}}}]})",
         "/aspi/adapters/0/targets/0/faults/0/times", "never happens"},
        {R"({"manager": "present", "adapters": [{"targets": {"0": {"faults": [{"pending": true, "sense": "05/24/00"}]}}}]})",
         "/aspi/adapters/0/targets/0/faults/0/sense", "unknown entry"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.aspi);
        try {
            WithAspi(json::parse(c.aspi));
            ADD_FAILURE() << "accepted";
        } catch (const sim::MachineFileError& e) {
            const std::string message = e.what();
            EXPECT_EQ(0u, message.find(std::string("test.json: ") + c.where + ": ")) << message;
            EXPECT_NE(std::string::npos, message.find(c.what)) << message;
        }
    }
    // 256 adapters are more than the support information can count.
    json many = {{"manager", "present"}, {"adapters", json::array()}};
    for (int i = 0; i < 256; ++i) many["adapters"].push_back(json::object());
    EXPECT_THROW(WithAspi(many), sim::MachineFileError);
}

}  // namespace
