// The process's handle table and the kernel objects behind handles.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace sim {

class KernelObject {
public:
    virtual ~KernelObject() = default;
    virtual const char* Kind() const = 0;
    // Waitable objects: whether a wait by thread tid would succeed now, and
    // what a successful wait takes (an auto-reset event, a mutex).
    virtual bool Signaled(uint32_t tid) const { return false; }
    virtual void Acquire(uint32_t tid) {}
    virtual bool Waitable() const { return false; }
};

class HandleTable {
public:
    using Handle = void*;
    Handle Add(std::shared_ptr<KernelObject> object);
    std::shared_ptr<KernelObject> Get(Handle h) const;
    template <class T>
    std::shared_ptr<T> GetAs(Handle h) const {
        return std::dynamic_pointer_cast<T>(Get(h));
    }
    bool Close(Handle h);
    size_t Count() const { return m_objects.size(); }
    // Open handles of one kind, for leak checks.
    size_t Count(const std::string& kind) const;

private:
    uintptr_t m_next = 0x100;
    std::map<uintptr_t, std::shared_ptr<KernelObject>> m_objects;
};

}  // namespace sim
