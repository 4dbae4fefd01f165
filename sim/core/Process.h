// One run of a program on the simulated machine: the machine it runs on,
// its threads and virtual clock, its handles. Built at the first platform
// call (static constructors already make such calls), from the machine file
// named by WINSIM_MACHINE or else the built-in default machine.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "Handles.h"
#include "Machine.h"
#include "Scheduler.h"

namespace sim {

class Process {
public:
    static Process& Current();

    Machine& machine() { return m_machine; }
    Scheduler& scheduler() { return *m_scheduler; }
    HandleTable& handles() { return m_handles; }

    uint32_t LastError();
    void SetLastError(uint32_t code);

    // Adds a line to the run's transcript, with the virtual time.
    void Log(const std::string& line);

    // Named kernel objects of this machine's current boot.
    std::map<std::string, std::weak_ptr<KernelObject>>& namedObjects() { return m_named; }

    // Ends the run: records the exit code and writes the machine file back.
    void Exit(int code);

    // Counts a registry write of the program; when the machine's power
    // failure is due, the run ends here as if the power went: the machine
    // file keeps everything written so far and nothing else happens.
    void RegistryWritten();

    // For tests: start over on this machine (handles and named objects of
    // the earlier run are dropped; the clock and threads go on).
    static void Boot(Machine machine);

    const std::string& machineFile() const { return m_file; }

    // The kernel object of each thread, for handles to the current thread.
    std::map<uint32_t, std::weak_ptr<KernelObject>>& threadObjects() { return m_threadObjects; }
    std::shared_ptr<KernelObject> CurrentThreadObject();

    // The process's access token, made at its first opening.
    std::shared_ptr<KernelObject> processToken;

private:
    Process();
    void Reset(Machine machine);
    // Writes the machine back to its file, when it came from one.
    void SaveMachine();

    std::unique_ptr<Scheduler> m_scheduler;
    Machine m_machine;
    HandleTable m_handles;
    std::map<std::string, std::weak_ptr<KernelObject>> m_named;
    std::map<uint32_t, uint32_t> m_lastError;
    std::map<uint32_t, std::weak_ptr<KernelObject>> m_threadObjects;
    std::string m_file;
    bool m_exited = false;
};

// The calling thread's process, as a short name for the platform calls.
inline Process& Proc() { return Process::Current(); }

}  // namespace sim
