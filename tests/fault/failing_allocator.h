#pragma once
// Makes the k-th allocation of the whole process fail: malloc and calloc are replaced in
// this test executable, so the plug-in loaded with dlopen (whose calls the dynamic linker resolves
// to the executable's definitions first), the engine and the C library's own use (fopen's buffer)
// all go through the same count. Nothing in the engine or the plug-in knows about it.
#include <cstdint>

// From now on, allocation number k (counted from 1) returns null; k = 0 fails none. Resets the count.
void FailAllocationNumber(uint64_t k);
// Allocations attempted since the last FailAllocationNumber, the failed one included.
uint64_t AllocationsCounted();
void StopFailingAllocations();
// Bytes the C allocator holds for the program, or -1 where it cannot tell (under the address
// sanitizer, whose leak checker answers instead). Exact only with glibc's thread cache off
// (GLIBC_TUNABLES=glibc.malloc.tcache_count=0), which the test's registration sets.
int64_t HeapBytesInUse();
// True when a leak check finds memory nothing points to any more; always false without one.
bool LeakCheckFindsLeaks();
