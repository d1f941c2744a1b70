#include "export/wav_encoder.h"

#include <bit>
#include <cstring>

#include "common/byte_order.h"
#include "export/loop_tags.h"

using tamsel::put_u16_le;
using tamsel::put_u32_le;

static const uint16_t WAVE_FORMAT_PCM = 1;
static const uint16_t WAVE_FORMAT_IEEE_FLOAT = 3;
// Frames asked for at once: small enough that an output without a buffer
// of its own lends a modest scratch.
static const size_t CHUNK_FRAMES = 16384;
static const uint32_t MAX_FRAME_BYTES = 8;

void build_wav_header(SampleDepth depth, uint64_t frames, uint8_t header[WAV_HEADER_BYTES], uint32_t after_data) {
    uint32_t frame_bytes = wav_bytes_per_frame(depth);
    uint32_t data_size = (uint32_t)(frames * frame_bytes);
    std::memcpy(header, "RIFF", 4);
    put_u32_le(header + 4, data_size + 36 + after_data);
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

// Makes count frames of a file's bytes at out, the first of them frame first.
using ByteFrameMaker = std::function<void(uint8_t* out, size_t first, size_t count)>;

// Makes frames frames of frame_bytes each in the room the output lends. Where
// that room cannot take a whole frame, or is not aligned for the samples,
// one frame is made aside and written: it may straddle two of the output's
// buffers, whose writes then stay whole.
static bool make_frames(ByteWriter* out, uint32_t frame_bytes, uintptr_t alignment, size_t frames,
                        const ByteFrameMaker& make) {
    size_t done = 0;
    while (done < frames) {
        size_t left = frames - done;
        size_t wanted = (left < CHUNK_FRAMES ? left : CHUNK_FRAMES) * frame_bytes;
        size_t lent = 0;
        uint8_t* room = out->reserve(wanted, &lent);
        if (!room) return false;
        size_t whole = lent / frame_bytes;
        if (whole > 0 && (uintptr_t)room % alignment == 0) {
            make(room, done, whole);
            if (!out->commit_reserved(whole * frame_bytes)) return false;
            done += whole;
            continue;
        }
        alignas(8) uint8_t aside[MAX_FRAME_BYTES];
        make(aside, done, 1);
        if (!out->write(aside, frame_bytes)) return false;
        done++;
    }
    return true;
}

WavEncoder::WavEncoder(SampleDepth depth, ByteWriter* out) : depth_(depth), out_(out) {}

bool WavEncoder::begin(uint64_t frames, const tamsel::Loop* loop) {
    looped_ = loop != nullptr;
    if (loop) loop_ = *loop;
    uint8_t header[WAV_HEADER_BYTES];
    build_wav_header(depth_, frames, header, looped_ ? WAV_SMPL_CHUNK_BYTES : 0);
    return out_->write(header, WAV_HEADER_BYTES);
}

bool WavEncoder::finish() {
    if (!looped_) return true;
    uint8_t chunk[WAV_SMPL_CHUNK_BYTES];
    build_smpl_chunk(loop_, chunk);
    return out_->write(chunk, WAV_SMPL_CHUNK_BYTES);
}

// The samples' bytes in the file's order; on a little-endian machine they
// already are.
static void floats_to_little_endian(uint8_t* bytes, size_t count) {
    if constexpr (std::endian::native == std::endian::little) return;
    for (size_t i = 0; i < count; i++) {
        uint32_t bits;
        std::memcpy(&bits, bytes + 4 * i, 4);
        put_u32_le(bytes + 4 * i, bits);
    }
}

bool WavEncoder::write_float(size_t frames, const FloatFrameMaker& make) {
    return make_frames(out_, 8, alignof(float), frames, [&make](uint8_t* bytes, size_t first, size_t count) {
        make(reinterpret_cast<float*>(bytes), first, count);
        floats_to_little_endian(bytes, 2 * count);
    });
}

bool WavEncoder::write_int(const int32_t* samples, size_t frames) {
    uint32_t sample_bytes = wav_bytes_per_frame(depth_) / 2;
    return make_frames(out_, 2 * sample_bytes, 1, frames,
                       [samples, sample_bytes](uint8_t* p, size_t first, size_t count) {
                           const int32_t* from = samples + 2 * first;
                           for (size_t i = 0; i < 2 * count; i++) {
                               uint32_t v = (uint32_t)from[i];
                               p[0] = (uint8_t)v;
                               p[1] = (uint8_t)(v >> 8);
                               if (sample_bytes == 3) p[2] = (uint8_t)(v >> 16);
                               p += sample_bytes;
                           }
                       });
}

bool write_render_as_wav(tamsel::Renderer* renderer, uint64_t frames, ByteWriter* out) {
    WavEncoder wav(SampleDepth::FLOAT32, out);
    if (!wav.begin(frames)) return false;
    return wav.write_float((size_t)frames, [renderer](float* samples, size_t, size_t count) {
        size_t got = renderer->render_float(samples, count);
        if (got < count) std::memset(samples + 2 * got, 0, 2 * (count - got) * sizeof(float));
    });
}
