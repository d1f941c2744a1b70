// The sound table and the drum kit in it: how engine values reach a voice,
// what each play mode does, the slots a renderer fills, and a song that
// plays only drums.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "common/byte_order.h"
#include "engine/renderer.h"
#include "mixer/drum_kit.h"
#include "mixer/sound_table.h"
#include "song_builder.h"
#include "test_engine.h"

using namespace tamsel::core;

namespace {

constexpr int32_t kSlot = 400;
constexpr int32_t kHat2 = 10;  // drum slot 482 plays HAT2

// A table with the samples its voices play.
struct Table {
    SoundTable table;
    SampleSource hat;
};

// An empty table with HAT2 in kSlot.
std::unique_ptr<Table> table_with_hat() {
    auto t = std::make_unique<Table>();
    sound_table_clear(&t->table);
    EXPECT_TRUE(drum_slot_source(kHat2, &t->hat));
    EXPECT_TRUE(sound_table_set_source(&t->table, kSlot, &t->hat));
    return t;
}

void run_frames(Voice* v, int32_t frames) {
    int32_t frame[2] = {0, 0};
    for (int32_t i = 0; i < frames; i++) voice_generate_sample(v, frame);
}

// A one-record song (960 frames) whose drum track holds word.
std::vector<uint8_t> drum_song(uint32_t word) {
    SongFile song = make_song(0, 0, 1, 1);
    set_record(&song, 3, 0, word);
    return song.bytes;
}

// Renders the drum song to its end; the engine stays for a look at its voices.
std::vector<float> render_drums(uint32_t word, Engine* kept = nullptr) {
    Engine engine = start_engine(drum_song(word), 0, 20.0);
    EXPECT_NE(engine.renderer, nullptr);
    if (!engine.renderer) return {};
    std::vector<float> out = render_to_end(engine.renderer.get(), 2000);
    if (kept) *kept = std::move(engine);
    return out;
}

int32_t as_int(float sample) {
    return (int32_t)(sample * 32768.0f);
}

TEST(SoundTable, EngineScalesConvertToVoiceUnits) {
    const struct {
        int32_t volume, gain;
    } volumes[] = {{300, 65536}, {0, 4135},     {250, 41350}, {1000, 65536},
                   {301, 65536}, {4395, 65536}, {4396, 0},    {8492, 65536}};
    for (const auto& c : volumes) {
        auto t = table_with_hat();
        sound_table_set_volume(&t->table, kSlot, c.volume);
        EXPECT_EQ(sound_table_voice(&t->table, kSlot)->volume_gain, c.gain) << "volume " << c.volume;
    }
    auto t = table_with_hat();
    for (int32_t volume = 301; volume <= 4395; volume++) {
        sound_table_set_volume(&t->table, kSlot, volume);
        ASSERT_EQ(sound_table_voice(&t->table, kSlot)->volume_gain, 65536) << "volume " << volume;
    }
    const struct { int32_t pan, left, right; } pans[] = {{256, 65536, 65536}, {0, 65536, 3439}, {420, 9919, 65536}};
    for (const auto& c : pans) {
        auto p = table_with_hat();
        sound_table_set_pan(&p->table, kSlot, c.pan);
        EXPECT_EQ(sound_table_voice(&p->table, kSlot)->pan_left_gain, c.left) << "pan " << c.pan;
        EXPECT_EQ(sound_table_voice(&p->table, kSlot)->pan_right_gain, c.right) << "pan " << c.pan;
    }
    // Volume 0 and pan 0 together: -24 dB, and the right side 25.6 dB lower.
    auto both = table_with_hat();
    sound_table_set_volume(&both->table, kSlot, 0);
    sound_table_set_pan(&both->table, kSlot, 0);
    EXPECT_EQ(sound_table_voice(&both->table, kSlot)->left_target, 4135);
    EXPECT_EQ(sound_table_voice(&both->table, kSlot)->right_target, 216);
}

TEST(SoundTable, EmptySlotsAndBadIndicesIgnoreEveryOperation) {
    // A song with silent instruments: only the 24 drum slots hold voices.
    Engine engine = start_engine(make_song(100, 0, 8, 8).bytes, 0, 20.0);
    ASSERT_NE(engine.renderer, nullptr);
    SoundTable* table = &engine.renderer->table;
    Voice* kick = sound_table_voice(table, 472);
    ASSERT_NE(kick, nullptr);
    SampleSource unusable;
    std::memset(&unusable, 0, sizeof unusable);
    for (int32_t index : {0, 399, 496, 511, -1, 512, INT32_MIN, INT32_MAX}) {
        SCOPED_TRACE(index);
        EXPECT_FALSE(sound_table_set_source(table, index, &unusable));
        if (index < 0 || index > 511) {
            EXPECT_FALSE(sound_table_set_source(table, index, &engine.song->drums[0]));
        }
        sound_table_restart(table, index);
        sound_table_set_volume(table, index, 0);
        sound_table_set_pan(table, index, 0);
        EXPECT_EQ(sound_table_voice(table, index), nullptr);
    }
    for (int32_t i = 0; i < SLOT_COUNT; i++) {
        EXPECT_EQ(sound_table_voice(table, i) != nullptr, i >= 472 && i <= 495) << "slot " << i;
    }
    int32_t active[SLOT_COUNT];
    EXPECT_EQ(sound_table_active_slots(table, active), 0);
    EXPECT_EQ(sound_table_voice(table, 472), kick);
    EXPECT_FALSE(kick->playing);
    EXPECT_EQ(kick->flush_count, 0);
    EXPECT_EQ(kick->volume_gain, 65536);
    EXPECT_EQ(kick->left_target, 65536);
    EXPECT_EQ(kick->right_target, 65536);
    EXPECT_EQ(kick->step, 1973000601u);  // 22050 Hz
}

TEST(SoundTable, RestartPlaysFromTheStartBlendingOutOfTheStopsFlush) {
    // A sound 5 frames in (at sample 2.297) keeps only its fraction; one never
    // played starts at 0. Either way it plays, with a flush pending.
    for (bool playing : {true, false}) {
        SCOPED_TRACE(playing ? "playing" : "stopped");
        auto t = table_with_hat();
        Voice* v = sound_table_voice(&t->table, kSlot);
        if (playing) {
            sound_table_restart(&t->table, kSlot);
            run_frames(v, 5);
            ASSERT_EQ(v->position, 5 * (int64_t)1973000601);
        }
        int64_t before = v->position;
        sound_table_restart(&t->table, kSlot);
        EXPECT_TRUE(v->playing);
        EXPECT_EQ(v->flush_count, 4);
        EXPECT_EQ(v->position, (int64_t)(uint32_t)before);
    }
}

TEST(SoundTable, ActiveSlotsAreThoseStartedThroughTheTableUntilSilent) {
    auto t = table_with_hat();
    SampleSource kick;
    ASSERT_TRUE(drum_slot_source(0, &kick));
    ASSERT_TRUE(sound_table_set_source(&t->table, 472, &kick));
    int32_t active[SLOT_COUNT];
    EXPECT_EQ(sound_table_active_slots(&t->table, active), 0);
    // Started behind the table's back: not found.
    voice_play(sound_table_voice(&t->table, 472));
    EXPECT_EQ(sound_table_active_slots(&t->table, active), 0);
    sound_table_restart(&t->table, kSlot);
    sound_table_restart(&t->table, 472);
    sound_table_restart(&t->table, kSlot);  // listed once
    ASSERT_EQ(sound_table_active_slots(&t->table, active), 2);
    EXPECT_EQ(active[0], kSlot);
    EXPECT_EQ(active[1], 472);
    // Stopped, a voice stays active through its flush.
    voice_stop(sound_table_voice(&t->table, kSlot));
    ASSERT_EQ(sound_table_active_slots(&t->table, active), 2);
    Voice* hat = sound_table_voice(&t->table, kSlot);
    while (hat->flush_count != 0) run_frames(hat, 1);
    ASSERT_EQ(sound_table_active_slots(&t->table, active), 1);
    EXPECT_EQ(active[0], 472);
    // A slot emptied (by an unusable source) leaves the list too.
    EXPECT_FALSE(sound_table_set_source(&t->table, 472, nullptr));
    EXPECT_EQ(sound_table_active_slots(&t->table, active), 0);
}

TEST(SoundTable, UnusableSourcesLeaveTheSlotEmpty) {
    // Too short, too long (never read) or absent: the slot, full before, is
    // empty after.
    static const uint8_t one[1] = {0};
    const SampleSource sources[] = {{0, one, 0x80, nullptr, nullptr, 0},
                                    {1, one, 0x80, nullptr, nullptr, 0},
                                    {VOICE_MAX_SIZE, one, 0x80, nullptr, nullptr, 0}};
    for (const SampleSource& source : sources) {
        auto t = table_with_hat();
        EXPECT_FALSE(sound_table_set_source(&t->table, kSlot, &source)) << source.size;
        EXPECT_EQ(sound_table_voice(&t->table, kSlot), nullptr) << source.size;
    }
    auto t = table_with_hat();
    EXPECT_FALSE(sound_table_set_source(&t->table, kSlot, nullptr));
    EXPECT_EQ(sound_table_voice(&t->table, kSlot), nullptr);
    // Drum slots are 0..23; others have no image and leave the source alone.
    for (int32_t k : {-1, 24, INT32_MIN, INT32_MAX}) {
        SampleSource source = sources[1];
        EXPECT_FALSE(drum_slot_source(k, &source)) << k;
        EXPECT_EQ(source.size, 1u) << k;
        EXPECT_EQ(drum_slot_image(k), nullptr) << k;
    }
}

TEST(SoundTable, RendererFillsTheDrumSlotsWithSignedReadingsOfTheImages) {
    // Each image's sample count is in its header (the drum images test
    // holds the figures).
    const char* const slots[24] = {"BASS1",   "BASS1",   "BASS2",   "BASS2",   "SNARE1",  "SNARE1",
                                   "SNARE1",  "SNARE1",  "HAT1",    "HAT1",    "HAT2",    "HAT2",
                                   "SYMBAL1", "SYMBAL1", "SYMBAL1", "SYMBAL1", "SYMBAL1", "SYMBAL1",
                                   "SYMBAL1", "SYMBAL1", "SYMBAL1", "SYMBAL1", "SYMBAL1", "SYMBAL1"};
    Engine engine = start_engine(make_song(100, 0, 8, 8).bytes, 0, 20.0);
    ASSERT_NE(engine.renderer, nullptr);
    std::vector<int8_t> filled;
    for (int32_t k = 0; k < 24; k++) {
        SCOPED_TRACE(testing::Message() << "slot " << 472 + k << ", " << slots[k]);
        EXPECT_STREQ(drum_slot_image(k), slots[k]);
        const Voice* v = slot_voice(engine.renderer.get(), 472 + k);
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->source, &engine.song->drums[k]);
        ASSERT_EQ(v->size, tamsel::read_u32_le(drum_image_named(slots[k]) + 54));
        const uint8_t* image = drum_image_named(slots[k]) + 58;
        filled.assign((size_t)v->size, 0);
        source_fill(v->source, 0, (uint32_t)v->size, filled.data());
        int32_t mismatches = 0;
        for (uint64_t i = 0; i < v->size; i++) {
            mismatches += source_sample(v->source, i) != image[i] - 128;
            mismatches += filled[i] != image[i] - 128;
        }
        EXPECT_EQ(mismatches, 0);
    }
}

