#include "Process.h"

#include "Objects.h"

#include <cstdio>
#include <cstdlib>

namespace sim {

Process& Process::Current() {
    static Process process;
    return process;
}

Process::Process() : m_scheduler(std::make_unique<Scheduler>()) {
    const char* file = std::getenv("WINSIM_MACHINE");
    try {
        if (file && *file) {
            m_file = file;
            m_machine = Machine::Load(m_file);
        } else {
            m_machine = Machine::Default();
        }
    } catch (const MachineFileError& e) {
        // Nothing has run yet and nothing is written back: the file stays as it was.
        std::fprintf(stderr, "winsim: %s\n", e.what());
        std::fflush(stderr);
        std::_Exit(2);
    }
}

void Process::Reset(Machine machine) {
    m_machine = std::move(machine);
    m_handles = HandleTable();
    m_named.clear();
    m_lastError.clear();
    processToken.reset();
    m_exited = false;
}

void Process::Boot(Machine machine) { Current().Reset(std::move(machine)); }

std::shared_ptr<KernelObject> Process::CurrentThreadObject() {
    uint32_t tid = m_scheduler->CurrentThreadId();
    if (auto existing = m_threadObjects[tid].lock()) return existing;
    auto t = std::make_shared<ThreadObject>();
    t->tid = tid;
    m_threadObjects[tid] = t;
    return t;
}

uint32_t Process::LastError() { return m_lastError[m_scheduler->CurrentThreadId()]; }

void Process::SetLastError(uint32_t code) { m_lastError[m_scheduler->CurrentThreadId()] = code; }

void Process::Log(const std::string& line) {
    uint64_t ms = m_scheduler->Now();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "[%6llu.%03llu] ", static_cast<unsigned long long>(ms / 1000),
                  static_cast<unsigned long long>(ms % 1000));
    m_machine.transcript.push_back(stamp + line);
}

void Process::RegistryWritten() {
    PowerFailure& power = m_machine.powerFailure;
    ++power.writes;
    if (power.atWrite == 0 || power.writes != power.atWrite) return;
    power.atWrite = 0;
    power.struck = true;
    Log("the power fails after registry write " + std::to_string(power.writes));
    m_exited = true;
    SaveMachine();
    // No destructor, no thread and no exit routine of the program runs.
    std::_Exit(0);
}

void Process::Exit(int code) {
    if (m_exited) return;
    m_exited = true;
    Log("program ended with exit code " + std::to_string(code));
    SaveMachine();
}

void Process::SaveMachine() {
    if (m_file.empty()) return;
    try {
        m_machine.Save(m_file);
    } catch (const MachineFileError& e) {
        std::fprintf(stderr, "winsim: %s\n", e.what());
    }
}

}  // namespace sim
