// The formats as a user gets them: the built tool writing real files and
// pipes, decoded and held against the library's own samples.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "decoding.h"
#include "renders.h"
#include "test_folder.h"
#include "test_songs.h"
#include "tool_process.h"

// A copy of examples/short.tsm in the folder.
static void put_short_song(const TestFolder& folder) {
    folder.write("short.tsm", read_file(std::string(TAMSEL_SOURCE_DIR) + "/examples/short.tsm"));
}

static int32_t clamp16(int32_t sum) {
    return sum > 32767 ? 32767 : sum < -32768 ? -32768 : sum;
}

TEST(ToolFormats, FlacHoldsTheClampedSumsAndIsTagged) {
    if (!can_write(OutputFormat::FLAC16)) GTEST_SKIP() << "no FLAC in this build";
    TestFolder folder;
    put_short_song(folder);
    ToolResult run = run_tool(folder.path(), {"-q", "-f", "flac", "--artist", "Ann Example", "short.tsm"});
    ASSERT_EQ(run.code, 0) << run.err;
    Decoded decoded = decode_bytes(read_file(folder.file("short.flac")));
    ASSERT_TRUE(decoded.ok);
    std::vector<int32_t> sums = library_sums(example_song("short.tsm"), tamsel::RenderOptions());
    ASSERT_EQ(decoded.ints.size(), sums.size());
    for (size_t i = 0; i < sums.size(); i++) ASSERT_EQ(decoded.ints[i], clamp16(sums[i]) * 65536) << i;
    EXPECT_EQ(decoded.title, "short");
    EXPECT_EQ(decoded.artist, "Ann Example");
}

TEST(ToolFormats, StemsAddUpToTheMix) {
    TestFolder folder;
    put_short_song(folder);
    ASSERT_EQ(run_tool(folder.path(), {"-q", "--stems", "short.tsm"}).code, 0);
    ASSERT_EQ(run_tool(folder.path(), {"-q", "-o", "mix.wav", "short.tsm"}).code, 0);
    std::vector<float> mix = wav_float_samples(read_file(folder.file("mix.wav")));
    std::vector<std::vector<float>> stems;
    for (const char* name : {"track1", "track2", "track3", "drums"}) {
        stems.push_back(wav_float_samples(read_file(folder.file(std::string("short.") + name + ".wav"))));
        ASSERT_EQ(stems.back().size(), mix.size()) << name;
    }
    uint64_t wrong = 0;
    for (size_t i = 0; i < mix.size(); i++) {
        wrong += (double)stems[0][i] + stems[1][i] + stems[2][i] + stems[3][i] != (double)mix[i];
    }
    EXPECT_EQ(wrong, 0u);
}

TEST(ToolFormats, StereoWidthIsTheLibrarysWidenedRenderOnOneThreadOrTwo) {
    TestFolder folder;
    put_short_song(folder);
    tamsel::Song song = example_song("short.tsm");
    for (int32_t percent : {0, 37, 200}) {
        std::string width = std::to_string(percent);
        for (const char* jobs : {"1", "2"}) {
            ToolResult run = run_tool(folder.path(), {"-q", "--force", "-j", jobs, "--stereo", width, "short.tsm"});
            ASSERT_EQ(run.code, 0) << run.err;
            std::vector<float> written = wav_float_samples(read_file(folder.file("short.wav")));
            tamsel::Renderer renderer;
            ASSERT_EQ(renderer.create(song), TAMSEL_OK);
            ASSERT_EQ(renderer.set_stereo_width(percent), TAMSEL_OK);
            std::vector<float> expected(written.size() + 2);
            ASSERT_EQ(renderer.render_float(expected.data(), expected.size() / 2), written.size() / 2);
            expected.resize(written.size());
            EXPECT_EQ(written, expected) << percent << " with -j " << jobs;
            for (size_t i = 0; percent == 0 && i < written.size(); i += 2) ASSERT_EQ(written[i], written[i + 1]) << i;
        }
    }
}

TEST(ToolFormats, ANormalizedFadedFlacIsTheSameThroughAPipe) {
    if (!can_write(OutputFormat::FLAC16)) GTEST_SKIP() << "no FLAC in this build";
    TestFolder folder;
    put_short_song(folder);
    ASSERT_EQ(run_tool(folder.path(), {"-q", "-f", "flac", "--normalize", "--fade", "2", "short.tsm"}).code, 0);
    ToolSetup to_pipe;
    to_pipe.folder = folder.path();
    to_pipe.arguments = {"-q", "-f", "flac", "--normalize", "--fade", "2", "-o", "-", "short.tsm"};
    to_pipe.keep_line_ends = true;
    ToolResult through_pipe = run_tool_process(to_pipe);
    ASSERT_EQ(through_pipe.code, 0) << through_pipe.err;
    Decoded file = decode_bytes(read_file(folder.file("short.flac")));
    Decoded piped = decode_bytes(std::vector<uint8_t>(through_pipe.out.begin(), through_pipe.out.end()));
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
