// The storage calls on the simulated PC: drive types, device opens, the
// checks the storage port makes on a pass-through request, what it hands
// back, time-outs, the capability query, system message texts and the
// global heap.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "core/Process.h"
#include "win32.h"
#include "win32/GlobalMemory.h"

namespace {

using sim::Proc;
using Bytes = std::vector<uint8_t>;

constexpr DWORD kRevisionMismatch = 1306;

// A request block laid out as a pass-through caller lays it out.
struct Request {
    SCSI_PASS_THROUGH_DIRECT sptd;
    ULONG pad;
    UCHAR sense[32];
    alignas(16) UCHAR data[4096];
};

sim::Machine TestMachine() {
    sim::Machine m = sim::Machine::Default();
    m.drives.clear();
    m.drives['C'].type = DRIVE_FIXED;
    sim::DriveLetter d;
    d.type = DRIVE_CDROM;
    d.device = sim::ScsiDevice(sim::ScsiDevice::Model::ZqX9046);
    d.device->place = "D:";
    m.drives['D'] = d;
    m.drives['E'].type = DRIVE_CDROM;  // a CD letter with nothing to pass requests to
    m.drives['R'].type = DRIVE_REMOTE;
    return m;
}

class Storage : public ::testing::Test {
protected:
    void SetUp() override { sim::Process::Boot(TestMachine()); }

    sim::ScsiDevice& Drive() { return *Proc().machine().DeviceAt('D'); }

