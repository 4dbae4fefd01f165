// Kernel objects of the simulated PC that several platform calls share.
#pragma once
#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "Handles.h"

namespace sim {

constexpr uint32_t kForeignOwner = 0xFFFFFFFFu;  // held by another program

class EventObject : public KernelObject {
public:
    EventObject(bool manual, bool state) : manualReset(manual), signaled(state) {}
    const char* Kind() const override { return "event"; }
    bool Waitable() const override { return true; }
    bool Signaled(uint32_t) const override { return signaled; }
    void Acquire(uint32_t) override {
        if (!manualReset) signaled = false;
    }
    bool manualReset;
    bool signaled;
};

class MutexObject : public KernelObject {
public:
    const char* Kind() const override { return "mutex"; }
    bool Waitable() const override { return true; }
    bool Signaled(uint32_t tid) const override { return owner == 0 || owner == tid; }
    void Acquire(uint32_t tid) override {
        owner = tid;
        ++count;
    }
    std::string name;
    uint32_t owner = 0;  // scheduler thread id, 0 when free
    uint32_t count = 0;
};

class ThreadObject : public KernelObject {
public:
    const char* Kind() const override { return "thread"; }
    bool Waitable() const override { return true; }
    // Set by the thread itself as it ends, while it holds the baton, so a
    // wait's readiness check never has to ask the scheduler.
    bool Signaled(uint32_t) const override { return finished; }
    uint32_t tid = 0;
    bool finished = false;
    uint32_t exitCode = 0x103;  // STILL_ACTIVE
    int priority = 0;
};

class TokenObject : public KernelObject {
public:
    const char* Kind() const override { return "token"; }
    std::set<uint32_t> enabled;  // privilege LUIDs enabled in this token
};

// An opened handle to a token, with the access it was opened for.
class TokenHandle : public KernelObject {
public:
    const char* Kind() const override { return "token"; }
    std::shared_ptr<TokenObject> token;
    uint32_t access = 0;
};

// The identifier the simulated machine gives to "SeShutdownPrivilege".
constexpr uint32_t kShutdownPrivilegeLuid = 19;

}  // namespace sim
