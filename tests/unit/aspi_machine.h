// Windows 98/ME machines for the ASPI tests: the manager wnaspi32.dll, its
// host adapters and the devices on their targets, and short ways to read
// what the manager was sent.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "aspi.h"
#include "drive_machine.h"

namespace aspitest {

using namespace drivetest;

// Windows 98 SE without an ASPI manager and without drives of its own.
inline sim::Machine Windows98(unsigned codePage = 1252) {
    sim::Machine m = NtMachine();
    m.os.platform = 1;
    m.os.major = 4;
    m.os.minor = 10;
    m.os.build = 2222;
    m.codePage = codePage;
    return m;
}

// The same with the manager and this many adapters, each at SCSI ID 7.
inline sim::Machine Windows98WithAspi(size_t adapters = 1) {
    sim::Machine m = Windows98();
    m.aspi.present = true;
    m.aspi.adapters.resize(adapters);
    return m;
}

inline sim::ScsiDevice& PutTarget(sim::Machine& m, size_t adapter, uint8_t target, Model model) {
    sim::AspiTarget& t = m.aspi.adapters.at(adapter).targets[target];
    t.device = sim::ScsiDevice(model);
    t.device->place = std::to_string(adapter) + ":" + std::to_string(target);
    return *t.device;
}

inline sim::ScsiDevice& TargetAt(size_t adapter, uint8_t target) {
    return *sim::Proc().machine().aspi.DeviceAt(adapter, target);
}
inline sim::AspiAdapter& AdapterAt(size_t adapter) { return sim::Proc().machine().aspi.adapters.at(adapter); }

// What the manager was sent, as "inquiry 0", "exec 0:1 12", "abort 0".
inline std::vector<std::string> ManagerLog() {
    std::vector<std::string> lines;
    for (const sim::AspiRecord& r : sim::Proc().machine().aspi.requests) {
        char line[32];
        if (r.command == SC_EXEC_SCSI_CMD)
            std::snprintf(line, sizeof line, "exec %u:%u %02X", r.adapter, r.target, r.opcode);
        else
            std::snprintf(line, sizeof line, "%s %u", r.command == SC_HA_INQUIRY ? "inquiry" : "abort", r.adapter);
        lines.push_back(line);
    }
    return lines;
}

inline size_t OpenEvents() { return sim::Proc().handles().Count("event"); }

}  // namespace aspitest
