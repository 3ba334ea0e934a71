#include "support/allocations.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace {

// Every block carries its size in a header in front of it, so that the live
// bytes are known whichever delete frees it.
constexpr std::size_t HEADER = alignof(std::max_align_t) > 16 ? alignof(std::max_align_t) : 16;
std::atomic<long long> made{0}, liveBytes{0}, liveBlocks{0};

void* allocate(std::size_t size) {
    char* block = static_cast<char*>(std::malloc(size + HEADER));
    if (!block) return nullptr;
    *reinterpret_cast<std::size_t*>(block) = size;
    made.fetch_add(1, std::memory_order_relaxed);
    liveBytes.fetch_add(static_cast<long long>(size), std::memory_order_relaxed);
    liveBlocks.fetch_add(1, std::memory_order_relaxed);
    return block + HEADER;
}

void* allocateOrAbort(std::size_t size) {
    void* p = allocate(size);
    if (!p) std::abort();
    return p;
}

void release(void* p) {
    if (!p) return;
    char* block = static_cast<char*>(p) - HEADER;
    liveBytes.fetch_sub(static_cast<long long>(*reinterpret_cast<std::size_t*>(block)),
                        std::memory_order_relaxed);
    liveBlocks.fetch_sub(1, std::memory_order_relaxed);
    std::free(block);
}

} // namespace

long long allocationsMade() {
    return made.load();
}
long long liveAllocatedBytes() {
    return liveBytes.load();
}
long long liveAllocatedBlocks() {
    return liveBlocks.load();
}

// Every form is replaced: under the address sanitizer a form left out comes
// from its runtime, not from these, and its blocks would be freed here.
void* operator new(std::size_t size) {
    return allocateOrAbort(size);
}
void* operator new[](std::size_t size) {
    return allocateOrAbort(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void operator delete(void* p) noexcept {
    release(p);
}
void operator delete[](void* p) noexcept {
    release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    release(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    release(p);
}
