#include "MachineHardware.h"

#include <cstdio>

#include "Machine.h"

namespace sim {

namespace {

constexpr size_t kMaxKeyName = 255;
const char kDevNodes[] = "Config Manager\\Enum";

// Devnode keys are named after the node's address in the configuration
// manager's heap, which differs from boot to boot.
std::string DevNodeName(uint64_t boot, size_t index) {
    uint32_t address = 0xC1000000u + static_cast<uint32_t>((boot * 0x2C40u + index * 0x1E0u) & 0x00FFFFF0u);
    char name[16];
    std::snprintf(name, sizeof name, "%08X", address);
    return name;
}

}  // namespace

std::vector<std::string> ReadHardware(const nlohmann::json& list, const std::string& where) {
    if (!list.is_array()) throw MachineFileError(where + ": expected a list of hardware keys");
    std::vector<std::string> keys;
    for (size_t i = 0; i < list.size(); ++i) {
        const std::string place = where + "/" + std::to_string(i);
        if (!list[i].is_string()) throw MachineFileError(place + ": expected a hardware key, e.g. \"SCSI\\\\...\"");
        std::string key = list[i].get<std::string>();
        std::vector<std::string> parts;
        if (key.empty() || !Registry::SplitPath(key, parts))
            throw MachineFileError(place + ": a hardware key is a key path below Enum, with no empty part");
        for (const auto& part : parts)
            if (part.size() > kMaxKeyName) throw MachineFileError(place + ": key name longer than 255 characters");
        keys.push_back(std::move(key));
    }
    return keys;
}

void Machine::BuildDynData() {
    registry.ClearDynData();
    if (IsNT()) return;
    registry.CreateKey("", Hive::DynData, kDevNodes);
    for (size_t i = 0; i < hardware.size(); ++i) {
        const std::string node = std::string(kDevNodes) + "\\" + DevNodeName(boots, i);
        registry.SetValue("", Hive::DynData, node, "HardWareKey", RegValue::Sz(hardware[i]));
        // Started, driver loaded, no problem.
        registry.SetValue("", Hive::DynData, node, "Status", RegValue::Binary({0x0A, 0x20, 0x00, 0x00}));
        registry.SetValue("", Hive::DynData, node, "Problem", RegValue::Binary({0x00, 0x00, 0x00, 0x00}));
    }
}

}  // namespace sim