TEST(SoundTable, EveryDrumBitSoundsInItsOwnStep) {
    // Record r of the drum track triggers bit r alone; steps are 960 frames
    // apart. After step r's stretch only the drums up to r have played, the
    // newest for exactly 960 frames (every drum is longer than that).
    SongFile song = make_song(0, 0, 24, 24);
    for (int32_t r = 0; r < 24; r++) set_record(&song, 3, r, 1u << r);
    Engine engine = start_engine(song.bytes, 0, 20.0);
    ASSERT_NE(engine.renderer, nullptr);
    Renderer* renderer = engine.renderer.get();
    std::vector<float> block(2 * 960);
    for (int32_t r = 0; r < 24; r++) {
        SCOPED_TRACE(testing::Message() << "bit " << r);
        ASSERT_EQ(renderer_render_float(renderer, block.data(), 960), 960u);
        int32_t loud = 0;
        for (float s : block) loud += s != 0.0f;
        EXPECT_GT(loud, 1000);
        EXPECT_EQ(slot_voice(renderer, 472 + r)->samples_played, 960u);
        if (r < 23) {
            EXPECT_EQ(slot_voice(renderer, 473 + r)->samples_played, 0u);
        }
    }
}

TEST(SoundTable, OddDrumBitsPlayTheSameImageAtSeventyPercentVolume) {
    // drum_volume 300: the even slot mixes s at unity, the odd one at volume
    // 210, i.e. -720 hundredths of a decibel, gain 28607.
    for (int32_t k = 0; k < 24; k += 2) {
        SCOPED_TRACE(testing::Message() << "bits " << k << " and " << k + 1);
        std::vector<float> even = render_drums(1u << k);
        std::vector<float> odd = render_drums(1u << (k + 1));
        std::vector<float> both = render_drums(3u << k);
        ASSERT_EQ(even.size(), 2u * 960);
        ASSERT_EQ(odd.size(), even.size());
        ASSERT_EQ(both.size(), even.size());
        int32_t mismatches = 0;
        for (size_t i = 0; i < even.size(); i++) {
            int32_t s = as_int(even[i]);
            int32_t soft = (int32_t)(((int64_t)28607 * s) >> 16);
            mismatches += as_int(odd[i]) != soft;
            mismatches += as_int(both[i]) != s + soft;  // two copies overlap
        }
        EXPECT_EQ(mismatches, 0);
    }
}

