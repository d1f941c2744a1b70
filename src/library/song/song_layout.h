// Where everything lies in a song file: a header of SONG_HEADER_SIZE bytes
// (the magic, the step time, the repeat points, the record count, three
// instruments and the drum volume), then the four tracks' record words,
// all of track 0 first. Multi-byte values are little-endian (read_u32_le
// and put_u32_le in common/byte_order.h). The loader, the song writer, the
// fuzzers and the tests all place fields by these names; the page's tests
// compare web/test-support/song-maker.js with them.
#pragma once

#include <cstdint>

namespace tamsel::core {

// The first SONG_MAGIC_SIZE bytes of every song file.
constexpr char SONG_MAGIC[] = "TSM";
constexpr uint32_t SONG_MAGIC_SIZE = 3;

// Header fields, as file offsets. Bytes 3..7 are not interpreted.
constexpr uint32_t WAIT_AT = 8;           // step time in ms, unsigned
constexpr uint32_t REPEAT_START_AT = 12;  // signed
constexpr uint32_t REPEAT_END_AT = 16;    // signed
constexpr uint32_t RECORD_COUNT_AT = 20;  // records per track, signed
constexpr uint32_t FIRST_INSTRUMENT_AT = 24;
constexpr uint32_t DRUM_VOLUME_AT = 1044;  // unsigned
constexpr uint32_t SONG_HEADER_SIZE = 1048;

// The tracks: one per melodic instrument, then the drums.
constexpr int32_t MELODIC_TRACK_COUNT = 3;
constexpr int32_t DRUM_TRACK = 3;
constexpr int32_t TRACK_COUNT = 4;

// An instrument's fields, as offsets within it. Bytes 1..3 and 12..19 are
// not interpreted.
constexpr uint32_t INSTRUMENT_OCTAVE_AT = 0;      // unsigned byte
constexpr uint32_t INSTRUMENT_LENGTH_AT = 4;      // samples per note, signed
constexpr uint32_t INSTRUMENT_VOLUME_AT = 8;      // signed
constexpr uint32_t INSTRUMENT_WAVEFORM_AT = 20;   // WAVEFORM_SIZE signed bytes
constexpr uint32_t INSTRUMENT_ENVELOPE_AT = 276;  // ENVELOPE_SIZE unsigned bytes
constexpr uint32_t WAVEFORM_SIZE = 256;
constexpr uint32_t ENVELOPE_SIZE = 64;
constexpr uint32_t INSTRUMENT_SIZE = 340;

// Every record word takes RECORD_SIZE bytes (see record_notes in song.h
// for what it holds).
constexpr uint32_t RECORD_SIZE = 4;

// File offset of melodic instrument i (0..2).
constexpr uint32_t instrument_at(int32_t i) {
    return FIRST_INSTRUMENT_AT + INSTRUMENT_SIZE * (uint32_t)i;
}

// File offset of record r of track t when each track holds
// records_per_track records. Counts up to 2^31 put tracks beyond 4 GiB,
// so offsets have 64 bits.
constexpr uint64_t record_at(int32_t t, uint64_t records_per_track, uint64_t r) {
    return SONG_HEADER_SIZE + RECORD_SIZE * ((uint64_t)t * records_per_track + r);
}

// Bytes of a song file whose tracks hold records_per_track records each.
constexpr uint64_t song_file_size(uint64_t records_per_track) {
    return record_at(TRACK_COUNT, records_per_track, 0);
}

static_assert(INSTRUMENT_WAVEFORM_AT + WAVEFORM_SIZE == INSTRUMENT_ENVELOPE_AT);
static_assert(INSTRUMENT_ENVELOPE_AT + ENVELOPE_SIZE == INSTRUMENT_SIZE);
static_assert(instrument_at(MELODIC_TRACK_COUNT) == DRUM_VOLUME_AT);
static_assert(DRUM_VOLUME_AT + 4 == SONG_HEADER_SIZE);

}  // namespace tamsel::core
