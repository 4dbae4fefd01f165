#include "AspiManager.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "../core/Objects.h"
#include "../core/Process.h"
#include "aspi.h"
#include "win32.h"

namespace sim::aspi {

namespace {

constexpr char kFileName[] = "wnaspi32.dll";
constexpr char kManagerId[] = "ASPI for WIN32";

// An execute request the manager holds until it ends.
struct Request {
    PSRB_ExecSCSICmd srb = nullptr;
    uint8_t adapter = 0;
    uint8_t target = 0;
    bool onDevice = false;  // for the device; else held by the manager itself
    bool started = false;   // the device works on it
    bool hangs = false;     // the device never ends it
    uint64_t due = 0;       // when the device is done
    ScsiResult result;
    bool abort = false;  // SC_ABORT_SRB asked for it
    bool ended = false;
};

// What the manager's thread shares with the entry points; it outlives the
// loaded module until the thread has seen that the module went.
struct Core {
    std::vector<std::shared_ptr<Request>> requests;  // not yet ended
    bool gone = false;
    bool running = true;  // the thread has not ended yet
};

class Manager;
Manager* Current();
AspiSetup& Setup() { return Proc().machine().aspi; }

// Writes the outcome into the client's block, the status last, and sets
// the event: every execute request ends through its event, also one the
// manager refuses at once.
void End(Request& rq, uint8_t status, uint8_t haStat = 0, uint8_t targStat = 0, const uint8_t* sense = nullptr,
         size_t senseBytes = 0) {
    PSRB_ExecSCSICmd srb = rq.srb;
    srb->SRB_HaStat = haStat;
    srb->SRB_TargStat = targStat;
    if (sense) std::memcpy(srb->SenseArea, sense, std::min<size_t>(senseBytes, srb->SRB_SenseLen));
    srb->SRB_Status = status;
    rq.ended = true;
    if (srb->SRB_Flags & SRB_EVENT_NOTIFY) SetEvent(static_cast<HANDLE>(srb->SRB_PostProc));
}

DataDirection DirectionOf(uint8_t flags) {
    if (flags & SRB_DIR_IN) return DataDirection::In;
    if (flags & SRB_DIR_OUT) return DataDirection::Out;
    return DataDirection::Unspecified;
}

void Start(Request& rq, ScsiDevice& device) {
    PSRB_ExecSCSICmd srb = rq.srb;
    ScsiRequest request;
    request.cdb = srb->CDBByte;
    request.cdbLength = srb->SRB_CDBLen;
    request.direction = DirectionOf(srb->SRB_Flags);
    request.data = srb->SRB_BufLen ? srb->SRB_BufPointer : nullptr;
    request.length = srb->SRB_BufLen;
    device.busy = true;
    rq.started = true;
    rq.result = device.Execute(request);
    rq.hangs = !rq.result.completes;
    rq.due = Proc().scheduler().Now() + rq.result.durationMs;
}

void Finish(Request& rq, ScsiDevice& device) {
    device.busy = false;
    const ScsiResult& r = rq.result;
    if (r.status == scsi::kGood) {
        End(rq, SS_COMP);
        return;
    }
    End(rq, SS_ERR, HASTAT_OK, r.status, r.hasSense ? r.sense.data() : nullptr, r.sense.size());
}

// One pass over the requests: aborts, commands the devices are done with,
// and commands whose device has become free. True when something changed.
bool Step(Core& core) {
    bool changed = false;
    const uint64_t now = Proc().scheduler().Now();
    for (auto& rq : core.requests) {
        if (rq->ended || !rq->onDevice) continue;
        ScsiDevice* device = Setup().DeviceAt(rq->adapter, rq->target);
        if (!device) {
            // Taken off the bus under a request that never reached it.
            End(*rq, SS_NO_DEVICE);
            changed = true;
        } else if (rq->abort) {
            // An abort of a command in progress resets the device, as the
            // adapter's reset of an ATAPI device does.
            if (rq->started) {
                device->Reset();
                device->busy = false;
            }
            End(*rq, SS_ABORTED);
            changed = true;
        } else if (rq->started && !rq->hangs && rq->due <= now) {
            Finish(*rq, *device);
            changed = true;
        } else if (!rq->started && !device->busy) {
            // One command at a time reaches a device; others queue here.
            Start(*rq, *device);
            changed = true;
        }
    }
    core.requests.erase(std::remove_if(core.requests.begin(), core.requests.end(), [](auto& rq) { return rq->ended; }),
                        core.requests.end());
    return changed;
}

bool HasWork(const Core& core) {
    if (core.gone) return true;
    for (const auto& rq : core.requests) {
        if (rq->ended || !rq->onDevice) continue;
        if (rq->abort) return true;
        if (!rq->started) {
            const ScsiDevice* device = Setup().DeviceAt(rq->adapter, rq->target);
            if (device && !device->busy) return true;
        }
    }
    return false;
}

// The manager's own thread: it hands the devices their commands and ends
// the requests after the time each device takes.
void Run(std::shared_ptr<Core> core) {
    auto& scheduler = Proc().scheduler();
    for (;;) {
        if (core->gone) {
            core->running = false;
            return;
        }
        while (Step(*core)) {
        }
        uint64_t due = Scheduler::kForever;
        for (const auto& rq : core->requests)
            if (rq->started && !rq->hangs) due = std::min(due, rq->due);
        const uint64_t now = scheduler.Now();
        scheduler.Wait([core] { return HasWork(*core); }, due == Scheduler::kForever ? due : due - now,
                       "the ASPI manager's next request");
    }
}

class Manager : public ModuleInstance {
public:
    Manager() : core(std::make_shared<Core>()) {
        std::shared_ptr<Core> shared = core;
        Proc().scheduler().Spawn([shared] { Run(shared); }, 0);
    }

