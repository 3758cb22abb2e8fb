#pragma once
// Test-only SHA-256, for comparing large tables and renders against stated or pinned digests.
#include <cstddef>
#include <string>

std::string Sha256Hex(const void* data, size_t byteCount);
