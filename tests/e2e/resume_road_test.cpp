// The update's state across runs and restarts, run for real: each row
// starts from a machine, gives winsim the commands a user's PC would see
// (with the machine changed between them: a drive taken out, a setting put
// back, another user at the keyboard) and compares what every run left in
// the registry with what that run must leave.
#include <gtest/gtest.h>

#include "MachineFacts.h"
#include "RunWinsim.h"
#include <nlohmann/json.hpp>
#include <strings.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

using nlohmann::json;
namespace fs = std::filesystem;

bool Same(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }
bool Below(const std::string& key, const std::string& parent) {
    return Same(key, parent) || (key.size() > parent.size() && key[parent.size()] == '\\' &&
                                 strncasecmp(key.c_str(), parent.c_str(), parent.size()) == 0);
}

const char kMarker[] = "SOFTWARE\\VALTORA_ODD_WINQOR";
const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\run";
const char kMakerKey[] = "Software\\Valtora_ODD";
const char kStateKey[] = "Software\\Valtora_ODD\\WINQOR";
const char kLog[] = "Software\\Valtora_ODD\\WINQOR\\Change";
// Where the driver settings the updater may change live.
const char* const kSettingKeys[] = {"atapi\\Parameters", "Services\\Cdrom", "Control\\Class\\",
                                    "Class\\hdc", "Class\\SCSIAdapter", "Enum\\SCSI"};

json LoadMachine(const std::string& name) {
    if (name != "default") return json::parse(std::ifstream(std::string(WINQOR_MACHINES_DIR) + "/" + name));
    static const json builtIn = [] {
        fs::path file = fs::temp_directory_path() / ("winqor-default-" + std::to_string(::getpid()) + ".json");
        json m = SaveDefaultMachine(file.string()) ? json::parse(std::ifstream(file)) : json();
        fs::remove(file);
        return m;
    }();
    return builtIn;
}

std::vector<std::pair<std::string, std::string>> Settings(const json& m) {
    std::vector<std::pair<std::string, std::string>> out;
    for (auto& [key, values] : m["registry"].items()) {
        bool relevant = false;
        for (const char* k : kSettingKeys) relevant = relevant || strcasestr(key.c_str(), k) != nullptr;
        if (relevant && values.is_object())
            for (auto& [name, value] : values.items()) out.emplace_back(key + "|" + name, Setting(value));
    }
    return out;
}

// One line for the state a run left: the resume marker, then per user the
// autostart entry, the maker key and the state key with its change log,
// then how many driver settings differ from the machine's first ones, the
// drive's firmware and whether a restart was asked for.
std::string Snapshot(const json& m, const json& first) {
    std::string line;
    auto add = [&line](const std::string& token) { line += (line.empty() ? "" : " ") + token; };
    for (auto& [key, values] : m["registry"].items())
        if (Same(key, kMarker)) add("marker");
    for (auto& [user, info] : m["users"].items()) {
        const std::string who = user == first.value("user", std::string("User")) ? "" : user + ":";
        const json& hive = info["registry"];
        bool run = false, maker = false, state = false;
        std::string changed = "-", keep = "-", records;
        for (auto& [key, values] : hive.items()) {
            if (Same(key, kRunKey) && values.contains("WINQOR")) run = true;
            maker = maker || Below(key, kMakerKey);
            state = state || Below(key, kStateKey);
            if (Same(key, kStateKey)) {
                if (values.contains("Changed")) changed = values["Changed"].value("dword", json(-1)).dump();
                if (values.contains("Valtora_ODD_Add")) keep = values["Valtora_ODD_Add"].value("dword", json(-1)).dump();
            }
            if (Below(key, kLog) && !Same(key, kLog)) {
                std::string name = key.substr(std::string(kLog).size() + 1);
                name.erase(0, name.find_first_not_of(' '));
                records += (records.empty() ? "" : ",") + name;
            }
        }
        if (run) add(who + "run");
        if (maker) add(who + "maker");
        if (state) add(who + "state(Changed=" + changed + " Add=" + keep + " records=" + records + ")");
    }
    const auto now = Settings(m), was = Settings(first);
    size_t differ = now.size() == was.size() ? 0 : now.size() + was.size();
    for (size_t i = 0; i < now.size() && i < was.size(); ++i) differ += now[i] != was[i];
    add(differ ? "settings changed " + std::to_string(differ) : "settings as before");
    if (const json* drive = FindDrive(m)) add("fw " + Revision(*drive));
    if (m["restart"].value("pending", false)) add("restart");
    return line;
}


