/* Loads a song, prints its length and renders it, through the C API.
 *
 *   render song.tsm [loops]
 *
 * Prints the frames and seconds of the render and the peak sample. */
#include <stdio.h>
#include <stdlib.h>

#include <tamsel/tamsel.h>

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: %s song.tsm [loops]\n", argv[0]);
        return 2;
    }
    tamsel_song* song;
    tamsel_status status = tamsel_song_load_file(argv[1], &song);
    if (status != TAMSEL_OK) {
        fprintf(stderr, "%s: %s\n", argv[1], tamsel_status_message(status));
        return 1;
    }

    tamsel_render_options options;
    tamsel_render_options_init(&options);
    if (argc > 2) options.loops = atoi(argv[2]);
    tamsel_renderer* renderer;
    status = tamsel_renderer_create(song, &options, &renderer);
    tamsel_song_free(song); /* the renderer keeps its own reference */
    if (status != TAMSEL_OK) {
        fprintf(stderr, "%s: %s\n", argv[1], tamsel_status_message(status));
        return 1;
    }

    uint64_t frames;
    status = tamsel_renderer_length(renderer, TAMSEL_WAV_MAX_FRAMES, &frames);
    if (status != TAMSEL_OK) {
        fprintf(stderr, "%s: %s\n", argv[1], tamsel_status_message(status));
        tamsel_renderer_free(renderer);
        return 1;
    }
    printf("%llu frames, %.3f s\n", (unsigned long long)frames, (double)frames / TAMSEL_SAMPLE_RATE);

    static float block[2 * 4096];
    size_t got;
    uint64_t rendered = 0;
    float peak = 0.0f;
    while ((got = tamsel_render_float(renderer, block, 4096)) > 0) {
        for (size_t i = 0; i < 2 * got; i++) {
            float magnitude = block[i] < 0.0f ? -block[i] : block[i];
            if (magnitude > peak) peak = magnitude;
        }
        rendered += got;
    }
    printf("rendered %llu frames, peak %.6f\n", (unsigned long long)rendered, peak);
    tamsel_renderer_free(renderer);
    return rendered == frames ? 0 : 1;
}
