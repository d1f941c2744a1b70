// A renderer's copy of the samples its voices have read so far. Notes are
// made on demand, but a voice reads each sample of its note once per play
// and the same notes play again and again, so a renderer keeps what it has
// made, within a budget: a note larger than what is left of the budget is
// read straight from its source instead, a window at a time. Either way the
// samples are the same.
#pragma once

#include <cstdint>

#include "mixer/sample_source.h"

namespace tamsel::core {

// Bytes of samples one renderer keeps at most.
constexpr uint64_t SAMPLE_CACHE_BUDGET = (uint64_t)16 << 20;

struct SampleCache {
    // Samples 0 .. filled - 1 of the source, then zeros to the end of the
    // allocation (size + STEADY_DATA_PADDING bytes); or null.
    int8_t* samples;
    uint64_t size;  // the source's samples
    uint64_t filled;
    bool refused;      // over the budget or out of memory: never cached
    uint64_t* budget;  // bytes the renderer may still give to caches
};

// Makes samples 0 .. last of source available in cache->samples, making a
// block more than asked so that reads ahead find them. False when the cache
// cannot hold the source; the caller then reads the source itself.
bool sample_cache_cover(SampleCache* cache, const SampleSource* source, uint64_t last);

// Frees the samples and returns their bytes to the budget.
void sample_cache_release(SampleCache* cache);

}  // namespace tamsel::core
