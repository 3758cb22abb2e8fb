#pragma once
// A C caller may pass any int where the header names an enumeration. Loading such a value as the
// enumeration is undefined in C++, so the library reads its bytes as a number, through a reference
// (passing it on by value would load it).
#include <cstring>

template <typename Enumeration>
int NumberOf(const Enumeration& value) {
    static_assert(sizeof value == sizeof(int), "a C enumeration is an int");
    int number = 0;
    std::memcpy(&number, &value, sizeof number);
    return number;
}

// What ahx_result_text says of a result, given as a number.
const char* ResultText(int code);
