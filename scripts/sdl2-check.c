// Links the SDL2 that scripts/build-codecs.sh built for Windows the way the
// player does (a console program with its own main) and lists the audio
// drivers it was built with. Exit code 0 when each of the needed ones is
// there.
#define SDL_MAIN_HANDLED
#include <SDL.h>
#include <stdio.h>
#include <string.h>

int main(void) {
    static const char* const needed[] = {"wasapi", "directsound", "winmm", "disk", "dummy"};
    int missing = 0;
    for (size_t i = 0; i < sizeof needed / sizeof needed[0]; ++i) {
        int found = 0;
        for (int d = 0; d < SDL_GetNumAudioDrivers(); ++d) {
            if (strcmp(SDL_GetAudioDriver(d), needed[i]) == 0) found = 1;
        }
        if (!found) {
            fprintf(stderr, "sdl2-check: no %s audio driver\n", needed[i]);
            missing = 1;
        }
    }
    return missing;
}
