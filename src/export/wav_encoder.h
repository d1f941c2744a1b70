// WAV files written by this module itself, byte for byte: 32-bit float (the
// default, the positional form's exact layout) and 16- or 24-bit integer
// PCM. Each has a 44-byte header that holds the frame count, which is known
// before the first sample, so the file streams to a pipe in one pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/byte_writer.h"
#include "export/format_table.h"

constexpr uint32_t WAV_HEADER_BYTES = 44;

// Bytes per stereo frame of the depth: 8, 4 or 6.
constexpr uint32_t wav_bytes_per_frame(SampleDepth depth) {
    return depth == SampleDepth::INT16 ? 4 : depth == SampleDepth::INT24 ? 6 : 8;
}
// Most frames whose data still fits the 32-bit size fields of the header
// (the RIFF size field holds the data size plus 36).
constexpr uint64_t wav_max_frames(SampleDepth depth) {
    return (uint64_t)(UINT32_MAX - 36u) / wav_bytes_per_frame(depth);
}
// The header for a file of frames frames (at most wav_max_frames(depth)).
void build_wav_header(SampleDepth depth, uint64_t frames, uint8_t header[WAV_HEADER_BYTES]);

// Packs interleaved samples as little-endian bytes and writes them.
class WavEncoder {
public:
    WavEncoder(SampleDepth depth, ByteWriter* out);
    // Writes the header. False on a failed write.
    bool begin(uint64_t frames);
    // floats: 2 * frames values (FLOAT32 only).
    bool write_float(const float* samples, size_t frames);
    // Integers within the depth's range: -32768..32767 or -2^23..2^23-1.
    bool write_int(const int32_t* samples, size_t frames);

private:
    SampleDepth depth_;
    ByteWriter* out_;
    std::vector<uint8_t> bytes_;
};
