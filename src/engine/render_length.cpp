#include "engine/render_length.h"

#include "engine/clock_jump.h"
#include "engine/render_clock.h"
#include "engine/sequencer.h"
#include "engine/tamsel_song.h"

uint8_t measure_render_length(uint64_t limit, uint64_t* frames) {
    TamselSong song = gTamsel;
    double ms = sample_ms;
    double to_next_tick = samples_to_next_tick;
    uint8_t active = song.ready && song.playing;

    // Frame by frame only at ticks; the frames between them change nothing
    // but the clock, and the loop count can only pass the limit at a tick.
    for (uint64_t frame = 0; frame <= limit;) {
        if (advance_clock(&ms, &to_next_tick, mst) && active) {
            uint32_t now = (uint32_t)whole_ms(ms);
            if (tamsel_step_due(&song, now)) tamsel_take_step(&song, now);
        }
        if (song.loops_done > mylpc) {
            *frames = frame;
            return 1;
        }
        frame += 1 + advance_clock_to_tick(&ms, &to_next_tick, limit - frame);
    }
    return 0;
}
