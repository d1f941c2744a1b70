// A song loaded from bytes and a renderer started on it the way the library
// starts one (clock at 0, first step forced), for tests that look inside
// the engine.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/renderer.h"
#include "song/song.h"

struct RendererRelease {
    void operator()(tamsel::core::Renderer* renderer) const {
        tamsel::core::renderer_release(renderer);
        delete renderer;
    }
};
struct Engine {
    std::unique_ptr<tamsel::core::Song> song;  // holds pointers into itself: kept on the heap
    std::unique_ptr<tamsel::core::Renderer, RendererRelease> renderer;
};
// Null members when the bytes are not a song.
Engine start_engine(const std::vector<uint8_t>& bytes, int32_t loops, double timer_ms);
// Renders to the end, or max_frames, in blocks of 1024 frames.
std::vector<float> render_to_end(tamsel::core::Renderer* renderer, uint64_t max_frames);
