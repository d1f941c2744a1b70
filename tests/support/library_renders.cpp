#include "library_renders.h"

#include <gtest/gtest.h>

std::vector<int32_t> library_sums(const tamsel::Song& song, const tamsel::RenderOptions& options) {
    tamsel::Renderer renderer;
    EXPECT_EQ(renderer.create(song, options), TAMSEL_OK);
    std::vector<int32_t> all;
    std::vector<int32_t> block(2 * 4096);
    while (size_t got = renderer.render_int32(block.data(), 4096)) {
        all.insert(all.end(), block.begin(), block.begin() + (ptrdiff_t)(2 * got));
    }
    return all;
}

std::vector<float> library_floats(const tamsel::Song& song, const tamsel::RenderOptions& options) {
    tamsel::Renderer renderer;
    EXPECT_EQ(renderer.create(song, options), TAMSEL_OK);
    std::vector<float> all;
    std::vector<float> block(2 * 4096);
    while (size_t got = renderer.render_float(block.data(), 4096)) {
        all.insert(all.end(), block.begin(), block.begin() + (ptrdiff_t)(2 * got));
    }
    return all;
}
