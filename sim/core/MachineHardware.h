// The machine file's "hardware": the devices a Windows 98/ME machine finds
// at boot, each named by its hardware key, e.g.
//   "hardware": [ "SCSI\\VALTORA_DVD-ROM_ZQ-X9046__\\MF&CHILD0001&PCI&VEN_8086&DEV_7111" ]
// Each boot lists them below HKEY_DYN_DATA\Config Manager\Enum.
#pragma once
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace sim {

// Bad input throws MachineFileError naming the file and the place.
std::vector<std::string> ReadHardware(const nlohmann::json& list, const std::string& where);

}  // namespace sim
