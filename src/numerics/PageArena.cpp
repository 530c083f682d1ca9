#include "numerics/PageArena.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>
#include <vector>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KSN_ARENA_OFF 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define KSN_ARENA_OFF 1
#endif
#endif

namespace ksn {

namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;
constexpr std::size_t kGranule = std::size_t(4) << 10; // smallest arena block and size step
constexpr std::size_t kRegion = std::size_t(32) << 20;  // carved into blocks below 2 MiB

std::size_t RoundUp(std::size_t v, std::size_t step) { return (v + step - 1) / step * step; }

// `bytes` (a multiple of 2 MiB) of fresh, zero pages at a 2 MiB boundary, marked for huge
// pages; null when the kernel has no memory.
void* MapAligned(std::size_t bytes)
{
    const std::size_t span = bytes + kHugePage;
    void* raw = ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = RoundUp(start, kHugePage);
    // Trim the slack on both sides, so that the block is exactly what was asked for.
    if (aligned > start)
        ::munmap(raw, aligned - start);
    if (const std::size_t tail = start + span - (aligned + bytes); tail > 0)
        ::munmap(reinterpret_cast<void*>(aligned + bytes), tail);
    void* block = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
    ::madvise(block, bytes, MADV_HUGEPAGE); // advice only: without huge pages it still works
#endif
    return block;
}

// Blocks from 4 KiB up to 2 MiB: carved from regions, recycled per rounded size.
class TArena {
public:
    void* Allocate(std::size_t size)
    {
        {
            std::lock_guard<std::mutex> lock(myMutex);
            auto& list = myFree[size];
            if (!list.empty()) {
                void* block = list.back();
                list.pop_back();
                std::memset(block, 0, size); // a used block: zeroed as calloc would
                return block;
            }
            if (myLeft < size) {
                myNext = static_cast<char*>(MapAligned(kRegion));
                myLeft = myNext ? kRegion : 0;
            }
            if (myLeft >= size) {
                void* block = myNext;
                myNext += size;
                myLeft -= size;
                return block; // fresh pages: zero
            }
        }
        throw std::bad_alloc();
    }

    void Free(void* block, std::size_t size)
    {
        std::lock_guard<std::mutex> lock(myMutex);
        myFree[size].push_back(block);
    }

private:
    std::mutex myMutex;
    std::unordered_map<std::size_t, std::vector<void*>> myFree;
    char* myNext = nullptr;
    std::size_t myLeft = 0;
};

TArena& Arena()
{
    static TArena* arena = new TArena; // outlives every static array that frees into it
    return *arena;
}

} // namespace

void* ZeroedAllocate(std::size_t bytes)
{
#ifndef KSN_ARENA_OFF
    if (bytes >= kHugePage) {
        void* block = MapAligned(RoundUp(bytes, kHugePage));
        if (!block)
            throw std::bad_alloc();
        return block;
    }
    if (bytes >= kGranule)
        return Arena().Allocate(RoundUp(bytes, kGranule));
#endif
    void* block = std::calloc(bytes == 0 ? 1 : bytes, 1);
    if (!block)
        throw std::bad_alloc();
    return block;
}

void ZeroedFree(void* block, std::size_t bytes) noexcept
{
    if (!block)
        return;
#ifndef KSN_ARENA_OFF
    if (bytes >= kHugePage) {
        ::munmap(block, RoundUp(bytes, kHugePage));
        return;
    }
    if (bytes >= kGranule) {
        Arena().Free(block, RoundUp(bytes, kGranule));
        return;
    }
#endif
    std::free(block);
}

} // namespace ksn
