#include "mixer/sample_source.h"

namespace tamsel::core {

// Envelope values above 128 can push the quotient out of the signed byte
// range; it wraps rather than saturates. The phase is divided as a signed
// value, truncating towards zero, before its low byte picks the point.
int8_t shaped_sample(const int8_t* waveform, int32_t e, int32_t phase) {
    uint32_t point = (uint32_t)(phase / 256) & 0xFFu;
    return (int8_t)(uint8_t)(uint32_t)((waveform[point] * e) / 128);
}

static uint32_t envelope_point(const SampleSource* source, uint64_t k) {
    return (uint32_t)(k * 64 / source->size);
}

int8_t source_sample(const SampleSource* source, uint64_t k) {
    if (source->stored) return (int8_t)(uint8_t)(source->stored[k] ^ source->stored_flip);
    // The phase of sample k is k increments from 0, wrapping at 32 bits.
    uint32_t phase = (uint32_t)k * source->increment;
    return shaped_sample(source->waveform, source->envelope[envelope_point(source, k)], (int32_t)phase);
}

// Envelope point m covers the samples k with m <= 64 k / size < m + 1, so
// walking the stretches gives every sample its point without a division.
static void fill_note(const SampleSource* source, uint64_t first, uint32_t count, int8_t* out) {
    uint64_t k = first;
    uint64_t end = first + count;
    uint32_t phase = (uint32_t)first * source->increment;
    while (k < end) {
        uint32_t m = envelope_point(source, k);
        uint64_t stretch_end = ((uint64_t)(m + 1) * source->size + 63) / 64;
        if (stretch_end > end) stretch_end = end;
        int32_t e = source->envelope[m];
        for (; k < stretch_end; k++) {
            out[k - first] = shaped_sample(source->waveform, e, (int32_t)phase);
            phase += source->increment;
        }
    }
}

void source_fill(const SampleSource* source, uint64_t first, uint32_t count, int8_t* out) {
    if (!source->stored) {
        fill_note(source, first, count, out);
        return;
    }
    const uint8_t* in = source->stored + first;
    for (uint32_t i = 0; i < count; i++) out[i] = (int8_t)(uint8_t)(in[i] ^ source->stored_flip);
}

}  // namespace tamsel::core
