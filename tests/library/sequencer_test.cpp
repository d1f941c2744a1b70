// The sequencer step: positions, wraps, timing, pans and note starts.
#include <gtest/gtest.h>

#include "engine/renderer.h"
#include "engine/sequencer.h"
#include "mixer/voice.h"
#include "song_builder.h"
#include "test_engine.h"

using namespace tamsel::core;

namespace {

Engine started(const SongFile& song) {
    Engine engine = start_engine(song.bytes, 0, 20.0);
    EXPECT_NE(engine.renderer, nullptr);
    return engine;
}

// Takes a step whatever the time, as the first step of a render does.
void force_step(Engine* engine) {
    Renderer* renderer = engine->renderer.get();
    renderer->sequencer.force_step = true;
    sequencer_offer_step(engine->song.get(), &renderer->sequencer, &renderer->table, 0);
}

Voice* voice_at(Engine* engine, int32_t slot) {
    return slot_voice(engine->renderer.get(), slot);
}

TEST(Sequencer, PanSelectorsPickFromThePanTable) {
    const int32_t pans[] = {-1, 96, 180, 224, 256, 288, 332, 420, -1, -1};
    const uint32_t selectors[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 255};
    for (int i = 0; i < 10; i++) EXPECT_EQ(pan_for_selector(selectors[i]), pans[i]) << selectors[i];
}

TEST(Sequencer, PanComesBeforeTheNotesOfTheSameRecord) {
    // Drum track: pan selector 1 (pan 96: -1600) with the bass drum, then a
    // record with selector 9, which leaves the pan alone.
    SongFile song = make_song(0, 0, 8, 8);
    set_record(&song, 3, 0, 0x01000001u);
    set_record(&song, 3, 1, 0x09000002u);
    Engine engine = started(song);
    ASSERT_NE(engine.renderer, nullptr);
    Voice* kick = voice_at(&engine, 472);
    EXPECT_TRUE(kick->playing);
    EXPECT_EQ(kick->pan_left_gain, 65536);
    EXPECT_EQ(kick->pan_right_gain, voice_gain_from_db(-1600));
    // The pan reaches all 24 slots of the track, sounding or not.
    EXPECT_EQ(voice_at(&engine, 495)->pan_right_gain, voice_gain_from_db(-1600));
    force_step(&engine);
    EXPECT_TRUE(voice_at(&engine, 473)->playing);
    EXPECT_EQ(voice_at(&engine, 473)->pan_right_gain, voice_gain_from_db(-1600));
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
        Engine engine = started(song);
        ASSERT_NE(engine.renderer, nullptr);
        SequencerState* sequencer = &engine.renderer->sequencer;
        voice_at(&engine, 472)->playing = false;
        sequencer->position = row.records - 1;
        force_step(&engine);
        EXPECT_EQ(sequencer->position, row.repeat_start) << row.what;
        EXPECT_EQ(sequencer->loops_done, 1) << row.what;
        EXPECT_EQ(song_record_word(engine.song.get(), sequencer->position, 3), 0u) << row.what;
        EXPECT_FALSE(voice_at(&engine, 472)->playing) << row.what;
    }
}

TEST(Sequencer, PositionWrapsLikeA32BitRegister) {
    SongFile song = make_song(0, 0x7FFFFFFF, 0x7FFFFFFF, 8);
    set_record_count(&song, 0x7FFFFFFF);
    Engine engine = started(song);
    ASSERT_NE(engine.renderer, nullptr);
    SequencerState* sequencer = &engine.renderer->sequencer;
    sequencer->position = 0x7FFFFFFE;
    force_step(&engine);
    EXPECT_EQ(sequencer->position, 0x7FFFFFFF);
    EXPECT_EQ(sequencer->loops_done, 1);
    force_step(&engine);
    EXPECT_EQ(sequencer->position, INT32_MIN);
    EXPECT_EQ(song_record_word(engine.song.get(), sequencer->position, 0), 0u);
}

TEST(Sequencer, ANewSequencerStandsBeforeRecordZeroWithItsFirstStepForced) {
    SequencerState sequencer;
    sequencer_start(&sequencer);
    EXPECT_EQ(sequencer.position, -1);
    EXPECT_EQ(sequencer.loops_done, 0);
    EXPECT_EQ(sequencer.last_step_ms, 0u);
    EXPECT_TRUE(sequencer.force_step);
    // A renderer has taken that step before its first frame.
    SongFile song = make_song(100, 0, 8, 8);
    set_record(&song, 3, 0, 1);
    Engine engine = started(song);
    ASSERT_NE(engine.renderer, nullptr);
    EXPECT_EQ(renderer_sequencer(engine.renderer.get())->position, 0);
    EXPECT_FALSE(renderer_sequencer(engine.renderer.get())->force_step);
    EXPECT_TRUE(voice_at(&engine, 472)->playing);
}

TEST(Sequencer, AStepIsDueOnceTheClockPassesTheLastStepPlusTheWait) {
    // The sum wraps at 32 bits and the comparison is strict.
    const struct {
        uint32_t wait, last, now;
        bool due;
    } cases[] = {
        {100, 0, 100, 0},       {100, 0, 101, 1},       {0, 0, 0, 0},
        {0, 0, 1, 1},           {0xFFFFFFFFu, 0, 5, 0}, {0xFFFFFFFFu, 1, 5, 1},
        {0xFFFFFFFFu, 2, 0, 0}, {0xFFFFFFFFu, 2, 2, 1}, {10, 0xFFFFFFF0u, 0xFFFFFFFFu, 1},
    };
    for (const auto& c : cases) {
        SongFile song = make_song(c.wait, 0, 8, 8);
        Engine engine = started(song);
        ASSERT_NE(engine.renderer, nullptr);
        SequencerState sequencer = *renderer_sequencer(engine.renderer.get());
        sequencer.last_step_ms = c.last;
        EXPECT_EQ(sequencer_step_due(engine.song.get(), &sequencer, c.now), c.due)
            << "wait " << c.wait << ", last " << c.last << ", now " << c.now;
        sequencer.force_step = true;
        EXPECT_TRUE(sequencer_step_due(engine.song.get(), &sequencer, c.now));
    }
}

}  // namespace
