#include "export/tpdf_noise.h"

#include "common/splitmix64.h"

double TpdfNoise::next() {
    uint64_t bits = tamsel::splitmix64_next(&state_);
    double a = (double)(uint32_t)(bits >> 32);
    double b = (double)(uint32_t)bits;
    return (a - b) * (1.0 / 4294967296.0);
}

uint64_t dither_seed(uint32_t muted_tracks) {
    return 0x74616D73656C6478ull ^ tamsel::splitmix64_mix((uint64_t)muted_tracks + 1);
}
