#include "engine/render_clock.h"

#include "engine/sequencer.h"
#include "engine/tamsel_song.h"
#include "mixer/sound_objects.h"

double sample_ms = 0.0;
double samples_to_next_tick = 0.0;
double mst = 0.02;
int32_t mylpc = 0;
uint8_t myhit = 0;
int32_t buffer[2];

int32_t samplemsget() {
    return whole_ms(sample_ms);
}

void lpcset(int32_t loops, double ms) {
    mylpc = loops;
    mst = ms / 1000.0;
}

void reset_render_clock() {
    sample_ms = 0.0;
    samples_to_next_tick = 0.0;
    mst = 0.02;
    mylpc = 0;
    myhit = 0;
    buffer[0] = 0;
    buffer[1] = 0;
}

// One frame: the clock, a sequencer step on a tick, the loop limit, then
// every slot mixes into the accumulator in index order.
static void generate_sample() {
    buffer[0] = 0;
    buffer[1] = 0;
    if (advance_clock(&sample_ms, &samples_to_next_tick, mst)) TamselProc();
    if (gTamsel.loops_done > mylpc) myhit = 1;
    for (int32_t i = 0; i < SOUND_OBJECT_COUNT; i++) tamsel_sound_generate_sample(lpSECONDARYBUFFER[i], buffer);
}

uint64_t generate_samples(float* out, uint64_t count) {
    if (!out) return 0;
    for (uint64_t i = 0; i < count; i++) {
        generate_sample();
        // The frame that notices the loop limit is not part of the song.
        if (myhit) return i;
        out[2 * i] = (float)((double)buffer[0] / 32768.0);
        out[2 * i + 1] = (float)((double)buffer[1] / 32768.0);
    }
    return count;
}
