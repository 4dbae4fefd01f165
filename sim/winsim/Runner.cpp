#include "Runner.h"

#include <spawn.h>
#include <strings.h>
#include <sys/wait.h>

#include <cstring>
#include <filesystem>
#include <vector>

extern char** environ;

namespace sim {

using nlohmann::json;

namespace {

bool SameText(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

// Values of one key in a hive as the machine file keeps it (key paths are
// case-insensitive, as in the registry).
std::vector<std::pair<std::string, json>> HiveValues(const json& hive, const std::string& path) {
    std::vector<std::pair<std::string, json>> out;
    if (!hive.is_object()) return out;
    for (auto it = hive.begin(); it != hive.end(); ++it) {
        if (!SameText(it.key(), path) || !it.value().is_object()) continue;
        for (auto v = it.value().begin(); v != it.value().end(); ++v) out.emplace_back(v.key(), v.value());
    }
    return out;
}

const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

int RunProcess(const RunOptions& options) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        if (std::strncmp(*e, "WINSIM_", 7) != 0) env.push_back(*e);
    }
    env.push_back("WINSIM_MACHINE=" + options.machineFile);
    if (!options.agent.empty()) env.push_back("WINSIM_AGENT=" + options.agent);
    if (options.trace) env.push_back("WINSIM_TRACE=1");
    if (!options.script.empty()) env.push_back("WINSIM_SCRIPT=" + options.script);
    if (!options.snapshots.empty()) env.push_back("WINSIM_SNAPSHOTS=" + options.snapshots);
    std::vector<char*> envp;
    for (auto& s : env) envp.push_back(s.data());
    envp.push_back(nullptr);
    std::string program = options.program;
    char* argv[] = {program.data(), nullptr};
    pid_t pid;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, envp.data()) != 0) return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

void PrintNew(const Machine& m, size_t from, std::ostream& out) {
    for (size_t i = from; i < m.transcript.size(); ++i) out << "  " << m.transcript[i] << "\n";
}


// What the update is about, for the road's last lines: each drive's
// firmware revision and every driver setting the updater may change.
std::vector<std::string> UpdateFacts(const Machine& m) {
    std::vector<std::string> facts;
    json full = m.ToJson();
    if (full.contains("drives") && full["drives"].is_object()) {
        for (auto it = full["drives"].begin(); it != full["drives"].end(); ++it) {
            const json& device = it.value().is_object() && it.value().contains("device") ? it.value()["device"] : json();
            if (!device.is_object()) continue;
            std::string revision = device.value("revision", std::string());
            if (device.contains("firmware") && device["firmware"].is_string()) {
                // A flashed drive keeps its whole image; the revision sits at 0x120.
                const std::string& hex = device["firmware"].get_ref<const std::string&>();
                revision.clear();
                for (size_t i = 0; i < 4 && 2 * (0x120 + i) + 1 < hex.size(); ++i)
                    revision += static_cast<char>(std::stoi(hex.substr(2 * (0x120 + i), 2), nullptr, 16));
            }
            facts.push_back("drive " + it.key() + " " + device.value("model", std::string("?")) + " firmware " +
                            (revision.empty() ? std::string("(as built)") : revision));
        }
    }
    static const char* kSettingKeys[] = {"atapi\\Parameters", "Services\\Cdrom", "Control\\Class\\",
                                         "Class\\hdc", "Class\\SCSIAdapter", "Enum\\SCSI"};
    const json& hklm = full["registry"];
    for (auto it = hklm.begin(); it != hklm.end(); ++it) {
        bool relevant = false;
        for (const char* k : kSettingKeys) relevant = relevant || strcasestr(it.key().c_str(), k) != nullptr;
        if (!relevant || !it.value().is_object()) continue;
        for (auto v = it.value().begin(); v != it.value().end(); ++v) {
            std::string value = v.value().dump();
            if (v.value().is_object() && v.value().contains("hex") && v.value().value("type", 0) == 1) {
                // Text kept with its padding: show the text.
                const std::string& hex = v.value()["hex"].get_ref<const std::string&>();
                std::string text;
                for (size_t i = 0; i + 1 < hex.size(); i += 2) {
                    char c = static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
                    if (c == 0) break;
                    text += c;
                }
                value = json(text).dump();
            }
            facts.push_back("HKLM\\" + it.key() + " " + v.key() + " = " + value);
        }
    }
    return facts;
}

void PrintFacts(const std::vector<std::string>& before, const std::vector<std::string>& after, std::ostream& out) {
    out << "before the road:\n";
    for (auto& f : before) out << "  " << f << "\n";
    out << "after the road:\n";
    for (auto& f : after) out << "  " << f << "\n";
}

}  // namespace

