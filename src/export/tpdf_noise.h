// Triangular (TPDF) dither noise from a seeded generator: the same seed
// always gives the same sequence, on every machine and whatever the number
// of threads, so dithered outputs are reproducible to the byte.
#pragma once

#include <cstdint>

class TpdfNoise {
public:
    explicit TpdfNoise(uint64_t seed) : state_(seed) {}
    // The next value, in steps of the output: the difference of two uniform
    // values in [0, 1), so it lies in (-1, 1) with a triangular density.
    double next();

private:
    uint64_t state_;
};

// The seed of one output: fixed, and different for each set of muted
// tracks, so the noise of stems is uncorrelated and does not add up.
uint64_t dither_seed(uint32_t muted_tracks);
