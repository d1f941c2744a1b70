// One render from start to end: load a song, start it, and (for tools and
// tests that render more than one song in a process) put everything back.
#pragma once

#include <cstdint>

enum SongOpenResult : uint8_t {
    SONG_OPENED,
    SONG_FAIL_INIT,  // the engine could not start
    SONG_FAIL_LOAD,  // the file is missing, unreadable or not a song
};

// Starts the engine, loads the song file and builds its instruments.
SongOpenResult open_song(const char* path);

// Hands the loop limit and tick period to the clock and forces the first
// step, so that record 0 sounds from the very first frame.
void start_song(int32_t loops, double timer_ms);

// Puts the song, the clock and the sound objects back to their state at
// process start.
void reset_engine_session();
