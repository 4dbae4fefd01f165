// The ASPI for Win32 manager of the simulated PC, behind
// LoadLibraryA("wnaspi32.dll") on machines whose file carries it: the
// support information, host adapter inquiries, execute requests that end
// through their event after the device's time, and aborts.
#pragma once
#include "../core/Modules.h"

namespace sim::aspi {

extern const ModuleDesc kManagerModule;

}  // namespace sim::aspi