    HANDLE Open(const char* name = "\\\\.\\D:", DWORD access = GENERIC_READ | GENERIC_WRITE) {
        return CreateFileA(name, access, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    }

    void Prepare(const Bytes& cdb, UCHAR dataIn, ULONG length) {
        std::memset(&m_rq, 0, sizeof m_rq);
        m_rq.sptd.Length = sizeof(SCSI_PASS_THROUGH_DIRECT);
        m_rq.sptd.CdbLength = static_cast<UCHAR>(cdb.size());
        m_rq.sptd.SenseInfoLength = 24;
        m_rq.sptd.DataIn = dataIn;
        m_rq.sptd.DataTransferLength = length;
        m_rq.sptd.TimeOutValue = 200;
        m_rq.sptd.DataBuffer = m_rq.data;
        m_rq.sptd.SenseInfoOffset = offsetof(Request, sense);
        std::memcpy(m_rq.sptd.Cdb, cdb.data(), cdb.size());
    }

    BOOL Send(HANDLE h) {
        m_returned = 0xFFFF;
        return DeviceIoControl(h, IOCTL_SCSI_PASS_THROUGH_DIRECT, &m_rq, sizeof m_rq, &m_rq, sizeof m_rq,
                               &m_returned, NULL);
    }

    // One whole request as a transport makes it: open, send, close.
    BOOL Command(const Bytes& cdb, UCHAR dataIn, ULONG length) {
        HANDLE h = Open();
        EXPECT_NE(INVALID_HANDLE_VALUE, h);
        Prepare(cdb, dataIn, length);
        BOOL ok = Send(h);
        DWORD error = GetLastError();
        CloseHandle(h);
        SetLastError(error);
        return ok;
    }

    Request m_rq;
    DWORD m_returned = 0;
};

const Bytes kInquiry = {0x12, 0, 0, 0, 44, 0};
const Bytes kRead16 = {0x28, 0, 0, 0, 0, 0x10, 0, 0, 1, 0};
const Bytes kEject = {0x1B, 0, 0, 0, 2, 0};

TEST_F(Storage, DriveTypesByLetter) {
    const std::pair<const char*, UINT> cases[] = {
        {"C:\\", DRIVE_FIXED}, {"c:", DRIVE_FIXED},       {"D:", DRIVE_CDROM},         {"d:\\", DRIVE_CDROM},
        {"E:\\", DRIVE_CDROM}, {"R:\\", DRIVE_REMOTE},    {"Z:\\", DRIVE_NO_ROOT_DIR}, {"D", DRIVE_NO_ROOT_DIR},
        {"", DRIVE_NO_ROOT_DIR}, {"D:\\x", DRIVE_NO_ROOT_DIR}, {"1:\\", DRIVE_NO_ROOT_DIR},
    };
    for (auto [root, type] : cases) EXPECT_EQ(type, GetDriveTypeA(root)) << root;
    EXPECT_EQ(UINT(DRIVE_FIXED), GetDriveTypeA(NULL)) << "the current directory is on C:";
}

TEST_F(Storage, DeviceOpensAreCountedHandles) {
    auto& handles = Proc().handles();
    HANDLE a = Open();
    HANDLE b = Open("\\\\.\\d:");
    ASSERT_NE(INVALID_HANDLE_VALUE, a);
    ASSERT_NE(INVALID_HANDLE_VALUE, b);
    EXPECT_NE(a, b);
    EXPECT_EQ(2u, handles.Count("device"));
    EXPECT_TRUE(CloseHandle(a));
    EXPECT_TRUE(CloseHandle(b));
    EXPECT_EQ(0u, handles.Count("device"));
    EXPECT_FALSE(CloseHandle(b));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
}

TEST_F(Storage, DeviceOpensThatFail) {
    struct Case {
        const char* name;
        DWORD disposition;
        DWORD error;
    };
    const Case cases[] = {
        {"\\\\.\\Z:", OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {"\\\\.\\D:\\", OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {"\\\\.\\CdRom7", OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {"\\\\.\\D:", CREATE_ALWAYS, ERROR_INVALID_PARAMETER},
        {"C:\\WINQOR\\WINQOR.EXE", OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
    };
    for (const auto& c : cases) {
        SetLastError(0);
        HANDLE h = CreateFileA(c.name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, c.disposition, 0, NULL);
        EXPECT_EQ(INVALID_HANDLE_VALUE, h) << c.name;
        EXPECT_EQ(c.error, GetLastError()) << c.name;
    }
    EXPECT_EQ(0u, Proc().handles().Count("device"));
}

TEST_F(Storage, ExclusiveOpensShutOthersOut) {
    HANDLE mine = CreateFileA("\\\\.\\D:", GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, mine);
    EXPECT_EQ(INVALID_HANDLE_VALUE, Open());
    EXPECT_EQ(DWORD(ERROR_SHARING_VIOLATION), GetLastError());
    HANDLE other = Open("\\\\.\\E:");
    EXPECT_NE(INVALID_HANDLE_VALUE, other) << "another letter is another device";
    CloseHandle(other);
    CloseHandle(mine);
    HANDLE again = Open();
    EXPECT_NE(INVALID_HANDLE_VALUE, again);
    CloseHandle(again);
}

TEST_F(Storage, OnlyAdministratorsOpenADeviceForWriting) {
    sim::Machine m = TestMachine();
    m.users[m.user].admin = false;
    sim::Process::Boot(m);
    EXPECT_EQ(INVALID_HANDLE_VALUE, Open());
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
    HANDLE h = Open("\\\\.\\D:", GENERIC_READ);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    Prepare(kInquiry, SCSI_IOCTL_DATA_IN, 44);
    EXPECT_FALSE(Send(h)) << "pass-through needs read and write access";
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
    CloseHandle(h);
}

TEST_F(Storage, PassThroughRunsTheCommandAndReportsWhatMoved) {
    uint64_t start = Proc().scheduler().Now();
    ASSERT_TRUE(Command(kInquiry, SCSI_IOCTL_DATA_IN, 96));
    EXPECT_EQ(0, m_rq.sptd.ScsiStatus);
    EXPECT_EQ(44u, m_rq.sptd.DataTransferLength) << "the allocation length cut the data";
    EXPECT_EQ(0, m_rq.sptd.SenseInfoLength);
    EXPECT_EQ(DWORD(sizeof(SCSI_PASS_THROUGH_DIRECT)), m_returned);
    EXPECT_EQ("VALTORA DVD-ROM ZQ-X9046", std::string(reinterpret_cast<char*>(m_rq.data) + 8, 24));
    EXPECT_EQ(0, m_rq.sense[0]);
    EXPECT_GT(Proc().scheduler().Now(), start) << "the command took virtual time";

    const auto& trace = Drive().Trace();
    ASSERT_EQ(1u, trace.size());
    EXPECT_EQ(kInquiry, trace[0].cdb);
    EXPECT_EQ(96u, trace[0].length);
    EXPECT_EQ(0u, Proc().handles().Count("device"));

    start = Proc().scheduler().Now();
    ASSERT_TRUE(Command(kEject, SCSI_IOCTL_DATA_UNSPECIFIED, 16));
    EXPECT_GE(Proc().scheduler().Now() - start, 1000u) << "the caller waits while the tray opens";
    EXPECT_TRUE(Drive().trayOpen);
}

TEST_F(Storage, CheckConditionHandsBackTheSenseTheCallerMadeRoomFor) {
    Drive().senseByte19 = 0x5C;
    ASSERT_TRUE(Command(kRead16, SCSI_IOCTL_DATA_IN, 2048));
    EXPECT_EQ(2, m_rq.sptd.ScsiStatus);
    EXPECT_EQ(24, m_rq.sptd.SenseInfoLength);
    EXPECT_EQ(0u, m_rq.sptd.DataTransferLength);
    EXPECT_EQ(DWORD(offsetof(Request, sense) + 24), m_returned);
    EXPECT_EQ(0x70, m_rq.sense[0]);
    EXPECT_EQ(0x02, m_rq.sense[2]);
    EXPECT_EQ(0x3A, m_rq.sense[12]);
    EXPECT_EQ(0x00, m_rq.sense[13]);
    EXPECT_EQ(0x5C, m_rq.sense[19]);

    // Room for 14 bytes: the rest of the area is left alone.
    HANDLE h = Open();
    Prepare(kRead16, SCSI_IOCTL_DATA_IN, 2048);
    m_rq.sptd.SenseInfoLength = 14;
    std::memset(m_rq.sense, 0xAB, sizeof m_rq.sense);
    ASSERT_TRUE(Send(h));
    CloseHandle(h);
    EXPECT_EQ(14, m_rq.sptd.SenseInfoLength);
    EXPECT_EQ(0x3A, m_rq.sense[12]);
    EXPECT_EQ(0xAB, m_rq.sense[14]);
    EXPECT_EQ(0xAB, m_rq.sense[19]);
}

TEST_F(Storage, ThePortRefusesMalformedRequestsWithoutReachingTheDrive) {
    struct Case {
        const char* what;
        void (*spoil)(Request&, DWORD& inSize, DWORD& outSize);
        DWORD error;
    };
    const Case cases[] = {
        {"Length of the other word size",
         [](Request& r, DWORD&, DWORD&) { r.sptd.Length = sizeof(SCSI_PASS_THROUGH_DIRECT) == 44 ? 56 : 44; },
         kRevisionMismatch},
        {"no CDB", [](Request& r, DWORD&, DWORD&) { r.sptd.CdbLength = 0; }, ERROR_INVALID_PARAMETER},
        {"CDB longer than 16", [](Request& r, DWORD&, DWORD&) { r.sptd.CdbLength = 17; }, ERROR_INVALID_PARAMETER},
        {"unknown direction", [](Request& r, DWORD&, DWORD&) { r.sptd.DataIn = 3; }, ERROR_INVALID_PARAMETER},
        {"more than the adapter moves", [](Request& r, DWORD&, DWORD&) { r.sptd.DataTransferLength = 0x10001; },
         ERROR_INVALID_PARAMETER},
        {"data without a buffer", [](Request& r, DWORD&, DWORD&) { r.sptd.DataBuffer = NULL; },
         ERROR_INVALID_PARAMETER},
        {"buffer off the adapter's alignment", [](Request& r, DWORD&, DWORD&) { r.sptd.DataBuffer = r.data + 1; },
         ERROR_INVALID_PARAMETER},
        {"sense inside the structure", [](Request& r, DWORD&, DWORD&) { r.sptd.SenseInfoOffset = 8; },
         ERROR_INVALID_PARAMETER},
        {"sense past the output buffer",
         [](Request& r, DWORD&, DWORD& out) { out = static_cast<DWORD>(offsetof(Request, sense) + 20); },
         ERROR_INVALID_PARAMETER},
        {"no time-out", [](Request& r, DWORD&, DWORD&) { r.sptd.TimeOutValue = 0; }, ERROR_INVALID_PARAMETER},
        {"input shorter than the structure", [](Request& r, DWORD& in, DWORD&) { in = 40; }, ERROR_INVALID_PARAMETER},
    };
    HANDLE h = Open();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Prepare(kInquiry, SCSI_IOCTL_DATA_IN, 44);
        DWORD inSize = sizeof m_rq, outSize = sizeof m_rq;
        c.spoil(m_rq, inSize, outSize);
        SetLastError(0);
        DWORD returned = 0;
        EXPECT_FALSE(DeviceIoControl(h, IOCTL_SCSI_PASS_THROUGH_DIRECT, &m_rq, inSize, &m_rq, outSize, &returned, NULL));
        EXPECT_EQ(c.error, GetLastError());
        EXPECT_EQ(0u, returned);
    }
    EXPECT_TRUE(Drive().Trace().empty());
    // A sense area the caller does not ask for needs no room.
    Prepare(kInquiry, SCSI_IOCTL_DATA_IN, 44);
    m_rq.sptd.SenseInfoLength = 0;
    m_rq.sptd.SenseInfoOffset = 0;
    EXPECT_TRUE(Send(h));
    CloseHandle(h);
}

TEST_F(Storage, RequestsThatNoDriverServes) {
    HANDLE h = Open();
    Prepare(kInquiry, SCSI_IOCTL_DATA_IN, 44);
    DWORD returned = 0;
    EXPECT_FALSE(DeviceIoControl(h, 0x2D4800 /* a storage query */, NULL, 0, NULL, 0, &returned, NULL));
    EXPECT_EQ(DWORD(ERROR_INVALID_FUNCTION), GetLastError());
    EXPECT_FALSE(DeviceIoControl(h, IOCTL_SCSI_PASS_THROUGH_DIRECT, &m_rq, sizeof m_rq, &m_rq, sizeof m_rq, NULL,
                                 NULL));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError()) << "no count to write to";
    EXPECT_FALSE(Send(reinterpret_cast<HANDLE>(0x1234)));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    CloseHandle(h);

    HANDLE empty = Open("\\\\.\\E:");
    ASSERT_NE(INVALID_HANDLE_VALUE, empty);
    EXPECT_FALSE(Send(empty));
    EXPECT_EQ(DWORD(ERROR_INVALID_FUNCTION), GetLastError());
    CloseHandle(empty);
}

TEST_F(Storage, Windows98HasNoPassThrough) {
    sim::Machine m = TestMachine();
    m.os = {1, 4, 10, 2222, " A "};
    sim::Process::Boot(m);
    HANDLE h = Open();
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    Prepare(kInquiry, SCSI_IOCTL_DATA_IN, 44);
    EXPECT_FALSE(Send(h));
    EXPECT_EQ(DWORD(ERROR_NOT_SUPPORTED), GetLastError());
    IO_SCSI_CAPABILITIES caps;
    DWORD returned = 0;
    EXPECT_FALSE(DeviceIoControl(h, IOCTL_SCSI_GET_CAPABILITIES, NULL, 0, &caps, sizeof caps, &returned, NULL));
    EXPECT_EQ(DWORD(ERROR_NOT_SUPPORTED), GetLastError());
    CloseHandle(h);
    EXPECT_TRUE(Drive().Trace().empty());
}

TEST_F(Storage, CapabilitiesTellTheAdaptersLimits) {
    Proc().machine().drives['D'].maxTransfer = 0x100000;
    HANDLE h = Open();
    IO_SCSI_CAPABILITIES caps;
    std::memset(&caps, 0xFF, sizeof caps);
    DWORD returned = 0;
    ASSERT_TRUE(DeviceIoControl(h, IOCTL_SCSI_GET_CAPABILITIES, NULL, 0, &caps, sizeof caps, &returned, NULL));
    EXPECT_EQ(DWORD(sizeof caps), returned);
    EXPECT_EQ(ULONG(sizeof caps), caps.Length);
    EXPECT_EQ(0x100000u, caps.MaximumTransferLength);
    EXPECT_EQ(1u, caps.AlignmentMask);

    EXPECT_FALSE(DeviceIoControl(h, IOCTL_SCSI_GET_CAPABILITIES, NULL, 0, &caps, sizeof caps - 1, &returned, NULL));
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());

    Proc().machine().drives['D'].refuseCapabilities = true;
    EXPECT_FALSE(DeviceIoControl(h, IOCTL_SCSI_GET_CAPABILITIES, NULL, 0, &caps, sizeof caps, &returned, NULL));
    EXPECT_EQ(DWORD(ERROR_INVALID_FUNCTION), GetLastError());
    CloseHandle(h);
}

TEST_F(Storage, AHungCommandTimesOutAndThePortResetsTheDrive) {
    sim::Fault hang;
    hang.opcode = 0x1D;
    hang.hang = true;
    Drive().faults = {hang};
    HANDLE h = Open();
    Prepare({0x1D, 0, 0, 0, 8, 0}, SCSI_IOCTL_DATA_OUT, 8);
    m_rq.sptd.TimeOutValue = 30;
    uint64_t start = Proc().scheduler().Now();
    EXPECT_FALSE(Send(h));
    EXPECT_EQ(DWORD(ERROR_SEM_TIMEOUT), GetLastError());
    EXPECT_EQ(30000u, Proc().scheduler().Now() - start);
    CloseHandle(h);
    ASSERT_FALSE(Drive().Trace().back().completes);

    ASSERT_TRUE(Command({0, 0, 0, 0, 0, 0}, SCSI_IOCTL_DATA_UNSPECIFIED, 0));
    EXPECT_EQ(2, m_rq.sptd.ScsiStatus);
    EXPECT_EQ(0x29, m_rq.sense[12]) << "the reset left a power-on unit attention";

    // A command slower than its time-out ends the same way.
    Drive().medium.reset();
    Drive().attention = sim::ScsiDevice::Attention::None;
    HANDLE again = Open();
    Prepare(kEject, SCSI_IOCTL_DATA_UNSPECIFIED, 0);
    m_rq.sptd.TimeOutValue = 1;
    EXPECT_FALSE(Send(again));
    EXPECT_EQ(DWORD(ERROR_SEM_TIMEOUT), GetLastError());
    CloseHandle(again);
}

DWORD WINAPI SecondCaller(LPVOID param) {
    auto* rq = static_cast<Request*>(param);
    HANDLE h = CreateFileA("\\\\.\\D:", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_EXISTING, 0, NULL);
    DWORD returned = 0;
    BOOL ok = DeviceIoControl(h, IOCTL_SCSI_PASS_THROUGH_DIRECT, rq, sizeof *rq, rq, sizeof *rq, &returned, NULL);
    CloseHandle(h);
    return ok ? 0 : 1;
}

TEST_F(Storage, ASecondCallerWaitsForTheDriveToFinish) {
    Request other;
    std::memset(&other, 0, sizeof other);
    other.sptd.Length = sizeof other.sptd;
    other.sptd.CdbLength = 6;
    other.sptd.TimeOutValue = 10;
    Drive().medium = sim::Medium{100};
    HANDLE thread = CreateThread(NULL, 0, SecondCaller, &other, 0, NULL);
    ASSERT_TRUE(Command(kEject, SCSI_IOCTL_DATA_UNSPECIFIED, 0));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, INFINITE));
    CloseHandle(thread);
    const auto& trace = Drive().Trace();
    ASSERT_EQ(2u, trace.size());
    EXPECT_EQ(0x1B, trace[0].cdb[0]);
    EXPECT_EQ(0x00, trace[1].cdb[0]);
    EXPECT_GE(trace[1].time, trace[0].time + trace[0].durationMs) << "the unit is ready only once the eject ended";
    EXPECT_EQ(2, other.sptd.ScsiStatus) << "the tray is open by then";
}

TEST_F(Storage, SystemMessagesForTheStorageErrors) {
    const std::pair<DWORD, const char*> cases[] = {
        {ERROR_INVALID_FUNCTION, "Incorrect function.\r\n"},
        {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified.\r\n"},
        {ERROR_ACCESS_DENIED, "Access is denied.\r\n"},
        {ERROR_INVALID_PARAMETER, "The parameter is incorrect.\r\n"},
        {ERROR_SEM_TIMEOUT, "The semaphore timeout period has expired.\r\n"},
        {kRevisionMismatch, "Indicates two revision levels are incompatible.\r\n"},
    };
    for (auto [code, text] : cases) {
        char buffer[80];
        DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, code,
                                 MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer, sizeof buffer, NULL);
        EXPECT_EQ(std::strlen(text), n) << code;
        EXPECT_STREQ(text, buffer);
    }
    char small[10];
    EXPECT_EQ(0u, FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, NULL, ERROR_SEM_TIMEOUT, 0, small, sizeof small, NULL));
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    char buffer[80];
    EXPECT_EQ(0u, FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, NULL, 0xE0001234, 0, buffer, sizeof buffer, NULL));
    EXPECT_EQ(317u, GetLastError()) << "no text for this code";
    EXPECT_EQ(0u, FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, NULL, 5, 0x411, buffer, sizeof buffer, NULL));
    EXPECT_EQ(1815u, GetLastError()) << "no Japanese texts on this system";
    EXPECT_EQ(17u, FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_MAX_WIDTH_MASK, NULL, 5, 0, buffer,
                                  sizeof buffer, NULL));
    EXPECT_STREQ("Access is denied.", buffer);
}

