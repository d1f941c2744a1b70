// Seeking and muting: a seek lands exactly where a render from the start
// would be, backwards and forwards, and muted tracks take nothing else away.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tamsel/tamsel.h"
#include "test_engine.h"
#include "test_folder.h"
#include "test_songs.h"

namespace {

struct Render {
    tamsel_song* song = nullptr;
    tamsel_renderer* renderer = nullptr;
    Render(const std::vector<uint8_t>& bytes, int32_t loops, double tick_ms, uint32_t muted = 0) {
        EXPECT_EQ(tamsel_song_load_memory(bytes.data(), bytes.size(), &song), TAMSEL_OK);
        tamsel_render_options options;
        tamsel_render_options_init(&options);
        options.loops = loops;
        options.tick_ms = tick_ms;
        options.muted_tracks = muted;
        EXPECT_EQ(tamsel_renderer_create(song, &options, &renderer), TAMSEL_OK);
    }
    ~Render() {
        tamsel_renderer_free(renderer);
        tamsel_song_free(song);
    }
    // Up to frames frames, in calls of 1000.
    std::vector<int32_t> sums(uint64_t frames) {
        std::vector<int32_t> out(2 * frames);
        uint64_t done = 0;
        while (done < frames) {
            uint64_t want = frames - done < 1000 ? frames - done : 1000;
            size_t got = tamsel_render_int32(renderer, out.data() + 2 * done, want);
            done += got;
            if (got < want) break;
        }
        out.resize(2 * done);
        return out;
    }
};

std::vector<int32_t> slice(const std::vector<int32_t>& all, uint64_t from, uint64_t frames) {
    uint64_t first = 2 * from < all.size() ? 2 * from : all.size();
    uint64_t last = 2 * (from + frames) < all.size() ? 2 * (from + frames) : all.size();
    return std::vector<int32_t>(all.begin() + (ptrdiff_t)first, all.begin() + (ptrdiff_t)last);
}

const uint64_t CAP = 400000;

TEST(Seek, LandsOnTheFramesARenderFromTheStartYields) {
    for (uint32_t seed = 1; seed <= 16; seed++) {
        GeneratedSong song = generated_song(seed);
        Render full(song.file.bytes, song.loops, song.timer_ms);
        std::vector<int32_t> expected = full.sums(CAP);
        uint64_t length = expected.size() / 2;

        Render seeking(song.file.bytes, song.loops, song.timer_ms);
        uint32_t state = seed;
        std::vector<uint64_t> targets = {length / 2, 0, length, length + 100, 1, length / 3, length - 1};
        for (int i = 0; i < 12; i++) {
            state = state * 1664525u + 1013904223u;
            targets.push_back(length ? state % length : 0);
        }
        for (uint64_t target : targets) {
            ASSERT_EQ(tamsel_renderer_seek(seeking.renderer, target), TAMSEL_OK);
            uint64_t landed = target < length ? target : length;
            EXPECT_EQ(tamsel_renderer_position(seeking.renderer), landed) << "seed " << seed;
            ASSERT_EQ(seeking.sums(2000), slice(expected, target, 2000)) << "seed " << seed << " frame " << target;
            EXPECT_EQ(tamsel_renderer_position(seeking.renderer), landed + slice(expected, target, 2000).size() / 2);
        }
    }
}

TEST(Seek, WorksOnTheDemoWithLoopsBackAndForth) {
    std::vector<uint8_t> demo = read_file(std::string(TAMSEL_SOURCE_DIR) + "/examples/demo.tsm");
    Render full(demo, 1, 16.6);
    std::vector<int32_t> expected = full.sums(20000000);
    Render seeking(demo, 1, 16.6);
    uint64_t length = expected.size() / 2;
    for (uint64_t target : {length - 5000, (uint64_t)48000, length / 2, (uint64_t)0, length - 1}) {
        ASSERT_EQ(tamsel_renderer_seek(seeking.renderer, target), TAMSEL_OK);
        ASSERT_EQ(seeking.sums(5000), slice(expected, target, 5000)) << target;
    }
}

TEST(Mute, OneTrackRendersAddUpToTheMix) {
    std::vector<std::vector<uint8_t>> songs = {read_file(std::string(TAMSEL_SOURCE_DIR) + "/examples/short.tsm")};
    for (uint32_t seed = 40; seed < 48; seed++) songs.push_back(generated_song(seed).file.bytes);
    for (size_t s = 0; s < songs.size(); s++) {
        Render mix(songs[s], 1, 20.0);
        std::vector<int32_t> expected = mix.sums(CAP);
        std::vector<uint32_t> sum(expected.size(), 0);
        for (uint32_t track = 0; track < 4; track++) {
            Render one(songs[s], 1, 20.0, 0xFu & ~(1u << track));
            std::vector<int32_t> part = one.sums(CAP);
            ASSERT_EQ(part.size(), expected.size()) << "song " << s << " track " << track;
            for (size_t k = 0; k < part.size(); k++) sum[k] += (uint32_t)part[k];
        }
        for (size_t k = 0; k < expected.size(); k++) ASSERT_EQ((int32_t)sum[k], expected[k]) << "song " << s;
    }
}

TEST(Mute, UnmutingResumesWhereTheMixWouldBe) {
    std::vector<uint8_t> demo = read_file(std::string(TAMSEL_SOURCE_DIR) + "/examples/demo.tsm");
    Render mix(demo, 0, 20.0);
    std::vector<int32_t> expected = mix.sums(300000);
    Render toggled(demo, 0, 20.0, 0xF);
    std::vector<int32_t> silent = toggled.sums(100000);
    EXPECT_EQ(silent, std::vector<int32_t>(silent.size(), 0));
    ASSERT_EQ(tamsel_renderer_set_muted_tracks(toggled.renderer, 0), TAMSEL_OK);
    EXPECT_EQ(toggled.sums(200000), slice(expected, 100000, 200000));
}

}  // namespace

