// Chooses the mixing loops from what the processor reports, asked once per process.
#include "mixer/mixer_path.h"

#include <atomic>

namespace {

std::atomic<bool> portableForced{false};

#if defined(__x86_64__)
// What the processor answered: 0 not asked yet, then kNoAvx2 or kAvx2. Threads that ask at once
// may both ask; they get the same answer. (A guarded static would pull in the C++ runtime, which
// the C library does not link.)
constexpr int kNoAvx2 = 1, kAvx2 = 2;
std::atomic<int> processorAnswer{0};

bool ProcessorHasAvx2() {
    int answer = processorAnswer.load(std::memory_order_relaxed);
    if (answer == 0) {
        // Also checks that the system saves the 256-bit registers, not only that the processor has them.
        __builtin_cpu_init();
        answer = __builtin_cpu_supports("avx2") ? kAvx2 : kNoAvx2;
        processorAnswer.store(answer, std::memory_order_relaxed);
    }
    return answer == kAvx2;
}
#endif

}  // namespace

void ForcePortableMixing(bool forced) {
    portableForced.store(forced, std::memory_order_relaxed);
}

MixLoops ChosenMixLoops() {
#if defined(__x86_64__)
    if (!portableForced.load(std::memory_order_relaxed) && ProcessorHasAvx2()) {
        return {AddVoiceAvx2, StoreInterleavedAvx2};
    }
#endif
    return {AddVoicePortable, StoreInterleavedPortable};
}
