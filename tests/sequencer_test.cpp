// The sequencer step: positions, wraps, pans and note starts.
#include <gtest/gtest.h>

#include "engine/render_clock.h"
#include "engine/sequencer.h"
#include "mixer/sound_objects.h"
#include "test_support.h"

static void load_song(const SongFile& song) {
    ASSERT_EQ(start_song_file(write_temp_file("seq.tsm", song.bytes), 0, 20.0), 1);
}

static void force_step() {
    gTamsel.force_step = 1;
    TamselProc();
}

TEST(Sequencer, PanSelectorsPickFromThePanTable) {
    const int32_t pans[] = {-1, 96, 180, 224, 256, 288, 332, 420, -1, -1};
    const uint32_t selectors[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 255};
    for (int i = 0; i < 10; i++) EXPECT_EQ(tamsel_pan_for_selector(selectors[i]), pans[i]) << selectors[i];
}

TEST(Sequencer, PanComesBeforeTheNotesOfTheSameRecord) {
    // Drum track: pan selector 1 (pan 96: -1600) with the bass drum, then a
    // record with selector 9, which leaves the pan alone.
    SongFile song = make_song(0, 0, 8, 8);
    set_record(&song, 3, 0, 0x01000001u);
    set_record(&song, 3, 1, 0x09000002u);
    load_song(song);
    tamsel_sound* kick = lpSECONDARYBUFFER[472];
    EXPECT_EQ(kick->playing, 1);
    EXPECT_EQ(kick->pan_left_gain, 65536);
    EXPECT_EQ(kick->pan_right_gain, tamsel_sound_gain_from_db(-1600));
    // The pan reaches all 24 slots of the track, sounding or not.
    EXPECT_EQ(lpSECONDARYBUFFER[495]->pan_right_gain, tamsel_sound_gain_from_db(-1600));
    force_step();
    EXPECT_EQ(lpSECONDARYBUFFER[473]->playing, 1);
    EXPECT_EQ(lpSECONDARYBUFFER[473]->pan_right_gain, tamsel_sound_gain_from_db(-1600));
}

TEST(Sequencer, RecordsOutsideTheLoadedOnesReadAsSilence) {
    struct Row {
        const char* what;
        int32_t repeat_start;
        int32_t records;
    } rows[] = {{"negative repeat start", -5, 4}, {"repeat start past the records", 3000, 4}};
    for (const Row& row : rows) {
        SongFile song = make_song(0, row.repeat_start, row.records, row.records);
        for (int32_t r = 0; r < row.records; r++) set_record(&song, 3, r, 1);
        load_song(song);
        lpSECONDARYBUFFER[472]->playing = 0;
        gTamsel.position = row.records - 1;
        force_step();
        EXPECT_EQ(gTamsel.position, row.repeat_start) << row.what;
        EXPECT_EQ(gTamsel.loops_done, 1) << row.what;
        EXPECT_EQ(tamsel_record_word(&gTamsel, 3), 0u) << row.what;
        EXPECT_EQ(lpSECONDARYBUFFER[472]->playing, 0) << row.what;
    }
}

TEST(Sequencer, PositionWrapsLikeA32BitRegister) {
    SongFile song = make_song(0, 0x7FFFFFFF, 0x7FFFFFFF, 8);
    set_u32(&song, 20, 0x7FFFFFFF);
    load_song(song);
    gTamsel.position = 0x7FFFFFFE;
    force_step();
    EXPECT_EQ(gTamsel.position, 0x7FFFFFFF);
    EXPECT_EQ(gTamsel.loops_done, 1);
    force_step();
    EXPECT_EQ(gTamsel.position, INT32_MIN);
    EXPECT_EQ(tamsel_record_word(&gTamsel, 0), 0u);
}

TEST(Sequencer, NothingHappensUntilTheSongPlays) {
    SongFile song = make_song(0, 0, 8, 8);
    load_song(song);
    gTamsel.playing = 0;
    force_step();
    EXPECT_EQ(gTamsel.position, 0);
    gTamsel.playing = 1;
    gTamsel.ready = 0;
    force_step();
    EXPECT_EQ(gTamsel.position, 0);
}

TEST(Sequencer, FirstFrameIsATickButCannotStep) {
    SongFile song = make_song(0, 0, 8, 8);
    load_song(song);
    float frame[2];
    generate_samples(frame, 1);
    EXPECT_EQ(gTamsel.position, 0);
    EXPECT_EQ(gTamsel.last_step_ms, 0u);
}
