// Drive letters and the NT storage stack on the simulated PC: drive types,
// device opens of "\\.\X:", and the SCSI pass-through I/O controls that the
// storage port drivers of Windows 2000/XP accept.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <vector>

#include "../core/Process.h"
#include "win32.h"

using sim::Proc;

namespace {

// winerror: not among the codes the declarations carry.
constexpr DWORD kErrorRevisionMismatch = 1306;
// The port refuses time-outs beyond 30 hours.
constexpr ULONG kMaxTimeOutSeconds = 30 * 60 * 60;

class DeviceHandle : public sim::KernelObject {
public:
    const char* Kind() const override { return "device"; }
    char letter = 0;
    DWORD access = 0;
    DWORD share = 0;
};

// Open device handles, for share-mode checks; they go with their handles.
std::vector<std::weak_ptr<DeviceHandle>>& OpenDevices() {
    static std::vector<std::weak_ptr<DeviceHandle>> open;
    open.erase(std::remove_if(open.begin(), open.end(), [](auto& w) { return w.expired(); }), open.end());
    return open;
}

char UpperLetter(char c) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return c >= 'A' && c <= 'Z' ? c : 0;
}

sim::DriveLetter* FindDrive(char letter) {
    auto& drives = Proc().machine().drives;
    auto it = drives.find(letter);
    return it == drives.end() ? nullptr : &it->second;
}

BOOL Fail(DWORD code) {
    Proc().SetLastError(code);
    return FALSE;
}

bool Conflicts(DWORD access, DWORD share, const DeviceHandle& open) {
    bool reads = access & (GENERIC_READ | GENERIC_ALL), writes = access & (GENERIC_WRITE | GENERIC_ALL);
    bool openReads = open.access & (GENERIC_READ | GENERIC_ALL), openWrites = open.access & (GENERIC_WRITE | GENERIC_ALL);
    return (reads && !(open.share & FILE_SHARE_READ)) || (writes && !(open.share & FILE_SHARE_WRITE)) ||
           (openReads && !(share & FILE_SHARE_READ)) || (openWrites && !(share & FILE_SHARE_WRITE));
}

BOOL GetCapabilities(const sim::DriveLetter& drive, LPVOID out, DWORD outSize, LPDWORD returned) {
    if (drive.refuseCapabilities) return Fail(ERROR_INVALID_FUNCTION);
    if (!out || outSize < sizeof(IO_SCSI_CAPABILITIES)) return Fail(ERROR_INSUFFICIENT_BUFFER);
    IO_SCSI_CAPABILITIES caps{};
    caps.Length = sizeof caps;
    caps.MaximumTransferLength = drive.maxTransfer;
    caps.MaximumPhysicalPages = drive.maxTransfer / 4096 + 1;
    caps.AlignmentMask = drive.alignmentMask;
    std::memcpy(out, &caps, sizeof caps);
    if (returned) *returned = sizeof caps;
    return TRUE;
}

BOOL PassThrough(sim::DriveLetter& drive, const DeviceHandle& handle, LPVOID in, DWORD inSize, LPVOID out,
                 DWORD outSize, LPDWORD returned) {
    if ((handle.access & (GENERIC_READ | GENERIC_WRITE)) != (GENERIC_READ | GENERIC_WRITE) &&
        !(handle.access & GENERIC_ALL))
        return Fail(ERROR_ACCESS_DENIED);
    if (!in || inSize < sizeof(SCSI_PASS_THROUGH_DIRECT) || !out || outSize < sizeof(SCSI_PASS_THROUGH_DIRECT))
        return Fail(ERROR_INVALID_PARAMETER);
    SCSI_PASS_THROUGH_DIRECT sptd;
    std::memcpy(&sptd, in, sizeof sptd);
    if (sptd.Length != sizeof sptd) return Fail(kErrorRevisionMismatch);
    bool badSense = sptd.SenseInfoLength != 0 &&
                    (sptd.SenseInfoOffset < sizeof sptd ||
                     static_cast<uint64_t>(sptd.SenseInfoOffset) + sptd.SenseInfoLength > outSize);
    if (sptd.CdbLength == 0 || sptd.CdbLength > sizeof sptd.Cdb || sptd.DataIn > SCSI_IOCTL_DATA_UNSPECIFIED ||
        sptd.TimeOutValue == 0 || sptd.TimeOutValue > kMaxTimeOutSeconds || badSense ||
        sptd.DataTransferLength > drive.maxTransfer || (sptd.DataTransferLength && !sptd.DataBuffer) ||
        (reinterpret_cast<uintptr_t>(sptd.DataBuffer) & drive.alignmentMask))
        return Fail(ERROR_INVALID_PARAMETER);

    auto& scheduler = Proc().scheduler();
    sim::ScsiDevice* device = &*drive.device;
    std::string what = "drive " + device->place + " (SCSI pass-through)";
    // One command at a time reaches a device; others queue in the port.
    scheduler.Wait([device] { return !device->busy; }, sim::Scheduler::kForever, what);
    sim::ScsiRequest rq;
    rq.cdb = sptd.Cdb;
    rq.cdbLength = sptd.CdbLength;
    rq.direction = static_cast<sim::DataDirection>(sptd.DataIn);
    rq.data = sptd.DataTransferLength ? static_cast<uint8_t*>(sptd.DataBuffer) : nullptr;
    rq.length = sptd.DataTransferLength;
    device->busy = true;
    sim::ScsiResult r = device->Execute(rq);
    uint64_t limit = static_cast<uint64_t>(sptd.TimeOutValue) * 1000;
    if (!r.completes || r.durationMs > limit) {
        // The port gives up, aborts the request and resets the bus.
        scheduler.Wait(nullptr, limit, what);
        device->Reset();
        device->busy = false;
        if (returned) *returned = 0;
        return Fail(ERROR_SEM_TIMEOUT);
    }
    scheduler.Wait(nullptr, r.durationMs, what);
    device->busy = false;

    sptd.ScsiStatus = r.status;
    sptd.DataTransferLength = r.transferred;
    UCHAR senseBytes = 0;
    if (r.status == sim::scsi::kCheckCondition && r.hasSense)
        senseBytes = static_cast<UCHAR>(std::min<size_t>(sptd.SenseInfoLength, r.sense.size()));
    if (senseBytes) std::memcpy(static_cast<uint8_t*>(out) + sptd.SenseInfoOffset, r.sense.data(), senseBytes);
    sptd.SenseInfoLength = senseBytes;
    std::memcpy(out, &sptd, sizeof sptd);
    if (returned) *returned = senseBytes ? sptd.SenseInfoOffset + senseBytes : static_cast<DWORD>(sizeof sptd);
    return TRUE;
}

}  // namespace

