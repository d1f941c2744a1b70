// A song rendered into memory through the export module (and, from
// library_renders.h, as the library's integer sums or float samples).
#pragma once

#include <cstdint>
#include <vector>

#include "export/export_service.h"
#include "library_renders.h"
#include "tamsel/tamsel.hpp"

// The export service's plan for one target of song; fails the test on an
// error.
ExportPlan planned_export(const tamsel::Song& song, const tamsel::RenderOptions& options,
                          const AudioSettings& settings);

// Renders through the export service into memory, under the level plan
// given instead of the one planned; fails the test on an error.
std::vector<uint8_t> render_to_bytes(const tamsel::Song& song, const tamsel::RenderOptions& options,
                                     const AudioSettings& settings, const LevelPlan& plan,
                                     AudioResult* result = nullptr);

// A test's name for each bounded value in error lines: "value".
const char* test_limit_name(LimitId id);
