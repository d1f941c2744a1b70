// Level options as the files hold them: the tool's integer files read back
// (FLAC through the flac command) and their loudest sample measured.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/byte_order.h"
#include "decoding.h"
#include "reference_tools.h"
#include "test_folder.h"
#include "test_songs.h"
#include "text_checks.h"
#include "tool_process.h"

// The integers of a file the tool wrote: WAV read here, FLAC decoded to raw
// little-endian samples by flac.
static std::vector<int32_t> integer_samples(const std::string& file, bool flac, uint32_t bytes_per_sample) {
    if (!flac) return wav_int_samples(read_file(file), bytes_per_sample);
    std::string raw = file + ".raw";
    std::string line = "flac -d -s -f --force-raw-format --endian=little --sign=signed -o " + shell_quoted(raw) + " " +
                       shell_quoted(file) + " 2>&1";
    if (run_command(line) != 0) return {};
    std::vector<uint8_t> samples = read_file(raw);
    // The samples behind where a WAV file's header would be, with the data's size.
    std::vector<uint8_t> bytes(44 + samples.size(), 0);
    tamsel::put_u32_le(bytes.data() + 40, (uint32_t)samples.size());
    if (!samples.empty()) std::memcpy(bytes.data() + 44, samples.data(), samples.size());
    return wav_int_samples(bytes, bytes_per_sample);
}

TEST(Levels, NormalizingUpToFullScaleNeverClampsAnIntegerFormat) {
    struct Row {
        const char* format;
        const char* level;   // --normalize=
        const char* dither;  // --dither
        int32_t full_scale;
    };
    const Row rows[] = {
        {"wav16", "0", "tpdf", 32768}, {"wav16", "0", "none", 32768},    {"wav24", "0", "tpdf", 8388608},
        {"flac", "0", "tpdf", 32768},  {"flac24", "0", "none", 8388608}, {"wav16", "-0.0001", "tpdf", 32768},
    };
    TestFolder folder;
    folder.write("short.tsm", example_bytes("short.tsm"));
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.format) + " --normalize=" + row.level + " --dither " + row.dither);
        bool flac = std::string(row.format).rfind("flac", 0) == 0;
        if (flac && !have_command("flac")) {
            std::printf("skipped %s: flac is not installed\n", row.format);
            continue;
        }
        if (flac && !can_write(OutputFormat::FLAC16)) continue;
        std::string out = flac ? "out.flac" : "out.wav";
        ToolResult run = run_tool(folder.path(), {"--force", "-f", row.format, std::string("--normalize=") + row.level,
                                                  "--dither", row.dither, "-o", out, "short.tsm"});
        ASSERT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(run.err.find("clamped"), std::string::npos) << run.err;
        std::vector<int32_t> samples = integer_samples(folder.file(out), flac, row.full_scale == 32768 ? 2u : 3u);
        ASSERT_FALSE(samples.empty());
        int32_t high = 0;
        for (int32_t v : samples) high = std::max(high, std::abs(v));
        EXPECT_LE(high, row.full_scale - 1);
        EXPECT_GE(high, row.full_scale - 3);  // still at full scale, within dither's steps
    }
}

// What a player decodes from a lossy file: under the loudness ceiling when
// --loudness holds it there; past full scale, with the clamp hint, when the
// level given drives it there.
TEST(Levels, TheDecodedPeakOfLossyFilesIsHeldOrReported) {
    SKIP_ON_WINDOWS("the reference decoders");
    struct Level {
        const char* option;
        const char* value;
        const char* summary;  // what the summary line says of the peak
        bool clips;           // the decoded file reaches full scale
    };
    const Level levels[] = {
        {"--loudness", "-14", "decoded peak under -1 dBFS", false},
        {"--gain", "12", "may clip when decoded (try --normalize=-2)", true},
    };
    TestFolder folder;
    folder.write("short.tsm", example_bytes("short.tsm"));
    const int32_t ceiling = (int32_t)(32768.0 * std::pow(10.0, -1.0 / 20.0));
    for (const ReferenceDecoder& decoder : REFERENCE_DECODERS) {
        if (std::string(decoder.program) == "flac") continue;  // lossless: the level test above reads it
        if (!have_command(decoder.program)) {
            std::printf("skipped %s: %s is not installed\n", decoder.format, decoder.program);
            continue;
        }
        for (const Level& level : levels) {
            SCOPED_TRACE(std::string(decoder.format) + " " + level.option);
            std::string out = folder.file(std::string("out.") + decoder.format);
            ToolResult run = run_tool(
                folder.path(), {"--force", "-f", decoder.format, level.option, level.value, "-o", out, "short.tsm"});
            if (run.err.find("not available") != std::string::npos) continue;
            ASSERT_EQ(run.code, 0) << run.err;
            EXPECT_TRUE(contains(run.err, level.summary));
            ASSERT_EQ(decode(decoder, out, folder.file("decoded.wav")), 0);
            int32_t peak = wav16_peak(read_file(folder.file("decoded.wav")));
            if (level.clips) {
                EXPECT_GE(peak, 32700);  // full scale, less opusdec's soft clipping
            } else {
                EXPECT_GT(peak, 0);
                EXPECT_LE(peak, ceiling);
                EXPECT_EQ(run.err.find("may clip"), std::string::npos) << run.err;
            }
        }
    }
}