    // A boot of another machine: its devices are not ours to touch.
    ~Manager() override { core->gone = true; }

    void Unloading() override {
        // Going while a device works for us: the adapter resets it.
        for (auto& rq : core->requests) {
            if (rq->ended || !rq->started) continue;
            if (ScsiDevice* device = Setup().DeviceAt(rq->adapter, rq->target)) {
                device->Reset();
                device->busy = false;
            }
        }
        core->requests.clear();
        core->gone = true;
        // As a DLL's detach, the library's thread ends before it is gone.
        std::shared_ptr<Core> shared = core;
        Proc().scheduler().Wait([shared] { return !shared->running; }, Scheduler::kForever,
                                "the ASPI manager's thread to end");
    }

    std::shared_ptr<Core> core;
};

Manager* Current() { return static_cast<Manager*>(LoadedModule(kFileName)); }

uint8_t AdapterCount() {
    return static_cast<uint8_t>(std::min<size_t>(Setup().adapters.size(), AspiSetup::kAdapterLimit));
}

bool Called(const char* entryPoint) {
    if (Current()) return true;
    // A real program would run into freed code here.
    std::fprintf(stderr, "winsim: %s of wnaspi32.dll called while the library is not loaded\n", entryPoint);
    std::fflush(stderr);
    return false;
}

uint8_t Note(uint8_t command, uint8_t adapter, uint8_t target, uint8_t opcode, uint8_t status) {
    AspiRecord record;
    record.time = Proc().scheduler().Now();
    record.command = command;
    record.adapter = adapter;
    record.target = target;
    record.opcode = opcode;
    record.status = status;
    Setup().requests.push_back(record);
    return status;
}

uint8_t HostAdapterInquiry(PSRB_HAInquiry srb) {
    const uint8_t count = AdapterCount();
    srb->HA_Count = count;
    if (srb->SRB_HaId >= count) return srb->SRB_Status = SS_INVALID_HA;
    const AspiAdapter& adapter = Setup().adapters[srb->SRB_HaId];
    if (adapter.inquiryPending) return SS_PENDING;
    if (adapter.inquiryStatus) return srb->SRB_Status = *adapter.inquiryStatus;
    srb->HA_SCSI_ID = adapter.scsiId;
    std::memset(srb->HA_ManagerId, 0, sizeof srb->HA_ManagerId);
    std::memcpy(srb->HA_ManagerId, kManagerId, sizeof kManagerId - 1);
    std::memset(srb->HA_Identifier, 0, sizeof srb->HA_Identifier);
    std::memcpy(srb->HA_Identifier, adapter.identifier.data(),
                std::min(adapter.identifier.size(), sizeof srb->HA_Identifier));
    // Alignment mask, flags, targets on the bus, largest transfer.
    std::memset(srb->HA_Unique, 0, sizeof srb->HA_Unique);
    srb->HA_Unique[0] = static_cast<BYTE>(adapter.alignmentMask);
    srb->HA_Unique[1] = static_cast<BYTE>(adapter.alignmentMask >> 8);
    srb->HA_Unique[3] = AspiSetup::kTargets;
    for (int i = 0; i < 4; ++i) srb->HA_Unique[4 + i] = static_cast<BYTE>(adapter.maxTransfer >> (8 * i));
    return srb->SRB_Status = SS_COMP;
}

AspiFault* MatchFault(AspiTarget& target, uint8_t opcode) {
    for (auto& f : target.faults)
        if (f.opcode == AspiFault::kAny || f.opcode == opcode) return &f;
    return nullptr;
}

void Spend(AspiTarget& target, AspiFault* fault) {
    if (fault->always || --fault->times > 0) return;
    target.faults.erase(target.faults.begin() + (fault - target.faults.data()));
}

uint8_t Execute(Manager& manager, PSRB_ExecSCSICmd srb) {
    auto rq = std::make_shared<Request>();
    rq->srb = srb;
    rq->adapter = srb->SRB_HaId;
    rq->target = srb->SRB_Target;
    auto refuse = [&](uint8_t status) {
        End(*rq, status);
        return status;
    };
    const uint8_t flags = srb->SRB_Flags;
    if (flags & SRB_EVENT_NOTIFY) {
        // Without its event the request could not end; it is not taken.
        if (!Proc().handles().GetAs<EventObject>(static_cast<HANDLE>(srb->SRB_PostProc)))
            return srb->SRB_Status = SS_INVALID_SRB;
    }
    if (srb->SRB_HaId >= AdapterCount()) return refuse(SS_INVALID_HA);
    AspiAdapter& adapter = Setup().adapters[srb->SRB_HaId];
    // Posting (a routine the manager would call) is not modelled.
    if ((flags & SRB_POSTING) || (flags & (SRB_DIR_IN | SRB_DIR_OUT)) == (SRB_DIR_IN | SRB_DIR_OUT) ||
        srb->SRB_CDBLen == 0 || srb->SRB_CDBLen > sizeof srb->CDBByte || srb->SRB_SenseLen > sizeof srb->SenseArea ||
        (srb->SRB_BufLen && !srb->SRB_BufPointer))
        return refuse(SS_INVALID_SRB);
    if (srb->SRB_BufLen > adapter.maxTransfer) return refuse(SS_BUFFER_TO_BIG);
    if (reinterpret_cast<uintptr_t>(srb->SRB_BufPointer) & adapter.alignmentMask) return refuse(SS_BUFFER_ALIGN);
    auto target = adapter.targets.find(srb->SRB_Target);
    if (srb->SRB_Target >= AspiSetup::kTargets || srb->SRB_Target == adapter.scsiId || srb->SRB_Lun != 0 ||
        target == adapter.targets.end() || !target->second.device)
        return refuse(SS_NO_DEVICE);

    if (AspiFault* fault = MatchFault(target->second, srb->CDBByte[0])) {
        AspiFault f = *fault;
        Spend(target->second, fault);
        if (f.srbStatus) return refuse(*f.srbStatus);
        if (f.haStatus) {
            End(*rq, SS_ERR, *f.haStatus);
            return SS_ERR;
        }
        srb->SRB_Status = SS_PENDING;
        manager.core->requests.push_back(rq);
        return SS_PENDING;
    }
    // The manager's thread takes it up at the caller's next wait.
    srb->SRB_Status = SS_PENDING;
    rq->onDevice = true;
    manager.core->requests.push_back(rq);
    return SS_PENDING;
}

uint8_t Abort(Manager& manager, PSRB_Abort srb) {
    if (srb->SRB_HaId >= AdapterCount()) return srb->SRB_Status = SS_INVALID_HA;
    if (!srb->SRB_ToAbort) return srb->SRB_Status = SS_INVALID_SRB;
    // Success shows in the aborted block, never in this one.
    if (!Setup().adapters[srb->SRB_HaId].abortFails) {
        auto& requests = manager.core->requests;
        for (auto& rq : requests) {
            if (rq->ended || rq->srb != srb->SRB_ToAbort || rq->adapter != srb->SRB_HaId) continue;
            if (rq->onDevice)
                rq->abort = true;  // the manager's thread ends it
            else
                End(*rq, SS_ABORTED);
        }
        requests.erase(std::remove_if(requests.begin(), requests.end(), [](auto& rq) { return rq->ended; }),
                       requests.end());
    }
    return srb->SRB_Status = SS_COMP;
}

DWORD WINAPIV GetASPI32SupportInfo(void) {
    if (!Called("GetASPI32SupportInfo")) return SS_NO_ASPI << 8;
    const AspiSetup& setup = Setup();
    const uint8_t count = AdapterCount();
    const uint8_t status = setup.supportStatus ? *setup.supportStatus : count ? SS_COMP : SS_NO_ADAPTERS;
    return static_cast<DWORD>(status) << 8 | count;
}

DWORD WINAPIV SendASPI32Command(LPSRB request) {
    if (!Called("SendASPI32Command")) return SS_NO_ASPI;
    if (!request) return SS_INVALID_SRB;
    Manager& manager = *Current();
    auto* header = static_cast<PSRB_Header>(request);
    switch (header->SRB_Cmd) {
        case SC_HA_INQUIRY:
            return Note(SC_HA_INQUIRY, header->SRB_HaId, 0, 0, HostAdapterInquiry(static_cast<PSRB_HAInquiry>(request)));
        case SC_EXEC_SCSI_CMD: {
            auto* srb = static_cast<PSRB_ExecSCSICmd>(request);
            const uint8_t target = srb->SRB_Target, opcode = srb->CDBByte[0];
            return Note(SC_EXEC_SCSI_CMD, header->SRB_HaId, target, opcode, Execute(manager, srb));
        }
        case SC_ABORT_SRB:
            return Note(SC_ABORT_SRB, header->SRB_HaId, 0, 0, Abort(manager, static_cast<PSRB_Abort>(request)));
        default:
            // Device types and bus resets: the program never asks for them.
            return Note(header->SRB_Cmd, header->SRB_HaId, 0, 0, header->SRB_Status = SS_INVALID_CMD);
    }
}

bool Carried(const Machine& machine) { return machine.aspi.present; }

void* EntryPoint(const Machine& machine, const char* name) {
    const auto& missing = machine.aspi.missingEntryPoints;
    if (std::find(missing.begin(), missing.end(), name) != missing.end()) return nullptr;
    if (std::strcmp(name, "GetASPI32SupportInfo") == 0) return reinterpret_cast<void*>(&GetASPI32SupportInfo);
    if (std::strcmp(name, "SendASPI32Command") == 0) return reinterpret_cast<void*>(&SendASPI32Command);
    return nullptr;
}

std::shared_ptr<ModuleInstance> Load() { return std::make_shared<Manager>(); }

}  // namespace

const ModuleDesc kManagerModule = {kFileName, &Carried, &EntryPoint, &Load};

}  // namespace sim::aspi
