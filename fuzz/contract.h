#pragma once
// A fuzz target states its contract as Require calls: a broken one aborts, which libFuzzer reports
// with the input that broke it.
#include <cstdio>
#include <cstdlib>

inline void Require(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "contract broken: %s\n", what);
    std::abort();
}
