// Libraries a simulated machine may carry, such as the ASPI manager
// wnaspi32.dll: LoadLibraryA finds them by file name, GetProcAddress hands
// out their entry points, and each process keeps one instance of a loaded
// module until its last FreeLibrary.
#pragma once
#include <memory>

namespace sim {

class Machine;

// What a loaded module keeps for the process that loaded it.
class ModuleInstance {
public:
    virtual ~ModuleInstance() = default;
    // The last FreeLibrary, while the machine is the one it was loaded on.
    // A boot of another machine drops the instance without this.
    virtual void Unloading() {}
};

struct ModuleDesc {
    const char* fileName;  // lower case, with its extension
    bool (*carried)(const Machine& machine);
    // The address of an export, or null where this machine's copy lacks it.
    void* (*entryPoint)(const Machine& machine, const char* name);
    std::shared_ptr<ModuleInstance> (*load)();
};

// The process's instance of a loaded module, or null.
ModuleInstance* LoadedModule(const char* fileName);
// Loads not yet freed, for tests.
unsigned ModuleLoadCount(const char* fileName);

}  // namespace sim