// A machine file and a folder for the runs' copies, gone with the test.
class Scratch {
public:
    Scratch() : m_dir(fs::temp_directory_path() / ("winqor-resume-" + std::to_string(::getpid()) + "-" + TestName())) {
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    ~Scratch() { fs::remove_all(m_dir); }

    // Runs winsim on the machine; runs gets the machine as each run left it.
    WinsimRun Run(const json& machine, const std::string& options, std::vector<json>& runs) const {
        const std::string file = (m_dir / "machine.json").string();
        const std::string kept = (m_dir / "runs").string();
        std::ofstream(file) << machine.dump(2);
        fs::remove_all(kept);
        WinsimRun run = RunWinsim(options + " --keep-runs '" + kept + "'", file);
        runs.clear();
        for (int i = 1; fs::exists(kept + "/run-" + std::to_string(i) + ".json"); ++i)
            runs.push_back(json::parse(std::ifstream(kept + "/run-" + std::to_string(i) + ".json")));
        return run;
    }

private:
    static std::string TestName() {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '-';
        return name;
    }
    fs::path m_dir;
};

struct Command {
    std::string change;  // merged into the machine first (JSON), or empty
    std::string options;  // for winsim
    std::vector<std::string> after;  // the state after each run the command makes
    int agreements = 0;  // times the agreement is accepted
    std::vector<std::string> shows;  // texts the output holds
    int exitCode = 0;
};

struct Transition {
    const char* name;
    const char* machine;
    const char* change;  // to the machine before the first command
    std::vector<Command> commands;
};

const char kPending[] = "marker run maker state(Changed=2 Add=0 records=1,2) settings changed 2 fw 1H12";
const char kPendingRestart[] = "marker run maker state(Changed=2 Add=0 records=1,2) settings changed 2 fw 1H12 restart";
const char kDone[] = "settings as before fw 1H13 restart";
const char kR1[] = "Follow the update instructions";
const char kR2[] = "Please run again this program";
const char kU1[] = "It logon by the user who performed";
// The first run stops at its restart, so that the machine can change first.
const Command kFirstRun{"", "--boots 0", {kPendingRestart}, 1, {kR1}, 4};
// Settings that need no change.
const char kSettingsOff[] = R"({"registry": {
    "SYSTEM\\CurrentControlSet\\Services\\atapi\\Parameters\\Device1": {"DriverParameter": "DmaDetectionLevel = 0x0;"},
    "SYSTEM\\CurrentControlSet\\Services\\Cdrom": {"Autorun": {"dword": 0}}}})";

