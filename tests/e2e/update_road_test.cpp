// The whole road of an update, as one winsim command: the settings change
// and a restart, the resumed run that writes the firmware, the restore and
// the second restart. The machine written back shows where each run left it.
#include <gtest/gtest.h>

#include "MachineFacts.h"
#include "RunWinsim.h"
#include <nlohmann/json.hpp>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using nlohmann::json;

using Road = WinsimRun;

Road RunRoad(const std::string& machineFile) {
    std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("winqor-road-" + std::to_string(::getpid()) + ".json");
    std::filesystem::copy_file(machineFile, file, std::filesystem::copy_options::overwrite_existing);
    Road road = RunWinsim("", file.string());
    std::filesystem::remove(file);
    return road;
}

class UpdateRoad : public ::testing::TestWithParam<std::string> {};

TEST_P(UpdateRoad, ConsentingUserEndsWithTheDriveFlashedAndEverySettingRestored) {
    std::string file = (std::filesystem::temp_directory_path() / ("winqor-start-" + std::to_string(::getpid()) + ".json")).string();
    if (GetParam() == "default") {
        ASSERT_TRUE(SaveDefaultMachine(file));
    } else {
        std::filesystem::copy_file(std::string(WINQOR_MACHINES_DIR) + "/" + GetParam(), file,
                                   std::filesystem::copy_options::overwrite_existing);
    }
    json before = json::parse(std::ifstream(file));
    Road road = RunRoad(file);
    std::filesystem::remove(file);
    ASSERT_EQ(road.exitCode, 0) << road.output;
    const std::string user = before.value("user", std::string("User"));

    // First run: agreement, confirmation, restart; second: the update, restore, restart.
    EXPECT_EQ(Count(road.output, "restart requested"), 2u) << road.output;
    EXPECT_EQ(road.machine["boots"], before.value("boots", 1) + 2);
    const size_t secondBoot = road.output.find("Windows restarts (boot");
    ASSERT_NE(secondBoot, std::string::npos) << road.output;
    EXPECT_NE(road.output.find("the dialog"), std::string::npos);
    EXPECT_LT(road.output.find("clicks"), secondBoot) << "the agreement comes before the first restart";
    EXPECT_EQ(Count(road.output.substr(0, secondBoot), "clicks"), 2u) << "agreement and restart confirmation";
    EXPECT_EQ(Count(road.output.substr(secondBoot), "clicks"), 4u)
        << "the resumed run: notice, Start, start notice, end notice; no agreement\n" << road.output;

    const json* drive = FindDrive(road.machine);
    ASSERT_NE(drive, nullptr);
    EXPECT_EQ(Revision(*drive), "1H13");
    // Every value of the machine's registry is as it was, and nothing of the program's state is left.
    for (auto& [key, values] : before["registry"].items())
        for (auto& [name, value] : values.items())
            EXPECT_EQ(Setting(road.machine["registry"][key][name]), Setting(value)) << key << " " << name;
    for (auto& [key, values] : road.machine["registry"].items())
        EXPECT_EQ(key.find("VALTORA_ODD"), std::string::npos) << key;
    for (auto& [key, values] : road.machine["users"][user]["registry"].items()) {
        EXPECT_EQ(key.find("Valtora_ODD"), std::string::npos) << key;
        EXPECT_FALSE(values.contains("WINQOR")) << "autostart entry left in " << key;
    }
    EXPECT_TRUE(road.machine["screenSaverActive"].get<bool>());
}

INSTANTIATE_TEST_SUITE_P(Machines, UpdateRoad,
                         ::testing::Values("default", "xp-dma-autorun.json", "2000-timing.json", "98se-scsi.json",
                                           "me.json"),
                         [](const ::testing::TestParamInfo<std::string>& info) { return TestNameOf(info.param); });

}  // namespace
