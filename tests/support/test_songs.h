// Songs several tests share, built with the song builder or taken from
// examples/.
#pragma once

#include <cstdint>
#include <vector>

#include "song_builder.h"
#include "tamsel/tamsel.hpp"

// A song of records records at step time wait, repeating from repeat_start
// to repeat_end, with a note on track 0 at every record: at the default
// tick each record lasts 5760 frames.
std::vector<uint8_t> song_bytes(uint32_t wait, int32_t repeat_start, int32_t repeat_end, int32_t records);
// A short song that sounds: instrument 1 plays a sine-like note every
// record, the drums every other one; seed varies the notes.
std::vector<uint8_t> sounding_song(uint32_t seed, int32_t records);

// A random but valid song for comparisons: loops, glides from pan changes,
// restarts within a flush, one-shot ends, short and long notes, several
// tick periods. The same seed always gives the same song.
struct GeneratedSong {
    SongFile file;
    int32_t loops;
    double timer_ms;
};
GeneratedSong generated_song(uint32_t seed);

// A song file's bytes loaded through the library; fails the test when
// they do not load.
tamsel::Song loaded_song(const std::vector<uint8_t>& bytes);
// Loaded through the library: the demo and a short example from
// examples/, a song whose every record is empty (it renders silence), and
// a loud song: three instruments and drums at full volume, so its sums go
// beyond 16 bits.
tamsel::Song example_song(const char* name);
// The bytes of a song in examples/, for the tool to read.
std::vector<uint8_t> example_bytes(const char* name);
tamsel::Song silent_song();
tamsel::Song loud_song();
