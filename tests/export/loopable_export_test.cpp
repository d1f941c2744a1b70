// Loopable WAV files against the library: the render up to the crossfade,
// the library's tail after it, and the loop read back from the smpl chunk.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "export/audio_render.h"
#include "reference_tools.h"
#include "renders.h"
#include "song_builder.h"
#include "test_songs.h"

TEST(LoopableExport, WavHoldsTheRenderThenTheTailAndItsLoop) {
    struct Row {
        uint32_t seed;  // 0: the sounding song
        uint32_t muted;
        size_t threads;
    };
    const Row rows[] = {{0, 0, 1}, {0, 0, 2}, {1, 0, 1}, {2, 0x9, 2}};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.seed) + " muted " + std::to_string(row.muted) + " threads " +
                     std::to_string(row.threads));
        GeneratedSong generated = generated_song(row.seed);
        tamsel::Song song = loaded_song(row.seed == 0 ? sounding_song(3, 12) : generated.file.bytes);
        tamsel::RenderOptions options;
        options.tick_ms = row.seed == 0 ? 20.0 : generated.timer_ms;
        options.muted_tracks = row.muted;
        AudioSettings settings;
        settings.loopable = true;
        settings.render_threads = row.threads;
        AudioResult result;
        std::vector<uint8_t> bytes = render_to_bytes(song, options, settings, LevelPlan(), &result);

        // The library's loop and tail, and the render with the pass.
        tamsel::RenderOptions reaching = options;
        reaching.loops = 1;
        tamsel::Renderer renderer;
        ASSERT_EQ(renderer.create(song, reaching), TAMSEL_OK);
        tamsel::Loop loop = {};
        ASSERT_EQ(renderer.find_loop(UINT64_MAX, &loop), TAMSEL_OK);
        std::vector<float> tail;
        double difference = 0.0;
        ASSERT_EQ(renderer.loop_tail_float(loop, &tail, &difference), TAMSEL_OK);
        std::vector<float> render = library_floats(song, reaching);
        EXPECT_TRUE(result.loopable);
        EXPECT_EQ(result.loop.loop.start, loop.start);
        EXPECT_EQ(result.loop.loop.end, loop.end);
        EXPECT_EQ(result.loop.loop.crossfade, loop.crossfade);
        EXPECT_EQ(result.loop.difference_db, difference);
        EXPECT_EQ(result.frames, loop.end);

        WavChunks chunks;
        ASSERT_TRUE(holds_wav_loop(bytes, 8, loop.start, loop.end, &chunks));
        std::vector<float> file(2 * loop.end);
        std::memcpy(file.data(), bytes.data() + chunks.data, chunks.data_size);
        size_t faded = 2 * (size_t)(loop.end - loop.crossfade);
        EXPECT_TRUE(std::equal(file.begin(), file.begin() + (ptrdiff_t)faded, render.begin()));
        EXPECT_TRUE(std::equal(file.begin() + (ptrdiff_t)faded, file.end(), tail.begin()));
    }
}

TEST(LoopableExport, LevelsAreMeasuredOverWhatTheFileHolds) {
    tamsel::Song song = loud_song();
    tamsel::RenderOptions options;
    AudioSettings settings;
    settings.loopable = true;
    settings.format = OutputFormat::WAV16;
    settings.level = LevelMode::NORMALIZE;
    settings.normalize_dbfs = 0.0;
    LevelPlan plan = planned_export(song, options, settings).level;
    AudioResult result;
    render_to_bytes(song, options, settings, plan, &result);
    EXPECT_EQ(result.clamped, 0u);
    EXPECT_NEAR(result.peak_dbfs, 0.0, 0.01);
}
