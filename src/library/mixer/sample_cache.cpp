#include "mixer/sample_cache.h"

#include <cstddef>
#include <new>

#include "mixer/steady_mix.h"

namespace tamsel::core {

// Samples made per visit beyond the one asked for: enough to serve a voice
// for thousands of frames, few enough that a note played briefly costs
// little.
static constexpr uint64_t FILL_BLOCK = 16384;

static bool allocate(SampleCache* cache, const SampleSource* source) {
    if (cache->refused || !cache->budget || *cache->budget < source->size) {
        cache->refused = true;
        return false;
    }
    // Through operator new, like every allocation of the library, so that a
    // program replacing it sees them all. Zeroed, padding included: the
    // mixer reads a few bytes past the samples it uses.
    cache->samples = new (std::nothrow) int8_t[(size_t)(source->size + STEADY_DATA_PADDING)]();
    if (!cache->samples) {
        cache->refused = true;
        return false;
    }
    *cache->budget -= source->size;
    cache->size = source->size;
    cache->filled = 0;
    return true;
}

bool sample_cache_cover(SampleCache* cache, const SampleSource* source, uint64_t last) {
    if (!cache->samples && !allocate(cache, source)) return false;
    if (last < cache->filled) return true;
    uint64_t end = last + 1;
    if (end < cache->filled + FILL_BLOCK) end = cache->filled + FILL_BLOCK;
    if (end > source->size) end = source->size;
    source_fill(source, cache->filled, (uint32_t)(end - cache->filled), cache->samples + cache->filled);
    cache->filled = end;
    return true;
}

void sample_cache_release(SampleCache* cache) {
    if (cache->samples && cache->budget) *cache->budget += cache->size;
    delete[] cache->samples;
    cache->samples = nullptr;
    cache->size = 0;
    cache->filled = 0;
    cache->refused = false;
}

}  // namespace tamsel::core
