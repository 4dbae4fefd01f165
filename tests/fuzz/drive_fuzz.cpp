// Arbitrary drive replies for the drive judgement and both transports, on
// the simulated PC: INQUIRY and diagnostic-results data, status bytes,
// sense data, commands that never end and, on Windows 98/ME, requests the
// ASPI manager ends with odd statuses or never ends. Scanning, judging and
// talking to a drive must not crash or touch memory outside a buffer; no
// device handle, event or request block may be left behind; results stay
// within their ranges; a command reports success exactly when the drive's
// last answer to it was GOOD, with the drive's sense codes. When every
// answer is the model's own, each drive is judged as its firmware says.
// Each input runs what the program runs: the scan, the start-up's judgement
// of each Valtora drive listed, the main dialog's judgement and start check
// of each drive, then the other commands the program sends.
//
// The input is read in order (see make_drive_seeds.py, which writes the seeds):
//   flags byte   bit 0: NT family, the drives on D: and E: (else Windows 98
//                       SE with ASPI: a hard disk at 0:0, the drives at 0:1
//                       and 0:3)
//                bits 1-2: the first drive: 0 ZQ-X9046, 1 ZQ-X7301,
//                       2 another maker's DVD drive, 3 a hard disk
//                bits 3-4: Valtora firmware against the carried entry:
//                       0 older, 1 its revision below the threshold level,
//                       2 its revision at the threshold level, 3 newer
//                bit 5: a second drive; bit 6: it is another maker's DVD
//                       drive (else a ZQ-X9046 with the same firmware)
//                bit 7: the drives were just powered on (unit attention)
//   then entries, each a head byte (bit 7: for the second drive, when there
//   is one; bits 0-2: the kind) followed by the kind's fields:
//     0 the model answers
//     1 reply           status, data length n, n data bytes (no sense)
//     2 reply           CHECK CONDITION: 24 sense bytes, n, n data bytes
//     3 reply           CHECK CONDITION with fixed-format sense: key, ASC,
//                       ASCQ, byte 19
//     4 hang            the command never completes
//     5 ASPI status     opcode, SRB status: the manager ends the request so
//     6 ASPI HA status  opcode, host adapter status: SS_ERR with it
//     7 ASPI pending    opcode: the manager never ends the request
// Entries 0 to 4 answer, in order, the commands that reach the drive.
// Entries 5 to 7 join the target's manager faults in order: a request is
// ended by the first of them that names its opcode (the byte modulo 8: any,
// TEST UNIT READY, INQUIRY, START STOP UNIT, RECEIVE DIAGNOSTIC RESULTS,
// SEND DIAGNOSTIC, PREVENT ALLOW MEDIUM REMOVAL, READ(10)) before the drive
// sees it. On the NT family they are read and dropped.
// On Windows 98/ME an unanswered request makes the transport spin on the
// calendar clock until its time-out: ten seconds for the scan's INQUIRY,
// an hour (many seconds of real time) for any other command. There a hang
// is left to the model, and a pending entry is kept only for INQUIRY and
// only while the scan runs; the probe's time-out takes the same path
// (abort, release) as the others.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "afx.h"
#include "aspi.h"
#include "core/Process.h"
#include "drive/CDriveAccess.h"
#include "update/DriveQualification.h"
#include "update/FirmwareIndex.h"
#include "update/FirmwareTable.h"
#include "update/VendorPage.h"
#include "win32/GlobalMemory.h"

namespace {

using Model = sim::ScsiDevice::Model;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "drive_fuzz: %s\n", what);
    std::abort();
}

const Model kModels[] = {Model::ZqX9046, Model::ZqX7301, Model::Optical, Model::Disk};
const int kInquiry = 0x12;
const int kFaultOpcodes[] = {sim::AspiFault::kAny, 0x00, kInquiry, 0x1B, 0x1C, 0x1D, 0x1E, 0x28};

// Where the ASPI drives sit: adapter 0, after a hard disk at target 0.
const uint8_t kAspiTargets[] = {1, 3};
const char kLetters[] = {'D', 'E'};

