#include "common/interrupt.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t interruptSignal = 0;

extern "C" void OnInterrupt(int signalNumber) { interruptSignal = signalNumber; }

}  // namespace

void CatchInterrupts() {
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
}

bool InterruptRequested() { return interruptSignal != 0; }
