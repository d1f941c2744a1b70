// Several threads rendering one mix give exactly the sums of one renderer,
// wherever the reads cut the chunks and past the render's end.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "export/chunked_mix.h"
#include "export/mix_source.h"
#include "renders.h"
#include "test_songs.h"
#include "tool/job_runner.h"

// Reads a whole ChunkedMix in reads of the given sizes, in turn.
static std::vector<int32_t> read_all(ChunkedMix* mix, uint64_t total, const std::vector<size_t>& sizes) {
    std::vector<int32_t> sums(2 * total);
    uint64_t done = 0;
    for (size_t i = 0; done < total; i++) {
        size_t size = sizes[i % sizes.size()];
        size_t got = mix->read(sums.data() + 2 * done, size);
        EXPECT_GT(got, 0u) << "a read before the end returned nothing";
        if (got == 0) break;
        done += got;
    }
    int32_t after[2] = {0, 0};
    EXPECT_EQ(mix->read(after, 1), 0u);
    return sums;
}

TEST(ChunkedMix, AnyThreadCountGivesTheSumsOfOneRenderer) {
    tamsel::Song song = example_song("short.tsm");
    tamsel::RenderOptions options;
    options.loops = 1;
    std::vector<int32_t> expected = library_sums(song, options);
    uint64_t total = expected.size() / 2;
    ASSERT_GT(total, 4 * CHUNKED_MIX_FRAMES);
    // Reads smaller than a chunk, larger than one, and one frame at a time
    // across a chunk's edge.
    const std::vector<std::vector<size_t>> read_sizes = {{4096}, {3 * CHUNKED_MIX_FRAMES + 7}, {1, 65535, 2}};
    for (size_t threads : {1u, 2u, 3u, 5u}) {
        for (const std::vector<size_t>& sizes : read_sizes) {
            ChunkedMix mix;
            std::string error;
            ASSERT_TRUE(mix.start(song, options, 100, total, threads, &error)) << error;
            EXPECT_TRUE(read_all(&mix, total, sizes) == expected) << threads << " threads, reads of " << sizes[0];
        }
    }
}

TEST(ChunkedMix, FramesPastTheRenderAreSilence) {
    tamsel::Song song = example_song("short.tsm");
    tamsel::RenderOptions options;
    std::vector<int32_t> expected = library_sums(song, options);
    uint64_t song_frames = expected.size() / 2;
    uint64_t total = song_frames + CHUNKED_MIX_FRAMES + 100;
    expected.resize(2 * total, 0);
    ChunkedMix mix;
    std::string error;
    ASSERT_TRUE(mix.start(song, options, 100, total, 2, &error)) << error;
    EXPECT_TRUE(read_all(&mix, total, {10000}) == expected);
}

TEST(ChunkedMix, StoppingBeforeTheEndLeavesNoThreadBehind) {
    tamsel::Song song = example_song("demo.tsm");
    tamsel::RenderOptions options;
    for (int run = 0; run < 20; run++) {
        ChunkedMix mix;
        std::string error;
        ASSERT_TRUE(mix.start(song, options, 100, 10 * CHUNKED_MIX_FRAMES, 2, &error)) << error;
        std::vector<int32_t> sums(2 * 1000);
        if (run % 2) mix.read(sums.data(), 1000);
    }
}

TEST(ChunkedMix, AnEmptyRenderReadsNothing) {
    tamsel::Song song = silent_song();
    ChunkedMix mix;
    std::string error;
    ASSERT_TRUE(mix.start(song, tamsel::RenderOptions(), 100, 0, 2, &error)) << error;
    int32_t sums[2];
    EXPECT_EQ(mix.read(sums, 1), 0u);
}

TEST(ChunkedMix, RenderThreadsPerFileShareTheJobsLeftOver) {
    // (jobs, files at once) -> threads each
    EXPECT_EQ(render_threads_per_file(1, 1), 1u);
    EXPECT_EQ(render_threads_per_file(2, 1), 2u);
    EXPECT_EQ(render_threads_per_file(2, 2), 1u);
    EXPECT_EQ(render_threads_per_file(8, 1), 2u);
    EXPECT_EQ(render_threads_per_file(5, 2), 2u);
    EXPECT_EQ(render_threads_per_file(3, 2), 1u);
    EXPECT_EQ(render_threads_per_file(4, 0), 1u);
}
