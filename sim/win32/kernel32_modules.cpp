// Loading libraries on the simulated PC. A machine carries only the modules
// listed here, and only when its machine file says so; everything else
// fails to load the way Windows fails for a missing DLL.
#include <algorithm>
#include <cctype>
#include <map>
#include <string>

#include "../aspi/AspiManager.h"
#include "../core/Modules.h"
#include "../core/Process.h"
#include "win32.h"

using sim::Proc;

namespace {

const sim::ModuleDesc* const kModules[] = {&sim::aspi::kManagerModule};

// A module loaded into the process; it lives in the handle table, so a boot
// of another machine unloads it with the rest of the process.
class LoadedModuleObject : public sim::KernelObject {
public:
    const char* Kind() const override { return "module"; }
    const sim::ModuleDesc* desc = nullptr;
    unsigned loads = 0;
    std::shared_ptr<sim::ModuleInstance> instance;
};

struct Loaded {
    std::weak_ptr<LoadedModuleObject> object;
    HMODULE handle = NULL;
};

std::map<std::string, Loaded>& LoadedModules() {
    static std::map<std::string, Loaded> loaded;
    return loaded;
}

std::shared_ptr<LoadedModuleObject> Find(const std::string& fileName, HMODULE* handle = nullptr) {
    auto& loaded = LoadedModules();
    auto it = loaded.find(fileName);
    if (it == loaded.end()) return nullptr;
    auto object = it->second.object.lock();
    if (!object) {
        loaded.erase(it);
        return nullptr;
    }
    if (handle) *handle = it->second.handle;
    return object;
}

// "C:\WINDOWS\SYSTEM\WNASPI32" names wnaspi32.dll: Windows adds ".dll" to a
// name without an extension, and a final dot means none. The machine has no
// file system, so the folder is not looked at.
std::string FileNameOf(const std::string& path) {
    size_t slash = path.find_last_of("\\/:");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (!name.empty() && name.back() == '.')
        name.pop_back();
    else if (name.find('.') == std::string::npos)
        name += ".dll";
    return name;
}

}  // namespace

namespace sim {

ModuleInstance* LoadedModule(const char* fileName) {
    auto object = Find(fileName);
    return object ? object->instance.get() : nullptr;
}

unsigned ModuleLoadCount(const char* fileName) {
    auto object = Find(fileName);
    return object ? object->loads : 0;
}

}  // namespace sim

extern "C" {

HMODULE WINAPI LoadLibraryA(LPCSTR path) {
    auto& proc = Proc();
    if (!path || !*path) {
        proc.SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    const std::string fileName = FileNameOf(path);
    HMODULE handle = NULL;
    if (auto object = Find(fileName, &handle)) {
        ++object->loads;
        return handle;
    }
    for (const sim::ModuleDesc* desc : kModules) {
        if (fileName != desc->fileName || !desc->carried(proc.machine())) continue;
        auto object = std::make_shared<LoadedModuleObject>();
        object->desc = desc;
        object->loads = 1;
        object->instance = desc->load();
        handle = static_cast<HMODULE>(proc.handles().Add(object));
        LoadedModules()[fileName] = Loaded{object, handle};
        return handle;
    }
    proc.SetLastError(ERROR_MOD_NOT_FOUND);
    return NULL;
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name) {
    auto& proc = Proc();
    auto object = proc.handles().GetAs<LoadedModuleObject>(module);
    if (!object) {
        proc.SetLastError(ERROR_MOD_NOT_FOUND);
        return NULL;
    }
    // Entry points by ordinal are not among what the modules export.
    void* address = IS_INTRESOURCE(name) ? nullptr : object->desc->entryPoint(proc.machine(), name);
    if (!address) {
        proc.SetLastError(ERROR_PROC_NOT_FOUND);
        return NULL;
    }
    return reinterpret_cast<FARPROC>(address);
}

BOOL WINAPI FreeLibrary(HMODULE module) {
    auto& proc = Proc();
    auto object = proc.handles().GetAs<LoadedModuleObject>(module);
    if (!object || object->loads == 0) {
        proc.SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    if (--object->loads == 0) {
        object->instance->Unloading();
        proc.handles().Close(module);
    }
    return TRUE;
}

}  // extern "C"