namespace {

// The per-frame loop can take over from the fast renderer at any frame, the
// frames of steps included, so a seek can be checked against it directly.
TEST(Seek, ThePerFrameLoopTakesOverWhereTheFastRendererStopped) {
    for (uint32_t seed = 120; seed < 126; seed++) {
        GeneratedSong song = generated_song(seed);
        Engine whole = start_engine(song.file.bytes, song.loops, song.timer_ms);
        // Frame by frame, noting the frames where a step is taken.
        std::vector<float> expected;
        std::vector<uint64_t> step_frames;
        uint32_t last_step_ms = 0;
        float frame[2];
        while (expected.size() < 2 * 40000 && renderer_render_reference(whole.renderer.get(), frame, 1) == 1) {
            if (renderer_sequencer(whole.renderer.get())->last_step_ms != last_step_ms) {
                last_step_ms = renderer_sequencer(whole.renderer.get())->last_step_ms;
                step_frames.push_back(expected.size() / 2);
            }
            expected.insert(expected.end(), frame, frame + 2);
        }
        ASSERT_FALSE(step_frames.empty()) << "seed " << seed;
        for (size_t i = 0; i < step_frames.size() && i < 6; i++) {
            uint64_t at = step_frames[i];
            Engine engine = start_engine(song.file.bytes, song.loops, song.timer_ms);
            renderer_seek(engine.renderer.get(), at);
            std::vector<float> rest(expected.size() - 2 * at);
            rest.resize(2 * renderer_render_reference(engine.renderer.get(), rest.data(), rest.size() / 2));
            std::vector<float> slice(expected.begin() + (ptrdiff_t)(2 * at), expected.end());
            ASSERT_EQ(rest, slice) << "seed " << seed << " frame " << at;
        }
    }
}

}  // namespace
