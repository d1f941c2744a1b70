// FLAC, Vorbis, Opus and MP3 through libsndfile, into memory and back.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "decoding.h"
#include "export/sndfile_encoder.h"
#include "memory_writer.h"

#ifdef TAMSEL_HAVE_SNDFILE
#include <sndfile.h>

static const SndfileTags TAGS = {"Night Drive", "Ann Example", "tamselexport " TAMSEL_VERSION_STRING, {}};

// Interleaved integers that sweep the whole range of a depth.
static std::vector<int32_t> sweep(int32_t low, int32_t high, size_t frames) {
    std::vector<int32_t> samples(2 * frames);
    uint64_t span = (uint64_t)((int64_t)high - low);
    for (size_t i = 0; i < samples.size(); i++) {
        uint64_t step = (uint64_t)i * 2654435761u % (span + 1);
        samples[i] = (int32_t)(low + (int64_t)step);
    }
    samples[0] = low;
    samples[1] = high;
    return samples;
}

// Two tones and a little noise: something like music to the encoders.
static std::vector<float> tone(size_t frames, double amplitude) {
    std::vector<float> samples(2 * frames);
    uint32_t noise = 1;
    for (size_t f = 0; f < frames; f++) {
        noise = noise * 1664525u + 1013904223u;
        double hiss = 0.1 * ((double)(noise >> 8) / 16777216.0 - 0.5);
        samples[2 * f] = (float)(amplitude * (std::sin((double)f * 0.0577) + hiss));
        samples[2 * f + 1] = (float)(amplitude * (0.7 * std::sin((double)f * 0.0391) + hiss));
    }
    return samples;
}

static std::vector<uint8_t> encode_ints(OutputFormat format, const std::vector<int32_t>& samples) {
    MemoryWriter out;
    SndfileEncoder encoder(&out);
    std::string error;
    EXPECT_TRUE(encoder.begin(format, -1, TAGS, samples.size() / 2, &error)) << error;
    EXPECT_TRUE(encoder.write_int(samples.data(), samples.size() / 2, &error)) << error;
    EXPECT_TRUE(encoder.finish(&error)) << error;
    return out.bytes;
}

static std::vector<uint8_t> encode_floats(OutputFormat format, int quality, const std::vector<float>& samples) {
    MemoryWriter out;
    SndfileEncoder encoder(&out);
    std::string error;
    EXPECT_TRUE(encoder.begin(format, quality, TAGS, samples.size() / 2, &error)) << error;
    EXPECT_TRUE(encoder.write_float(samples.data(), samples.size() / 2, &error)) << error;
    EXPECT_TRUE(encoder.finish(&error)) << error;
    return out.bytes;
}

TEST(SndfileEncoder, FlacKeepsEveryIntegerOfItsDepthExactly) {
    struct Row {
        OutputFormat format;
        int32_t low, high;
        int32_t sf_format;
        int32_t to_sndfile;  // libsndfile's integers are 32-bit full scale
    };
    const Row rows[] = {{OutputFormat::FLAC16, -32768, 32767, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 65536},
                        {OutputFormat::FLAC24, -8388608, 8388607, SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 256}};
    for (const Row& row : rows) {
        SCOPED_TRACE(output_format_name(row.format));
        std::vector<int32_t> samples = sweep(row.low, row.high, 50000);
        Decoded decoded = decode_bytes(encode_ints(row.format, samples));
        ASSERT_TRUE(decoded.ok);
        EXPECT_EQ(decoded.format, row.sf_format);
        EXPECT_EQ(decoded.samplerate, 48000);
        EXPECT_EQ(decoded.channels, 2);
        ASSERT_EQ(decoded.frames, 50000);
        ASSERT_EQ(decoded.ints.size(), samples.size());
        for (size_t i = 0; i < samples.size(); i++) ASSERT_EQ(decoded.ints[i], samples[i] * row.to_sndfile) << i;
    }
}

TEST(SndfileEncoder, FilesCarryTitleAndArtist) {
    Decoded flac = decode_bytes(encode_ints(OutputFormat::FLAC16, sweep(-100, 100, 1000)));
    EXPECT_EQ(flac.title, "Night Drive");
    EXPECT_EQ(flac.artist, "Ann Example");
    for (OutputFormat format : {OutputFormat::OGG, OutputFormat::OPUS}) {
        Decoded decoded = decode_bytes(encode_floats(format, -1, tone(48000, 0.5)));
        EXPECT_EQ(decoded.title, "Night Drive") << output_format_name(format);
        EXPECT_EQ(decoded.artist, "Ann Example") << output_format_name(format);
    }
}

TEST(SndfileEncoder, LossyFormatsDecodeToTheirLengthAndLevel) {
    struct Row {
        OutputFormat format;
        int64_t slack;  // frames of encoder delay and padding the format may add
    };
    // Vorbis and Opus record the exact length; MP3 adds a frame or two.
    const Row rows[] = {{OutputFormat::OGG, 0}, {OutputFormat::OPUS, 0}, {OutputFormat::MP3, 2 * 1152 + 529}};
    const size_t frames = 3 * 48000 + 123;
    std::vector<float> samples = tone(frames, 0.4);
    double rms = rms_of(samples, 0, samples.size());
    for (const Row& row : rows) {
        for (int quality : {-1, 0, 10}) {
            Decoded decoded = decode_bytes(encode_floats(row.format, quality, samples));
            ASSERT_TRUE(decoded.ok) << output_format_name(row.format);
            EXPECT_GE(decoded.frames, (int64_t)frames) << output_format_name(row.format) << " q" << quality;
            EXPECT_LE(decoded.frames, (int64_t)frames + row.slack) << output_format_name(row.format) << " q" << quality;
            // Down to their lowest quality they keep the level of a tone.
            double decoded_rms = rms_of(decoded.floats, 0, decoded.floats.size()) *
                                 std::sqrt((double)decoded.floats.size() / (double)samples.size());
            EXPECT_NEAR(20.0 * std::log10(decoded_rms / rms), 0.0, 1.0)
                << output_format_name(row.format) << " q" << quality;
        }
    }
}

TEST(SndfileEncoder, QualityChangesTheSizeOfLossyFiles) {
    std::vector<float> samples = tone(5 * 48000, 0.4);
    for (OutputFormat format : {OutputFormat::OGG, OutputFormat::OPUS, OutputFormat::MP3}) {
        size_t lowest = encode_floats(format, 0, samples).size();
        size_t highest = encode_floats(format, 10, samples).size();
        EXPECT_LT(lowest * 2, highest) << output_format_name(format);
    }
}

#endif
