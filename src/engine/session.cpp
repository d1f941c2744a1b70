#include "engine/session.h"

#include <cstring>

#include "engine/instruments.h"
#include "engine/render_clock.h"
#include "engine/sequencer.h"
#include "engine/tamsel_song.h"
#include "mixer/sound_objects.h"

SongOpenResult open_song(const char* path) {
    gTamsel.playing = 0;
    if (InitTamsel() != 1) return SONG_FAIL_INIT;
    if (ReadTamsel(path) != 1) return SONG_FAIL_LOAD;
    MakeTamselSoundObjects();
    gTamsel.position = -1;
    gTamsel.playing = 1;
    return SONG_OPENED;
}

void start_song(int32_t loops, double timer_ms) {
    lpcset(loops, timer_ms);
    gTamsel.loops_done = 0;
    gTamsel.force_step = 1;
    TamselProc();
    gTamsel.last_step_ms = 0;
}

void reset_engine_session() {
    EndTamsel();
    std::memset(&gTamsel, 0, sizeof gTamsel);
    release_all_sound_objects();
    reset_render_clock();
}
