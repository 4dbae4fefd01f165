// Virtual time and the simulated threads. Every simulated thread is a real
// std::thread, but only the holder of the baton runs; a thread gives the
// baton up only when it waits. Time advances only when no thread can run,
// and then jumps to the earliest deadline, so runs are repeatable and a
// 122-second wait costs no wall time.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

class Scheduler {
public:
    using Ready = std::function<bool()>;
    static constexpr uint64_t kForever = UINT64_MAX;

    struct ThreadState;

    Scheduler();
    ~Scheduler();
    Scheduler(const Scheduler&) = delete;
    Scheduler& operator=(const Scheduler&) = delete;

    uint64_t Now() const { return m_now; }
    uint32_t CurrentThreadId() const;

    // Blocks the calling thread until ready() holds or timeoutMs passes.
    // ready is evaluated only while its thread holds the baton. Returns
    // true when ready() held, false on time-out. What describes the wait
    // for a dead-lock report.
    bool Wait(const Ready& ready, uint64_t timeoutMs, const std::string& what);

    // Gives other runnable threads their turn; time moves by one step only
    // when nobody else can run, so a busy poll always ends.
    void Poll(const std::string& what);

    // A new thread that runs body once it is resumed (suspendCount 0 starts
    // it at the next wait). Returns its id.
    uint32_t Spawn(std::function<void()> body, uint32_t suspendCount);
    // Returns the previous suspend count, or -1 for an unknown thread.
    long Resume(uint32_t id);
    long Suspend(uint32_t id);
    bool Finished(uint32_t id) const;

    // Called by the body of a thread when it ends (done by Spawn's wrapper).
    void Exit();

    // Hook for a dead-lock: the default prints and ends the process.
    std::function<void(const std::string&)> onDeadlock;

    // Called before each thread switch or clock jump; lets the desktop
    // feed timers and user agents (may make waits ready).
    std::function<void(uint64_t now)> onIdle;

    // The main thread is adopted at construction. For tests: the number of
    // live threads other than main.
    size_t LiveThreads() const;
    // For tests: the threads it still keeps, ended ones not yet forgotten included.
    size_t KeptThreads() const;

private:
    ThreadState* Self() const;
    void SwitchAway(std::unique_lock<std::mutex>& lock, ThreadState* self);
    ThreadState* PickNext(ThreadState* self);
    void RunAsThread(std::shared_ptr<ThreadState> t, std::function<void()> body);

    mutable std::mutex m_mu;
    uint64_t m_now = 0;
    uint32_t m_nextId = 1;
    ThreadState* m_running = nullptr;
    std::vector<std::shared_ptr<ThreadState>> m_threads;
    // Suspend counts of threads that ended and were forgotten, by id.
    std::map<uint32_t, uint32_t> m_ended;
};

}  // namespace sim
