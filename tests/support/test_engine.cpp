#include "test_engine.h"

#include <algorithm>
#include <cstring>

using namespace tamsel::core;

static size_t read_vector_at(void* context, uint64_t offset, uint8_t* out, size_t size) {
    const std::vector<uint8_t>* bytes = (const std::vector<uint8_t>*)context;
    if (offset >= bytes->size()) return 0;
    size_t count = std::min(size, bytes->size() - (size_t)offset);
    std::memcpy(out, bytes->data() + offset, count);
    return count;
}

Engine start_engine(const std::vector<uint8_t>& bytes, int32_t loops, double timer_ms) {
    Engine engine;
    auto song = std::make_unique<Song>();
    if (load_song(read_vector_at, (void*)&bytes, song.get()) != SONG_LOADED) return engine;
    std::unique_ptr<Renderer, RendererRelease> renderer(new Renderer);
    std::memset(renderer.get(), 0, sizeof *renderer);
    renderer_init(renderer.get());
    renderer_start(renderer.get(), song.get(), loops, timer_ms);
    engine.song = std::move(song);
    engine.renderer = std::move(renderer);
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
