// The WAV files this module writes itself, byte for byte.
#include <gtest/gtest.h>

#include <cstring>

#include "export/wav_encoder.h"
#include "memory_writer.h"
#include "tamsel/tamsel.h"

static uint32_t u32_at(const std::vector<uint8_t>& b, size_t at) {
    return (uint32_t)b[at] | ((uint32_t)b[at + 1] << 8) | ((uint32_t)b[at + 2] << 16) | ((uint32_t)b[at + 3] << 24);
}

static uint32_t u16_at(const std::vector<uint8_t>& b, size_t at) {
    return (uint32_t)b[at] | ((uint32_t)b[at + 1] << 8);
}

TEST(WavEncoder, HeadersDescribeEachKind) {
    struct Row {
        SampleDepth depth;
        uint32_t format_tag, frame_bytes, bits;
    };
    const Row rows[] = {
        {SampleDepth::FLOAT32, 3, 8, 32}, {SampleDepth::INT16, 1, 4, 16}, {SampleDepth::INT24, 1, 6, 24}};
    for (const Row& row : rows) {
        uint8_t header[WAV_HEADER_BYTES];
        build_wav_header(row.depth, 1000, header);
        std::vector<uint8_t> b(header, header + WAV_HEADER_BYTES);
        EXPECT_EQ(std::memcmp(header, "RIFF", 4), 0);
        EXPECT_EQ(u32_at(b, 4), 36 + 1000 * row.frame_bytes);
        EXPECT_EQ(std::memcmp(header + 8, "WAVEfmt ", 8), 0);
        EXPECT_EQ(u32_at(b, 16), 16u);
        EXPECT_EQ(u16_at(b, 20), row.format_tag);
        EXPECT_EQ(u16_at(b, 22), 2u);
        EXPECT_EQ(u32_at(b, 24), 48000u);
        EXPECT_EQ(u32_at(b, 28), 48000 * row.frame_bytes);
        EXPECT_EQ(u16_at(b, 32), row.frame_bytes);
        EXPECT_EQ(u16_at(b, 34), row.bits);
        EXPECT_EQ(std::memcmp(header + 36, "data", 4), 0);
        EXPECT_EQ(u32_at(b, 40), 1000 * row.frame_bytes);
    }
}

TEST(WavEncoder, TheLongestFilesStillFitTheSizeFields) {
    EXPECT_EQ(wav_max_frames(SampleDepth::FLOAT32), (uint64_t)TAMSEL_WAV_MAX_FRAMES);
    EXPECT_EQ(wav_max_frames(SampleDepth::INT16), 1073741814u);
    EXPECT_EQ(wav_max_frames(SampleDepth::INT24), 715827876u);
    uint8_t header[WAV_HEADER_BYTES];
    build_wav_header(SampleDepth::INT24, wav_max_frames(SampleDepth::INT24), header);
    std::vector<uint8_t> b(header, header + WAV_HEADER_BYTES);
    EXPECT_EQ(u32_at(b, 4), 36u + 715827876u * 6u);
}

TEST(WavEncoder, SamplesAreLittleEndianAtTheirWidth) {
    MemoryWriter out16;
    WavEncoder wav16(SampleDepth::INT16, &out16);
    const int32_t ints16[4] = {1, -1, 32767, -32768};
    ASSERT_TRUE(wav16.begin(2));
    ASSERT_TRUE(wav16.write_int(ints16, 2));
    const uint8_t bytes16[8] = {0x01, 0x00, 0xFF, 0xFF, 0xFF, 0x7F, 0x00, 0x80};
    ASSERT_EQ(out16.bytes.size(), 44u + 8u);
    EXPECT_EQ(std::memcmp(out16.bytes.data() + 44, bytes16, 8), 0);

    MemoryWriter out24;
    WavEncoder wav24(SampleDepth::INT24, &out24);
    const int32_t ints24[2] = {0x123456, -8388608};
    ASSERT_TRUE(wav24.begin(1));
    ASSERT_TRUE(wav24.write_int(ints24, 1));
    const uint8_t bytes24[6] = {0x56, 0x34, 0x12, 0x00, 0x00, 0x80};
    ASSERT_EQ(out24.bytes.size(), 44u + 6u);
    EXPECT_EQ(std::memcmp(out24.bytes.data() + 44, bytes24, 6), 0);

    MemoryWriter out_float;
    WavEncoder wav_float(SampleDepth::FLOAT32, &out_float);
    const float floats[2] = {1.0f, -0.5f};
    ASSERT_TRUE(wav_float.begin(1));
    ASSERT_TRUE(wav_float.write_float(1, [&](float* out, size_t, size_t) { std::memcpy(out, floats, sizeof floats); }));
    const uint8_t bytes_float[8] = {0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0xBF};
    EXPECT_EQ(std::memcmp(out_float.bytes.data() + 44, bytes_float, 8), 0);
}

// Lends at most limit bytes at a time, one byte past an aligned start when
// misaligned, as a writer whose buffer is nearly full (or oddly placed) does.
class StingyWriter : public MemoryWriter {
public:
    StingyWriter(size_t limit, bool misaligned) : limit_(limit), misaligned_(misaligned), room_(limit + 8) {}
    uint8_t* reserve(size_t wanted, size_t* lent) override {
        *lent = wanted < limit_ ? wanted : limit_;
        return room_.data() + (misaligned_ ? 1 : 0);
    }
    bool commit_reserved(size_t size) override { return write(room_.data() + (misaligned_ ? 1 : 0), size); }

private:
    size_t limit_;
    bool misaligned_;
    std::vector<uint8_t> room_;
};

TEST(WavEncoder, FramesMadeInPlaceAreTheSameInAnyRoom) {
    const size_t frames = 1000;
    std::vector<float> floats(2 * frames);
    std::vector<int32_t> ints(2 * frames);
    for (size_t i = 0; i < floats.size(); i++) {
        floats[i] = (float)i * 0.001f - 1.0f;
        ints[i] = (int32_t)(i * 7919u % 65536u) - 32768;
    }
    auto write_all = [&](SampleDepth depth, ByteWriter* out) {
        WavEncoder wav(depth, out);
        if (!wav.begin(frames)) return false;
        if (depth != SampleDepth::FLOAT32) return wav.write_int(ints.data(), frames);
        return wav.write_float(frames, [&](float* to, size_t first, size_t count) {
            std::memcpy(to, floats.data() + 2 * first, 8 * count);
        });
    };
    struct Row {
        SampleDepth depth;
        size_t limit;  // bytes lent at most: below a frame, or not a whole number of them
        bool misaligned;
    } rows[] = {
        {SampleDepth::FLOAT32, 5, false},       {SampleDepth::FLOAT32, 8 * 99 + 4, false},
        {SampleDepth::FLOAT32, 4096, true},     {SampleDepth::INT16, 3, false},
        {SampleDepth::INT16, 4 * 77 + 2, true}, {SampleDepth::INT24, 6 * 50 + 5, false},
    };
    for (const Row& row : rows) {
        MemoryWriter plain;
        ASSERT_TRUE(write_all(row.depth, &plain));
        StingyWriter stingy(row.limit, row.misaligned);
        ASSERT_TRUE(write_all(row.depth, &stingy));
        EXPECT_EQ(stingy.bytes, plain.bytes) << row.limit;
        EXPECT_EQ(plain.bytes.size(), 44 + frames * wav_bytes_per_frame(row.depth));
    }
}
