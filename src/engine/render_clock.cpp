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

// The clock has already moved over the next frame, a tick whose step is due.
static uint8_t step_pending = 0;

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
    step_pending = 0;
    buffer[0] = 0;
    buffer[1] = 0;
}

// The render works in segments: a segment starts at a sequencer step (or
// at the start of a call) and runs until the next step, so the sound objects
// and the loop limit, which only a step can change, are dealt with once per
// segment; ticks at which no step is due change nothing and are passed over.
// Within a segment each sounding voice mixes its whole run into the
// accumulators; integer sums do not depend on their order, so this equals
// mixing every slot frame by frame.
static constexpr uint32_t SEGMENT_FRAMES = 1024;
static int32_t segment[2 * SEGMENT_FRAMES];
static tamsel_sound* active_voices[SOUND_OBJECT_COUNT];

// Moves the clock over the frames after a segment's first that cannot change
// the sound objects, at most limit of them, and returns how many. Stops
// before a tick whose step is due, leaving that step pending.
static uint32_t advance_clock_to_step(uint32_t limit) {
    uint32_t frames = 0;
    while (frames < limit) {
        frames += (uint32_t)advance_clock_to_tick(&sample_ms, &samples_to_next_tick, limit - frames);
        if (frames == limit) break;
        advance_clock(&sample_ms, &samples_to_next_tick, mst);
        if (tamsel_step_is_due()) {
            step_pending = 1;
            break;
        }
        frames++;
    }
    return frames;
}

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
        if (step_pending) {
            step_pending = 0;
            TamselProc();
        } else if (advance_clock(&sample_ms, &samples_to_next_tick, mst)) {
            TamselProc();
        }
        if (gTamsel.loops_done > mylpc) myhit = 1;
        if (myhit) {
            // The frame that notices the loop limit is not part of the song,
            // but the voices still move through it.
            mix_segment(1);
            return done;
        }
        uint32_t frames = 1 + advance_clock_to_step(room - 1);
        mix_segment(frames);
        convert_segment(out + 2 * done, frames);
        done += frames;
    }
    return done;
}
