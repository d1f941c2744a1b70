// A song rendered into memory: through the export module, or as the
// library's integer sums or float samples.
#pragma once

#include <cstdint>
#include <vector>

#include "export/audio_render.h"
#include "tamsel/tamsel.hpp"

// Renders through render_audio into memory; fails the test on an error.
std::vector<uint8_t> render_to_bytes(const tamsel::Song& song, const tamsel::RenderOptions& options,
                                     const AudioSettings& settings, const LevelPlan& plan,
                                     AudioResult* result = nullptr);
// All of a render's integer sums, or its float samples, straight from the
// library.
std::vector<int32_t> library_sums(const tamsel::Song& song, const tamsel::RenderOptions& options);
std::vector<float> library_floats(const tamsel::Song& song, const tamsel::RenderOptions& options);
