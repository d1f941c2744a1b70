// The software tag of the formats that keep their tags as Vorbis comments
// (FLAC, Vorbis, Opus): libsndfile writes SOFTWARE with its own name after
// ours, and Vorbis files get ENCODER=libsndfile too. Every file gets one
// ENCODER comment instead, the software's name and version and no more, as
// MP3 files get one TSSE frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The comment list at list (vendor string, count, comments, little-endian
// lengths) with every ENCODER and SOFTWARE comment dropped and
// ENCODER=software added, then each of extra ("KEY=value", the loop points
// of a loopable file). *used gets the bytes of the old list; false when
// they do not hold a whole list.
bool with_encoder_comment(const uint8_t* list, size_t size, const std::string& software,
                          const std::vector<std::string>& extra, std::vector<uint8_t>* out, size_t* used);
