#include "export/wav_file.h"

#include <bit>
#include <cstdio>
#include <cstring>
#include <vector>


static_assert(std::endian::native == std::endian::little, "frames are written as little-endian floats");

// Blocks are gathered into one large write; 64 blocks make 512 KiB.
static constexpr uint32_t BLOCKS_PER_WRITE = 64;

static void put_u16(uint8_t* p, uint16_t v) {
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
}

static void put_u32(uint8_t* p, uint32_t v) {
    put_u16(p, (uint16_t)v);
    put_u16(p + 2, (uint16_t)(v >> 16));
}

void build_wav_header(uint8_t header[WAV_HEADER_SIZE], uint64_t frames) {
    uint32_t data_size = (uint32_t)(frames * WAV_BYTES_PER_FRAME);
    std::memcpy(header, "RIFF", 4);
    put_u32(header + 4, data_size + 36);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    put_u32(header + 16, 16);
    put_u16(header + 20, 3);  // IEEE float
    put_u16(header + 22, 2);
    put_u32(header + 24, 48000);
    put_u32(header + 28, 48000 * WAV_BYTES_PER_FRAME);
    put_u16(header + 32, WAV_BYTES_PER_FRAME);
    put_u16(header + 34, 32);
    std::memcpy(header + 36, "data", 4);
    put_u32(header + 40, data_size);
}

// Renders blocks until one comes back short. 1 when every byte was written.
static uint8_t write_frames(std::FILE* file, tamsel::Renderer* renderer, uint64_t* frames) {
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
        if (std::fwrite(write_buffer, WAV_BYTES_PER_FRAME, gathered, file) != gathered) return 0;
        total += gathered;
    }
    *frames = total;
    return 1;
}

static uint8_t write_file(std::FILE* file, tamsel::Renderer* renderer, uint64_t* frames) {
    uint8_t header[WAV_HEADER_SIZE];
    if (std::fseek(file, WAV_HEADER_SIZE, SEEK_SET) != 0) return 0;
    if (!write_frames(file, renderer, frames)) return 0;
    build_wav_header(header, *frames);
    if (std::fseek(file, 0, SEEK_SET) != 0) return 0;
    return std::fwrite(header, 1, WAV_HEADER_SIZE, file) == WAV_HEADER_SIZE;
}

uint8_t write_wav_render(const char* path, tamsel::Renderer* renderer, uint64_t* frames) {
    std::FILE* file = std::fopen(path, "wb");
    if (!file) return 0;
    uint8_t written = write_file(file, renderer, frames);
    // Closing flushes the last bytes, so its failure is a failed write too.
    uint8_t closed = std::fclose(file) == 0;
    if (written && closed) return 1;
    std::remove(path);
    return 0;
}
