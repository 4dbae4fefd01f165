// What a machine file says about the update: the drive's firmware and the
// driver settings as the driver would read them.
#pragma once
#include <nlohmann/json.hpp>

#include <string>

// The supported drive wherever the machine keeps it: on a drive letter or
// behind an ASPI adapter.
inline const nlohmann::json* FindDrive(const nlohmann::json& j) {
    if (j.is_object()) {
        if (j.value("model", std::string()) == "ZQ-X9046") return &j;
        for (auto& [key, value] : j.items())
            if (const nlohmann::json* found = FindDrive(value)) return found;
    } else if (j.is_array()) {
        for (auto& value : j)
            if (const nlohmann::json* found = FindDrive(value)) return found;
    }
    return nullptr;
}

// A flashed drive keeps its whole image; the revision sits at 0x120.
inline std::string Revision(const nlohmann::json& device) {
    if (!device.contains("firmware")) return device.value("revision", std::string());
    const std::string& hex = device["firmware"].get_ref<const std::string&>();
    std::string revision;
    for (size_t i = 0; i < 4; ++i) revision += static_cast<char>(std::stoi(hex.substr(2 * (0x120 + i), 2), nullptr, 16));
    return revision;
}

// A setting as the driver reads it: a text up to its zero, else the value.
inline std::string Setting(const nlohmann::json& value) {
    if (value.is_string()) return value.get<std::string>();
    if (value.is_object() && value.value("type", 0) == 1 && value.contains("hex")) {
        const std::string& hex = value["hex"].get_ref<const std::string&>();
        std::string text;
        for (size_t i = 0; i + 1 < hex.size(); i += 2) {
            char c = static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
            if (c == 0) break;
            text += c;
        }
        return text;
    }
    return value.dump();
}
