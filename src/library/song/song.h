// A loaded song: its header, its track records, and the sample sources of
// its notes and drums. Immutable once loaded; any number of renderers may
// read one song at the same time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mixer/drum_kit.h"
#include "mixer/sample_source.h"
#include "song/song_layout.h"
#include "tamsel/tamsel.h"

namespace tamsel::core {

// Records each track holds; records beyond it are not loaded.
constexpr int32_t TRACK_CAPACITY = 1000;

// The layout's copies of the public header's numbers, which the layout
// header keeps as plain numbers for the tools that read it.
static_assert(TRACK_COUNT == TAMSEL_TRACK_COUNT && DRUM_TRACK == TAMSEL_DRUM_TRACK);
static_assert(SONG_HEADER_SIZE == TAMSEL_SONG_HEADER_BYTES && RECORD_SIZE == TAMSEL_RECORD_BYTES);
static_assert(TRACK_CAPACITY == TAMSEL_TRACK_RECORDS);

// A record word: bit k of its low NOTES_PER_TRACK bits starts the track's
// note k, its top byte selects the track's pan.
constexpr int32_t NOTES_PER_TRACK = 24;
constexpr uint32_t record_notes(uint32_t word) {
    return word & ((1u << NOTES_PER_TRACK) - 1u);
}
constexpr uint32_t record_pan_selector(uint32_t word) {
    return word >> NOTES_PER_TRACK;
}

// Each note bit of the drum track starts one drum slot.
static_assert(DRUM_SLOT_COUNT == NOTES_PER_TRACK);

struct Instrument {
    uint8_t octave;
    int32_t length;  // samples per note
    int32_t volume;  // engine volume scale, 300 is full level
    int8_t waveform[WAVEFORM_SIZE];
    uint8_t envelope[ENVELOPE_SIZE];
};

struct Song {
    // Header.
    uint32_t step_ms;      // step time in milliseconds
    int32_t repeat_start;  // record where play goes on after a wrap
    int32_t repeat_end;    // record at which the song wraps
    int32_t record_count;  // records in each track, as stored
    Instrument instruments[MELODIC_TRACK_COUNT];
    uint32_t drum_volume;

    // The first loaded_records records of each track; the rest read as 0.
    int32_t loaded_records;
    uint32_t records[TRACK_COUNT][TRACK_CAPACITY];

    // Derived: the 24 notes of each instrument (a size below 2 means the
    // instrument is silent) and the 24 drum slots' images.
    SampleSource notes[MELODIC_TRACK_COUNT][NOTES_PER_TRACK];
    SampleSource drums[DRUM_SLOT_COUNT];
};

// Reads size bytes at offset into out and returns how many it could;
// whatever it could not read the loader takes as 0.
typedef size_t (*SongReadAt)(void* context, uint64_t offset, uint8_t* out, size_t size);

enum SongLoadResult { SONG_LOADED, SONG_NOT_A_SONG };

// Loads a song from a byte source: the header, then each track where the
// file's own record count puts it, even when only the first TRACK_CAPACITY
// records of each are kept.
SongLoadResult load_song(SongReadAt read_at, void* context, Song* song);

// Decodes a SONG_HEADER_SIZE-byte header into the header fields of song.
void decode_song_header(const uint8_t* bytes, Song* song);
// Records per track actually held: record_count bounded to 0..1000.
int32_t loaded_record_count(int32_t record_count);

}  // namespace tamsel::core
