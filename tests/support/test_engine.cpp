#include "test_engine.h"

#include "song/song_open.h"

using namespace tamsel::core;

Engine start_engine(const std::vector<uint8_t>& bytes, int32_t loops, double timer_ms) {
    Engine engine;
    auto song = std::make_unique<Song>();
    if (open_song_memory(bytes.data(), bytes.size(), song.get()) != SongOpen::LOADED) return engine;
    engine.renderer.reset(renderer_new(song.get(), loops, timer_ms));
    engine.song = std::move(song);
    return engine;
}

std::vector<float> render_to_end(Renderer* renderer, uint64_t max_frames) {
    std::vector<float> out;
    std::vector<float> block(2 * 1024);
    while (out.size() / 2 < max_frames) {
        uint64_t got = renderer_render_float(renderer, block.data(), 1024);
        out.insert(out.end(), block.begin(), block.begin() + (ptrdiff_t)(2 * got));
        if (got < 1024) break;
    }
    return out;
}
