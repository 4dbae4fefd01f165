// Conformance machines on the simulated PC.
#include "Fixture.h"

#include "core/Process.h"

namespace conformance {

bool UseMachine(const MachineKind& kind, std::string&) {
    sim::Machine m = sim::Machine::Default();
    if (kind.family == Family::Win98) {
        m.name = "Windows 98 SE";
        m.os = sim::OsInfo{1, 4, 10, 2222, " A ", false};
    }
    m.users[m.user].admin = kind.administrator;
    sim::Process::Boot(m);
    return true;
}

bool RunningOnWine() { return false; }

bool CountOpenKeys(size_t& count) {
    count = sim::Proc().handles().Count("key");
    return true;
}

}  // namespace conformance
