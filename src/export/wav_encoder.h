// WAV files written by this module itself, byte for byte: 32-bit float (the
// default, the positional form's exact layout) and 16- or 24-bit integer
// PCM. Each has a 44-byte header that holds the frame count, which is known
// before the first sample, so the file streams to a pipe in one pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/byte_writer.h"

constexpr uint32_t WAV_HEADER_BYTES = 44;

enum class WavSampleKind { FLOAT32, PCM16, PCM24 };

// Bytes per stereo frame of the kind: 8, 4 or 6.
uint32_t wav_bytes_per_frame(WavSampleKind kind);
// Most frames whose data still fits the 32-bit size fields of the header.
uint64_t wav_max_frames(WavSampleKind kind);
// The header for a file of frames frames (at most wav_max_frames(kind)).
void build_wav_header(WavSampleKind kind, uint64_t frames, uint8_t header[WAV_HEADER_BYTES]);

// Packs interleaved samples as little-endian bytes and writes them.
class WavEncoder {
public:
    WavEncoder(WavSampleKind kind, ByteWriter* out);
    // Writes the header. False on a failed write.
    bool begin(uint64_t frames);
    // floats: 2 * frames values (FLOAT32 only).
    bool write_float(const float* samples, size_t frames);
    // Integers within the kind's range: -32768..32767 or -2^23..2^23-1.
    bool write_int(const int32_t* samples, size_t frames);

private:
    WavSampleKind kind_;
    ByteWriter* out_;
    std::vector<uint8_t> bytes_;
};
