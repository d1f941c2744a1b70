#include "renders.h"

#include <gtest/gtest.h>

#include "memory_writer.h"

std::vector<uint8_t> render_to_bytes(const tamsel::Song& song, const tamsel::RenderOptions& options,
                                     const AudioSettings& settings, const LevelPlan& plan, AudioResult* result) {
    MemoryWriter out;
    AudioResult ignored;
    std::string error;
    bool ok = render_audio(song, options, settings, plan, &out, nullptr, result ? result : &ignored, &error);
    EXPECT_TRUE(ok) << error;
    return out.bytes;
}
