// splitmix64: a 64-bit counter stepped by the golden ratio and passed
// through a mixing function. Fast, with every output bit depending on every
// input bit; for dither noise and name suffixes, never for secrets.
#pragma once

#include <cstdint>

namespace tamsel {

// The mixing function alone: a seed or a counter made into well-spread bits.
inline uint64_t splitmix64_mix(uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Steps *state and gives the next value of its sequence.
inline uint64_t splitmix64_next(uint64_t* state) {
    *state += 0x9E3779B97F4A7C15ull;
    return splitmix64_mix(*state);
}

}  // namespace tamsel
