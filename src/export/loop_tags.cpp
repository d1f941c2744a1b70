#include "export/loop_tags.h"

#include <cstring>

#include "common/byte_order.h"

std::vector<std::string> loop_comments(const tamsel::Loop& loop) {
    return {"LOOPSTART=" + std::to_string(loop.start), "LOOPLENGTH=" + std::to_string(loop.end - loop.start),
            "LOOP_START=" + std::to_string(loop.start), "LOOP_END=" + std::to_string(loop.end)};
}

// Nanoseconds per frame at 48000 Hz, rounded.
static const uint32_t SAMPLE_PERIOD_NS = 20833;
static const uint32_t MIDDLE_C = 60;

void build_smpl_chunk(const tamsel::Loop& loop, uint8_t chunk[WAV_SMPL_CHUNK_BYTES]) {
    std::memset(chunk, 0, WAV_SMPL_CHUNK_BYTES);
    std::memcpy(chunk, "smpl", 4);
    tamsel::put_u32_le(chunk + 4, WAV_SMPL_CHUNK_BYTES - 8);
    // Manufacturer and product 0: no particular sampler.
    tamsel::put_u32_le(chunk + 16, SAMPLE_PERIOD_NS);
    tamsel::put_u32_le(chunk + 20, MIDDLE_C);  // unity note; pitch fraction and SMPTE fields 0
    tamsel::put_u32_le(chunk + 36, 1);         // one loop; no sampler data
    uint8_t* entry = chunk + 44;               // cue point id 0, type 0: forward
    tamsel::put_u32_le(entry + 8, (uint32_t)loop.start);
    tamsel::put_u32_le(entry + 12, (uint32_t)(loop.end - 1));
    // Fraction 0, and play count 0: for ever.
}
