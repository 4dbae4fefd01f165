// Simulated machines with optical drives on letters, for the drive access
// tests, and short ways to read what a drive was sent.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "core/Process.h"
#include "drive/CDriveAccess.h"
#include "win32.h"

namespace drivetest {

using Bytes = std::vector<uint8_t>;
using Model = sim::ScsiDevice::Model;

// An NT-family machine with only a hard disk on C:.
inline sim::Machine NtMachine() {
    sim::Machine m = sim::Machine::Default();
    m.os.platform = 2;
    m.drives.clear();
    m.drives['C'].type = DRIVE_FIXED;
    return m;
}

inline sim::ScsiDevice& PutDrive(sim::Machine& m, char letter, Model model, UINT type = DRIVE_CDROM) {
    sim::DriveLetter& d = m.drives[letter];
    d.type = type;
    d.device = sim::ScsiDevice(model);
    d.device->place = std::string(1, letter) + ":";
    return *d.device;
}

inline sim::ScsiDevice& DriveAt(char letter) { return *sim::Proc().machine().DeviceAt(letter); }
inline sim::DriveLetter& LetterAt(char letter) { return sim::Proc().machine().drives.at(letter); }

inline size_t OpenDevices() { return sim::Proc().handles().Count("device"); }

// Message boxes and beeps of the run, without time stamps.
inline std::vector<std::string> BoxesAndBeeps() {
    std::vector<std::string> lines;
    for (const std::string& line : sim::Proc().machine().transcript) {
        size_t at = line.find("] ");
        std::string text = at == std::string::npos ? line : line.substr(at + 2);
        if (text.rfind("message box", 0) == 0 || text.rfind("beep", 0) == 0) lines.push_back(text);
    }
    return lines;
}

// Drives that report UNIT ATTENTION, and what the shared retry makes of an
// eject on them: both transports give a command seven attempts in all.
struct UnitAttentionCase {
    const char* what;
    std::function<void(sim::ScsiDevice&)> arrange;
    size_t attempts;
    DriveStatus status;
};

inline std::vector<UnitAttentionCase> UnitAttentionCases() {
    return {
        {"one medium change", [](sim::ScsiDevice& d) { d.attention = sim::ScsiDevice::Attention::MediumChanged; }, 2,
         SS_COMP},
        {"six in a row", [](sim::ScsiDevice& d) { d.stormLeft = 6; }, 7, SS_COMP},
        {"seven in a row", [](sim::ScsiDevice& d) { d.stormLeft = 7; }, 7, SS_ERR},
        {"a drive that never stops", [](sim::ScsiDevice& d) { d.stormForever = true; }, 7, SS_ERR},
    };
}

// A command sent from another thread, for the in-use mark.
struct InFlight {
    CDriveAccess* pDrive;
    std::function<DriveStatus(CDriveAccess&)> send;
    DriveStatus status;
};

inline DWORD WINAPI SendInFlight(LPVOID pParam) {
    InFlight* pWork = static_cast<InFlight*>(pParam);
    pWork->status = pWork->send(*pWork->pDrive);
    return 0;
}

}  // namespace drivetest
