#include "mixer/voice_block.h"

namespace tamsel::core {

// A playing voice is steady when a frame changes nothing but its position:
// the gains rest at their targets (so the glide does nothing) and the window
// holds exactly the samples w - 3 .. w at the whole position w, so every
// later fetch inside the data keeps it so. Then each frame's output depends
// on its position alone.
static bool is_steady(const Voice* voice) {
    if (!voice->playing || voice->samples_played == 0) return false;
    if (voice->left_gain != voice->left_target || voice->right_gain != voice->right_target) return false;
    uint64_t whole = (uint64_t)voice->position >> 32;
    if (whole < 3) return false;
    for (uint32_t i = 0; i < 4; i++) {
        if (voice->history[i] != voice_sample(voice, whole - i)) return false;
    }
    return true;
}

// Frames a steady voice can play before an advance reaches the end of its
// data, where the exact per-frame rule must take over.
static uint64_t steady_frames(const Voice* voice, uint64_t wanted) {
    if (voice->step == 0) return wanted;
    uint64_t end = voice->size << 32;
    uint64_t room = (end - 1 - (uint64_t)voice->position) / voice->step;
    return room < wanted ? room : wanted;
}

// Frames whose samples fit the scratch window: a run from whole position w
// reads the samples w - 3 up to the whole position after its last frame.
static uint64_t frames_in_window(const Voice* voice, uint64_t wanted) {
    if (voice->step == 0) return wanted;
    uint64_t fit = ((uint64_t)(STEADY_WINDOW_SAMPLES - 5) << 32) / voice->step;
    return fit < wanted ? fit : wanted;
}

// Ends a steady run: the position moves on, and since every fetch stayed
// inside the data the window is the samples under the new position.
static void finish_steady(Voice* voice, uint64_t position, uint32_t frames) {
    voice->position = (int64_t)position;
    voice->samples_played += frames;
    uint64_t whole = position >> 32;
    for (uint32_t i = 0; i < 4; i++) voice->history[i] = voice_sample(voice, whole - i);
}

// Whether the run's samples, up to the whole position after it, are in the
// voice's cache (made there if need be).
static bool run_is_cached(const Voice* voice, uint64_t end_position) {
    return voice->cache && sample_cache_cover(voice->cache, voice->source, end_position >> 32);
}

// The run reads its samples from the cache or, for a source the cache
// cannot hold, from the scratch window, filled for just the stretch the run
// covers, with positions taken relative to it.
static void mix_steady(Voice* voice, int32_t* acc, uint32_t frames, MixScratch* scratch, SteadyMixPath path) {
    uint64_t position = (uint64_t)voice->position;
    uint64_t end_position = position + (uint64_t)frames * voice->step;
    if (acc && run_is_cached(voice, end_position)) {
        SteadyRun run = {voice->cache->samples, position, voice->step, voice->left_gain,
                         voice->right_gain,     scratch,  path};
        mix_steady_run(&run, acc, frames);
    } else if (acc) {
        uint64_t base = (position >> 32) - 3;
        uint32_t count = (uint32_t)((end_position >> 32) - base + 1);
        source_fill(voice->source, base, count, scratch->window);
        SteadyRun run = {
            scratch->window, position - (base << 32), voice->step, voice->left_gain, voice->right_gain, scratch, path};
        mix_steady_run(&run, acc, frames);
    }
    finish_steady(voice, end_position, frames);
}

void voice_mix_block(Voice* voice, int32_t* acc, uint32_t frames, MixScratch* scratch, SteadyMixPath path) {
    uint32_t f = 0;
    while (f < frames && voice_is_active(voice)) {
        if (is_steady(voice)) {
            uint64_t run = steady_frames(voice, frames - f);
            if (acc && !(voice->cache && voice->cache->samples)) run = frames_in_window(voice, run);
            if (run > 0) {
                mix_steady(voice, acc ? acc + 2 * f : nullptr, (uint32_t)run, scratch, path);
                f += (uint32_t)run;
                continue;
            }
        }
        voice_generate_sample(voice, acc ? acc + 2 * f : nullptr);
        f++;
    }
}

}  // namespace tamsel::core
