// The formats as a user gets them: the built tool writing real files and
// pipes, decoded and held against the library's own samples.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "audio_test_support.h"
#include "test_support.h"

// A copy of examples/short.tsm in the test's own folder; returns the folder.
static std::string folder_with_short_song() {
    std::vector<uint8_t> bytes = read_file(std::string(TAMSEL_SOURCE_DIR) + "/examples/short.tsm");
    std::string path = write_temp_file("short.tsm", bytes);
    return std::filesystem::path(path).parent_path().string();
}

static int32_t clamp16(int32_t sum) {
    return sum > 32767 ? 32767 : sum < -32768 ? -32768 : sum;
}

TEST(ToolFormats, FlacHoldsTheClampedSumsAndIsTagged) {
    if (!can_write(OutputFormat::FLAC16)) GTEST_SKIP() << "no FLAC in this build";
    std::string dir = folder_with_short_song();
    ToolRun run = run_tool(dir, "-q -f flac --artist 'Ann Example' short.tsm");
    ASSERT_EQ(run.code, 0) << run.out;
    Decoded decoded = decode_bytes(read_file(dir + "/short.flac"));
    ASSERT_TRUE(decoded.ok);
    std::vector<int32_t> sums = library_sums(example_song("short.tsm"), tamsel::RenderOptions());
    ASSERT_EQ(decoded.ints.size(), sums.size());
    for (size_t i = 0; i < sums.size(); i++) ASSERT_EQ(decoded.ints[i], clamp16(sums[i]) * 65536) << i;
    EXPECT_EQ(decoded.title, "short");
    EXPECT_EQ(decoded.artist, "Ann Example");
    EXPECT_EQ(decoded.software.rfind("tamselexport ", 0), 0u) << decoded.software;
}

TEST(ToolFormats, StemsAddUpToTheMix) {
    std::string dir = folder_with_short_song();
    ASSERT_EQ(run_tool(dir, "-q --stems short.tsm").code, 0);
    ASSERT_EQ(run_tool(dir, "-q -o mix.wav short.tsm").code, 0);
    std::vector<float> mix = wav_float_samples(read_file(dir + "/mix.wav"));
    std::vector<std::vector<float>> stems;
    for (const char* name : {"track1", "track2", "track3", "drums"}) {
        stems.push_back(wav_float_samples(read_file(dir + "/short." + name + ".wav")));
        ASSERT_EQ(stems.back().size(), mix.size()) << name;
    }
    uint64_t wrong = 0;
    for (size_t i = 0; i < mix.size(); i++) {
        wrong += (double)stems[0][i] + stems[1][i] + stems[2][i] + stems[3][i] != (double)mix[i];
    }
    EXPECT_EQ(wrong, 0u);
}

TEST(ToolFormats, ANormalizedFadedFlacIsTheSameThroughAPipe) {
    if (!can_write(OutputFormat::FLAC16)) GTEST_SKIP() << "no FLAC in this build";
    std::string dir = folder_with_short_song();
    ASSERT_EQ(run_tool(dir, "-q -f flac --normalize --fade 2 short.tsm").code, 0);
    ASSERT_EQ(run_tool(dir, "-q -f flac --normalize --fade 2 -o - short.tsm > piped.flac").code, 0);
    Decoded file = decode_bytes(read_file(dir + "/short.flac"));
    Decoded piped = decode_bytes(read_file(dir + "/piped.flac"));
    ASSERT_TRUE(file.ok);
    ASSERT_TRUE(piped.ok);
    EXPECT_EQ(file.ints, piped.ints);
    uint64_t song_frames = library_sums(example_song("short.tsm"), tamsel::RenderOptions()).size() / 2;
    EXPECT_EQ(file.ints.size(), 2 * (song_frames + 96000));
    int32_t peak = 0;
    for (int32_t v : file.ints) peak = std::max(peak, std::abs(v / 65536));
    EXPECT_LE(std::abs(peak - (int32_t)std::floor(std::pow(10.0, -1.0 / 20.0) * 32768.0 + 0.5)), 1);
    EXPECT_EQ(file.ints[file.ints.size() - 1], 0);
}
