/* A game's music: a song that plays endlessly through an audio callback of
 * fixed-size 16-bit blocks, and a game loop that follows the record and
 * pass being played, as it would to time events to the music.
 *
 *   game song.tsm [seconds]
 *
 * There is no sound device here: the loop in main stands in for one,
 * asking for a block every 10 ms of audio (as fast as it can), for the
 * seconds given (30 by default). Prints a line whenever the record or the
 * pass changes. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <tamsel/tamsel.h>

#define BLOCK_FRAMES 480 /* 10 ms at 48000 frames per second */

/* What the audio device calls for each block: never blocks, never
 * allocates (the renderer was prepared), never runs out (the render is
 * endless). */
static void audio_callback(void* user, int16_t* out, size_t frames) {
    tamsel_renderer* renderer = (tamsel_renderer*)user;
    size_t got = tamsel_render_int16(renderer, out, frames);
    memset(out + 2 * got, 0, 2 * (frames - got) * sizeof out[0]);
}

static void print_time(uint64_t frame) {
    uint64_t ms = frame / 48;
    printf("%3llu:%02llu.%03llu", (unsigned long long)(ms / 60000), (unsigned long long)(ms / 1000 % 60),
           (unsigned long long)(ms % 1000));
}

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: %s song.tsm [seconds]\n", argv[0]);
        return 2;
    }
    long seconds = argc > 2 ? atol(argv[2]) : 30;
    tamsel_song* song;
    tamsel_status status = tamsel_song_load_file(argv[1], &song);
    if (status != TAMSEL_OK) {
        fprintf(stderr, "%s: %s\n", argv[1], tamsel_status_message(status));
        return 1;
    }
    tamsel_render_options options;
    tamsel_render_options_init(&options);
    options.loops = TAMSEL_LOOPS_FOREVER;
    tamsel_renderer* renderer;
    status = tamsel_renderer_create(song, &options, &renderer);
    tamsel_song_free(song);
    if (status != TAMSEL_OK) {
        fprintf(stderr, "%s: %s\n", argv[1], tamsel_status_message(status));
        return 1;
    }
    /* Before the device starts: the callback must not allocate. */
    tamsel_renderer_prepare(renderer);

    static int16_t block[2 * BLOCK_FRAMES];
    tamsel_play_state shown;
    memset(&shown, 0, sizeof shown);
    shown.record = -1;
    for (long b = 0; b < seconds * 100; b++) {
        audio_callback(renderer, block, BLOCK_FRAMES);
        /* The game's side, between blocks. */
        tamsel_play_state now;
        tamsel_renderer_get_state(renderer, &now);
        if (now.record == shown.record && now.pass == shown.pass) continue;
        print_time(now.frame);
        printf("  pass %u  record %4d  notes %06x %06x %06x  drums %06x%s\n", (unsigned)now.pass, (int)now.record,
               (unsigned)now.notes[0], (unsigned)now.notes[1], (unsigned)now.notes[2], (unsigned)now.notes[3],
               now.pass != shown.pass && b > 0 ? "  <- loops back" : "");
        shown = now;
    }
    tamsel_renderer_free(renderer);
    return 0;
}
