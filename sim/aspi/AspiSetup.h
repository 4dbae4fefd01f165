// The ASPI for Win32 part of a machine: whether wnaspi32.dll is there and
// what its GetASPI32SupportInfo reports, the host adapters the manager
// knows, and the devices on their targets (the same devices that sit
// behind drive letters on the NT family).
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "../devices/ScsiDevice.h"

namespace sim {

// A fault of the manager itself on one target's requests: the request ends
// (or never does) without the device seeing it. Statuses of the device
// (target status, sense) are the device's own faults.
struct AspiFault {
    static constexpr int kAny = -1;
    int opcode = kAny;
    std::optional<uint8_t> srbStatus;  // ends with this ASPI status
    std::optional<uint8_t> haStatus;   // ends with SS_ERR and this host adapter status
    bool pending = false;              // never ends unless aborted
    uint32_t times = 1;
    bool always = false;
};

struct AspiTarget {
    std::optional<ScsiDevice> device;
    std::vector<AspiFault> faults;
};

struct AspiAdapter {
    uint8_t scsiId = 7;  // the adapter's own ID on its bus
    std::string identifier = "ATAPI";
    uint32_t maxTransfer = 0x10000;  // longer requests end with SS_BUFFER_TO_BIG
    uint16_t alignmentMask = 0;      // misaligned buffers end with SS_BUFFER_ALIGN
    // SC_HA_INQUIRY ends with this status instead of SS_COMP, or never ends.
    std::optional<uint8_t> inquiryStatus;
    bool inquiryPending = false;
    bool abortFails = false;  // SC_ABORT_SRB takes nothing away
    std::map<uint8_t, AspiTarget> targets;  // by SCSI ID, 0 to 7
};

// A request the manager was sent, for tests.
struct AspiRecord {
    uint64_t time = 0;
    uint8_t command = 0;  // SC_...
    uint8_t adapter = 0;
    uint8_t target = 0;   // execute requests
    uint8_t opcode = 0;   // execute requests: CDB byte 0
    uint8_t status = 0;   // what SendASPI32Command returned
};

struct AspiSetup {
    static constexpr uint8_t kAdapterLimit = 255;  // the support information counts in a byte
    static constexpr uint8_t kTargets = 8;         // a narrow bus

    bool present = false;  // the machine carries wnaspi32.dll
    std::vector<std::string> missingEntryPoints;
    // The status byte of GetASPI32SupportInfo; without it SS_COMP, or
    // SS_NO_ADAPTERS when there is no adapter.
    std::optional<uint8_t> supportStatus;
    std::vector<AspiAdapter> adapters;
    // What the manager was sent in this run; not kept in the machine file.
    std::vector<AspiRecord> requests;

    bool Described() const { return present || !missingEntryPoints.empty() || supportStatus || !adapters.empty(); }
    // The device on an adapter's target, or null.
    ScsiDevice* DeviceAt(size_t adapter, size_t target) {
        if (adapter >= adapters.size()) return nullptr;
        auto it = adapters[adapter].targets.find(static_cast<uint8_t>(target));
        return it == adapters[adapter].targets.end() || !it->second.device ? nullptr : &*it->second.device;
    }
};

}  // namespace sim