const Transition kTransitions[] = {
    {"FourRunsInOrder", "default", "",
     {{"", "", {kPendingRestart, kDone}, 1, {kR1, "Windows restarts (boot 2)", "Windows restarts (boot 3)"}}}},
    {"FourRunsInOrderOnWindows98", "98se-scsi.json", "",
     {{"", "", {"marker run maker state(Changed=6 Add=0 records=1,2,3,4,5,6) settings changed 6 fw 1H12 restart", kDone}, 1,
       {kR1}}}},
    {"DifferentUserChangesNothing", "default", R"({"users": {"Other": {"admin": true}}, "nextUser": "Other"})",
     {{"", "", {kPendingRestart}, 1, {"Other logs on"}},
      {"", "", {kPending}, 0, {kU1}},
      {R"({"user": "User"})", "--logon", {kDone}, 0, {}}}},
    {"NoDriveAfterTheRestartKeepsTheAutostartEntry", "default", "",
     {kFirstRun,
      {R"({"drives": {"D:": {"device": null}}})", "--logon",
       {"run maker state(Changed=2 Add=0 records=1,2) settings changed 2"}, 0,
       {"Could not be found CD-Drive for this program."}},
      {R"({"drives": {"D:": {"device": {"model": "ZQ-X9046", "revision": "1H12", "family": "hq", "level": 0,
                                          "medium": {"blocks": 2295104}}}}})",
       "--logon", {kDone}, 0, {}}}},
    {"DriveUpToDateAfterTheRestartRestoresTheSettings", "default", "",
     {kFirstRun,
      {R"({"drives": {"D:": {"device": {"revision": "1H13", "level": 32}}}})", "--logon", {"settings as before fw 1H13"}, 0,
       {"CD-Drive firmware is NOT need to update firmware."}}}},
    {"SettingThatWentBackTakesTheRestartPathAgain", "default", "",
     {kFirstRun,
      {R"({"registry": {"SYSTEM\\CurrentControlSet\\Services\\Cdrom": {"Autorun": {"dword": 1}}}})", "--logon",
       {"marker run maker state(Changed=3 Add=0 records=1,2,3) settings changed 2 fw 1H12 restart", kDone}, 0,
       {kR1}}}},
    {"MainDialogCancelledAfterTheRestartRestoresTheSettings", "default", "",
     {kFirstRun,
      {R"({"script": [{"press": "OK"}, {"press": "CANCEL"}, {"press": "OK"}]})", "--logon --user scripted",
       {"settings as before fw 1H12 restart"}, 0, {}}}},
    {"NothingToChangeKeepsTheKeysStep17Made", "default", kSettingsOff,
     {{R"({"script": [{"press": "I Agree"}, {"press": "OK"}, {"press": "CANCEL"}]})", "--user scripted",
       {"maker state(Changed=- Add=- records=) settings as before fw 1H12"}, 1, {}},
      {"", "", {"maker state(Changed=- Add=- records=) settings as before fw 1H13"}, 1, {}}}},
    {"MakerKeyThatExistedBeforeIsKept", "default",
     R"({"users": {"User": {"registry": {"Software\\Valtora_ODD\\Other tool": {"Serial": "1234"}}}}})",
     {{"", "",
       {"marker run maker state(Changed=2 Add=1 records=1,2) settings changed 2 fw 1H12 restart",
        "maker settings as before fw 1H13 restart"},
       1, {}}}},
    {"NoAutostartShowsR2AndStillWritesTheState", "default", R"({"cwdFails": true})",
     {{"", "", {"marker maker state(Changed=2 Add=0 records=1,2) settings changed 2 fw 1H12 restart"}, 1, {kR2}},
      {"", "", {kDone}, 1, {}}}},
    {"RestartConfirmationCancelledChangesNothing", "default", "",
     {{R"({"script": [{"press": "I Agree"}, {"press": "CANCEL"}]})", "--user scripted",
       {"settings as before fw 1H12"}, 1, {kR1}}}},
    {"AgreementRefusedChangesNothing", "default", "",
     {{R"({"script": [{"press": "Not Agree"}]})", "--user scripted", {"settings as before fw 1H12"}, 0, {}}}},
    {"MarkerThatCannotBeCreated", "default", R"({"lockedKeys": ["SOFTWARE"]})",
     {{"", "",
       {"run maker state(Changed=2 Add=0 records=1,2) settings changed 2 fw 1H12 restart", kDone}, 1, {}}}},
    {"PrivilegeLookupFailingMeansNoRestart", "default", R"({"privileges": {"lookupFails": true}})",
     {{"", "", {kPending}, 1, {}},
      // The user restarts by hand.
      {R"({"restart": {"pending": true}})", "--logon", {"settings as before fw 1H13"}, 0, {}}}},
};

void PrintTo(const Transition& t, std::ostream* os) { *os << t.name; }

class ResumeRoad : public ::testing::TestWithParam<Transition> {};

