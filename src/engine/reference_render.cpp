#include "engine/reference_render.h"

#include "engine/render_clock.h"
#include "engine/sequencer.h"
#include "engine/tamsel_song.h"
#include "mixer/sound_objects.h"

static void generate_sample() {
    buffer[0] = 0;
    buffer[1] = 0;
    if (advance_clock(&sample_ms, &samples_to_next_tick, mst)) TamselProc();
    if (gTamsel.loops_done > mylpc) myhit = 1;
    for (int32_t i = 0; i < SOUND_OBJECT_COUNT; i++) tamsel_sound_generate_sample(lpSECONDARYBUFFER[i], buffer);
}

uint64_t generate_samples_reference(float* out, uint64_t count) {
    if (!out) return 0;
    for (uint64_t i = 0; i < count; i++) {
        generate_sample();
        if (myhit) return i;
        out[2 * i] = (float)((double)buffer[0] / 32768.0);
        out[2 * i + 1] = (float)((double)buffer[1] / 32768.0);
    }
    return count;
}
