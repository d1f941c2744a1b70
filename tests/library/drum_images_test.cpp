// Character of the six built-in drum images: the fixed RIFF/WAVE layout the
// sound table relies on, and the levels that make each one the drum it
// is named after. Levels are distances from silence (128): 127 or 128 means
// full scale (a sample of 255 or 0).

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "common/byte_order.h"
#include "mixer/drum_kit.h"

using namespace tamsel::core;

namespace {

uint32_t u32_at(const uint8_t* p, uint32_t off) {
    return tamsel::read_u32_le(p + off);
}
// Every 16-bit field of the header is followed by at least two more bytes.
uint32_t u16_at(const uint8_t* p, uint32_t off) {
    return u32_at(p, off) & 0xFFFFu;
}
uint32_t count_of(const uint8_t* img) {
    return u32_at(img, 54);
}
const uint8_t* samples_of(const uint8_t* img) {
    return img + 58;
}
int32_t level(uint8_t s) {
    return s >= 128 ? s - 128 : 128 - s;
}

// Largest level over the samples [from, to).
int32_t peak(const uint8_t* img, uint32_t from, uint32_t to) {
    int32_t m = 0;
    for (uint32_t k = from; k < to; ++k)
        if (level(samples_of(img)[k]) > m) m = level(samples_of(img)[k]);
    return m;
}

struct Drum {
    const char* name;
    uint32_t samples;
};
const Drum kDrums[] = {{"BASS1", 2016}, {"BASS2", 1897}, {"SNARE1", 3234},
                       {"HAT1", 15076}, {"HAT2", 738},   {"SYMBAL1", 15567}};

TEST(DrumImages, HeaderFieldsFollowTheFixedLayout) {
    for (const Drum& d : kDrums) {
        SCOPED_TRACE(d.name);
        const uint8_t* img = drum_image_named(d.name);
        ASSERT_NE(img, nullptr);
        const uint32_t n = d.samples;
        const uint32_t pad = n & 1u;
        EXPECT_EQ(memcmp(img + 0, "RIFF", 4), 0);
        EXPECT_EQ(u32_at(img, 4), 50u + n + pad);
        EXPECT_EQ(memcmp(img + 8, "WAVEfmt ", 8), 0);
        EXPECT_EQ(u32_at(img, 16), 18u);
        EXPECT_EQ(u16_at(img, 20), 1u);      // PCM
        EXPECT_EQ(u16_at(img, 22), 1u);      // mono
        EXPECT_EQ(u32_at(img, 24), 22050u);  // samples per second
        EXPECT_EQ(u32_at(img, 28), 22050u);  // bytes per second
        EXPECT_EQ(u16_at(img, 32), 1u);      // bytes per frame
        EXPECT_EQ(u16_at(img, 34), 8u);      // bits per sample
        EXPECT_EQ(u16_at(img, 36), 0u);      // no format extension
        EXPECT_EQ(memcmp(img + 38, "fact", 4), 0);
        EXPECT_EQ(u32_at(img, 42), 4u);
        EXPECT_EQ(u32_at(img, 46), n);
        EXPECT_EQ(memcmp(img + 50, "data", 4), 0);
        EXPECT_EQ(count_of(img), n);
        if (pad != 0) {
            EXPECT_EQ(img[58 + n], 0u);
        }
    }
}

TEST(DrumImages, OnlyTheExactNamesHaveImages) {
    for (const char* name : {"bass1", "Bass1", "BASS", "BASS1 ", "HAT", "SYMBAL", "CYMBAL1", ""})
        EXPECT_EQ(drum_image_named(name), nullptr) << name;
}

TEST(DrumImages, KicksOpenAsDescribed) {
    const uint8_t* bass1 = samples_of(drum_image_named("BASS1"));
    EXPECT_EQ(bass1[0], 8u);
    EXPECT_EQ(bass1[1], 12u);
    EXPECT_EQ(bass1[2], 17u);

    const uint8_t* img2 = drum_image_named("BASS2");
    EXPECT_EQ(samples_of(img2)[0], 255u);
    const uint32_t two_thirds = count_of(img2) * 2 / 3;
    uint32_t clipped = 0;
    for (uint32_t k = 0; k < two_thirds; ++k)
        if (samples_of(img2)[k] == 0 || samples_of(img2)[k] == 255) ++clipped;
    EXPECT_GT(clipped * 2, two_thirds) << "clipped " << clipped << " of " << two_thirds;
}

// Peak level over the stretch [from/den, to/den) of an image's samples.
struct Stretch {
    const char* name;
    uint32_t from, to, den;
    int32_t min_peak, max_peak;
    const char* fact;
};
const Stretch kStretches[] = {
    {"BASS1", 0, 1, 4, 127, 128, "full scale from the start"},
    {"BASS1", 2, 3, 4, 100, 128, "still loud before its last quarter"},
    {"BASS1", 15, 16, 16, 0, 16, "near silence at the end of its fade"},
    {"BASS2", 7, 8, 8, 0, 16, "faded out in its last eighth"},
    {"SNARE1", 0, 1, 20, 127, 128, "full-scale attack"},
    {"SNARE1", 3, 4, 4, 0, 16, "near silence in its last quarter"},
    {"HAT1", 0, 1, 4, 48, 80, "peaks at about half scale"},
    {"HAT1", 1, 4, 4, 0, 7, "below a sixteenth of full scale after its first quarter"},
    {"HAT1", 1, 2, 4, 3, 7, "a long fade, still audible in its second quarter"},
    {"HAT2", 0, 1, 20, 127, 128, "full-scale attack"},
    {"HAT2", 1, 4, 4, 0, 31, "mostly gone after a quarter"},
    {"SYMBAL1", 0, 1, 20, 100, 128, "near full-scale attack"},
    {"SYMBAL1", 1, 2, 4, 8, 64, "a long fade, well audible in its second quarter"},
};

TEST(DrumImages, PeakLevelsOverStretches) {
    for (const Stretch& s : kStretches) {
        const uint8_t* img = drum_image_named(s.name);
        ASSERT_NE(img, nullptr) << s.name;
        const uint32_t n = count_of(img);
        const int32_t p = peak(img, n * s.from / s.den, n * s.to / s.den);
        EXPECT_GE(p, s.min_peak) << s.name << ": " << s.fact;
        EXPECT_LE(p, s.max_peak) << s.name << ": " << s.fact;
    }
}

TEST(DrumImages, LevelsNeverRiseFromQuarterToQuarterAndEndAtSilence) {
    for (const Drum& d : kDrums) {
        SCOPED_TRACE(d.name);
        const uint8_t* img = drum_image_named(d.name);
        const uint32_t n = count_of(img);
        for (uint32_t q = 1; q < 4; ++q)
            EXPECT_LE(peak(img, n * q / 4, n * (q + 1) / 4), peak(img, n * (q - 1) / 4, n * q / 4)) << "quarter " << q;
        EXPECT_LE(peak(img, n - 16, n), 3);
    }
}

}  // namespace
