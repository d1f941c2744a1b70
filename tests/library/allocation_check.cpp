// Counts the library's allocations through a replaced operator new (every
// one goes through it): after tamsel_renderer_prepare, rendering a song to
// its end, reading its state, seeking about it and muting allocate
// nothing; without it the first plays of the notes do, which shows the
// count sees them.
//   allocation_check path/to/demo.tsm
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tamsel/tamsel.h"

#include "counted_new.h"

// What an audio callback does with a renderer: render blocks to the end in
// each form, read the state, seek back and forth, mute, widen, read the
// track levels; returns the allocations made meanwhile.
static uint64_t allocations_while_playing(tamsel_renderer* renderer, float* block, int32_t* sums, int16_t* samples) {
    uint64_t before = allocations.load();
    tamsel_play_state state;
    while (tamsel_render_float(renderer, block, 512) > 0) tamsel_renderer_get_state(renderer, &state);
    const uint64_t seeks[] = {48000, 2000000, 0, 5000000, 100};
    for (uint64_t frame : seeks) {
        tamsel_renderer_seek(renderer, frame);
        tamsel_render_int32(renderer, sums, 512);
        tamsel_render_int16(renderer, samples, 512);
    }
    tamsel_renderer_set_muted_tracks(renderer, 0x5);
    tamsel_render_float(renderer, block, 512);
    uint32_t peaks[TAMSEL_TRACK_COUNT];
    tamsel_renderer_measure_track_levels(renderer, 1);
    tamsel_renderer_set_stereo_width(renderer, 150);
    tamsel_render_float(renderer, block, 512);
    tamsel_renderer_get_track_levels(renderer, peaks);
    tamsel_renderer_set_stereo_width(renderer, 100);
    tamsel_renderer_measure_track_levels(renderer, 0);
    return allocations.load() - before;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: allocation_check song.tsm\n");
        return 2;
    }
    tamsel_song* song = nullptr;
    if (tamsel_song_load_file(argv[1], &song) != TAMSEL_OK) {
        std::fprintf(stderr, "allocation_check: cannot load %s\n", argv[1]);
        return 1;
    }
    static float block[2 * 512];
    static int32_t sums[2 * 512];
    static int16_t samples[2 * 512];
    tamsel_renderer* lazy = nullptr;
    tamsel_renderer* prepared = nullptr;
    if (tamsel_renderer_create(song, nullptr, &lazy) != TAMSEL_OK ||
        tamsel_renderer_create(song, nullptr, &prepared) != TAMSEL_OK ||
        tamsel_renderer_prepare(prepared) != TAMSEL_OK) {
        std::fprintf(stderr, "allocation_check: cannot make the renderers\n");
        return 1;
    }
    uint64_t unprepared_count = allocations_while_playing(lazy, block, sums, samples);
    uint64_t prepared_count = allocations_while_playing(prepared, block, sums, samples);
    tamsel_renderer_free(lazy);
    tamsel_renderer_free(prepared);
    tamsel_song_free(song);
    std::printf("allocations while playing: %llu unprepared, %llu prepared\n", (unsigned long long)unprepared_count,
                (unsigned long long)prepared_count);
    return unprepared_count > 0 && prepared_count == 0 ? 0 : 1;
}
