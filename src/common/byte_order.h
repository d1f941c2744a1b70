// Files and images store multi-byte values little-endian: song files, drum
// images and the WAV files the tool writes. In namespace tamsel because the
// library compiles them in: a program linking it may have its own.
#pragma once

#include <cstdint>

namespace tamsel {

inline uint16_t read_u16_le(const uint8_t* p) {
    return (uint16_t)(p[0] | p[1] << 8);
}

inline uint32_t read_u32_le(const uint8_t* p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

inline void put_u16_le(uint8_t* p, uint16_t v) {
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
}

inline void put_u32_le(uint8_t* p, uint32_t v) {
    put_u16_le(p, (uint16_t)v);
    put_u16_le(p + 2, (uint16_t)(v >> 16));
}

inline void put_u64_le(uint8_t* p, uint64_t v) {
    put_u32_le(p, (uint32_t)v);
    put_u32_le(p + 4, (uint32_t)(v >> 32));
}

}  // namespace tamsel