TEST_P(ResumeRoad, EveryRunLeavesTheStateItMust) {
    const Transition& t = GetParam();
    Scratch scratch;
    json machine = LoadMachine(t.machine);
    ASSERT_TRUE(machine.is_object());
    if (*t.change) machine.merge_patch(json::parse(t.change));
    const json first = machine;
    for (size_t i = 0; i < t.commands.size(); ++i) {
        const Command& c = t.commands[i];
        SCOPED_TRACE("command " + std::to_string(i + 1) + " " + c.options);
        if (!c.change.empty()) machine.merge_patch(json::parse(c.change));
        std::vector<json> runs;
        WinsimRun run = scratch.Run(machine, c.options, runs);
        ASSERT_EQ(run.exitCode, c.exitCode) << run.output;
        std::vector<std::string> after;
        for (const json& r : runs) after.push_back(Snapshot(r, first));
        EXPECT_EQ(after, c.after) << run.output;
        EXPECT_EQ(Count(run.output, "clicks \"I Agree\""), static_cast<size_t>(c.agreements));
        for (const std::string& text : c.shows) EXPECT_NE(run.output.find(text), std::string::npos) << text;
        machine = run.machine;
    }
}

INSTANTIATE_TEST_SUITE_P(Transitions, ResumeRoad, ::testing::ValuesIn(kTransitions),
                         [](const ::testing::TestParamInfo<Transition>& info) { return std::string(info.param.name); });

// Power fails right after each registry write the road makes, one write at
// a time; the machine starts again and the user goes on as users do:
// logs on, and starts the program by hand until it has nothing left to do.
// Every driver setting must end as it was, with the drive updated.
class PowerFailure : public ::testing::TestWithParam<std::string> {};

// Nothing left to do: no marker, no autostart entry, no record, every
// setting as it was and the drive updated. Maker and state keys without
// records may stay.
bool Settled(const json& m, const json& first) {
    const std::string s = " " + Snapshot(m, first) + " ";
    return s.find(" marker ") == std::string::npos && s.find("run ") == std::string::npos &&
           s.find("records=)") == s.find("records=") && s.find(" settings as before fw 1H13 ") != std::string::npos;
}

TEST_P(PowerFailure, EverySettingComesBackWhereverThePowerFails) {
    Scratch scratch;
    const json first = LoadMachine(GetParam());
    ASSERT_TRUE(first.is_object());
    std::vector<json> runs;
    WinsimRun road = scratch.Run(first, "", runs);
    ASSERT_EQ(road.exitCode, 0) << road.output;
    const uint64_t writes = road.machine["powerFailure"]["writes"].get<uint64_t>();
    ASSERT_GE(runs.size(), 2u);
    const uint64_t restartPathWrites = runs[0]["powerFailure"]["writes"].get<uint64_t>();
    ASSERT_GT(restartPathWrites, 0u);
    ASSERT_GT(writes, restartPathWrites);

    for (uint64_t k = 1; k <= writes; ++k) {
        SCOPED_TRACE("power fails after registry write " + std::to_string(k) + " of " + std::to_string(writes));
        json machine = first;
        machine["powerFailure"] = {{"atWrite", k}};
        WinsimRun run = scratch.Run(machine, "", runs);
        ASSERT_EQ(run.exitCode, 0) << run.output;
        ASSERT_NE(run.output.find("the power fails after registry write " + std::to_string(k)), std::string::npos);
        int byHand = 0;
        for (; byHand < 3 && !Settled(run.machine, first); ++byHand) {
            run = scratch.Run(run.machine, "", runs);
            ASSERT_EQ(run.exitCode, 0) << run.output;
        }
        EXPECT_TRUE(Settled(run.machine, first)) << Snapshot(run.machine, first) << "\n" << run.output;
    }
    std::cout << GetParam() << ": " << writes << " kill points tried (" << restartPathWrites
              << " in the restart path, " << writes - restartPathWrites << " in the resumed run and its restore)\n";
    RecordProperty("kill_points", static_cast<int>(writes));
}

INSTANTIATE_TEST_SUITE_P(Machines, PowerFailure, ::testing::Values("default", "2000-timing.json", "98se-scsi.json"),
                         [](const ::testing::TestParamInfo<std::string>& info) { return TestNameOf(info.param); });

}  // namespace
