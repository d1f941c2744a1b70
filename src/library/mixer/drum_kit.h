// The six built-in drum images and their assignment to the drum slots.
#pragma once

#include <cstdint>

#include "mixer/sample_source.h"

namespace tamsel::core {

constexpr int32_t DRUM_FIRST_SLOT = 472;
constexpr int32_t DRUM_SLOT_COUNT = 24;

// The image called name (exact, case-sensitive), or null for any other
// name. Images are 8-bit unsigned mono RIFF/WAVE: the sample count is at byte
// 54 and the samples start at byte 58.
const uint8_t* drum_image_named(const char* name);

// Name of the image that drum slot DRUM_FIRST_SLOT + k plays, k = 0..23.
const char* drum_slot_image(int32_t k);

// The samples of drum slot DRUM_FIRST_SLOT + k: its image, read as signed.
// False (source untouched) for another k.
bool drum_slot_source(int32_t k, SampleSource* source);

}  // namespace tamsel::core
