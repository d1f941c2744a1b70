// The positional form's output: a RIFF/WAVE file of 48000 Hz stereo 32-bit
// float frames behind a 44-byte header.
#pragma once

#include <cstdint>

#include "tamsel/tamsel.hpp"

constexpr uint32_t WAV_HEADER_SIZE = 44;
constexpr uint32_t WAV_BYTES_PER_FRAME = 8;
// Frames asked of the renderer per call.
constexpr uint32_t RENDER_BLOCK_FRAMES = 1024;

// Writes the header for a file holding frames frames (which must fit the
// 32-bit size fields).
void build_wav_header(uint8_t header[WAV_HEADER_SIZE], uint64_t frames);

// Renders the whole song into path, replacing any file there only once the
// new one is complete (see cli/output_file.h). Returns 1 with *frames set on
// success. On any failure to create, write, seek, close or rename, the
// incomplete file is removed, any old file at path is kept, and 0 returned.
uint8_t write_wav_render(const char* path, tamsel::Renderer* renderer, uint64_t* frames);
