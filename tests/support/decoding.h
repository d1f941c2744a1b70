// Audio read back: files decoded by libsndfile (or, without it, the WAV
// files the export module writes), the samples of WAV files made here, and
// their loudness.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/audio_render.h"

// A file decoded by libsndfile: its frames and interleaved samples.
struct Decoded {
    bool ok = false;
    int64_t frames = 0;
    int32_t channels = 0;
    int32_t samplerate = 0;
    int32_t format = 0;
    std::vector<float> floats;  // full scale +-1.0
    std::vector<int32_t> ints;  // libsndfile's 32-bit integers
    std::string title, artist, software;
};
// Through libsndfile, or without it the WAV files of the export module only.
Decoded decode_bytes(const std::vector<uint8_t>& bytes);
// Whether this build writes format (WAV always; the rest need libsndfile).
bool can_write(OutputFormat format);

// The float samples of a 32-bit float WAV file made by the export module
// (its data chunk only, without a loop's chunk after it).
std::vector<float> wav_float_samples(const std::vector<uint8_t>& bytes);
// The integers of a 16- or 24-bit WAV file made by the export module.
std::vector<int32_t> wav_int_samples(const std::vector<uint8_t>& bytes, uint32_t bytes_per_sample);

double rms_of(const std::vector<float>& samples, size_t first, size_t count);
