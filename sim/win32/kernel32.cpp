// KERNEL32 on the simulated PC: version, power, errors, synchronisation,
// threads, time and the module's own name.
#include <cstring>

#include "../core/Objects.h"
#include "../core/Process.h"
#include "win32.h"

using sim::Proc;

namespace {

struct ThreadExit {
    DWORD code;
};

std::string NameOf(const char* name) {
    std::string n = name;
    // On the NT family from Windows 2000 on, "Local\" is the session's own
    // namespace, the default for names without a prefix.
    const auto& os = Proc().machine().os;
    if (os.platform == 2 && os.major >= 5 && n.rfind("Local\\", 0) == 0) n = n.substr(6);
    return n;
}

std::shared_ptr<sim::KernelObject> Waitable(HANDLE h) {
    auto object = Proc().handles().Get(h);
    if (!object || !object->Waitable()) return nullptr;
    return object;
}

}  // namespace

extern "C" {

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info) {
    auto& m = Proc().machine();
    if (!info || info->dwOSVersionInfoSize < sizeof(OSVERSIONINFOA) || m.os.versionFails) {
        Proc().SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    info->dwMajorVersion = m.os.major;
    info->dwMinorVersion = m.os.minor;
    // Windows 98/ME keep the version in the high word of the build number.
    info->dwBuildNumber = m.os.platform == 1 ? (m.os.major << 24 | m.os.minor << 16 | (m.os.build & 0xFFFF))
                                             : m.os.build;
    info->dwPlatformId = m.os.platform;
    std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
    std::strncpy(info->szCSDVersion, m.os.csd.c_str(), sizeof info->szCSDVersion - 1);
    return TRUE;
}

BOOL WINAPI GetSystemPowerStatus(LPSYSTEM_POWER_STATUS status) {
    auto& p = Proc().machine().power;
    if (!status || p.callFails) {
        Proc().SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
    status->ACLineStatus = static_cast<BYTE>(p.acLineStatus);
    status->BatteryFlag = static_cast<BYTE>(p.batteryFlag);
    status->BatteryLifePercent = static_cast<BYTE>(p.batteryPercent);
    status->Reserved1 = 0;
    status->BatteryLifeTime = 0xFFFFFFFFu;
    status->BatteryFullLifeTime = 0xFFFFFFFFu;
    return TRUE;
}

DWORD WINAPI GetLastError(void) { return Proc().LastError(); }
void WINAPI SetLastError(DWORD code) { Proc().SetLastError(code); }

HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCSTR name) {
    auto& proc = Proc();
    uint32_t tid = proc.scheduler().CurrentThreadId();
    if (name && *name) {
        std::string key = NameOf(name);
        auto& named = proc.namedObjects();
        auto it = named.find(key);
        std::shared_ptr<sim::KernelObject> existing = it == named.end() ? nullptr : it->second.lock();
        if (existing && !std::dynamic_pointer_cast<sim::MutexObject>(existing)) {
            proc.SetLastError(6);  // ERROR_INVALID_HANDLE: another kind of object has that name
            return NULL;
        }
        if (!existing) {
            for (const auto& foreign : proc.machine().foreignMutexes) {
                if (NameOf(foreign.c_str()) != key) continue;
                auto m = std::make_shared<sim::MutexObject>();
                m->name = key;
                m->owner = sim::kForeignOwner;
                m->count = 1;
                named[key] = m;
                existing = m;
            }
        }
        if (existing) {
            HANDLE h = proc.handles().Add(existing);
            proc.SetLastError(ERROR_ALREADY_EXISTS);
            return h;
        }
    }
    auto m = std::make_shared<sim::MutexObject>();
    if (name) m->name = NameOf(name);
    if (initialOwner) m->Acquire(tid);
    if (name && *name) proc.namedObjects()[m->name] = m;
    HANDLE h = proc.handles().Add(m);
    proc.SetLastError(0);
    return h;
}

BOOL WINAPI ReleaseMutex(HANDLE h) {
    auto m = Proc().handles().GetAs<sim::MutexObject>(h);
    if (!m) {
        Proc().SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (m->owner != Proc().scheduler().CurrentThreadId() || m->count == 0) {
        Proc().SetLastError(ERROR_NOT_OWNER);
        return FALSE;
    }
    if (--m->count == 0) m->owner = 0;
    return TRUE;
}

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR name) {
    auto& proc = Proc();
    if (name && *name) {
        auto it = proc.namedObjects().find(NameOf(name));
        if (it != proc.namedObjects().end()) {
            if (auto existing = std::dynamic_pointer_cast<sim::EventObject>(it->second.lock())) {
                proc.SetLastError(ERROR_ALREADY_EXISTS);
                return proc.handles().Add(existing);
            }
        }
    }
    auto e = std::make_shared<sim::EventObject>(manualReset != FALSE, initialState != FALSE);
    if (name && *name) proc.namedObjects()[NameOf(name)] = e;
    proc.SetLastError(0);
    return proc.handles().Add(e);
}

BOOL WINAPI SetEvent(HANDLE h) {
    auto e = Proc().handles().GetAs<sim::EventObject>(h);
    if (!e) {
        Proc().SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    e->signaled = true;
    return TRUE;
}

BOOL WINAPI ResetEvent(HANDLE h) {
    auto e = Proc().handles().GetAs<sim::EventObject>(h);
    if (!e) {
        Proc().SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    e->signaled = false;
    return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE h, DWORD ms) { return WaitForMultipleObjects(1, &h, FALSE, ms); }

DWORD WINAPI WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD ms) {
    auto& proc = Proc();
    if (count == 0 || count > 64 || !handles) {
        proc.SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<sim::KernelObject>> objects;
    for (DWORD i = 0; i < count; ++i) {
        auto object = Waitable(handles[i]);
        if (!object) {
            proc.SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        objects.push_back(object);
    }
    uint32_t tid = proc.scheduler().CurrentThreadId();
    size_t which = 0;
    auto ready = [&]() {
        if (waitAll) {
            for (auto& o : objects)
                if (!o->Signaled(tid)) return false;
            return true;
        }
        for (size_t i = 0; i < objects.size(); ++i) {
            if (objects[i]->Signaled(tid)) {
                which = i;
                return true;
            }
        }
        return false;
    };
    std::string what = std::string("a ") + objects[0]->Kind() + (count > 1 ? " and other objects" : "");
    bool ok = ms == 0 ? ready() : proc.scheduler().Wait(ready, ms == INFINITE ? sim::Scheduler::kForever : ms, what);
    if (!ok) {
        if (ms == 0) proc.scheduler().Poll(what);
        return WAIT_TIMEOUT;
    }
    if (waitAll) {
        for (auto& o : objects) o->Acquire(tid);
        return WAIT_OBJECT_0;
    }
    objects[which]->Acquire(tid);
    return WAIT_OBJECT_0 + static_cast<DWORD>(which);
}

BOOL WINAPI CloseHandle(HANDLE h) {
    if (!Proc().handles().Close(h)) {
        Proc().SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

HANDLE WINAPI GetCurrentProcess(void) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)); }
HANDLE WINAPI GetCurrentThread(void) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-2)); }
DWORD WINAPI GetCurrentThreadId(void) { return Proc().scheduler().CurrentThreadId(); }
DWORD WINAPI GetCurrentProcessId(void) { return 0x400 + static_cast<DWORD>(Proc().machine().boots); }

