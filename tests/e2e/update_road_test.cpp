// The whole road of an update, as one winsim command: the settings change
// and a restart, the resumed run that writes the firmware, the restore and
// the second restart. The machine written back shows where each run left it.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using nlohmann::json;

struct Road {
    json machine;
    std::string output;
    int exitCode = -1;
};

Road RunRoad(const std::string& machineFile) {
    std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("winqor-road-" + std::to_string(::getpid()) + ".json");
    std::filesystem::copy_file(machineFile, file, std::filesystem::copy_options::overwrite_existing);
    std::string command = std::string("'") + WINSIM_PATH + "' --program '" + WINQOR_PATH + "' '" + file.string() +
                          "' 2>&1";
    Road road;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return road;
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) road.output.append(chunk, n);
    int status = ::pclose(pipe);
    road.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(file);
    road.machine = json::parse(in, nullptr, false);
    std::filesystem::remove(file);
    return road;
}

std::string Revision(const json& device) {
    if (!device.contains("firmware")) return device.value("revision", std::string());
    const std::string& hex = device["firmware"].get_ref<const std::string&>();
    std::string revision;
    for (size_t i = 0; i < 4; ++i) revision += static_cast<char>(std::stoi(hex.substr(2 * (0x120 + i), 2), nullptr, 16));
    return revision;
}

// A setting as the driver reads it: a text up to its zero, else the value.
std::string Setting(const json& value) {
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

// Each run's place in the road, by the lines only that run writes.
size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST(UpdateRoad, ConsentingUserOnTheDefaultMachineEndsFlashedAndRestored) {
    std::string file = (std::filesystem::temp_directory_path() / "winqor-default.json").string();
    ASSERT_EQ(std::system(("'" + std::string(WINSIM_PATH) + "' --show --save '" + file + "' >/dev/null").c_str()), 0);
    json before = json::parse(std::ifstream(file));
    Road road = RunRoad(file);
    std::filesystem::remove(file);
    ASSERT_EQ(road.exitCode, 0) << road.output;

    // First run: agreement, confirmation, restart; second: the update, restore, restart.
    EXPECT_EQ(Count(road.output, "run C:\\WINQOR\\WINQOR"), 2u) << road.output;
    EXPECT_EQ(Count(road.output, "restart requested"), 2u) << road.output;
    EXPECT_EQ(road.machine["boots"], 3);
    EXPECT_LT(road.output.find("I Agree"), road.output.find("Windows restarts (boot 2)"));
    EXPECT_EQ(road.output.find("I Agree", road.output.find("Windows restarts (boot 2)")), std::string::npos)
        << "the resumed run shows no agreement";
    EXPECT_NE(road.output.find("Start Update"), std::string::npos);

    EXPECT_EQ(Revision(road.machine["drives"]["D:"]["device"]), "1H13");
    // Every driver setting is back, and nothing of the program's state is left.
    for (const char* key : {"SYSTEM\\CurrentControlSet\\Services\\Cdrom",
                            "SYSTEM\\CurrentControlSet\\Services\\atapi\\Parameters\\Device1"}) {
        ASSERT_TRUE(road.machine["registry"].contains(key)) << key;
        for (auto& [name, value] : before["registry"][key].items())
            EXPECT_EQ(Setting(road.machine["registry"][key][name]), Setting(value)) << key << " " << name;
    }
    EXPECT_FALSE(road.machine["registry"].contains("SOFTWARE\\VALTORA_ODD_WINQOR"));
    const json& user = road.machine["users"]["User"]["registry"];
    for (auto& [key, values] : user.items()) {
        EXPECT_EQ(key.find("Valtora_ODD"), std::string::npos) << key;
        EXPECT_FALSE(values.contains("WINQOR")) << "autostart entry left in " << key;
    }
    EXPECT_TRUE(road.machine["screenSaverActive"].get<bool>());
}

}  // namespace
