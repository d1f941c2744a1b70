// Files and images store multi-byte values little-endian.
#pragma once

#include <cstdint>

inline uint32_t read_u32_le(const uint8_t* p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}
