// What the fuzz targets share: a check that aborts with its line, the
// control bytes in front of a song, and what the song file holds.
//
// The song and C API targets take the same input layout: CONTROL_BYTES
// control bytes, then a song file. The control bytes are
//
//   0-1   loops, int16 little-endian (negative counts as 0)
//   2-3   tick code, uint16 little-endian (see tick_from_code)
//   4     muted tracks of the render (bits 0..3 name tracks)
//   5     flags (each target says what its bits choose)
//   6-9   a frame to seek to, uint32 little-endian
//   10-11 a frame count, uint16 little-endian
//   12    a second mute mask
//   13    an instrument index, int8
//   14    a capacity for the list of loop points
//   15    a choice of length limit
//
// so one corpus of songs serves both.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "song/song_layout.h"

// The song file's layout: offsets, sizes and where the records lie.
namespace layout = tamsel::core;

#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

static constexpr size_t CONTROL_BYTES = 16;

struct Controls {
    int32_t loops;
    double tick_ms;
    uint32_t muted;
    uint8_t flags;
    uint32_t seek_frame;
    uint32_t count;
    uint32_t second_mute;
    int32_t instrument;
    uint32_t wrap_capacity;
    uint8_t limit_choice;
};

// Ticks the fuzzer could not reach from hundredths of a millisecond: the
// edges of the valid range and the invalid values.
static const double SPECIAL_TICKS[16] = {
    0.0,
    -0.0,
    1e-300,
    std::numeric_limits<double>::denorm_min(),
    1e-9,
    1.0 / 48.0,
    1e30,
    1e300,
    std::numeric_limits<double>::max(),
    std::numeric_limits<double>::infinity(),
    -std::numeric_limits<double>::infinity(),
    std::numeric_limits<double>::quiet_NaN(),
    -1.0,
    -20.0,
    2147483648.0,
    0.5,
};

// Codes below 0xFF00 are hundredths of a millisecond (2000 is the default
// 20 ms); the top 256 codes pick a special tick.
inline double tick_from_code(uint32_t code) {
    if (code < 0xFF00u) return (double)code / 100.0;
    return SPECIAL_TICKS[code & 15u];
}

inline uint32_t u16_at(const uint8_t* bytes) {
    return (uint32_t)bytes[0] | (uint32_t)bytes[1] << 8;
}

inline uint32_t u32_at(const uint8_t* bytes) {
    return u16_at(bytes) | u16_at(bytes + 2) << 16;
}

// The little-endian word at offset of a byte string, with bytes past its end
// read as 0, as the loader reads them.
inline uint32_t word_at(const uint8_t* bytes, size_t size, uint64_t offset) {
    uint32_t value = 0;
    for (uint32_t i = 0; i < 4; i++) {
        if (offset + i < size) value |= (uint32_t)bytes[offset + i] << (8 * i);
    }
    return value;
}

inline Controls read_controls(const uint8_t* bytes) {
    Controls c;
    c.loops = (int32_t)(int16_t)(uint16_t)u16_at(bytes);
    c.tick_ms = tick_from_code(u16_at(bytes + 2));
    c.muted = bytes[4];
    c.flags = bytes[5];
    c.seek_frame = u32_at(bytes + 6);
    c.count = u16_at(bytes + 10);
    c.second_mute = bytes[12];
    c.instrument = (int32_t)(int8_t)bytes[13];
    c.wrap_capacity = bytes[14];
    c.limit_choice = bytes[15];
    return c;
}

inline bool tick_is_valid(double tick_ms) {
    return tick_ms == tick_ms && tick_ms >= 0.0 && tick_ms <= std::numeric_limits<double>::max();
}

inline bool starts_with_tag(const uint8_t* bytes, size_t size) {
    return size >= layout::SONG_MAGIC_SIZE && std::memcmp(bytes, layout::SONG_MAGIC, layout::SONG_MAGIC_SIZE) == 0;
}

static constexpr int32_t RECORDS_HELD = 1000;

// The records a track holds as the file lays them out, for r below the
// count bounded to 0..1000.
inline int32_t records_held(int32_t count) {
    if (count < 0) return 0;
    return count > RECORDS_HELD ? RECORDS_HELD : count;
}

inline uint32_t record_in_file(const uint8_t* bytes, size_t size, int32_t track, int32_t record) {
    uint64_t count = (uint64_t)(int64_t)(int32_t)word_at(bytes, size, layout::RECORD_COUNT_AT);
    return word_at(bytes, size, layout::record_at(track, count, (uint64_t)record));
}

// Bit t set when track t starts a note (bits 0..23 of a record word) at a
// record the sequencer can reach with enough loops: it plays records 0 up
// to the end point (the repeat end or the record count, whichever comes
// first), then wraps to the repeat start and plays on from there to the end
// point; a repeat start at or past the end point is replayed at every step.
// Records outside those the track holds read as 0.
inline uint32_t tracks_reached_with_notes(const uint8_t* bytes, size_t size) {
    int64_t repeat_start = (int32_t)word_at(bytes, size, layout::REPEAT_START_AT);
    int64_t repeat_end = (int32_t)word_at(bytes, size, layout::REPEAT_END_AT);
    int64_t count = (int32_t)word_at(bytes, size, layout::RECORD_COUNT_AT);
    int64_t end = repeat_end < count ? repeat_end : count;
    int64_t held = records_held((int32_t)count);
    uint32_t tracks = 0;
    for (int32_t t = 0; t < layout::TRACK_COUNT; t++) {
        for (int64_t r = 0; r < held; r++) {
            bool reached = r < end || r == repeat_start || (r >= repeat_start && r < end);
            if (reached && (record_in_file(bytes, size, t, (int32_t)r) & 0xFFFFFFu)) {
                tracks |= 1u << t;
                break;
            }
        }
    }
    return tracks;
}
