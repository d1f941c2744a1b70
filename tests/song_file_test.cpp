// Loading song files: the header, the tracks, and files that are odd.
#include <gtest/gtest.h>

#include <cstring>

#include "mixer/sound_objects.h"
#include "test_support.h"

static uint8_t load(const SongFile& song) {
    reset_engine_session();
    if (InitTamsel() != 1) return 0;
    return ReadTamsel(write_temp_file("song.tsm", song.bytes).c_str());
}

TEST(SongFile, HeaderFieldsComeFromTheirOffsets) {
    SongFile song = make_song(0x01020304, -2, 77, 3);
    song.bytes[3] = 'X';
    song.bytes[4] = 0xAB;
    song.bytes[24 + 340] = 9;  // instrument 1 octave
    set_u32(&song, 24 + 340 + 4, 4000);
    set_u32(&song, 24 + 680 + 8, 0xFFFFFFFF);
    song.bytes[24 + 680 + 20 + 255] = 0x80;  // last waveform point of instrument 2
    song.bytes[24 + 276 + 63] = 200;         // last envelope point of instrument 0
    set_u32(&song, 1044, 123);
    ASSERT_EQ(load(song), 1);
    EXPECT_EQ(gTamsel.wait, 0x01020304u);
    EXPECT_EQ(gTamsel.repeat_start, -2);
    EXPECT_EQ(gTamsel.repeat_end, 77);
    EXPECT_EQ(gTamsel.record_count, 3);
    EXPECT_EQ(gTamsel.unused_3, 'X');
    EXPECT_EQ(gTamsel.unused_4[0], 0xAB);
    EXPECT_EQ(gTamsel.instrument[1].octave, 9);
    EXPECT_EQ(gTamsel.instrument[1].length, 4000);
    EXPECT_EQ(gTamsel.instrument[2].volume, -1);
    EXPECT_EQ(gTamsel.instrument[2].waveform[255], -128);
    EXPECT_EQ(gTamsel.instrument[0].envelope[63], 200);
    EXPECT_EQ(gTamsel.drum_volume, 123u);
    EXPECT_EQ(gTamsel.position, -1);
}

TEST(SongFile, TracksLieOneAfterAnother) {
    SongFile song = make_song(100, 0, 64, 64);
    for (int32_t t = 0; t < 4; t++) set_record(&song, t, 0, 0x100u + (uint32_t)t);
    set_record(&song, 3, 63, 0xCAFE);
    song.bytes.resize(song.bytes.size() + 100, 0xEE);  // trailing bytes are ignored
    ASSERT_EQ(load(song), 1);
    EXPECT_EQ(song.bytes[1816], 0x03);  // track 3 starts at byte 1816
    for (int32_t t = 0; t < 4; t++) EXPECT_EQ(gTamsel.track_records[t][0], 0x100u + (uint32_t)t);
    EXPECT_EQ(gTamsel.track_records[3][63], 0xCAFEu);
}

TEST(SongFile, OnlyTheExactMagicLoads) {
    const char* magics[] = {"tsm", "TSm", "TSN", "XSM"};
    for (const char* magic : magics) {
        SongFile song = make_song(100, 0, 8, 8);
        std::memcpy(song.bytes.data(), magic, 3);
        EXPECT_EQ(load(song), 0) << magic;
    }
    reset_engine_session();
    ASSERT_EQ(InitTamsel(), 1);
    EXPECT_EQ(ReadTamsel("/nonexistent/song.tsm"), 0);
}

TEST(SongFile, ReadingBeforeTheEngineStartsFails) {
    reset_engine_session();
    SongFile song = make_song(100, 0, 8, 8);
    EXPECT_EQ(ReadTamsel(write_temp_file("song.tsm", song.bytes).c_str()), 0);
}

TEST(SongFile, MissingBytesReadAsZero) {
    SongFile song = make_song(100, 0, 8, 8);
    for (int32_t r = 0; r < 8; r++) set_record(&song, 0, r, 0xFFFFFFFF);
    song.bytes.resize(TSM_HEADER_SIZE + 4 * 5);
    ASSERT_EQ(load(song), 1);
    EXPECT_EQ(gTamsel.track_records[0][4], 0xFFFFFFFFu);
    EXPECT_EQ(gTamsel.track_records[0][5], 0u);
    EXPECT_EQ(gTamsel.track_records[3][7], 0u);

    // Only the magic: every other header field reads as 0.
    SongFile bare = make_song(100, 0, 8, 8);
    bare.bytes.resize(3);
    ASSERT_EQ(load(bare), 1);
    EXPECT_EQ(gTamsel.wait, 0u);
    EXPECT_EQ(gTamsel.record_count, 0);
    EXPECT_EQ(gTamsel.drum_volume, 0u);
}

TEST(SongFile, RecordCountsBeyondTheArraysKeepTheFirstThousand) {
    // With 1001 records per track, track 1 starts at 1048 + 4 * 1001.
    SongFile song = make_song(100, 0, 1001, 1001);
    set_record(&song, 0, 999, 7);
    set_record(&song, 0, 1000, 8);
    set_record(&song, 1, 0, 9);
    ASSERT_EQ(load(song), 1);
    EXPECT_EQ(gTamsel.track_records[0][999], 7u);
    EXPECT_EQ(gTamsel.track_records[1][0], 9u);

    SongFile huge = make_song(100, 0, 8, 8);
    set_u32(&huge, 20, 0x7FFFFFFF);
    set_record(&huge, 0, 0, 5);
    ASSERT_EQ(load(huge), 1);
    EXPECT_EQ(gTamsel.track_records[0][0], 5u);
    EXPECT_EQ(gTamsel.track_records[1][0], 0u);

    SongFile negative = make_song(100, 0, 8, 8);
    set_u32(&negative, 20, 0xFFFFFFFF);
    EXPECT_EQ(load(negative), 1);
}

TEST(SongFile, EngineStartsWithDrumsAndEndsTwiceSafely) {
    reset_engine_session();
    ASSERT_EQ(InitTamsel(), 1);
    EXPECT_EQ(gTamsel.ready, 1);
    for (int32_t slot = 472; slot < 496; slot++) EXPECT_NE(lpSECONDARYBUFFER[slot], nullptr) << slot;
    for (int32_t t = 0; t < 4; t++) EXPECT_EQ(gTamsel.track_records[t][999], 0u);
    EndTamsel();
    EndTamsel();
    for (int32_t t = 0; t < 4; t++) EXPECT_EQ(gTamsel.track_records[t], nullptr);
}
