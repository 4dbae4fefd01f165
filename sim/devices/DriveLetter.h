// A drive letter of an NT-family machine: its type as GetDriveTypeA reports
// it, the SCSI device behind it (if the storage stack has one) and the
// storage adapter's limits for pass-through requests.
#pragma once
#include <cstdint>
#include <optional>

#include "ScsiDevice.h"

namespace sim {

struct DriveLetter {
    uint32_t type = 3;  // a DRIVE_* value
    std::optional<ScsiDevice> device;
    uint32_t maxTransfer = 0x10000;  // IO_SCSI_CAPABILITIES.MaximumTransferLength
    uint32_t alignmentMask = 1;      // IDE adapters move words
    bool refuseCapabilities = false; // IOCTL_SCSI_GET_CAPABILITIES fails
};

}  // namespace sim