// The start-up looks for the vendor at this place in a drive's name, then
// reads LBA 16 (one CD block) until no reset or medium change is reported,
// seven times at most.
const int kNameVendor = 5;
const int kVendorLength = 8;
const int kStartupReads = 7;
const BYTE kAscMediumChanged = 0x28;
const BYTE kAscReset = 0x29;
const DWORD kWorkBuffer = 3000;

struct Layout {
    bool bWinNT;
    Model first;
    int firmware;
    bool second;
    Model secondModel;
    bool powerOn;
};

Layout ReadLayout(uint8_t flags) {
    Layout layout;
    layout.bWinNT = flags & 0x01;
    layout.first = kModels[(flags >> 1) & 3];
    layout.firmware = (flags >> 3) & 3;
    layout.second = flags & 0x20;
    layout.secondModel = flags & 0x40 ? Model::Optical : Model::ZqX9046;
    layout.powerOn = flags & 0x80;
    return layout;
}

// Valtora firmware placed against the entry this build carries, and the
// verdict it must get.
struct Firmware {
    std::string revision;
    uint8_t level;
    DriveVerdict verdict;
};

Firmware FirmwareFor(int setting) {
    const CString target = g_astrTargetRevision[0];
    const int number = std::atoi(target.Right(2));
    const uint8_t threshold = static_cast<uint8_t>(g_acThreshold[0]);
    auto revision = [&](int n) {
        char text[16];
        std::snprintf(text, sizeof text, "%.2s%02d", static_cast<LPCSTR>(target), n);
        return std::string(text);
    };
    switch (setting) {
        case 0:
            return {revision(number - 1), 0, VerdictNeeded};
        case 1:
            return {revision(number), static_cast<uint8_t>(threshold - 1), VerdictNeeded};
        case 2:
            return {revision(number), threshold, VerdictNotNeeded};
        default:
            return {revision(number + 1), 0, VerdictNotNeeded};
    }
}

sim::ScsiDevice MakeDevice(Model model, const Firmware& firmware, bool bPowerOn, const std::string& place) {
    sim::ScsiDevice d(model);
    if (d.CarriesFirmware()) {
        d.SetRevision(firmware.revision);
        d.SetLevel(firmware.level);
    }
    if (d.Removable()) d.medium = sim::Medium{2295104};
    if (bPowerOn) d.attention = sim::ScsiDevice::Attention::PowerOn;
    d.place = place;
    return d;
}

const sim::Machine& BaseMachine(bool bWinNT) {
    static const sim::Machine nt = [] {
        sim::Machine m = sim::Machine::Default();
        m.drives.clear();
        m.drives['C'].type = DRIVE_FIXED;
        return m;
    }();
    static const sim::Machine win98 = [] {
        sim::Machine m = nt;
        m.os.platform = 1;
        m.os.major = 4;
        m.os.minor = 10;
        m.os.build = 2222;
        m.aspi.present = true;
        m.aspi.adapters.resize(1);
        m.aspi.adapters[0].targets[0].device = sim::ScsiDevice(Model::Disk);
        m.aspi.adapters[0].targets[0].device->place = "0:0";
        return m;
    }();
    return bWinNT ? nt : win98;
}

// One of our drives: where it sits, how its scanned name starts, and where
// its answers are scripted.
struct Drive {
    bool bPlaced = false;
    std::string name;  // "D:" or "0:1:"
    char letter = 0;
    uint8_t target = 0;
    sim::ScsiDevice* device = nullptr;  // in the machine being set up, then in the process's
    std::vector<sim::AspiFault>* faults = nullptr;  // ASPI, while the machine is set up
    DriveVerdict expected = VerdictNotSupported;
    bool supported = false;  // the scan lists it when it answers as the model
};

void Place(sim::Machine& m, bool bWinNT, int nSlot, Model model, const Firmware& firmware, bool bPowerOn,
           Drive& drive) {
    drive.bPlaced = true;
    drive.supported = model == Model::ZqX9046;
    drive.expected = firmware.verdict;
    if (bWinNT) {
        drive.letter = kLetters[nSlot];
        drive.name = std::string(1, drive.letter) + ":";
        sim::DriveLetter& letter = m.drives[drive.letter];
        // A hard disk has a letter of its own kind, which the scan passes by.
        letter.type = model == Model::Disk ? DRIVE_FIXED : DRIVE_CDROM;
        letter.device = MakeDevice(model, firmware, bPowerOn, drive.name);
        drive.device = &*letter.device;
    } else {
        drive.target = kAspiTargets[nSlot];
        drive.name = "0:" + std::to_string(drive.target) + ":";
        sim::AspiTarget& target = m.aspi.adapters[0].targets[drive.target];
        target.device = MakeDevice(model, firmware, bPowerOn, drive.name.substr(0, 3));
        drive.device = &*target.device;
        drive.faults = &target.faults;
    }
}

