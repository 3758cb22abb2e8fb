// Chooses the mixing loops once per process from what the processor reports.
#include "mixer/mixer_path.h"

namespace {

bool portableForced = false;

bool ProcessorHasAvx2() {
#if defined(__x86_64__)
    // Also checks that the system saves the 256-bit registers, not only that the processor has them.
    static const bool hasAvx2 = (__builtin_cpu_init(), __builtin_cpu_supports("avx2") != 0);
    return hasAvx2;
#else
    return false;
#endif
}

}  // namespace

void ForcePortableMixing(bool forced) {
    portableForced = forced;
}

bool MixingUsesAvx2() {
    return !portableForced && ProcessorHasAvx2();
}
