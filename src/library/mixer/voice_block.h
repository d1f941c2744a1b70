// Mixes a voice over a run of frames at once. The result, in the
// accumulators and in the voice, is exactly that of calling
// voice_generate_sample once per frame.
#pragma once

#include <cstdint>

#include "mixer/steady_mix.h"
#include "mixer/voice.h"

namespace tamsel::core {

// acc holds frames interleaved pairs (left, right) to add into; a null acc
// moves the voice on over the frames without mixing (for seeking and muted
// tracks), which costs little over steady stretches.
void voice_mix_block(Voice* voice, int32_t* acc, uint32_t frames, MixScratch* scratch, SteadyMixPath path);

// True while frames can still change the voice: playing or flushing.
inline bool voice_is_active(const Voice* voice) {
    return voice->playing || voice->flush_count != 0;
}

}  // namespace tamsel::core
