#pragma once
// What the fuzz targets share. A target states its contract as Require calls: a broken one aborts,
// which libFuzzer reports with the input that broke it.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

inline void Require(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "contract broken: %s\n", what);
    std::abort();
}

// A file from the front of the input, as long as its last four bytes say (least significant first;
// more than is left takes it all), so that seeds can say it plainly; numbers come from the end.
inline std::vector<uint8_t> TakeFile(FuzzedDataProvider& input) {
    return input.ConsumeBytes<uint8_t>(input.ConsumeIntegral<uint32_t>());
}

template <typename T>
T Any(FuzzedDataProvider& input) {
    return input.ConsumeIntegral<T>();
}

template <typename T>
T In(FuzzedDataProvider& input, T lowest, T highest) {
    return input.ConsumeIntegralInRange<T>(lowest, highest);
}

// Mostly a value where the interesting cases are, sometimes any value at all.
template <typename T>
T MostlyIn(FuzzedDataProvider& input, T lowest, T highest) {
    return input.ConsumeBool() ? Any<T>(input) : In<T>(input, lowest, highest);
}

template <typename T, size_t N>
T OneOf(FuzzedDataProvider& input, const T (&values)[N]) {
    return values[In<size_t>(input, 0, N - 1)];
}
