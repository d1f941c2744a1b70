// Songs loaded from bytes in memory or from a file: the one way the C API,
// the tests, the benchmarks and the fuzzers load one.
#pragma once

#include <cstddef>
#include <cstdint>

#include "song/song.h"

namespace tamsel::core {

enum class SongOpen { LOADED, NOT_A_SONG, UNREADABLE };

// Loads song from size bytes at bytes; what lies past them reads as 0.
SongOpen open_song_memory(const void* bytes, size_t size, Song* song);

// Loads song from the file at utf8_path, reading only as far as the song
// reaches. UNREADABLE when the file cannot be opened, or a read fails (a
// folder opens but cannot be read; a file that fails half-way is no song
// either).
SongOpen open_song_file(const char* utf8_path, Song* song);

}  // namespace tamsel::core
