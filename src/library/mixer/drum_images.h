// The drum images compiled into the library from src/library/mixer/drums/*.wav;
// the build generates their definition.
#pragma once

#include <cstdint>

namespace tamsel::core {

struct drum_image {
    const char* name;
    const uint8_t* bytes;
    uint32_t size;
};

// In lookup order: BASS1, BASS2, SNARE1, HAT1, HAT2, SYMBAL1.
constexpr uint32_t DRUM_IMAGE_COUNT = 6;
extern const drum_image drum_images[DRUM_IMAGE_COUNT];

}  // namespace tamsel::core
