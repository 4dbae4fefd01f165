// The runtime's calendar clock on the simulated PC. It runs on the virtual
// clock, so a wait measured in whole seconds of the calendar (the ASPI
// transport's) ends without wall time passing, and runs stay repeatable.
#include <ctime>

#include "../core/Process.h"

namespace {

// 1 April 2003, 00:00:00 UTC: when every simulated machine is switched on.
constexpr time_t kPowerOn = 1049155200;

}  // namespace

extern "C" time_t time(time_t* out) noexcept {
    const time_t now = kPowerOn + static_cast<time_t>(sim::Proc().scheduler().Now() / 1000);
    if (out) *out = now;
    return now;
}
