// A whole render in memory, straight from the library: its integer sums or
// its float samples.
#pragma once

#include <cstdint>
#include <vector>

#include "tamsel/tamsel.hpp"

std::vector<int32_t> library_sums(const tamsel::Song& song, const tamsel::RenderOptions& options);
std::vector<float> library_floats(const tamsel::Song& song, const tamsel::RenderOptions& options);
