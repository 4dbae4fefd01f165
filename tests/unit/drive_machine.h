// Simulated machines with optical drives on letters, for the drive access
// tests, and short ways to read what a drive was sent.
#pragma once
#include <string>
#include <vector>

#include "core/Process.h"
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

}  // namespace drivetest
