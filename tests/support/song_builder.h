// Song files built in memory for the tests, field by field, each where
// song/song_layout.h puts it.
#pragma once

#include <cstdint>
#include <vector>

#include "song/song_layout.h"

// A song file under construction.
struct SongFile {
    std::vector<uint8_t> bytes;
    int32_t records;  // records per track as laid out in bytes
};

// A song with the magic, the given wait, repeat points and record count,
// drum volume 300, silent instruments (length 0) and every record word 0.
SongFile make_song(uint32_t wait, int32_t repeat_start, int32_t repeat_end, int32_t records);

// The little-endian word at a file offset inside the song.
void set_u32(SongFile* song, uint64_t offset, uint32_t value);
// The first three bytes, for files that are not quite songs.
void set_magic(SongFile* song, const char magic[3]);
// A record count other than the one laid out, as a broken file claims.
void set_record_count(SongFile* song, uint32_t count);
void set_drum_volume(SongFile* song, uint32_t volume);
void set_record(SongFile* song, int32_t track, int32_t record, uint32_t word);
// Sets instrument i's octave, length, volume, waveform and envelope.
void set_instrument(SongFile* song, int32_t i, uint8_t octave, int32_t length, int32_t volume,
                    const int8_t waveform[tamsel::core::WAVEFORM_SIZE],
                    const uint8_t envelope[tamsel::core::ENVELOPE_SIZE]);
