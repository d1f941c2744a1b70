#include "mixer/drum_kit.h"

#include <cstring>

#include "common/byte_order.h"
#include "mixer/drum_images.h"

namespace tamsel::core {

// Even drum bits play an image at the drum volume, the odd bit after it the
// same image at 70 % of it.
static const char* const slot_images[DRUM_SLOT_COUNT] = {
    "BASS1",   "BASS1",   "BASS2",   "BASS2",   "SNARE1",  "SNARE1",  "SNARE1",  "SNARE1",
    "HAT1",    "HAT1",    "HAT2",    "HAT2",    "SYMBAL1", "SYMBAL1", "SYMBAL1", "SYMBAL1",
    "SYMBAL1", "SYMBAL1", "SYMBAL1", "SYMBAL1", "SYMBAL1", "SYMBAL1", "SYMBAL1", "SYMBAL1",
};

const uint8_t* drum_image_named(const char* name) {
    if (!name) return nullptr;
    for (uint32_t i = 0; i < DRUM_IMAGE_COUNT; i++) {
        if (std::strcmp(name, drum_images[i].name) == 0) return drum_images[i].bytes;
    }
    return nullptr;
}

const char* drum_slot_image(int32_t k) {
    if (k < 0 || k >= DRUM_SLOT_COUNT) return nullptr;
    return slot_images[k];
}

bool drum_slot_source(int32_t k, SampleSource* source) {
    const uint8_t* image = drum_image_named(drum_slot_image(k));
    if (!image) return false;
    std::memset(source, 0, sizeof *source);
    source->size = read_u32_le(image + 54);
    source->stored = image + 58;
    // Image samples are unsigned with silence at 128; voices are signed.
    source->stored_flip = 0x80;
    return true;
}

}  // namespace tamsel::core
