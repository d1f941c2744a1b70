// The melodic instruments: phase increments per note and octave, the
// samples a note reads, the envelope stretched over a note, and the volumes
// a renderer gives to every melodic and drum slot.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/renderer.h"
#include "mixer/sample_source.h"
#include "note_oracle.h"
#include "song/instruments.h"
#include "song_builder.h"
#include "test_engine.h"

using namespace tamsel::core;

namespace {

struct Shape {
    uint8_t octave = 4;
    int32_t length = 64;
    int32_t volume = 300;
    int8_t waveform[256] = {};
    uint8_t envelope[64] = {};
};

Shape flat(int8_t level, int32_t length) {
    Shape in;
    in.length = length;
    std::memset(in.waveform, (uint8_t)level, sizeof in.waveform);
    std::memset(in.envelope, 128, sizeof in.envelope);
    return in;
}

// Point p holds p read as a signed byte: 0..127, then -128..-1.
Shape ramp(uint8_t octave) {
    Shape in = flat(0, 64);
    in.octave = octave;
    for (int32_t p = 0; p < 256; p++) in.waveform[p] = (int8_t)(uint8_t)p;
    return in;
}

// The renderer of a one-record song with the three instruments, which stays
// loaded until the next call.
Engine loaded;

Renderer* load(const Shape (&instruments)[3], uint32_t drum_volume = 300) {
    SongFile song = make_song(0, 0, 1, 1);
    for (int32_t i = 0; i < 3; i++) {
        const Shape& in = instruments[i];
        set_instrument(&song, i, in.octave, in.length, in.volume, in.waveform, in.envelope);
    }
    set_drum_volume(&song, drum_volume);
    loaded = start_engine(song.bytes, 0, 20.0);
    EXPECT_NE(loaded.renderer, nullptr);
    return loaded.renderer.get();
}

const Voice* slot(int32_t index) {
    return slot_voice(loaded.renderer.get(), index);
}

// Sample k of the note in a slot.
int8_t sample(int32_t index, uint64_t k) {
    return source_sample(slot(index)->source, k);
}

bool same_notes(int32_t a, int32_t b) {
    const Voice* x = slot(a);
    const Voice* y = slot(b);
    if (!x || !y || x->size != y->size) return false;
    for (uint64_t k = 0; k < x->size; k++) {
        if (source_sample(x->source, k) != source_sample(y->source, k)) return false;
    }
    return true;
}

TEST(Instruments, IncrementsPerNoteAndOctave) {
    const struct {
        uint8_t octave;
        int32_t increments[24];
    } octaves[] = {
        {4, {1551, 1652, 1747, 1848, 1955, 2074, 2205, 2324, 2461, 2616, 2770, 2938,
             3102, 3304, 3494, 3696, 3910, 4148, 4410, 4648, 4922, 5232, 5540, 5876}},
        {2, {387, 413, 436, 462, 488, 518,  551,  581,  615,  654,  692,  734,
             775, 826, 873, 924, 977, 1037, 1102, 1162, 1230, 1308, 1385, 1469}},
        {0, {96,  103, 109, 115, 122, 129, 137, 145, 153, 163, 173, 183,
             193, 206, 218, 231, 244, 259, 275, 290, 307, 327, 346, 367}},
        // From octave 20 on the product wraps for table values of 2048 and up.
        {20, {101646336,  108265472,  114491392,  121110528,  128122880,  -132513792, -123928576, -116129792,
              -107151360, -96993280,  -86900736,  -75890688,  203292672,  216530944,  228982784,  242221056,
              256245760,  -265027584, -247857152, -232259584, -214302720, -193986560, -173801472, -151781376}},
    };
    for (const auto& o : octaves) {
        for (int32_t j = 0; j < 24; j++) {
            EXPECT_EQ(note_increment(j, (int32_t)(1u << o.octave)), o.increments[j])
                << "octave " << (int)o.octave << ", note " << j;
        }
    }
}

TEST(Instruments, NotesReadTheWaveformAtTheirIncrement) {
    // Sample k reads point (k x increment / 256) mod 256 of the ramp.
    Shape ins[3] = {ramp(4), ramp(2), flat(0, 64)};
    load(ins);
    const struct {
        int32_t slot, k;
        int8_t sample;
    } cases[] = {
        {409, 0, 0}, {409, 1, 10}, {409, 2, 20},  {409, 3, 30}, {409, 13, -124},  // octave 4, 2616
        {445, 1, 5}, {445, 2, 10}, {445, 50, -1}, {445, 51, 4},                   // octave 2, 1308
    };
    for (const auto& c : cases) EXPECT_EQ(sample(c.slot, c.k), c.sample) << c.slot << "[" << c.k << "]";
}

TEST(Instruments, PhaseToPointTruncatesTowardsZeroThenKeepsTheLowByte) {
    const Shape in = ramp(4);
    const struct {
        int32_t phase;
        int8_t sample;
    } cases[] = {{0, 0},    {255, 0},   {256, 1},   {65535, -1}, {65536, 0},     {-1, 0},
                 {-255, 0}, {-256, -1}, {-257, -1}, {-512, -2},  {INT32_MIN, 0}, {INT32_MAX, -1}};
    for (const auto& c : cases) {
        EXPECT_EQ(note_sample(in.waveform, in.envelope, c.phase, 0, 64), c.sample) << "phase " << c.phase;
    }
}

TEST(Instruments, SamplesWrapToSignedBytes) {
    const struct {
        int8_t w;
        uint8_t e;
        int8_t sample;
    } cases[] = {{127, 128, 127}, {-128, 128, -128}, {127, 255, -3}, {-128, 129, 127}, {127, 129, 127}, {-128, 255, 1}};
    for (const auto& c : cases) {
        Shape in = flat(c.w, 64);
        in.envelope[0] = c.e;
        EXPECT_EQ(note_sample(in.waveform, in.envelope, 0, 0, 64), c.sample) << (int)c.w << " x " << (int)c.e;
    }
}

TEST(Instruments, EnvelopePointsCoverOneSampleAtLength64AndTwoAt128) {
    // A flat waveform makes every sample (w x e[64 k / length]) / 128.
    Shape ins[3] = {flat(127, 64), flat(127, 128), flat(-128, 64)};
    const uint8_t points[6] = {128, 255, 129, 1, 64, 200};
    const int32_t at[6] = {0, 1, 2, 3, 4, 63};
    for (Shape& in : ins) {
        std::memset(in.envelope, 64, sizeof in.envelope);
        for (int32_t i = 0; i < 6; i++) in.envelope[at[i]] = points[i];
    }
    load(ins);
    const struct {
        int32_t first, length;
        int8_t samples[6];
    } cases[] = {
        {400, 64, {127, -3, 127, 0, 63, -58}},
        {424, 128, {127, -3, 127, 0, 63, -58}},
        {448, 64, {-128, 1, 127, -1, -64, 56}},
    };
    for (const auto& c : cases) {
        for (int32_t note = 0; note < 24; note++) {
            const Voice* v = slot(c.first + note);
            ASSERT_NE(v, nullptr);
            ASSERT_EQ(v->size, (uint64_t)c.length);
            const int32_t per_point = c.length / 64;
            for (int32_t i = 0; i < 6; i++) {
                for (int32_t d = 0; d < per_point; d++) {
                    EXPECT_EQ(source_sample(v->source, (uint64_t)(at[i] * per_point + d)), c.samples[i])
                        << "slot " << c.first + note << ", sample " << at[i] * per_point + d;
                }
            }
            // The unmarked points are 64, like point 4.
            EXPECT_EQ(source_sample(v->source, (uint64_t)(10 * per_point)), c.samples[4]) << "slot " << c.first + note;
        }
    }
}

TEST(Instruments, EnvelopePointIs64kOverLengthTruncated) {
    // Envelope point m holds m + 1 and the waveform -128, so sample k of a
    // note reads back -(m + 1) for the point m it uses.
    Shape in = flat(-128, 64);
    for (int32_t m = 0; m < 64; m++) in.envelope[m] = (uint8_t)(m + 1);
    const struct {
        int32_t length, k, point;
    } cases[] = {{3, 0, 0},
                 {3, 1, 21},
                 {3, 2, 42},
                 {100, 24, 15},
                 {100, 25, 16},
                 {1000, 999, 63},
                 {33554432, 33554431, 63},
                 {33554432, 524288, 1}};
    for (const auto& c : cases) {
        EXPECT_EQ(note_sample(in.waveform, in.envelope, 0, c.k, c.length), -(c.point + 1))
            << "length " << c.length << ", sample " << c.k;
    }
}

TEST(Instruments, VolumesOfMelodicAndDrumSlots) {
    // Even drum slots get drum_volume, odd ones (drum_volume x 70) / 100;
    // both through (volume - 300) x 8 hundredths of a decibel.
    const struct {
        uint32_t drum_volume;
        int16_t even, odd;
    } cases[] = {{300, 0, -720}, {100, -1600, -1840}, {0, -2400, -2400}, {429, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "drum_volume " << c.drum_volume);
        Shape ins[3] = {flat(1, 64), flat(1, 64), flat(1, 64)};
        ins[1].volume = 250;
        load(ins, c.drum_volume);
        for (int32_t k = 0; k < 24; k++) {
            EXPECT_EQ(slot(400 + k)->volume_gain, 65536) << k;
            EXPECT_EQ(slot(424 + k)->volume_gain, voice_gain_from_db(-400)) << k;
            EXPECT_EQ(slot(472 + k)->volume_gain, voice_gain_from_db(k % 2 ? c.odd : c.even)) << k;
        }
    }
}

// Instruments alike but for their octave modulo 32 make the same notes;
// one octave up is twelve notes up.
TEST(Instruments, OctaveIsTakenModulo32AndOctavePlusOneIsNotePlusTwelve) {
    Shape ins[3] = {ramp(4), ramp(36), ramp(5)};
    for (Shape& in : ins) {
        for (int32_t m = 0; m < 64; m++) in.envelope[m] = (uint8_t)(4 * m);
    }
    load(ins);
    for (int32_t k = 0; k < 24; k++) EXPECT_TRUE(same_notes(400 + k, 424 + k)) << "note " << k;
    for (int32_t j = 0; j < 12; j++) EXPECT_TRUE(same_notes(412 + j, 448 + j)) << "note " << j;
    EXPECT_FALSE(same_notes(400, 448));
}

TEST(Instruments, LengthsWithoutAVoiceLeaveOnlyThatInstrumentEmpty) {
    // 2^25 + 1 would overflow the envelope index; it makes no voice.
    for (int32_t length : {0, 1, -1, INT32_MIN, 33554433}) {
        SCOPED_TRACE(testing::Message() << "length " << length);
        Shape ins[3] = {flat(5, length), flat(5, 2), flat(5, 64)};
        ins[2].volume = 0;
        load(ins, 100);
        for (int32_t k = 0; k < 24; k++) {
            EXPECT_EQ(slot(400 + k), nullptr) << k;
            EXPECT_EQ(loaded.song->notes[0][k].size, 0u) << k;
            ASSERT_NE(slot(424 + k), nullptr) << k;
            EXPECT_EQ(slot(424 + k)->size, 2u);
            ASSERT_NE(slot(448 + k), nullptr) << k;
            EXPECT_EQ(sample(448 + k, 0), 5);
            EXPECT_EQ(slot(448 + k)->volume_gain, 4135);
            ASSERT_NE(slot(472 + k), nullptr) << k;
            EXPECT_EQ(slot(472 + k)->volume_gain, voice_gain_from_db(k % 2 ? -1840 : -1600));
        }
    }
}

TEST(Instruments, NotesAreMadeOnDemandFromTheSongsOwnShapes) {
    Shape ins[3] = {ramp(4), flat(7, 1000), flat(-3, 2)};
    load(ins);
    for (int32_t i = 0; i < 3; i++) {
        for (int32_t j = 0; j < 24; j++) {
            const SampleSource* note = &loaded.song->notes[i][j];
            EXPECT_EQ(slot(400 + 24 * i + j)->source, note);
            EXPECT_EQ(note->stored, nullptr);
            EXPECT_EQ(note->waveform, loaded.song->instruments[i].waveform);
            EXPECT_EQ(note->envelope, loaded.song->instruments[i].envelope);
            EXPECT_EQ(note->size, (uint64_t)ins[i].length);
            EXPECT_EQ(note->increment, (uint32_t)note_increment(j, 16));
        }
    }
}

TEST(Instruments, FillingAStretchGivesTheSamplesOneByOne) {
    // Envelope steps of every size: lengths below, at and above 64 points,
    // stretches that start and end inside an envelope point, and a note
    // whose phase wraps at 32 bits.
    Shape in = ramp(20);
    for (int32_t m = 0; m < 64; m++) in.envelope[m] = (uint8_t)(255 - 3 * m);
    const struct {
        int32_t length;
        uint64_t first;
        uint32_t count;
    } cases[] = {{2, 0, 2},
                 {3, 1, 2},
                 {63, 0, 63},
                 {64, 5, 50},
                 {100, 0, 100},
                 {100, 37, 41},
                 {1000, 999, 1},
                 {4097, 0, 4097},
                 {33554432, 33554432 - 4096, 4096},
                 {33554432, 524287, 3},
                 {33554432, 0, 4096}};
    std::vector<int8_t> filled;
    for (const auto& c : cases) {
        for (int32_t j : {0, 11, 12, 23}) {
            SampleSource note{(uint64_t)c.length, nullptr,     0,
                              in.waveform,        in.envelope, (uint32_t)note_increment(j, 1 << 20)};
            filled.assign(c.count, 0);
            source_fill(&note, c.first, c.count, filled.data());
            int32_t mismatches = 0;
            for (uint32_t i = 0; i < c.count; i++) {
                uint64_t k = c.first + i;
                int32_t phase = (int32_t)((uint32_t)k * note.increment);
                int8_t expected = note_sample(in.waveform, in.envelope, phase, (int32_t)k, c.length);
                mismatches += source_sample(&note, k) != expected;
                mismatches += filled[i] != expected;
            }
            EXPECT_EQ(mismatches, 0) << "length " << c.length << ", note " << j << ", from " << c.first;
        }
    }
}

}  // namespace
