#include "song_builder.h"

#include <cstring>
#include <stdexcept>

#include "common/byte_order.h"

using namespace tamsel::core;
using tamsel::put_u32_le;

SongFile make_song(uint32_t wait, int32_t repeat_start, int32_t repeat_end, int32_t records) {
    SongFile song;
    song.records = records < 0 ? 0 : records;
    song.bytes.assign((size_t)song_file_size((uint64_t)song.records), 0);
    std::memcpy(song.bytes.data(), SONG_MAGIC, SONG_MAGIC_SIZE);
    set_u32(&song, WAIT_AT, wait);
    set_u32(&song, REPEAT_START_AT, (uint32_t)repeat_start);
    set_u32(&song, REPEAT_END_AT, (uint32_t)repeat_end);
    set_record_count(&song, (uint32_t)records);
    set_drum_volume(&song, 300);
    return song;
}

void set_u32(SongFile* song, uint64_t offset, uint32_t value) {
    // A word past the end would grow nothing: the test asked for a place
    // its song does not have.
    if (offset + 4 > song->bytes.size()) throw std::out_of_range("song word past the end of the file");
    put_u32_le(song->bytes.data() + offset, value);
}

void set_magic(SongFile* song, const char magic[3]) {
    std::memcpy(song->bytes.data(), magic, SONG_MAGIC_SIZE);
}

void set_record_count(SongFile* song, uint32_t count) {
    set_u32(song, RECORD_COUNT_AT, count);
}

void set_drum_volume(SongFile* song, uint32_t volume) {
    set_u32(song, DRUM_VOLUME_AT, volume);
}

void set_record(SongFile* song, int32_t track, int32_t record, uint32_t word) {
    set_u32(song, record_at(track, (uint64_t)song->records, (uint64_t)record), word);
}

void set_instrument(SongFile* song, int32_t i, uint8_t octave, int32_t length, int32_t volume,
                    const int8_t waveform[WAVEFORM_SIZE], const uint8_t envelope[ENVELOPE_SIZE]) {
    uint32_t at = instrument_at(i);
    song->bytes.at(at + INSTRUMENT_OCTAVE_AT) = octave;
    set_u32(song, at + INSTRUMENT_LENGTH_AT, (uint32_t)length);
    set_u32(song, at + INSTRUMENT_VOLUME_AT, (uint32_t)volume);
    std::memcpy(&song->bytes[at + INSTRUMENT_WAVEFORM_AT], waveform, WAVEFORM_SIZE);
    std::memcpy(&song->bytes[at + INSTRUMENT_ENVELOPE_AT], envelope, ENVELOPE_SIZE);
}
