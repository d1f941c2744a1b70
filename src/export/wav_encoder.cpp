#include "export/wav_encoder.h"
#include "common/byte_order.h"

#include <bit>
#include <cstring>

static const uint16_t WAVE_FORMAT_PCM = 1;
static const uint16_t WAVE_FORMAT_IEEE_FLOAT = 3;

void build_wav_header(SampleDepth depth, uint64_t frames, uint8_t header[WAV_HEADER_BYTES]) {
    uint32_t frame_bytes = wav_bytes_per_frame(depth);
    uint32_t data_size = (uint32_t)(frames * frame_bytes);
    std::memcpy(header, "RIFF", 4);
    put_u32_le(header + 4, data_size + 36);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    put_u32_le(header + 16, 16);
    put_u16_le(header + 20, depth == SampleDepth::FLOAT32 ? WAVE_FORMAT_IEEE_FLOAT : WAVE_FORMAT_PCM);
    put_u16_le(header + 22, 2);
    put_u32_le(header + 24, 48000);
    put_u32_le(header + 28, 48000 * frame_bytes);
    put_u16_le(header + 32, (uint16_t)frame_bytes);
    put_u16_le(header + 34, (uint16_t)(8 * frame_bytes / 2));
    std::memcpy(header + 36, "data", 4);
    put_u32_le(header + 40, data_size);
}

WavEncoder::WavEncoder(SampleDepth depth, ByteWriter* out) : depth_(depth), out_(out) {}

bool WavEncoder::begin(uint64_t frames) {
    uint8_t header[WAV_HEADER_BYTES];
    build_wav_header(depth_, frames, header);
    return out_->write(header, WAV_HEADER_BYTES);
}

bool WavEncoder::write_float(const float* samples, size_t frames) {
    size_t count = 2 * frames;
    // A little-endian machine's floats are already the file's bytes.
    if constexpr (std::endian::native == std::endian::little) return out_->write(samples, 4 * count);
    bytes_.resize(4 * count);
    uint8_t* p = bytes_.data();
    for (size_t i = 0; i < count; i++) {
        uint32_t bits;
        std::memcpy(&bits, &samples[i], 4);
        put_u32_le(p + 4 * i, bits);
    }
    return out_->write(bytes_.data(), bytes_.size());
}

bool WavEncoder::write_int(const int32_t* samples, size_t frames) {
    size_t count = 2 * frames;
    uint32_t sample_bytes = wav_bytes_per_frame(depth_) / 2;
    bytes_.resize(sample_bytes * count);
    uint8_t* p = bytes_.data();
    for (size_t i = 0; i < count; i++) {
        uint32_t v = (uint32_t)samples[i];
        p[0] = (uint8_t)v;
        p[1] = (uint8_t)(v >> 8);
        if (sample_bytes == 3) p[2] = (uint8_t)(v >> 16);
        p += sample_bytes;
    }
    return out_->write(bytes_.data(), bytes_.size());
}
