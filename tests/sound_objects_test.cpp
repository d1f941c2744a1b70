// The sound-object table and the drum kit in it: how engine values reach a
// voice, what each play mode does, the slots InitTamsel fills, and a song
// that plays only drums.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/render_clock.h"
#include "engine/sequencer.h"
#include "mixer/drum_kit.h"
#include "mixer/sound_objects.h"
#include "test_support.h"

namespace {

constexpr int32_t kSlot = 400;

tamsel_sound* fresh_hat_in_slot() {
    reset_engine_session();
    EXPECT_EQ(InitSoundObject("HAT2", kSlot), 1);
    return lpSECONDARYBUFFER[kSlot];
}

void run_frames(tamsel_sound* v, int32_t frames) {
    int32_t frame[2] = {0, 0};
    for (int32_t i = 0; i < frames; i++) tamsel_sound_generate_sample(v, frame);
}

// Renders a one-record song (960 frames) whose drum track holds word.
std::vector<float> render_drums(uint32_t word) {
    SongFile song = make_song(0, 0, 1, 1);
    set_record(&song, 3, 0, word);
    EXPECT_EQ(start_song_file(write_temp_file("drums.tsm", song.bytes), 0, 20.0), 1);
    return render_to_end(2000);
}

int32_t as_int(float sample) { return (int32_t)(sample * 32768.0f); }

TEST(SoundObjects, EngineScalesConvertToVoiceUnits) {
    const struct { int32_t volume, gain; } volumes[] = {
        {300, 65536}, {0, 4135}, {250, 41350}, {1000, 65536}, {301, 65536}, {4395, 65536}, {4396, 0}, {8492, 65536}};
    for (const auto& c : volumes) {
        tamsel_sound* v = fresh_hat_in_slot();
        ChangeSoundVolume(kSlot, c.volume);
        EXPECT_EQ(v->volume_gain, c.gain) << "volume " << c.volume;
    }
    for (int32_t volume = 301; volume <= 4395; volume++) {
        ChangeSoundVolume(kSlot, volume);
        ASSERT_EQ(lpSECONDARYBUFFER[kSlot]->volume_gain, 65536) << "volume " << volume;
    }
    const struct { int32_t pan, left, right; } pans[] = {{256, 65536, 65536}, {0, 65536, 3439}, {420, 9919, 65536}};
    for (const auto& c : pans) {
        tamsel_sound* v = fresh_hat_in_slot();
        ChangeSoundPan(kSlot, c.pan);
        EXPECT_EQ(v->pan_left_gain, c.left) << "pan " << c.pan;
        EXPECT_EQ(v->pan_right_gain, c.right) << "pan " << c.pan;
    }
    const struct { int32_t frequency; uint32_t hz; uint64_t step; } frequencies[] = {
        {2195, 22050, 1973000601}, {4790, 48000, 4294967296}, {-10, 0, 0}};
    for (const auto& c : frequencies) {
        tamsel_sound* v = fresh_hat_in_slot();
        ChangeSoundFrequency(kSlot, c.frequency);
        EXPECT_EQ(v->frequency, c.hz) << "frequency " << c.frequency;
        EXPECT_EQ(v->step, c.step) << "frequency " << c.frequency;
    }
    // Volume 0 and pan 0 together: -24 dB, and the right side 25.6 dB lower.
    tamsel_sound* v = fresh_hat_in_slot();
    ChangeSoundVolume(kSlot, 0);
    ChangeSoundPan(kSlot, 0);
    EXPECT_EQ(v->left_target, 4135);
    EXPECT_EQ(v->right_target, 216);
}

TEST(SoundObjects, EmptySlotsAndBadIndicesIgnoreEveryOperation) {
    reset_engine_session();
    ASSERT_EQ(InitTamsel(), 1);
    tamsel_sound* kick = lpSECONDARYBUFFER[472];
    for (int32_t index : {0, 399, 496, 511, -1, 512, INT32_MIN, INT32_MAX}) {
        SCOPED_TRACE(index);
        EXPECT_EQ(InitSoundObject("KICK", index), 1);
        if (index < 0 || index > 511) InitSoundObject("BASS1", index);
        PlaySoundObject(index, 1);
        PlaySoundObject(index, -1);
        PlaySoundObject(index, 0);
        ChangeSoundVolume(index, 0);
        ChangeSoundPan(index, 0);
        ChangeSoundFrequency(index, 4790);
        ReleaseSoundObject(index);
        EXPECT_EQ(sound_object_at(index), nullptr);
    }
    for (int32_t i = 0; i < SOUND_OBJECT_COUNT; i++) {
        EXPECT_EQ(lpSECONDARYBUFFER[i] != nullptr, i >= 472 && i <= 495) << "slot " << i;
    }
    EXPECT_EQ(lpSECONDARYBUFFER[472], kick);
    EXPECT_EQ(kick->playing, 0);
    EXPECT_EQ(kick->flush_count, 0);
    EXPECT_EQ(kick->volume_gain, 65536);
    EXPECT_EQ(kick->left_target, 65536);
    EXPECT_EQ(kick->right_target, 65536);
    EXPECT_EQ(kick->frequency, 22050u);
}

TEST(SoundObjects, PlayModesOnPlayingAndStoppedSounds) {
    // "Playing": restarted with mode 1, then 5 frames on, at sample 2.297.
    // "Stopped": never played.
    enum Position { Unchanged, WholePartZero };
    const struct {
        bool playing;
        int32_t mode;
        uint8_t now_playing, looping, flush_count;
        Position position;
    } cases[] = {
        {true, 0, 0, 0, 4, Unchanged},   {true, 1, 1, 0, 4, WholePartZero}, {true, -1, 1, 1, 4, Unchanged},
        {true, 2, 1, 0, 4, Unchanged},   {true, -2, 1, 0, 4, Unchanged},    {false, 0, 0, 0, 4, Unchanged},
        {false, 1, 1, 0, 4, Unchanged},  {false, -1, 1, 1, 0, Unchanged},   {false, 2, 0, 0, 0, Unchanged},
        {false, -2, 0, 0, 0, Unchanged},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.playing ? "playing" : "stopped") << ", mode " << c.mode);
        tamsel_sound* v = fresh_hat_in_slot();
        if (c.playing) {
            PlaySoundObject(kSlot, 1);
            run_frames(v, 5);
            ASSERT_EQ(v->position, 5 * (int64_t)1973000601);
        }
        int64_t before = v->position;
        PlaySoundObject(kSlot, c.mode);
        EXPECT_EQ(v->playing, c.now_playing);
        EXPECT_EQ(v->looping, c.looping);
        EXPECT_EQ(v->flush_count, c.flush_count);
        EXPECT_EQ(v->position, c.position == Unchanged ? before : (int64_t)(uint32_t)before);
    }
}

