#pragma once
// The two module formats this engine reads.
#include <cstdint>

enum class ModuleFormat : uint8_t { kUnknown, kAhx, kHvl };