BOOL WINAPI DuplicateHandle(HANDLE sourceProcess, HANDLE source, HANDLE targetProcess, LPHANDLE target,
                            DWORD, BOOL, DWORD options) {
    auto& proc = Proc();
    if (sourceProcess != GetCurrentProcess() || targetProcess != GetCurrentProcess() || !target) {
        proc.SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::shared_ptr<sim::KernelObject> object;
    if (source == GetCurrentThread()) {
        object = proc.CurrentThreadObject();
    } else {
        object = proc.handles().Get(source);
    }
    if (!object) {
        proc.SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *target = proc.handles().Add(object);
    if (options & DUPLICATE_CLOSE_SOURCE) proc.handles().Close(source);
    return TRUE;
}

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE start, LPVOID param, DWORD flags,
                           LPDWORD threadId) {
    auto& proc = Proc();
    if (!start) {
        proc.SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    auto t = std::make_shared<sim::ThreadObject>();
    t->tid = proc.scheduler().Spawn(
        [t, start, param]() {
            DWORD code;
            try {
                code = start(param);
            } catch (const ThreadExit& e) {
                code = e.code;
            }
            t->exitCode = code;
            t->finished = true;
        },
        (flags & CREATE_SUSPENDED) ? 1 : 0);
    if (threadId) *threadId = t->tid;
    proc.threadObjects()[t->tid] = t;
    return proc.handles().Add(t);
}

DWORD WINAPI ResumeThread(HANDLE h) {
    auto t = Proc().handles().GetAs<sim::ThreadObject>(h);
    long previous = t ? Proc().scheduler().Resume(t->tid) : -1;
    if (previous < 0) Proc().SetLastError(ERROR_INVALID_HANDLE);
    return static_cast<DWORD>(previous);
}

DWORD WINAPI SuspendThread(HANDLE h) {
    auto t = Proc().handles().GetAs<sim::ThreadObject>(h);
    long previous = t ? Proc().scheduler().Suspend(t->tid) : -1;
    if (previous < 0) Proc().SetLastError(ERROR_INVALID_HANDLE);
    return static_cast<DWORD>(previous);
}

BOOL WINAPI GetExitCodeThread(HANDLE h, LPDWORD code) {
    auto t = Proc().handles().GetAs<sim::ThreadObject>(h);
    if (!t || !code) {
        Proc().SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *code = t->finished ? t->exitCode : STILL_ACTIVE;
    return TRUE;
}

BOOL WINAPI SetThreadPriority(HANDLE h, int priority) {
    auto t = Proc().handles().GetAs<sim::ThreadObject>(h);
    if (!t) {
        Proc().SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    t->priority = priority;
    return TRUE;
}

int WINAPI GetThreadPriority(HANDLE h) {
    auto t = Proc().handles().GetAs<sim::ThreadObject>(h);
    return t ? t->priority : 0x7FFFFFFF;  // THREAD_PRIORITY_ERROR_RETURN
}

void WINAPI ExitThread(DWORD code) { throw ThreadExit{code}; }

void WINAPI Sleep(DWORD ms) {
    auto& s = Proc().scheduler();
    if (ms == 0)
        s.Poll("Sleep(0)");
    else
        s.Wait(nullptr, ms == INFINITE ? sim::Scheduler::kForever : ms, "Sleep(" + std::to_string(ms) + ")");
}

DWORD WINAPI GetTickCount(void) {
    // Machines have been up a while when a program starts.
    return static_cast<DWORD>(3600000u + Proc().scheduler().Now());
}

DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR name, DWORD size) {
    if (module != NULL) {
        Proc().SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    const std::string& path = Proc().machine().imagePath;
    if (size == 0) return 0;
    if (path.size() >= size) {
        std::memcpy(name, path.data(), size);  // cut short without a zero, as Windows XP does
        Proc().SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::memcpy(name, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
}

HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
    if (name == NULL) return reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x400000));
    Proc().SetLastError(ERROR_MOD_NOT_FOUND);
    return NULL;
}

}  // extern "C"