TEST(SoundObjects, NamesWithoutAnImageLeaveTheSlotEmpty) {
    for (const char* name : {"bass1", "Bass1", "SYMBAL", "BASS1 ", "CYMBAL1", ""}) {
        reset_engine_session();
        EXPECT_EQ(InitSoundObject(name, kSlot), 1) << '"' << name << '"';
        EXPECT_EQ(lpSECONDARYBUFFER[kSlot], nullptr) << '"' << name << '"';
    }
}

TEST(SoundObjects, ReleaseEmptiesTheSlotAndASecondReleaseDoesNothing) {
    fresh_hat_in_slot();
    ReleaseSoundObject(kSlot);
    EXPECT_EQ(lpSECONDARYBUFFER[kSlot], nullptr);
    ReleaseSoundObject(kSlot);
    EXPECT_EQ(lpSECONDARYBUFFER[kSlot], nullptr);
    EXPECT_EQ(InitSoundObject("HAT2", kSlot), 1);
    ASSERT_NE(lpSECONDARYBUFFER[kSlot], nullptr);
    EXPECT_EQ(lpSECONDARYBUFFER[kSlot]->size, 738u);
}

TEST(SoundObjects, InitTamselFillsTheDrumSlotsWithSignedCopiesOfTheImages) {
    const struct { const char* name; uint64_t samples; } slots[24] = {
        {"BASS1", 2016},   {"BASS1", 2016},   {"BASS2", 1897},   {"BASS2", 1897},   {"SNARE1", 3234},
        {"SNARE1", 3234},  {"SNARE1", 3234},  {"SNARE1", 3234},  {"HAT1", 15076},   {"HAT1", 15076},
        {"HAT2", 738},     {"HAT2", 738},     {"SYMBAL1", 15567}, {"SYMBAL1", 15567}, {"SYMBAL1", 15567},
        {"SYMBAL1", 15567}, {"SYMBAL1", 15567}, {"SYMBAL1", 15567}, {"SYMBAL1", 15567}, {"SYMBAL1", 15567},
        {"SYMBAL1", 15567}, {"SYMBAL1", 15567}, {"SYMBAL1", 15567}, {"SYMBAL1", 15567}};
    reset_engine_session();
    ASSERT_EQ(InitTamsel(), 1);
    for (int32_t k = 0; k < 24; k++) {
        SCOPED_TRACE(testing::Message() << "slot " << 472 + k << ", " << slots[k].name);
        const tamsel_sound* v = lpSECONDARYBUFFER[472 + k];
        ASSERT_NE(v, nullptr);
        ASSERT_EQ(v->size, slots[k].samples);
        const uint8_t* image = get_wave_buffer(slots[k].name) + 58;
        int32_t mismatches = 0;
        for (uint64_t i = 0; i < v->size; i++) mismatches += v->data[i] != image[i] - 128;
        EXPECT_EQ(mismatches, 0);
        for (int32_t j = 0; j < k; j++) EXPECT_NE(lpSECONDARYBUFFER[472 + j]->data, v->data) << "shared with " << j;
    }
    // Twelve independent cymbals: writing one copy leaves the others alone.
    lpSECONDARYBUFFER[484]->data[0] = 99;
    for (int32_t slot = 485; slot <= 495; slot++) {
        EXPECT_EQ(lpSECONDARYBUFFER[slot]->data[0], get_wave_buffer("SYMBAL1")[58] - 128) << slot;
    }
}

