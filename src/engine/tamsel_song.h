// The one song the engine holds: its header as stored in the song file,
// followed by the sequencer's runtime fields.
#pragma once

#include <cstdint>

constexpr uint32_t TSM_HEADER_SIZE = 1048;
constexpr uint32_t TSM_INSTRUMENT_SIZE = 340;
constexpr int32_t TRACK_COUNT = 4;
constexpr int32_t MELODIC_TRACK_COUNT = 3;
// Records each track array holds; records beyond it are not loaded.
constexpr int32_t TRACK_CAPACITY = 1000;

struct TamselInstrument {
    uint8_t octave;
    uint8_t unused_1[3];
    int32_t length;      // samples per note
    int32_t volume;      // engine volume scale, 300 is full level
    uint8_t unused_12[8];
    int8_t waveform[256];
    uint8_t envelope[64];
};

struct TamselSong {
    // Header, in file order.
    char magic[3];
    uint8_t unused_3;
    uint8_t unused_4[4];
    uint32_t wait;         // step time in milliseconds
    int32_t repeat_start;  // record where play goes on after a wrap
    int32_t repeat_end;    // record at which the song wraps
    int32_t record_count;  // records in each track
    TamselInstrument instrument[MELODIC_TRACK_COUNT];
    uint32_t drum_volume;

    // Runtime.
    uint8_t playing;
    int32_t position;      // current record, -1 before the first step
    uint32_t last_step_ms; // clock reading at the last step
    uint32_t* track_records[TRACK_COUNT];
    uint8_t ready;
    int32_t loops_done;
    uint8_t force_step;
};

extern TamselSong gTamsel;

// Creates the drum voices and the track arrays. 1 on success.
uint8_t InitTamsel();
// Loads the song file at path. 1 on success; 0 when the engine is not ready,
// the file cannot be opened or it does not start with "TSM".
uint8_t ReadTamsel(const char* path);
// Releases the track arrays.
void EndTamsel();

// Decodes a 1048-byte song header into the header fields of song.
void decode_song_header(const uint8_t* bytes, TamselSong* song);
// Number of records per track actually held: record_count bounded to 0..1000.
int32_t loaded_record_count(const TamselSong* song);
