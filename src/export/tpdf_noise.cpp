#include "export/tpdf_noise.h"

// splitmix64: a counter passed through a 64-bit mixing function.
static uint64_t mix64(uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double TpdfNoise::next() {
    state_ += 0x9E3779B97F4A7C15ull;
    uint64_t bits = mix64(state_);
    double a = (double)(uint32_t)(bits >> 32);
    double b = (double)(uint32_t)bits;
    return (a - b) * (1.0 / 4294967296.0);
}

uint64_t dither_seed(uint32_t muted_tracks) {
    return 0x74616D73656C6478ull ^ mix64((uint64_t)muted_tracks + 1);
}
