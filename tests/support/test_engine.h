// A song loaded from bytes and a renderer started on it the way the library
// opens both (clock at 0, first step forced), for tests and benchmarks that
// look inside the engine.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/renderer.h"
#include "song/song.h"

struct RendererDelete {
    void operator()(tamsel::core::Renderer* renderer) const { tamsel::core::renderer_delete(renderer); }
};
struct Engine {
    std::unique_ptr<tamsel::core::Song> song;  // holds pointers into itself: kept on the heap
    std::unique_ptr<tamsel::core::Renderer, RendererDelete> renderer;
};
// The voice in a renderer's slot, or null for an empty slot or a bad index.
inline tamsel::core::Voice* slot_voice(tamsel::core::Renderer* renderer, int32_t slot) {
    return tamsel::core::sound_table_voice(&renderer->table, slot);
}

// Null members when the bytes are not a song.
Engine start_engine(const std::vector<uint8_t>& bytes, int32_t loops, double timer_ms);
// Renders to the end, or max_frames, in blocks of 1024 frames.
std::vector<float> render_to_end(tamsel::core::Renderer* renderer, uint64_t max_frames);
