// FNV-1a over bytes: a compact fingerprint for recorded renders.
#pragma once

#include <cstddef>
#include <cstdint>

inline uint64_t fnv1a(const void* bytes, size_t size) {
    const uint8_t* p = (const uint8_t*)bytes;
    uint64_t hash = 14695981039346656037ull;
    for (size_t i = 0; i < size; i++) hash = (hash ^ p[i]) * 1099511628211ull;
    return hash;
}
