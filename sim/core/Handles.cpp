#include "Handles.h"

namespace sim {

HandleTable::Handle HandleTable::Add(std::shared_ptr<KernelObject> object) {
    uintptr_t value = m_next;
    m_next += 4;  // handle values are multiples of four, as on Windows
    m_objects[value] = std::move(object);
    return reinterpret_cast<Handle>(value);
}

std::shared_ptr<KernelObject> HandleTable::Get(Handle h) const {
    auto it = m_objects.find(reinterpret_cast<uintptr_t>(h));
    return it == m_objects.end() ? nullptr : it->second;
}

bool HandleTable::Close(Handle h) { return m_objects.erase(reinterpret_cast<uintptr_t>(h)) == 1; }

size_t HandleTable::Count(const std::string& kind) const {
    size_t n = 0;
    for (auto& entry : m_objects)
        if (kind == entry.second->Kind()) ++n;
    return n;
}

}  // namespace sim