std::vector<uint8_t> Data(FuzzInput& in) {
    const std::string bytes = in.Bytes(in.Byte());
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

// What the entries ask of the ASPI manager beyond the drive's answers.
struct ManagerScript {
    // Requests it ends as still pending: the transport keeps each for the
    // manager, in ABANDONED_SLOTS places, and past them leaves it for good.
    int nEndedPending = 0;
};

// Reads one entry into the drive's script; true when it takes an answer
// from the model.
bool ReadEntry(FuzzInput& in, Drive (&drives)[2], bool bWinNT, ManagerScript& manager) {
    const uint8_t head = in.Byte();
    Drive& drive = (head & 0x80) && drives[1].bPlaced ? drives[1] : drives[0];
    const int kind = head & 7;
    if (kind >= 5) {
        sim::AspiFault fault;
        fault.opcode = kFaultOpcodes[in.Byte() % 8];
        if (kind == 5) fault.srbStatus = in.Byte();
        if (kind == 6) fault.haStatus = in.Byte();
        fault.pending = kind == 7;
        if (bWinNT || (fault.pending && fault.opcode != kInquiry)) return false;
        if (fault.srbStatus == SS_PENDING) ++manager.nEndedPending;
        drive.faults->push_back(fault);
        return true;
    }
    sim::RawReply reply;
    switch (kind) {
        case 0:
            reply.model = true;
            break;
        case 1:
            reply.status = in.Byte();
            reply.data = Data(in);
            break;
        case 2: {
            reply.status = sim::scsi::kCheckCondition;
            const std::string sense = in.Bytes(sim::ScsiResult::kSenseLength);
            reply.sense.emplace();
            reply.sense->fill(0);
            std::memcpy(reply.sense->data(), sense.data(), sense.size());
            reply.data = Data(in);
            break;
        }
        case 3:
            reply.status = sim::scsi::kCheckCondition;
            reply.sense.emplace();
            reply.sense->fill(0);
            (*reply.sense)[0] = 0x70;
            (*reply.sense)[2] = in.Byte();
            (*reply.sense)[7] = sim::ScsiResult::kSenseLength - 8;
            (*reply.sense)[12] = in.Byte();
            (*reply.sense)[13] = in.Byte();
            (*reply.sense)[19] = in.Byte();
            break;
        default:
            reply.hang = bWinNT;
            reply.model = !bWinNT;
            break;
    }
    drive.device->replies.push_back(reply);
    return !reply.model;
}

// Pending entries the scan left would make a later command wait its hour.
void DropPendingFaults() {
    auto& adapters = sim::Proc().machine().aspi.adapters;
    if (adapters.empty()) return;
    for (auto& entry : adapters[0].targets) {
        auto& faults = entry.second.faults;
        faults.erase(std::remove_if(faults.begin(), faults.end(), [](const sim::AspiFault& f) { return f.pending; }),
                     faults.end());
    }
}

// One run of the drive code on the machine set up for the input.
class DriveRun {
public:
    DriveRun(CDriveAccess& access, bool bWinNT, Drive (&drives)[2])
        : m_access(access), m_bWinNT(bWinNT), m_drives(drives) {}

    // The drives the scan listed, by index.
    std::vector<const Drive*> found;

    void Scan() {
        const BYTE nCount = m_access.ScanDrives();
        Observe();
        if (nCount > 2) Fail("the scan listed more drives than there are");
        for (int i = 0; i < nCount; ++i) {
            const CString name = m_access.GetDriveName(i);
            const Drive* drive = nullptr;
            for (const Drive& d : m_drives)
                if (d.bPlaced && std::strncmp(name, d.name.c_str(), d.name.size()) == 0) drive = &d;
            if (!drive) Fail("a listed drive is none of ours");
            for (const Drive* other : found)
                if (other == drive) Fail("a drive was listed twice");
            found.push_back(drive);
        }
    }

    // As the start-up: Valtora drives by name, their unit attentions read
    // away, then judged.
    DriveVerdict JudgeAtStart(BYTE nIndex) {
        const CString name = m_access.GetDriveName(nIndex);
        if (name.GetLength() < kNameVendor + kVendorLength ||
            std::memcmp(static_cast<LPCSTR>(name) + kNameVendor, g_szSupportedVendor, kVendorLength) != 0)
            return VerdictNotSupported;
        const Drive& drive = *found[nIndex];
        m_access.SelectDrive(nIndex);
        BYTE abWork[kWorkBuffer];
        for (int nRead = 0; nRead < kStartupReads; ++nRead) {
            std::memset(abWork, 0, sizeof abWork);
            const BYTE ucAsc = Read(drive, abWork);
            if (ucAsc != kAscReset && ucAsc != kAscMediumChanged) break;
        }
        const Mark mark = MarkOf(drive);
        const DriveStatus status = ReadSelectedIdentity(m_access, abWork);
        CheckCommand(drive, mark, status, abWork, IDENTITY_LENGTH);
        if (status != SS_COMP) return VerdictNotSupported;
        return Judge(abWork);
    }

    // As the main dialog: the selected drive judged, then the check at
    // "Start Update".
    DriveVerdict JudgeInDialog(BYTE nIndex, StartCheck& check) {
        const Drive& drive = *found[nIndex];
        BYTE abInquiry[IDENTITY_BUFFER];
        const Mark mark = MarkOf(drive);
        CheckCommand(drive, mark, ReadDriveIdentity(m_access, nIndex, abInquiry), abInquiry, IDENTITY_LENGTH);
        const DriveVerdict verdict = Judge(abInquiry);

        g_nFirmIndex = 0;
        check = RecheckForStart(m_access, nIndex);
        Observe();
        if (check != StartCommandFailed && check != StartSiblingRefused && check != StartNoEntry &&
            check != StartReady)
            Fail("the start check is out of range");
        if (g_nFirmIndex < 0 || g_nFirmIndex > FIRM_ENTRIES) Fail("the firmware index is out of range");
        if (check == StartReady && g_nFirmIndex == FIRM_ENTRIES) Fail("ready to start without a firmware entry");
        if (check == StartNoEntry && g_nFirmIndex != FIRM_ENTRIES) Fail("no entry, yet an index was chosen");
        return verdict;
    }

    // The other commands the program sends, as it sends them; true when
    // each succeeded.
    bool SendOthers(BYTE nIndex) {
        const Drive& drive = *found[nIndex];
        m_access.SelectDrive(nIndex);
        BYTE abWork[kWorkBuffer] = {};
        bool bAllDone = true;
        auto command = [&](DWORD dwLength, bool bDataIn, auto issue) {
            const Mark mark = MarkOf(drive);
            m_access.SetDataBuffer(abWork, dwLength);
            const DriveStatus status = issue();
            CheckCommand(drive, mark, status, bDataIn ? abWork : nullptr, dwLength);
            bAllDone = bAllDone && status == SS_COMP;
        };
        // Start and eject return at once: on ASPI the wait for a slow one is
        // a spin, millisecond by millisecond of virtual time.
        command(16, false, [&] { return m_access.PreventAllowMediumRemoval(1); });
        command(16, false, [&] { return m_access.StartStopUnit(1, 1, 0); });
        command(2048, true, [&] { return m_access.Read10(16, 1, 0, 0); });
        WriteVendorPage(abWork, VENDOR_FUNC_FAMILY_QUERY, 0x00, 0);
        command(VENDOR_PAGE_HEAD, false, [&] { return m_access.SendDiagnostic(0, VENDOR_PAGE_HEAD); });
        command(FAMILY_REPLY_LENGTH, true, [&] { return m_access.ReceiveDiagnosticResults(FAMILY_REPLY_LENGTH); });
        command(16, false, [&] { return m_access.PreventAllowMediumRemoval(0); });
        command(16, false, [&] { return m_access.StartStopUnit(0, 1, 1); });
        return bAllDone;
    }

private:
    // Where the drive's trace, its script and the manager's log stood
    // before a command.
    struct Mark {
        size_t trace;
        size_t requests;
        size_t replies;
        std::optional<sim::RawReply> next;
    };

    Mark MarkOf(const Drive& drive) const {
        const auto& replies = drive.device->replies;
        Mark mark{drive.device->Trace().size(), sim::Proc().machine().aspi.requests.size(), replies.size(), {}};
        if (!replies.empty()) mark.next = replies.front();
        return mark;
    }

    BYTE Read(const Drive& drive, BYTE* pBuffer) {
        const Mark mark = MarkOf(drive);
        m_access.SetDataBuffer(pBuffer, 2048);
        CheckCommand(drive, mark, m_access.Read10(16, 1, 0, 0), pBuffer, 2048);
        BYTE ucAsc = 0;
        BYTE ucAscq = 0;
        m_access.GetSenseCodes(ucAsc, ucAscq);
        return ucAsc;
    }

    // What the caller reads after a command; any bytes and any text will do.
    void Observe() {
        BYTE ucAsc = 0;
        BYTE ucAscq = 0;
        m_access.GetSenseCodes(ucAsc, ucAscq);
        const CString text = m_access.GetErrorText();
        (void)std::strlen(text);
    }

    // The last attempt decides, when it reached the drive: success exactly
    // when the drive answered GOOD, and the sense codes are the drive's. A
    // scripted reply the only attempt got shows in the caller's buffer (for
    // commands that read, pData), as far as the buffer goes.
    void CheckCommand(const Drive& drive, const Mark& mark, DriveStatus status, const BYTE* pData = nullptr,
                      DWORD dwLength = 0) {
        Observe();
        const auto& trace = drive.device->Trace();
        const size_t reached = trace.size() - mark.trace;
        if (reached == 0) return;
        if (!m_bWinNT) {
            // Requests the manager ended itself never reached the drive;
            // with any of them the last attempt may have been one.
            size_t sent = 0;
            const auto& requests = sim::Proc().machine().aspi.requests;
            for (size_t i = mark.requests; i < requests.size(); ++i)
                if (requests[i].command == SC_EXEC_SCSI_CMD && requests[i].adapter == 0 &&
                    requests[i].target == drive.target)
                    ++sent;
            if (sent != reached) return;
        }
        const sim::TraceEntry& last = trace.back();
        const bool bGood = last.completes && last.status == sim::scsi::kGood;
        if (bGood && status != SS_COMP) Fail("a command the drive completed was reported failed");
        if (!bGood && status == SS_COMP) Fail("a command the drive failed was reported done");
        BYTE ucAsc = 0;
        BYTE ucAscq = 0;
        m_access.GetSenseCodes(ucAsc, ucAscq);
        if (ucAsc != last.sense.asc || ucAscq != last.sense.ascq) Fail("the sense codes are not the drive's");
        const bool bScripted = reached == 1 && mark.next && !mark.next->model &&
                               drive.device->replies.size() + 1 == mark.replies;
        if (pData && status == SS_COMP && bScripted) {
            const std::vector<uint8_t>& sent = mark.next->data;
            const size_t nMoved = std::min<size_t>(sent.size(), dwLength);
            if (last.transferred != nMoved || (nMoved && std::memcmp(pData, sent.data(), nMoved) != 0))
                Fail("the data read is not what the drive sent");
        }
    }

    // QualifyDrive on INQUIRY data (at least IDENTITY_BUFFER bytes).
    DriveVerdict Judge(BYTE* pIdentity) {
        char szProduct[17] = {};
        std::memcpy(szProduct, pIdentity + 16, 16);
        DriveFindings findings;
        const DriveVerdict verdict = QualifyDrive(m_access, pIdentity, findings);
        Observe();
        if (verdict != VerdictNotSupported && verdict != VerdictWrongFirmware && verdict != VerdictNotNeeded &&
            verdict != VerdictNeeded)
            Fail("the verdict is out of range");
        if (findings.nEntry < -1 || findings.nEntry >= FIRM_ENTRIES) Fail("the entry found is out of range");
        if (findings.nEntry == -1 ? !findings.strTargetRevision.IsEmpty()
                                  : findings.strTargetRevision != FirmwareTable::Entry(findings.nEntry).strTargetRevision)
            Fail("the target revision is not the entry's");
        if (findings.strRevision.GetLength() > 4) Fail("the drive's revision is longer than its field");
        if ((verdict == VerdictNeeded || verdict == VerdictNotNeeded) && findings.nEntry < 0)
            Fail("judged against no entry");
        if (verdict == VerdictNeeded && !std::strstr(szProduct, g_szSupportedModel))
            Fail("an update offered to another model");
        return verdict;
    }

    CDriveAccess& m_access;
    bool m_bWinNT;
    Drive (&m_drives)[2];
};

}  // namespace

