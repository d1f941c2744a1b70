// Mixes a voice over a run of frames at once. The result, in the
// accumulators and in the voice, is exactly that of calling
// tamsel_sound_generate_sample once per frame.
#pragma once

#include <cstdint>

#include "mixer/tamsel_sound.h"

// acc holds frames interleaved pairs (left, right) to add into.
void tamsel_sound_mix_block(tamsel_sound* voice, int32_t* acc, uint32_t frames);

// True while frames can still change the voice: playing or flushing.
inline bool tamsel_sound_is_active(const tamsel_sound* voice) {
    return voice->playing == 1 || voice->flush_count != 0;
}
