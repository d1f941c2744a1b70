#include "library_renders.h"

#include <gtest/gtest.h>

// All of a render through one of the renderer's calls, in blocks.
template <typename Sample, typename RenderCall>
static std::vector<Sample> whole_render(const tamsel::Song& song, const tamsel::RenderOptions& options,
                                        RenderCall render) {
    tamsel::Renderer renderer;
    EXPECT_EQ(renderer.create(song, options), TAMSEL_OK);
    std::vector<Sample> all;
    std::vector<Sample> block(2 * 4096);
    while (size_t got = render(renderer, block.data(), 4096)) {
        all.insert(all.end(), block.begin(), block.begin() + (ptrdiff_t)(2 * got));
    }
    return all;
}

std::vector<int32_t> library_sums(const tamsel::Song& song, const tamsel::RenderOptions& options) {
    return whole_render<int32_t>(
        song, options, [](tamsel::Renderer& r, int32_t* out, size_t frames) { return r.render_int32(out, frames); });
}

std::vector<float> library_floats(const tamsel::Song& song, const tamsel::RenderOptions& options) {
    return whole_render<float>(
        song, options, [](tamsel::Renderer& r, float* out, size_t frames) { return r.render_float(out, frames); });
}