TEST_F(Storage, MessagesInABufferTheSystemAllocates) {
    size_t live = sim::LiveGlobalBlocks();
    LPSTR text = NULL;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, NULL, ERROR_NOT_SUPPORTED, 0,
                             reinterpret_cast<LPSTR>(&text), 0, NULL);
    ASSERT_EQ(31u, n);
    ASSERT_NE(nullptr, text);
    EXPECT_STREQ("The request is not supported.\r\n", text);
    EXPECT_EQ(live + 1, sim::LiveGlobalBlocks());
    EXPECT_EQ(NULL, LocalFree(text));
    EXPECT_EQ(live, sim::LiveGlobalBlocks());
    EXPECT_EQ(static_cast<HLOCAL>(text), LocalFree(text)) << "freed twice";
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
}

TEST_F(Storage, GlobalBlocksLockAndFree) {
    size_t live = sim::LiveGlobalBlocks();
    HGLOBAL fixed = GlobalAlloc(GPTR, 100);
    ASSERT_NE(nullptr, fixed);
    EXPECT_EQ(fixed, GlobalLock(fixed)) << "a fixed block is its own address";
    EXPECT_EQ(100u, GlobalSize(fixed));
    EXPECT_EQ(0, static_cast<uint8_t*>(fixed)[99]);
    EXPECT_FALSE(GlobalUnlock(fixed));
    EXPECT_EQ(DWORD(ERROR_SUCCESS), GetLastError());

    HGLOBAL moveable = GlobalAlloc(GHND, 8);
    ASSERT_NE(nullptr, moveable);
    void* p = GlobalLock(moveable);
    ASSERT_NE(nullptr, p);
    EXPECT_NE(p, moveable);
    EXPECT_EQ(p, GlobalLock(moveable));
    EXPECT_TRUE(GlobalUnlock(moveable)) << "still locked once";
    EXPECT_FALSE(GlobalUnlock(moveable));
    EXPECT_EQ(DWORD(ERROR_SUCCESS), GetLastError());
    EXPECT_FALSE(GlobalUnlock(moveable));
    EXPECT_EQ(158u, GetLastError()) << "not locked";
    EXPECT_EQ(live + 2, sim::LiveGlobalBlocks());

    EXPECT_EQ(NULL, GlobalFree(moveable));
    EXPECT_EQ(NULL, GlobalFree(fixed));
    EXPECT_EQ(live, sim::LiveGlobalBlocks());
    EXPECT_EQ(fixed, GlobalFree(fixed));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_EQ(nullptr, GlobalLock(moveable));
    EXPECT_EQ(0u, GlobalSize(moveable));
}

}  // namespace