extern "C" {

UINT WINAPI GetDriveTypeA(LPCSTR root) {
    std::string path = root ? root : Proc().machine().cwd.substr(0, 3);
    bool rootForm = (path.size() == 2 || (path.size() == 3 && path[2] == '\\')) && path[1] == ':';
    char letter = rootForm ? UpperLetter(path[0]) : 0;
    const sim::DriveLetter* drive = letter ? FindDrive(letter) : nullptr;
    return drive ? drive->type : DRIVE_NO_ROOT_DIR;
}

HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES, DWORD disposition,
                          DWORD flags, HANDLE templateFile) {
    auto& proc = Proc();
    std::string path = name ? name : "";
    if (path.rfind("\\\\.\\", 0) != 0) {
        // The simulated machine has drives but no file system.
        proc.SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    char letter = path.size() == 6 && path[5] == ':' ? UpperLetter(path[4]) : 0;
    if (!letter || !FindDrive(letter)) {
        proc.SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (disposition != OPEN_EXISTING) {
        proc.SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    // Writing to a volume is for administrators on the NT family.
    if ((access & (GENERIC_WRITE | GENERIC_ALL)) && !proc.machine().IsAdmin()) {
        proc.SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    auto& open = OpenDevices();
    for (auto& w : open) {
        auto other = w.lock();
        if (other->letter == letter && Conflicts(access, share, *other)) {
            proc.SetLastError(ERROR_SHARING_VIOLATION);
            return INVALID_HANDLE_VALUE;
        }
    }
    auto handle = std::make_shared<DeviceHandle>();
    handle->letter = letter;
    handle->access = access;
    handle->share = share;
    open.push_back(handle);
    proc.SetLastError(0);
    return proc.handles().Add(handle);
}

BOOL WINAPI DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                            LPDWORD returned, LPOVERLAPPED overlapped) {
    auto handle = Proc().handles().GetAs<DeviceHandle>(device);
    if (!handle) return Fail(ERROR_INVALID_HANDLE);
    // Windows writes the count whether or not there is one to write.
    if (!returned && !overlapped) return Fail(ERROR_INVALID_PARAMETER);
    if (returned) *returned = 0;
    sim::DriveLetter* drive = FindDrive(handle->letter);
    if (!drive) return Fail(ERROR_INVALID_HANDLE);
    bool scsi = code == IOCTL_SCSI_PASS_THROUGH_DIRECT || code == IOCTL_SCSI_GET_CAPABILITIES;
    if (!scsi) return Fail(ERROR_INVALID_FUNCTION);
    // Windows 98/ME have no SCSI port drivers to pass requests through.
    if (!Proc().machine().IsNT()) return Fail(ERROR_NOT_SUPPORTED);
    if (!drive->device) return Fail(ERROR_INVALID_FUNCTION);
    if (code == IOCTL_SCSI_GET_CAPABILITIES) return GetCapabilities(*drive, out, outSize, returned);
    return PassThrough(*drive, *handle, in, inSize, out, outSize, returned);
}

}  // extern "C"