TEST(SoundTable, DrumPanSelectorsSetGainsAndTargetsOfAll24Slots) {
    // Selector p -> pan table -> (pan - 256) x 10 hundredths of a decibel.
    // Odd slots sit at volume 210 (gain 28607), so their targets are scaled.
    const struct {
        uint32_t selector;
        int32_t left, right;
    } pans[] = {{1, 65536, 10386}, {2, 65536, 27319}, {3, 65536, 45339}, {4, 65536, 65536},
                {5, 45339, 65536}, {6, 27319, 65536}, {7, 9919, 65536}};
    for (const auto& c : pans) {
        SCOPED_TRACE(testing::Message() << "selector " << c.selector);
        Engine engine;
        std::vector<float> out = render_drums(c.selector << 24 | 1u, &engine);
        ASSERT_NE(engine.renderer, nullptr);
        ASSERT_EQ(out.size(), 2u * 960);
        // Where the left gain is unity, every right sample is the left one
        // scaled, from the first frame on: the kick starts at its pan.
        int32_t mismatches = 0, sounding = 0;
        for (size_t i = 0; c.left == 65536 && i < out.size(); i += 2) {
            int32_t left = as_int(out[i]);
            mismatches += as_int(out[i + 1]) != (int32_t)(((int64_t)c.right * left) >> 16);
            sounding += left != 0;
        }
        EXPECT_EQ(mismatches, 0);
        EXPECT_TRUE(c.left != 65536 || sounding > 900) << sounding;
        for (int32_t k = 0; k < 24; k++) {
            const Voice* v = slot_voice(engine.renderer.get(), 472 + k);
            int32_t volume_gain = k % 2 == 0 ? 65536 : 28607;
            EXPECT_EQ(v->pan_left_gain, c.left) << k;
            EXPECT_EQ(v->pan_right_gain, c.right) << k;
            EXPECT_EQ(v->left_target, (int32_t)(((int64_t)volume_gain * c.left) >> 16)) << k;
            EXPECT_EQ(v->right_target, (int32_t)(((int64_t)volume_gain * c.right) >> 16)) << k;
        }
    }
}

}  // namespace
