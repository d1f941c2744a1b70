// Renderers on several threads at once: each output equals its render
// alone, whether the threads play different songs or share one.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "tamsel/tamsel.hpp"
#include "test_folder.h"
#include "test_songs.h"

namespace {

std::vector<int32_t> render_all(const tamsel::Song& song, int32_t loops, double tick_ms) {
    tamsel::RenderOptions options;
    options.loops = loops;
    options.tick_ms = tick_ms;
    tamsel::Renderer renderer;
    if (renderer.create(song, options) != TAMSEL_OK) return {};
    std::vector<int32_t> out;
    std::vector<int32_t> block(2 * 4096);
    while (size_t got = renderer.render_int32(block.data(), 4096)) {
        out.insert(out.end(), block.begin(), block.begin() + (ptrdiff_t)(2 * got));
        if (out.size() > 2 * 3000000) break;
    }
    return out;
}

TEST(Threads, RendersAtOnceEqualTheirRendersAlone) {
    struct Job {
        std::vector<uint8_t> bytes;
        int32_t loops;
        double tick_ms;
    };
    std::vector<Job> jobs = {
        {read_file(std::string(TAMSEL_SOURCE_DIR) + "/examples/short.tsm"), 1, 16.6},
        {read_file(std::string(TAMSEL_SOURCE_DIR) + "/examples/short.tsm"), 0, 20.0},
    };
    for (uint32_t seed = 60; seed < 64; seed++) {
        GeneratedSong song = generated_song(seed);
        jobs.push_back({song.file.bytes, song.loops, song.timer_ms});
    }
    std::vector<tamsel::Song> songs(jobs.size());
    for (size_t j = 0; j < jobs.size(); j++) {
        ASSERT_EQ(songs[j].load_memory(jobs[j].bytes.data(), jobs[j].bytes.size()), TAMSEL_OK);
    }
    std::vector<std::vector<int32_t>> alone(jobs.size());
    for (size_t j = 0; j < jobs.size(); j++) alone[j] = render_all(songs[j], jobs[j].loops, jobs[j].tick_ms);

    // Two threads per job: every song is shared by two renderers at once.
    std::vector<std::vector<int32_t>> together(2 * jobs.size());
    std::vector<std::thread> threads;
    for (size_t t = 0; t < together.size(); t++) {
        size_t j = t / 2;
        threads.emplace_back([&, t, j] { together[t] = render_all(songs[j], jobs[j].loops, jobs[j].tick_ms); });
    }
    for (std::thread& thread : threads) thread.join();
    for (size_t t = 0; t < together.size(); t++) {
        EXPECT_FALSE(together[t].empty()) << t;
        EXPECT_EQ(together[t], alone[t / 2]) << "thread " << t;
    }
}

}  // namespace