// One process for the whole fuzzing run, with the ASPI manager loaded for
// good: the scheduler keeps every thread a process ever started, and each
// load of the manager starts one, so a boot and a load per input would make
// every input slower than the one before. Each input sets the machine up
// afresh; the facade loads and frees the manager as it would.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    sim::Process::Boot(BaseMachine(false));
    if (!LoadLibraryA("wnaspi32.dll")) Fail("the ASPI manager does not load");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const Layout layout = ReadLayout(in.Byte());
    const Firmware firmware = FirmwareFor(layout.firmware);
    sim::Machine m = BaseMachine(layout.bWinNT);
    Drive drives[2];
    Place(m, layout.bWinNT, 0, layout.first, firmware, layout.powerOn, drives[0]);
    if (layout.second) Place(m, layout.bWinNT, 1, layout.secondModel, firmware, layout.powerOn, drives[1]);
    bool bAltered = false;
    ManagerScript manager;
    while (!in.Empty()) bAltered = ReadEntry(in, drives, layout.bWinNT, manager) || bAltered;

    // Set up afresh in the process booted once (see LLVMFuzzerInitialize).
    sim::Proc().machine() = m;
    for (Drive& d : drives) {
        if (!d.bPlaced) continue;
        sim::Machine& current = sim::Proc().machine();
        d.device = layout.bWinNT ? current.DeviceAt(d.letter) : current.aspi.DeviceAt(0, d.target);
        d.faults = nullptr;
    }
    const size_t nBlocks = sim::LiveGlobalBlocks();
    const size_t nEvents = sim::Proc().handles().Count("event");
    {
        CDriveAccess access;
        access.m_bUsePassThrough = layout.bWinNT ? 1 : 0;
        DriveRun run(access, layout.bWinNT, drives);
        run.Scan();
        DropPendingFaults();
        const BYTE nCount = static_cast<BYTE>(run.found.size());
        std::vector<DriveVerdict> atStart, inDialog;
        std::vector<StartCheck> checks;
        bool bAllDone = true;
        for (BYTE i = 0; i < nCount; ++i) atStart.push_back(run.JudgeAtStart(i));
        for (BYTE i = 0; i < nCount; ++i) {
            StartCheck check;
            inDialog.push_back(run.JudgeInDialog(i, check));
            checks.push_back(check);
        }
        for (BYTE i = 0; i < nCount; ++i) bAllDone = run.SendOthers(i) && bAllDone;
        if (sim::Proc().handles().Count("device") != 0) Fail("a device handle was left open");

        if (!bAltered) {
            size_t nSupported = 0;
            for (const Drive& d : drives) nSupported += d.bPlaced && d.supported;
            if (nCount != nSupported) Fail("the model's own answers: the scan missed a drive or listed another");
            for (BYTE i = 0; i < nCount; ++i) {
                if (atStart[i] != run.found[i]->expected || inDialog[i] != run.found[i]->expected)
                    Fail("the model's own answers: a drive was misjudged");
                if (checks[i] != StartReady) Fail("the model's own answers: the start check failed");
            }
            if (!bAllDone) Fail("the model's own answers: a command failed");
        }
    }
    const size_t nLeftForGood = std::max(0, manager.nEndedPending - CAspiTransport::ABANDONED_SLOTS);
    if (sim::Proc().handles().Count("event") > nEvents + nLeftForGood) Fail("an event was left open");
    if (sim::LiveGlobalBlocks() > nBlocks + nLeftForGood) Fail("a request block was left");
    return 0;
}
