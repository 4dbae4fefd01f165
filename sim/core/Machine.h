// The simulated Windows machine: everything that outlives one run of a
// program, as kept in a machine file.
#pragma once
#include <nlohmann/json.hpp>

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "../aspi/AspiSetup.h"
#include "../devices/DriveLetter.h"
#include "../registry/Registry.h"

namespace sim {

// A machine file that cannot be used: says which file and where.
class MachineFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct OsInfo {
    uint32_t platform = 2;  // 1 Windows 98/ME, 2 NT family, 0 Win32s
    uint32_t major = 5;
    uint32_t minor = 1;
    uint32_t build = 2600;
    std::string csd = "Service Pack 2";
    bool versionFails = false;  // GetVersionExA fails
};

struct PowerInfo {
    bool callFails = false;
    uint32_t acLineStatus = 1;
    uint32_t batteryFlag = 1;
    uint32_t batteryPercent = 100;
};

struct UserInfo {
    bool admin = true;
};

struct PrivilegeInfo {
    bool lookupFails = false;
    bool adjustFails = false;
};

// A power failure a test arranges: it strikes right after the registry
// write that brings the count of writes programs made on this machine to
// atWrite (0: never). What was written until then stays, as a registry
// flushed at each write would keep it.
struct PowerFailure {
    uint64_t writes = 0;
    uint64_t atWrite = 0;
    bool struck = false;  // the last run ended in it; the machine starts cold
};

struct RestartRequest {
    bool pending = false;
    uint32_t flags = 0;
    std::string by;  // image path of the program that asked
};

class Machine {
public:
    std::string name = "default";
    OsInfo os;
    PowerInfo power;
    uint32_t codePage = 1252;  // the system's ANSI code page
    std::string user = "User";
    std::map<std::string, UserInfo> users{{"User", {}}};
    std::string nextUser;  // who logs on after the next restart (empty: the same)
    bool screenSaverActive = true;
    std::string cwd = "C:\\WINQOR";
    bool cwdFails = false;
    std::string imagePath = "C:\\WINQOR\\WINQOR.EXE";
    PrivilegeInfo privileges;
    std::vector<std::string> foreignMutexes;  // named mutexes other programs hold
    uint64_t boots = 1;
    RestartRequest restart;
    PowerFailure powerFailure;
    Registry registry;
    // NT family: keys of HKEY_LOCAL_MACHINE, with everything below them,
    // whose security lets programs read but not write (a locked-down PC).
    std::vector<std::string> lockedKeys;
    // Drive letters, 'A' to 'Z', with the devices behind them.
    std::map<char, DriveLetter> drives;
    // Windows 98/ME: the ASPI manager, its host adapters and their targets.
    AspiSetup aspi;
    // Lines of the transcript written by runs on this machine.
    std::vector<std::string> transcript;
    // What the scripted user does, and how many of its steps are done (the
    // script goes on across restarts).
    nlohmann::json script = nlohmann::json::array();
    uint32_t scriptStep = 0;
    // Windows 98/ME: the devices the configuration manager finds at each
    // boot, by hardware key (the path of their settings below
    // HKEY_LOCAL_MACHINE\Enum).
    std::vector<std::string> hardware;

    bool IsNT() const { return os.platform == 2; }
    // The device behind a drive letter, or null.
    ScsiDevice* DeviceAt(char letter);
    bool IsAdmin() const;

    // Parses a machine file's text; source names it in errors.
    static Machine FromJson(const nlohmann::json& j, const std::string& source);
    static Machine Parse(const std::string& text, const std::string& source);
    static Machine Load(const std::string& path);
    nlohmann::json ToJson() const;
    // Writes through a temporary file and a rename, so a crash leaves the
    // old file whole.
    void Save(const std::string& path) const;

    // What a restart does: volatile state goes, the next user logs on.
    void Restart();
    // HKEY_DYN_DATA as Windows 98/ME build it at boot from the hardware
    // (MachineHardware.cpp); on the NT family it stays empty.
    void BuildDynData();

    // The built-in machine of the demo.
    static Machine Default();
};

}  // namespace sim
