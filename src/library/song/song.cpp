#include "song/song.h"

#include <cstring>

#include "common/byte_order.h"
#include "song/instruments.h"
#include "song/song_layout.h"

namespace tamsel::core {

static void decode_instrument(const uint8_t* bytes, Instrument* instrument) {
    instrument->octave = bytes[INSTRUMENT_OCTAVE_AT];
    instrument->length = (int32_t)read_u32_le(bytes + INSTRUMENT_LENGTH_AT);
    instrument->volume = (int32_t)read_u32_le(bytes + INSTRUMENT_VOLUME_AT);
    std::memcpy(instrument->waveform, bytes + INSTRUMENT_WAVEFORM_AT, WAVEFORM_SIZE);
    std::memcpy(instrument->envelope, bytes + INSTRUMENT_ENVELOPE_AT, ENVELOPE_SIZE);
}

void decode_song_header(const uint8_t* bytes, Song* song) {
    song->step_ms = read_u32_le(bytes + WAIT_AT);
    song->repeat_start = (int32_t)read_u32_le(bytes + REPEAT_START_AT);
    song->repeat_end = (int32_t)read_u32_le(bytes + REPEAT_END_AT);
    song->record_count = (int32_t)read_u32_le(bytes + RECORD_COUNT_AT);
    for (int32_t i = 0; i < MELODIC_TRACK_COUNT; i++) {
        decode_instrument(bytes + instrument_at(i), &song->instruments[i]);
    }
    song->drum_volume = read_u32_le(bytes + DRUM_VOLUME_AT);
}

int32_t loaded_record_count(int32_t record_count) {
    if (record_count < 0) return 0;
    return record_count > TRACK_CAPACITY ? TRACK_CAPACITY : record_count;
}

static void read_or_zero(SongReadAt read_at, void* context, uint64_t offset, uint8_t* out, size_t size) {
    size_t got = read_at(context, offset, out, size);
    if (got > size) got = size;
    std::memset(out + got, 0, size - got);
}

static void load_tracks(SongReadAt read_at, void* context, Song* song) {
    if (song->loaded_records == 0) return;
    uint64_t stored = (uint64_t)song->record_count;
    uint8_t words[TRACK_CAPACITY * RECORD_SIZE];
    for (int32_t t = 0; t < TRACK_COUNT; t++) {
        read_or_zero(read_at, context, record_at(t, stored, 0), words, (size_t)song->loaded_records * RECORD_SIZE);
        for (int32_t r = 0; r < song->loaded_records; r++) song->records[t][r] = read_u32_le(words + RECORD_SIZE * r);
    }
}

static void make_drum_sources(Song* song) {
    for (int32_t k = 0; k < DRUM_SLOT_COUNT; k++) drum_slot_source(k, &song->drums[k]);
}

SongLoadResult load_song(SongReadAt read_at, void* context, Song* song) {
    std::memset(song, 0, sizeof *song);
    uint8_t header[SONG_HEADER_SIZE];
    read_or_zero(read_at, context, 0, header, sizeof header);
    if (std::memcmp(header, SONG_MAGIC, SONG_MAGIC_SIZE) != 0) return SONG_NOT_A_SONG;
    decode_song_header(header, song);
    song->loaded_records = loaded_record_count(song->record_count);
    load_tracks(read_at, context, song);
    make_note_sources(song);
    make_drum_sources(song);
    return SONG_LOADED;
}

}  // namespace tamsel::core
