// The machine a conformance test runs on. The simulated PC boots the kind of
// machine asked for; on Windows the running system either is of that kind or
// the test is skipped. Test bodies use only Win32 calls besides this.
#pragma once
#include <cstddef>
#include <string>

namespace conformance {

enum class Family { NT, Win98 };

struct MachineKind {
    Family family;
    bool administrator;
};

// False, with the reason, when this build cannot run on such a machine.
bool UseMachine(const MachineKind& kind, std::string& reason);

// Wine, not Windows: a few of its answers differ from Windows' documented
// ones, and the tests that meet them say so.
bool RunningOnWine();

// Open registry key handles of this process, for leak checks; false when the
// platform cannot count them.
bool CountOpenKeys(size_t& count);

inline const char* FamilyName(Family family) { return family == Family::NT ? "NT" : "Win98"; }

}  // namespace conformance
