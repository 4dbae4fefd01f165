// The global and local heaps of KERNEL32. Handles are checked against the
// blocks handed out, so a bad or double free is an error, not a crash.
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "../core/Process.h"
#include "GlobalMemory.h"
#include "win32.h"

using sim::Proc;

namespace {

// winerror: not among the codes the declarations carry.
constexpr DWORD kErrorNotLocked = 158;

struct Block {
    std::unique_ptr<uint8_t[]> bytes;
    size_t size = 0;
    bool moveable = false;
    unsigned locks = 0;
};

struct Heap {
    std::mutex mu;
    // By handle: the data pointer of a fixed block, the Block's own address
    // for a moveable one.
    std::map<uintptr_t, std::unique_ptr<Block>> blocks;
};

Heap& TheHeap() {
    static Heap heap;
    return heap;
}

HGLOBAL Allocate(UINT flags, size_t bytes) {
    auto b = std::make_unique<Block>();
    b->bytes.reset(new (std::nothrow) uint8_t[bytes ? bytes : 1]);
    if (!b->bytes) return NULL;
    // Uninitialised memory would make runs differ; a fixed pattern shows it.
    std::memset(b->bytes.get(), (flags & GMEM_ZEROINIT) ? 0 : 0xCD, bytes ? bytes : 1);
    b->size = bytes;
    b->moveable = flags & GMEM_MOVEABLE;
    uintptr_t handle = b->moveable ? reinterpret_cast<uintptr_t>(b.get()) : reinterpret_cast<uintptr_t>(b->bytes.get());
    auto& heap = TheHeap();
    std::lock_guard<std::mutex> lock(heap.mu);
    heap.blocks[handle] = std::move(b);
    return reinterpret_cast<HGLOBAL>(handle);
}

// Runs use on the block of handle h, or fails the call with `failed`.
template <class T, class Use>
T WithBlock(HGLOBAL h, T failed, Use use) {
    auto& heap = TheHeap();
    std::lock_guard<std::mutex> lock(heap.mu);
    auto it = heap.blocks.find(reinterpret_cast<uintptr_t>(h));
    if (it == heap.blocks.end()) {
        Proc().SetLastError(ERROR_INVALID_HANDLE);
        return failed;
    }
    return use(*it->second);
}

HGLOBAL Free(HGLOBAL h) {
    if (!h) return NULL;
    auto& heap = TheHeap();
    std::lock_guard<std::mutex> lock(heap.mu);
    if (heap.blocks.erase(reinterpret_cast<uintptr_t>(h)) == 0) {
        Proc().SetLastError(ERROR_INVALID_HANDLE);
        return h;
    }
    return NULL;
}

}  // namespace

namespace sim {

size_t LiveGlobalBlocks() {
    auto& heap = TheHeap();
    std::lock_guard<std::mutex> lock(heap.mu);
    return heap.blocks.size();
}

void* LocalBlock(size_t bytes) { return Allocate(GMEM_FIXED, bytes); }

}  // namespace sim

extern "C" {

HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes) {
    HGLOBAL h = Allocate(flags, bytes);
    if (!h) Proc().SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return h;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL h) { return Free(h); }

HLOCAL WINAPI LocalFree(HLOCAL h) { return Free(h); }

LPVOID WINAPI GlobalLock(HGLOBAL h) {
    return WithBlock<LPVOID>(h, NULL, [](Block& b) {
        if (b.moveable) ++b.locks;
        return static_cast<LPVOID>(b.bytes.get());
    });
}

BOOL WINAPI GlobalUnlock(HGLOBAL h) {
    return WithBlock<BOOL>(h, FALSE, [](Block& b) {
        if (b.locks == 0) {
            // A fixed block is never locked.
            Proc().SetLastError(b.moveable ? kErrorNotLocked : ERROR_SUCCESS);
            return FALSE;
        }
        if (--b.locks == 0) {
            Proc().SetLastError(ERROR_SUCCESS);
            return FALSE;
        }
        return TRUE;
    });
}

SIZE_T WINAPI GlobalSize(HGLOBAL h) {
    return WithBlock<SIZE_T>(h, 0, [](Block& b) { return static_cast<SIZE_T>(b.size); });
}

}  // extern "C"
