// How a loopable file tells players its loop: S is the loop's first frame,
// E the frame after its last (frames at 48000 Hz).
//   FLAC, Vorbis, Opus: the comments LOOPSTART=S and LOOPLENGTH=E-S (read by
//     many engines and players), and LOOP_START=S, LOOP_END=E (another
//     family of engines);
//   MP3: the same four as ID3v2 TXXX frames;
//   WAV: a smpl chunk after the data with one forward loop S .. E-1 (its
//     end is the loop's last frame, as the chunk's readers take it).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tamsel/tamsel.hpp"

// "KEY=value" for each of the four comments.
std::vector<std::string> loop_comments(const tamsel::Loop& loop);

constexpr uint32_t WAV_SMPL_CHUNK_BYTES = 68;  // 8 of chunk header, 36 of fields, 24 of the one loop

// The smpl chunk of a 48000 Hz file looping S .. E-1 for ever. S and E must
// fit 32 bits (every WAV file's frames do).
void build_smpl_chunk(const tamsel::Loop& loop, uint8_t chunk[WAV_SMPL_CHUNK_BYTES]);
