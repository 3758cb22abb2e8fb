#include "tests/fault/failing_allocator.h"

#include <malloc.h>

#include <atomic>
#include <cstddef>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define AHX_UNDER_ASAN 1
#endif
#endif

// The sanitizer's own replacements, which it declares weak so that a program may wrap them; without
// it, the C library's. Nothing the engine, library or plug-in does calls realloc.
#ifdef AHX_UNDER_ASAN
#include <sanitizer/lsan_interface.h>
#define REAL(name) __interceptor_##name
#else
#define REAL(name) __libc_##name
#endif
extern "C" void* REAL(malloc)(size_t size);
extern "C" void* REAL(calloc)(size_t count, size_t size);

namespace {

std::atomic<bool> counting{false};
std::atomic<uint64_t> counted{0};
std::atomic<uint64_t> failingNumber{0};

bool ShouldFail() {
    if (!counting.load(std::memory_order_relaxed)) return false;  // only between arming and stopping
    return counted.fetch_add(1, std::memory_order_relaxed) + 1 == failingNumber.load(std::memory_order_relaxed);
}

}  // namespace

extern "C" void* malloc(size_t size) noexcept {
    return ShouldFail() ? nullptr : REAL(malloc)(size);
}

extern "C" void* calloc(size_t count, size_t size) noexcept {
    return ShouldFail() ? nullptr : REAL(calloc)(count, size);
}

void FailAllocationNumber(uint64_t k) {
    counted = 0;
    failingNumber = k;
    counting = true;
}

uint64_t AllocationsCounted() {
    return counted;
}

void StopFailingAllocations() {
    counting = false;
    failingNumber = 0;
}

int64_t HeapBytesInUse() {
#ifdef AHX_UNDER_ASAN
    return -1;
#else
    return static_cast<int64_t>(mallinfo2().uordblks);
#endif
}

bool LeakCheckFindsLeaks() {
#ifdef AHX_UNDER_ASAN
    return __lsan_do_recoverable_leak_check() != 0;
#else
    return false;
#endif
}
