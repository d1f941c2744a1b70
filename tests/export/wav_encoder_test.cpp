// The WAV files this module writes itself, byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "common/byte_order.h"
#include "export/wav_encoder.h"
#include "memory_writer.h"
#include "tamsel/tamsel.h"

static uint32_t u32_at(const uint8_t* b, size_t at) {
    return tamsel::read_u32_le(b + at);
}

// Every 16-bit field of the header is followed by at least two more bytes.
static uint32_t u16_at(const uint8_t* b, size_t at) {
    return tamsel::read_u32_le(b + at) & 0xFFFFu;
}

// The whole file for the frames: integers for the integer depths, floats
// (copied in place) for FLOAT32.
static bool write_frames(SampleDepth depth, const std::vector<int32_t>& ints, const std::vector<float>& floats,
                         size_t frames, ByteWriter* out) {
    WavEncoder wav(depth, out);
    if (!wav.begin(frames)) return false;
    if (depth != SampleDepth::FLOAT32) return wav.write_int(ints.data(), frames);
    return wav.write_float(
        frames, [&](float* to, size_t first, size_t count) { std::memcpy(to, floats.data() + 2 * first, 8 * count); });
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
        EXPECT_EQ(std::memcmp(header, "RIFF", 4), 0);
        EXPECT_EQ(u32_at(header, 4), 36 + 1000 * row.frame_bytes);
        EXPECT_EQ(std::memcmp(header + 8, "WAVEfmt ", 8), 0);
        EXPECT_EQ(u32_at(header, 16), 16u);
        EXPECT_EQ(u16_at(header, 20), row.format_tag);
        EXPECT_EQ(u16_at(header, 22), 2u);
        EXPECT_EQ(u32_at(header, 24), 48000u);
        EXPECT_EQ(u32_at(header, 28), 48000 * row.frame_bytes);
        EXPECT_EQ(u16_at(header, 32), row.frame_bytes);
        EXPECT_EQ(u16_at(header, 34), row.bits);
        EXPECT_EQ(std::memcmp(header + 36, "data", 4), 0);
        EXPECT_EQ(u32_at(header, 40), 1000 * row.frame_bytes);
    }
}

TEST(WavEncoder, TheLongestFilesStillFitTheSizeFields) {
    EXPECT_EQ(wav_max_frames(SampleDepth::FLOAT32), (uint64_t)TAMSEL_WAV_MAX_FRAMES);
    EXPECT_EQ(wav_max_frames(SampleDepth::INT16), 1073741814u);
    EXPECT_EQ(wav_max_frames(SampleDepth::INT24), 715827876u);
    uint8_t header[WAV_HEADER_BYTES];
    build_wav_header(SampleDepth::INT24, wav_max_frames(SampleDepth::INT24), header);
    EXPECT_EQ(u32_at(header, 4), 36u + 715827876u * 6u);
}

TEST(WavEncoder, SamplesAreLittleEndianAtTheirWidth) {
    struct Row {
        SampleDepth depth;
        std::vector<int32_t> ints;
        std::vector<float> floats;
        std::vector<uint8_t> bytes;  // after the header
    };
    const Row rows[] = {
        {SampleDepth::INT16, {1, -1, 32767, -32768}, {}, {0x01, 0x00, 0xFF, 0xFF, 0xFF, 0x7F, 0x00, 0x80}},
        {SampleDepth::INT24, {0x123456, -8388608}, {}, {0x56, 0x34, 0x12, 0x00, 0x00, 0x80}},
        {SampleDepth::FLOAT32, {}, {1.0f, -0.5f}, {0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0xBF}},
    };
    for (const Row& row : rows) {
        MemoryWriter out;
        size_t frames = std::max(row.ints.size(), row.floats.size()) / 2;
        ASSERT_TRUE(write_frames(row.depth, row.ints, row.floats, frames, &out));
        ASSERT_GE(out.bytes.size(), WAV_HEADER_BYTES);
        EXPECT_EQ(std::vector<uint8_t>(out.bytes.begin() + WAV_HEADER_BYTES, out.bytes.end()), row.bytes)
            << wav_bytes_per_frame(row.depth);
    }
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
        ASSERT_TRUE(write_frames(row.depth, ints, floats, frames, &plain));
        StingyWriter stingy(row.limit, row.misaligned);
        ASSERT_TRUE(write_frames(row.depth, ints, floats, frames, &stingy));
        EXPECT_EQ(stingy.bytes, plain.bytes) << row.limit;
        EXPECT_EQ(plain.bytes.size(), 44 + frames * wav_bytes_per_frame(row.depth));
    }
}
