#include "tool/wav_file.h"

#include <bit>
#include <cstring>
#include <string>
#include <vector>

#include "output/output_file.h"
#include "common/byte_order.h"

using tamsel::put_u16_le;
using tamsel::put_u32_le;

static_assert(std::endian::native == std::endian::little, "frames are written as little-endian floats");

// Blocks are gathered into one large write; 64 blocks make 512 KiB.
static constexpr uint32_t BLOCKS_PER_WRITE = 64;

void build_wav_header(uint8_t header[WAV_HEADER_SIZE], uint64_t frames) {
    uint32_t data_size = (uint32_t)(frames * WAV_BYTES_PER_FRAME);
    std::memcpy(header, "RIFF", 4);
    put_u32_le(header + 4, data_size + 36);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    put_u32_le(header + 16, 16);
    put_u16_le(header + 20, 3);  // IEEE float
    put_u16_le(header + 22, 2);
    put_u32_le(header + 24, 48000);
    put_u32_le(header + 28, 48000 * WAV_BYTES_PER_FRAME);
    put_u16_le(header + 32, WAV_BYTES_PER_FRAME);
    put_u16_le(header + 34, 32);
    std::memcpy(header + 36, "data", 4);
    put_u32_le(header + 40, data_size);
}

// Renders blocks until one comes back short. 1 when every byte was written.
static uint8_t write_frames(ByteWriter* out, tamsel::Renderer* renderer, uint64_t* frames) {
    std::vector<float> buffer(2 * (size_t)RENDER_BLOCK_FRAMES * BLOCKS_PER_WRITE);
    float* write_buffer = buffer.data();
    uint64_t total = 0;
    uint8_t ended = 0;
    while (!ended) {
        uint64_t gathered = 0;
        for (uint32_t b = 0; b < BLOCKS_PER_WRITE && !ended; b++) {
            uint64_t got = renderer->render_float(write_buffer + 2 * gathered, RENDER_BLOCK_FRAMES);
            gathered += got;
            ended = got < RENDER_BLOCK_FRAMES;
        }
        if (!out->write(write_buffer, (size_t)gathered * WAV_BYTES_PER_FRAME)) return 0;
        total += gathered;
    }
    *frames = total;
    return 1;
}

static uint8_t write_file(ByteWriter* out, tamsel::Renderer* renderer, uint64_t* frames) {
    uint8_t header[WAV_HEADER_SIZE];
    if (!out->seek(WAV_HEADER_SIZE)) return 0;
    if (!write_frames(out, renderer, frames)) return 0;
    build_wav_header(header, *frames);
    if (!out->seek(0)) return 0;
    return out->write(header, WAV_HEADER_SIZE);
}

uint8_t write_wav_render(const char* path, tamsel::Renderer* renderer, uint64_t* frames) {
    // The positional form's only message for any failure is "Error!", so
    // the reason is not kept.
    std::string error;
    std::unique_ptr<OutputFile> out = open_output(path, ReplacePolicy::REPLACE, &error);
    if (!out) return 0;
    if (!write_file(out.get(), renderer, frames)) {
        out->abort();
        return 0;
    }
    // Committing flushes, closes and renames; any failure there removes the
    // new file and keeps the old one.
    return out->commit(&error);
}