std::string CommandProgram(const std::string& command) {
    size_t start = command.find_first_not_of(' ');
    if (start == std::string::npos) return "";
    if (command[start] == '"') {
        size_t end = command.find('"', start + 1);
        return command.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
    }
    // Unquoted, Windows tries ever longer prefixes at blanks; the image path
    // of a machine is one of them or none.
    size_t end = command.find(' ', start);
    return command.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::vector<std::string> LogonCommands(const Machine& m) {
    std::vector<std::string> out;
    json full = m.ToJson();
    // The machine's Run key first, then the user's.
    std::vector<std::pair<std::string, json>> values = HiveValues(full["registry"], kRunKey);
    auto user = HiveValues(full["users"][m.user]["registry"], kRunKey);
    values.insert(values.end(), user.begin(), user.end());
    for (auto& [name, value] : values) {
        if (value.is_string()) out.push_back(value.get<std::string>());
    }
    return out;
}

void DescribeMachine(const Machine& m, std::ostream& out) {
    const char* family = m.os.platform == 2 ? "Windows NT family" : m.os.platform == 1 ? "Windows 98/ME" : "Win32s";
    out << "machine \"" << m.name << "\": " << family << " " << m.os.major << "." << m.os.minor << " build "
        << m.os.build << (m.os.csd.empty() ? "" : " " + m.os.csd) << ", code page " << m.codePage << "\n";
    out << "  user " << m.user << (m.IsAdmin() ? " (administrator)" : " (limited)") << ", boot " << m.boots
        << ", power " << (m.power.callFails ? std::string("query fails") : "AC line " + std::to_string(m.power.acLineStatus))
        << ", screen saver " << (m.screenSaverActive ? "on" : "off") << "\n";
    out << "  program " << m.imagePath << ", working directory " << (m.cwdFails ? std::string("(query fails)") : m.cwd)
        << "\n";
    for (auto& cmd : LogonCommands(m)) out << "  starts at logon: " << cmd << "\n";
}

namespace {

// The programs the logon starts that are this machine's program.
std::vector<std::string> LogonQueue(const Machine& m, std::ostream& out) {
    std::vector<std::string> queue;
    for (auto& command : LogonCommands(m)) {
        std::string program = CommandProgram(command);
        if (SameText(program, m.imagePath)) {
            queue.push_back(program);
        } else {
            out << "  logon starts \"" << command << "\": no such program on this machine\n";
        }
    }
    return queue;
}

}  // namespace

int RunMachine(const RunOptions& options, std::ostream& out) {
    Machine m = Machine::Load(options.machineFile);
    // One command is one road: its script starts from the first step.
    if (m.scriptStep) {
        m.scriptStep = 0;
        m.Save(options.machineFile);
    }
    DescribeMachine(m, out);
    const std::vector<std::string> factsBefore = UpdateFacts(m);
    std::vector<std::string> queue{m.imagePath};
    if (options.logon) {
        // The restart a machine left pending happens first.
        if (m.restart.pending || m.powerFailure.struck) {
            m.Restart();
            m.Save(options.machineFile);
            out << "--- Windows starts (boot " << m.boots << ") ---\n";
        }
        out << "--- " << m.user << " logs on ---\n";
        queue = LogonQueue(m, out);
    }
    int boots = 0;
    int runs = 0;
    while (true) {
        for (size_t i = 0; i < queue.size(); ++i) {
            size_t before = m.transcript.size();
            out << "run " << queue[i] << " as " << m.user << "\n";
            int code = RunProcess(options);
            if (code < 0) {
                out << "winsim: cannot start " << options.program << "\n";
                return 3;
            }
            m = Machine::Load(options.machineFile);
            PrintNew(m, before, out);
            if (!options.keepRuns.empty()) {
                const std::string kept = options.keepRuns + "/run-" + std::to_string(++runs) + ".json";
                std::filesystem::copy_file(options.machineFile, kept, std::filesystem::copy_options::overwrite_existing);
            }
            if (m.powerFailure.struck) break;
            if (code >= 64) {
                out << "winsim: the run ended abnormally (code " << code << ")\n";
                return code;
            }
            // Windows shuts down once the program that asked has ended; the
            // rest of the logon's programs do not run.
            if (m.restart.pending) break;
        }
        const bool powerFailed = m.powerFailure.struck;
        if (!m.restart.pending && !powerFailed) {
            PrintFacts(factsBefore, UpdateFacts(m), out);
            return 0;
        }
        if (++boots > options.maxBoots) {
            out << "winsim: stopped after " << options.maxBoots << " restarts\n";
            return 4;
        }
        m.Restart();
        m.Save(options.machineFile);
        out << (powerFailed ? "--- the power comes back; Windows starts (boot " : "--- Windows restarts (boot ")
            << m.boots << "); " << m.user << " logs on ---\n";
        queue = LogonQueue(m, out);
        if (queue.empty()) {
            DescribeMachine(m, out);
            PrintFacts(factsBefore, UpdateFacts(m), out);
            return 0;
        }
    }
}

}  // namespace sim
