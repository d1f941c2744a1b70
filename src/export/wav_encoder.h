// WAV files written by this module itself, byte for byte: 32-bit float (the
// default, and the positional form's files) and 16- or 24-bit integer PCM.
// Each has a 44-byte header that holds the frame count, which is known
// before the first sample, so the file streams to a pipe in one pass.
// Samples are made straight into the output's own buffer where it lends one
// (see ByteWriter::reserve), so they are not copied on their way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "common/byte_writer.h"
#include "export/format_table.h"
#include "tamsel/tamsel.hpp"

constexpr uint32_t WAV_HEADER_BYTES = 44;

// Bytes per stereo frame of the depth: 8, 4 or 6.
constexpr uint32_t wav_bytes_per_frame(SampleDepth depth) {
    return depth == SampleDepth::INT16 ? 4 : depth == SampleDepth::INT24 ? 6 : 8;
}
// Most frames whose data still fits the 32-bit size fields of the header
// (the RIFF size field holds the data size plus 36, plus after_data bytes
// of chunks that follow the data).
constexpr uint64_t wav_max_frames(SampleDepth depth, uint32_t after_data = 0) {
    return (uint64_t)(UINT32_MAX - 36u - after_data) / wav_bytes_per_frame(depth);
}
// The header for a file of frames frames (at most wav_max_frames(depth)),
// followed by after_data bytes of chunks after the data (which the RIFF
// size counts, so the file still streams).
void build_wav_header(SampleDepth depth, uint64_t frames, uint8_t header[WAV_HEADER_BYTES], uint32_t after_data = 0);

// Makes count interleaved stereo frames at out, the first of them frame
// first of the write (counting from 0).
using FloatFrameMaker = std::function<void(float* out, size_t first, size_t count)>;

class WavEncoder {
public:
    WavEncoder(SampleDepth depth, ByteWriter* out);
    // Writes the header; with a loop, the file gets a smpl chunk after the
    // data (see loop_tags.h), written by finish. False on a failed write.
    bool begin(uint64_t frames, const tamsel::Loop* loop = nullptr);
    // Writes frames float frames (FLOAT32 only) that make makes in place.
    bool write_float(size_t frames, const FloatFrameMaker& make);
    // Integers within the depth's range: -32768..32767 or -2^23..2^23-1.
    bool write_int(const int32_t* samples, size_t frames);
    // Writes what follows the data. False on a failed write.
    bool finish();

private:
    SampleDepth depth_;
    ByteWriter* out_;
    bool looped_ = false;
    tamsel::Loop loop_ = {};
};

// Writes the whole of renderer's render, frames frames from where it stands
// (its length, at most TAMSEL_WAV_MAX_FRAMES), as a 32-bit float WAV file:
// the header, then the samples, each exactly what tamsel_render_float gives.
// Silence stands in should the render end early. False on a failed write.
bool write_render_as_wav(tamsel::Renderer* renderer, uint64_t frames, ByteWriter* out);