TEST(SoundObjects, EveryDrumBitSoundsInItsOwnStep) {
    // Record r of the drum track triggers bit r alone; steps are 960 frames
    // apart. After step r's stretch only the drums up to r have played, the
    // newest for exactly 960 frames (every drum is longer than that).
    SongFile song = make_song(0, 0, 24, 24);
    for (int32_t r = 0; r < 24; r++) set_record(&song, 3, r, 1u << r);
    ASSERT_EQ(start_song_file(write_temp_file("kit.tsm", song.bytes), 0, 20.0), 1);
    std::vector<float> block(2 * 960);
    for (int32_t r = 0; r < 24; r++) {
        SCOPED_TRACE(testing::Message() << "bit " << r);
        ASSERT_EQ(generate_samples(block.data(), 960), 960u);
        int32_t loud = 0;
        for (float s : block) loud += s != 0.0f;
        EXPECT_GT(loud, 1000);
        EXPECT_EQ(lpSECONDARYBUFFER[472 + r]->samples_played, 960u);
        if (r < 23) {
            EXPECT_EQ(lpSECONDARYBUFFER[473 + r]->samples_played, 0u);
        }
    }
}

TEST(SoundObjects, OddDrumBitsPlayTheSameImageAtSeventyPercentVolume) {
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

TEST(SoundObjects, DrumPanSelectorsSetGainsAndTargetsOfAll24Slots) {
    // Selector p -> pan table -> (pan - 256) x 10 hundredths of a decibel.
    // Odd slots sit at volume 210 (gain 28607), so their targets are scaled.
    const struct { uint32_t selector; int32_t left, right; } pans[] = {
        {1, 65536, 10386}, {2, 65536, 27319}, {3, 65536, 45339}, {4, 65536, 65536},
        {5, 45339, 65536}, {6, 27319, 65536}, {7, 9919, 65536}};
    for (const auto& c : pans) {
        SCOPED_TRACE(testing::Message() << "selector " << c.selector);
        render_drums(c.selector << 24 | 1u);
        for (int32_t k = 0; k < 24; k++) {
            const tamsel_sound* v = lpSECONDARYBUFFER[472 + k];
            int32_t volume_gain = k % 2 == 0 ? 65536 : 28607;
            EXPECT_EQ(v->pan_left_gain, c.left) << k;
            EXPECT_EQ(v->pan_right_gain, c.right) << k;
            EXPECT_EQ(v->left_target, (int32_t)(((int64_t)volume_gain * c.left) >> 16)) << k;
            EXPECT_EQ(v->right_target, (int32_t)(((int64_t)volume_gain * c.right) >> 16)) << k;
        }
    }
}

TEST(SoundObjects, HardLeftDrumIsQuieterOnTheRight) {
    // Selector 1 (pan 96, -16 dB on the right) before the kick's first frame:
    // left mixes s at unity, right at gain 10386 from the very first frame.
    std::vector<float> out = render_drums(0x01000001u);
    ASSERT_EQ(out.size(), 2u * 960);
    int64_t left_sum = 0, right_sum = 0;
    int32_t mismatches = 0;
    for (size_t i = 0; i < out.size(); i += 2) {
        int32_t left = as_int(out[i]), right = as_int(out[i + 1]);
        mismatches += right != (int32_t)(((int64_t)10386 * left) >> 16);
        left_sum += left < 0 ? -left : left;
        right_sum += right < 0 ? -right : right;
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(left_sum, 0);
    EXPECT_LT(right_sum * 5, left_sum);
}

}  // namespace
