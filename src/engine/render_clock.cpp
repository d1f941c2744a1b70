#include "engine/render_clock.h"

#include "engine/clock_jump.h"
#include "engine/sequencer.h"
#include "engine/tamsel_song.h"
#include "mixer/sound_objects.h"
#include "mixer/voice_block.h"

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

// The render works in segments: a segment starts at a tick (or at the start
// of a call) and runs until the next tick, so the sequencer and the loop
// limit, which can only change at a tick, are dealt with once per segment.
// Within it each sounding voice mixes its whole run into the accumulators;
// integer sums do not depend on their order, so this equals mixing every
// slot frame by frame.
static constexpr uint32_t SEGMENT_FRAMES = 1024;
static int32_t segment[2 * SEGMENT_FRAMES];
static tamsel_sound* active_voices[SOUND_OBJECT_COUNT];

static void mix_segment(uint32_t frames) {
    for (uint32_t i = 0; i < 2 * frames; i++) segment[i] = 0;
    int32_t count = collect_active_voices(active_voices);
    for (int32_t v = 0; v < count; v++) tamsel_sound_mix_block(active_voices[v], segment, frames);
}

static void convert_segment(float* out, uint32_t frames) {
    for (uint32_t i = 0; i < 2 * frames; i++) out[i] = (float)((double)segment[i] / 32768.0);
}

uint64_t generate_samples(float* out, uint64_t count) {
    if (!out) return 0;
    uint64_t done = 0;
    while (done < count) {
        uint64_t left = count - done;
        uint32_t room = left < SEGMENT_FRAMES ? (uint32_t)left : SEGMENT_FRAMES;
        if (advance_clock(&sample_ms, &samples_to_next_tick, mst)) TamselProc();
        if (gTamsel.loops_done > mylpc) myhit = 1;
        if (myhit) {
            // The frame that notices the loop limit is not part of the song,
            // but the voices still move through it.
            mix_segment(1);
            return done;
        }
        uint32_t frames = 1 + (uint32_t)advance_clock_to_tick(&sample_ms, &samples_to_next_tick, room - 1);
        mix_segment(frames);
        convert_segment(out + 2 * done, frames);
        done += frames;
    }
    return done;
}
