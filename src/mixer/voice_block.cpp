#include "mixer/voice_block.h"

#include "mixer/steady_mix.h"

// A playing voice is steady when a frame changes nothing but its position:
// the gains rest at their targets (so the glide does nothing) and the window
// holds exactly the samples data[w - 3 .. w] at the whole position w, so
// every later fetch inside the data keeps it so. Then each frame's output
// depends on its position alone.
static bool is_steady(const tamsel_sound* voice) {
    if (voice->playing != 1 || voice->samples_played == 0) return false;
    if (voice->left_gain != voice->left_target || voice->right_gain != voice->right_target) return false;
    uint64_t whole = (uint64_t)voice->position >> 32;
    if (whole < 3) return false;
    const int8_t* d = voice->data + whole;
    return voice->history[0] == d[0] && voice->history[1] == d[-1] && voice->history[2] == d[-2] &&
           voice->history[3] == d[-3];
}

// Frames a steady voice can play before an advance reaches the end of its
// data, where the exact per-frame rule must take over.
static uint64_t steady_frames(const tamsel_sound* voice, uint64_t wanted) {
    if (voice->step == 0) return wanted;
    uint64_t end = voice->size << 32;
    uint64_t room = (end - 1 - (uint64_t)voice->position) / voice->step;
    return room < wanted ? room : wanted;
}

static void mix_steady(tamsel_sound* voice, int32_t* acc, uint32_t frames) {
    SteadyRun run = {voice->data, (uint64_t)voice->position, voice->step, voice->left_gain, voice->right_gain};
    mix_steady_run(&run, acc, frames);
    uint64_t position = run.position + (uint64_t)frames * run.step;
    voice->position = (int64_t)position;
    voice->samples_played += frames;
    // Every fetch stayed inside the data, so the window is the data under
    // the new position.
    const int8_t* d = voice->data + (position >> 32);
    for (int32_t i = 0; i < 4; i++) voice->history[i] = d[-i];
}

void tamsel_sound_mix_block(tamsel_sound* voice, int32_t* acc, uint32_t frames) {
    if (!voice || !acc) return;
    uint32_t f = 0;
    while (f < frames && tamsel_sound_is_active(voice)) {
        if (is_steady(voice)) {
            uint32_t run = (uint32_t)steady_frames(voice, frames - f);
            if (run > 0) {
                mix_steady(voice, acc + 2 * f, run);
                f += run;
                continue;
            }
        }
        tamsel_sound_generate_sample(voice, acc + 2 * f);
        f++;
    }
}
