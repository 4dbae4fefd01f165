#include "Scheduler.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <thread>

namespace sim {

struct Scheduler::ThreadState {
    enum State { kRunning, kRunnable, kBlocked, kDone };
    uint32_t id = 0;
    State state = kRunnable;
    uint32_t suspendCount = 0;
    Scheduler::Ready ready;
    uint64_t deadline = kForever;
    bool timedOut = false;
    std::string what;
    std::condition_variable cv;
    std::thread::id osId;
    std::thread thread;
    std::atomic<bool> ended{false};  // its host thread has nothing left to run
};

namespace {
std::string Describe(const Scheduler::ThreadState& t);
}

Scheduler::Scheduler() {
    auto main = std::make_shared<ThreadState>();
    main->id = m_nextId++;
    main->state = ThreadState::kRunning;
    main->osId = std::this_thread::get_id();
    m_running = main.get();
    m_threads.push_back(main);
    onDeadlock = [](const std::string& why) {
        std::fprintf(stderr, "winsim: the program can never progress: %s\n", why.c_str());
        std::fflush(stderr);
        std::_Exit(70);
    };
}

Scheduler::~Scheduler() {
    for (auto& t : m_threads) {
        if (!t->thread.joinable()) continue;
        if (t->state == ThreadState::kDone)
            t->thread.join();
        else
            t->thread.detach();  // never resumed or stuck: the process ends around it
    }
}

Scheduler::ThreadState* Scheduler::Self() const {
    auto me = std::this_thread::get_id();
    for (auto& t : m_threads)
        if (t->osId == me && t->state != ThreadState::kDone) return t.get();
    return nullptr;
}

uint32_t Scheduler::CurrentThreadId() const {
    std::lock_guard<std::mutex> lock(m_mu);
    auto* self = Self();
    return self ? self->id : 0;
}

size_t Scheduler::LiveThreads() const {
    std::lock_guard<std::mutex> lock(m_mu);
    size_t n = 0;
    for (size_t i = 1; i < m_threads.size(); ++i)
        if (m_threads[i]->state != ThreadState::kDone) ++n;
    return n;
}

size_t Scheduler::KeptThreads() const {
    std::lock_guard<std::mutex> lock(m_mu);
    return m_threads.size();
}

Scheduler::ThreadState* Scheduler::PickNext(ThreadState* self) {
    // Round robin from the thread after the current one; the caller itself
    // comes last, so a yield lets everyone else go first.
    const size_t n = m_threads.size();
    size_t start = 0;
    for (size_t i = 0; i < n; ++i)
        if (m_threads[i].get() == self) start = i + 1;
    for (size_t k = 0; k < n; ++k) {
        ThreadState* t = m_threads[(start + k) % n].get();
        if (t->suspendCount > 0) continue;
        if (t->state == ThreadState::kRunnable) return t;
        if (t->state == ThreadState::kBlocked && t->ready && t->ready()) {
            t->timedOut = false;
            return t;
        }
    }
    return nullptr;
}

void Scheduler::SwitchAway(std::unique_lock<std::mutex>& lock, ThreadState* self) {
    for (;;) {
        if (onIdle) {
            // The desktop may post timer messages or act for the user here.
            auto hook = onIdle;
            uint64_t now = m_now;
            lock.unlock();
            hook(now);
            lock.lock();
        }
        ThreadState* next = PickNext(self);
        if (next) {
            next->state = ThreadState::kRunning;
            if (next == self) return;
            m_running = next;
            next->cv.notify_one();
            if (self->state == ThreadState::kDone) return;
            self->cv.wait(lock, [&] { return m_running == self; });
            return;
        }
        uint64_t earliest = kForever;
        for (auto& t : m_threads)
            if (t->state == ThreadState::kBlocked && t->suspendCount == 0 && t->deadline < earliest)
                earliest = t->deadline;
        if (earliest == kForever) {
            std::string why;
            for (auto& t : m_threads)
                if (t->state != ThreadState::kDone) why += (why.empty() ? "" : "; ") + Describe(*t);
            lock.unlock();
            onDeadlock(why.empty() ? "no thread left" : why);
            lock.lock();
            continue;
        }
        if (earliest > m_now) m_now = earliest;
        for (auto& t : m_threads) {
            if (t->state == ThreadState::kBlocked && t->suspendCount == 0 && t->deadline <= m_now) {
                t->timedOut = !(t->ready && t->ready());
                t->state = ThreadState::kRunnable;
            }
        }
    }
}

bool Scheduler::Wait(const Ready& ready, uint64_t timeoutMs, const std::string& what) {
    std::unique_lock<std::mutex> lock(m_mu);
    ThreadState* self = Self();
    if (!self) {
        std::fprintf(stderr, "winsim: a thread unknown to the simulated PC waited (%s)\n", what.c_str());
        std::abort();
    }
    if (ready && ready()) return true;
    if (timeoutMs == 0) return false;
    self->ready = ready;
    self->deadline = timeoutMs == kForever ? kForever : m_now + timeoutMs;
    self->timedOut = false;
    self->what = what;
    self->state = ThreadState::kBlocked;
    SwitchAway(lock, self);
    self->ready = nullptr;
    return !self->timedOut;
}

void Scheduler::Poll(const std::string& what) { Wait(nullptr, 1, what); }

uint32_t Scheduler::Spawn(std::function<void()> body, uint32_t suspendCount) {
    std::vector<std::shared_ptr<ThreadState>> ended;
    uint32_t id;
    {
        std::lock_guard<std::mutex> lock(m_mu);
        // Ended threads are forgotten, so that a long run does not walk an
        // ever longer list at each switch; the others keep their order.
        for (auto it = m_threads.begin() + 1; it != m_threads.end();) {
            if ((*it)->state == ThreadState::kDone && (*it)->ended) {
                m_ended[(*it)->id] = (*it)->suspendCount;
                ended.push_back(std::move(*it));
                it = m_threads.erase(it);
            } else {
                ++it;
            }
        }
        auto t = std::make_shared<ThreadState>();
        t->id = id = m_nextId++;
        t->state = ThreadState::kRunnable;
        t->suspendCount = suspendCount;
        m_threads.push_back(t);
        // The OS id must be known before the thread can look itself up.
        t->thread = std::thread([this, t, body = std::move(body)]() mutable {
            RunAsThread(t, std::move(body));
            t->ended = true;
        });
        t->osId = t->thread.get_id();
    }
    for (auto& t : ended) t->thread.join();
    return id;
}

void Scheduler::RunAsThread(std::shared_ptr<ThreadState> t, std::function<void()> body) {
    {
        std::unique_lock<std::mutex> lock(m_mu);
        t->cv.wait(lock, [&] { return m_running == t.get() && t->osId == std::this_thread::get_id(); });
    }
    body();
    Exit();
}

void Scheduler::Exit() {
    std::unique_lock<std::mutex> lock(m_mu);
    ThreadState* self = Self();
    if (!self) return;
    self->state = ThreadState::kDone;
    SwitchAway(lock, self);
}

long Scheduler::Resume(uint32_t id) {
    std::lock_guard<std::mutex> lock(m_mu);
    for (auto& t : m_threads) {
        if (t->id != id) continue;
        long previous = t->suspendCount;
        if (t->suspendCount > 0) --t->suspendCount;
        return previous;
    }
    auto ended = m_ended.find(id);
    if (ended == m_ended.end()) return -1;
    long previous = ended->second;
    if (ended->second > 0) --ended->second;
    return previous;
}

long Scheduler::Suspend(uint32_t id) {
    std::lock_guard<std::mutex> lock(m_mu);
    for (auto& t : m_threads) {
        if (t->id != id || t->state == ThreadState::kDone) continue;
        return t->suspendCount++;
    }
    return -1;
}

bool Scheduler::Finished(uint32_t id) const {
    std::lock_guard<std::mutex> lock(m_mu);
    for (auto& t : m_threads)
        if (t->id == id) return t->state == ThreadState::kDone;
    return true;
}

namespace {
std::string Describe(const Scheduler::ThreadState& t) {
    std::string s = "thread " + std::to_string(t.id);
    if (t.suspendCount > 0) return s + " is suspended";
    if (t.state == Scheduler::ThreadState::kBlocked)
        return s + " waits for " + (t.what.empty() ? std::string("something") : t.what);
    return s + " is runnable";
}
}  // namespace

}  // namespace sim
