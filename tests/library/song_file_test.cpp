// Loading song files: the header, the tracks, and files that are odd.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "engine/renderer.h"
#include "song/song.h"
#include "song_builder.h"
#include "test_engine.h"

using namespace tamsel::core;

namespace {

// The song the bytes hold, or null when they are not a song.
std::unique_ptr<Song> load(const SongFile& song) {
    return std::move(start_engine(song.bytes, 0, 20.0).song);
}

TEST(SongFile, HeaderFieldsComeFromTheirOffsets) {
    SongFile song = make_song(0x01020304, -2, 77, 3);
    song.bytes[3] = 'X';  // bytes 3..7 are not used
    song.bytes[4] = 0xAB;
    song.bytes[instrument_at(1) + INSTRUMENT_OCTAVE_AT] = 9;
    set_u32(&song, instrument_at(1) + INSTRUMENT_LENGTH_AT, 4000);
    set_u32(&song, instrument_at(2) + INSTRUMENT_VOLUME_AT, 0xFFFFFFFF);
    song.bytes[instrument_at(2) + INSTRUMENT_WAVEFORM_AT + 255] = 0x80;  // last waveform point
    song.bytes[instrument_at(0) + INSTRUMENT_ENVELOPE_AT + 63] = 200;    // last envelope point
    set_drum_volume(&song, 123);
    std::unique_ptr<Song> loaded = load(song);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->step_ms, 0x01020304u);
    EXPECT_EQ(loaded->repeat_start, -2);
    EXPECT_EQ(loaded->repeat_end, 77);
    EXPECT_EQ(loaded->record_count, 3);
    EXPECT_EQ(loaded->loaded_records, 3);
    EXPECT_EQ(loaded->instruments[1].octave, 9);
    EXPECT_EQ(loaded->instruments[1].length, 4000);
    EXPECT_EQ(loaded->instruments[2].volume, -1);
    EXPECT_EQ(loaded->instruments[2].waveform[255], -128);
    EXPECT_EQ(loaded->instruments[0].envelope[63], 200);
    EXPECT_EQ(loaded->drum_volume, 123u);
}

TEST(SongFile, TracksLieOneAfterAnother) {
    SongFile song = make_song(100, 0, 64, 64);
    for (int32_t t = 0; t < 4; t++) set_record(&song, t, 0, 0x100u + (uint32_t)t);
    set_record(&song, 3, 63, 0xCAFE);
    song.bytes.resize(song.bytes.size() + 100, 0xEE);  // trailing bytes are ignored
    std::unique_ptr<Song> loaded = load(song);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(song.bytes[1816], 0x03);  // track 3 starts at byte 1816
    for (int32_t t = 0; t < 4; t++) EXPECT_EQ(loaded->records[t][0], 0x100u + (uint32_t)t);
    EXPECT_EQ(loaded->records[3][63], 0xCAFEu);
    EXPECT_EQ(song_record_word(loaded.get(), 63, 3), 0xCAFEu);
    EXPECT_EQ(song_record_word(loaded.get(), 64, 3), 0u);
    EXPECT_EQ(song_record_word(loaded.get(), -1, 3), 0u);
}

TEST(SongFile, MissingBytesReadAsZero) {
    SongFile song = make_song(100, 0, 8, 8);
    for (int32_t r = 0; r < 8; r++) set_record(&song, 0, r, 0xFFFFFFFF);
    song.bytes.resize(record_at(0, 8, 5));  // track 0 ends after 5 records
    std::unique_ptr<Song> loaded = load(song);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->records[0][4], 0xFFFFFFFFu);
    EXPECT_EQ(loaded->records[0][5], 0u);
    EXPECT_EQ(loaded->records[3][7], 0u);

    // Only the magic: every other header field reads as 0.
    SongFile bare = make_song(100, 0, 8, 8);
    bare.bytes.resize(3);
    std::unique_ptr<Song> header_only = load(bare);
    ASSERT_NE(header_only, nullptr);
    EXPECT_EQ(header_only->step_ms, 0u);
    EXPECT_EQ(header_only->record_count, 0);
    EXPECT_EQ(header_only->loaded_records, 0);
    EXPECT_EQ(header_only->drum_volume, 0u);
}

TEST(SongFile, RecordCountsBeyondTheArraysKeepTheFirstThousand) {
    // With 1001 records per track, track 1 starts at 1048 + 4 * 1001.
    SongFile song = make_song(100, 0, 1001, 1001);
    set_record(&song, 0, 999, 7);
    set_record(&song, 0, 1000, 8);
    set_record(&song, 1, 0, 9);
    std::unique_ptr<Song> loaded = load(song);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->loaded_records, 1000);
    EXPECT_EQ(loaded->records[0][999], 7u);
    EXPECT_EQ(loaded->records[1][0], 9u);
    EXPECT_EQ(song_record_word(loaded.get(), 1000, 0), 0u);

    SongFile huge = make_song(100, 0, 8, 8);
    set_record_count(&huge, 0x7FFFFFFF);
    set_record(&huge, 0, 0, 5);
    std::unique_ptr<Song> huge_loaded = load(huge);
    ASSERT_NE(huge_loaded, nullptr);
    EXPECT_EQ(huge_loaded->records[0][0], 5u);
    EXPECT_EQ(huge_loaded->records[1][0], 0u);

    const struct {
        int32_t count, loaded;
    } counts[] = {{INT32_MIN, 0}, {-1, 0}, {0, 0}, {1, 1}, {1000, 1000}, {1001, 1000}, {INT32_MAX, 1000}};
    for (const auto& c : counts) EXPECT_EQ(loaded_record_count(c.count), c.loaded) << c.count;
}

TEST(SongFile, ARendererStartsWithTheDrumsInTheirSlots) {
    Engine engine = start_engine(make_song(100, 0, 8, 8).bytes, 0, 20.0);
    ASSERT_NE(engine.renderer, nullptr);
    for (int32_t slot = 472; slot < 496; slot++) {
        EXPECT_NE(slot_voice(engine.renderer.get(), slot), nullptr) << slot;
    }
    for (int32_t t = 0; t < 4; t++) {
        EXPECT_EQ(engine.song->records[t][999], 0u);
        EXPECT_EQ(song_record_word(engine.song.get(), 999, t), 0u);
    }
}

}  // namespace
