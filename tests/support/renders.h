// A song rendered into memory through the export module (and, from
// library_renders.h, as the library's integer sums or float samples).
#pragma once

#include <cstdint>
#include <vector>

#include "export/audio_render.h"
#include "library_renders.h"
#include "tamsel/tamsel.hpp"

// Renders through render_audio into memory; fails the test on an error.
std::vector<uint8_t> render_to_bytes(const tamsel::Song& song, const tamsel::RenderOptions& options,
                                     const AudioSettings& settings, const LevelPlan& plan,
                                     AudioResult* result = nullptr);
