// Helpers of the audio tests: outputs kept in memory (seekable or a pipe,
// failing on demand), decoding through libsndfile, and test songs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/audio_render.h"
#include "common/byte_writer.h"
#include "tamsel/tamsel.hpp"
#include "test_songs.h"

// An output in memory. A pipe refuses to seek; fail_after makes every write
// fail once that many bytes were written.
class MemoryWriter : public ByteWriter {
public:
    explicit MemoryWriter(bool seekable = true, uint64_t fail_after = UINT64_MAX)
        : seekable_(seekable), fail_after_(fail_after) {}
    bool write(const void* bytes, size_t size) override;
    bool seekable() const override { return seekable_; }
    bool seek(uint64_t offset) override;
    uint64_t tell() const override { return offset_; }

    std::vector<uint8_t> bytes;
    uint64_t seeks = 0;  // seeks that moved the offset

private:
    bool seekable_;
    uint64_t fail_after_;
    uint64_t offset_ = 0;
};

// A file decoded by libsndfile: its frames and interleaved samples.
struct Decoded {
    bool ok = false;
    int64_t frames = 0;
    int32_t channels = 0;
    int32_t samplerate = 0;
    int32_t format = 0;
    std::vector<float> floats;   // full scale +-1.0
    std::vector<int32_t> ints;   // libsndfile's 32-bit integers
    std::string title, artist, software;
};
// Through libsndfile, or without it the WAV files of this module only.
Decoded decode_bytes(const std::vector<uint8_t>& bytes);
// Whether this build writes format (WAV always; the rest need libsndfile).
bool can_write(OutputFormat format);

// Renders through render_audio into memory; fails the test on an error.
std::vector<uint8_t> render_to_bytes(const tamsel::Song& song, const tamsel::RenderOptions& options,
                                     const AudioSettings& settings, const LevelPlan& plan,
                                     AudioResult* result = nullptr);
// All of a render's integer sums, or its float samples, straight from the
// library.
std::vector<int32_t> library_sums(const tamsel::Song& song, const tamsel::RenderOptions& options);
std::vector<float> library_floats(const tamsel::Song& song, const tamsel::RenderOptions& options);
// The float samples of a 32-bit float WAV file made by this module.
std::vector<float> wav_float_samples(const std::vector<uint8_t>& bytes);
// The integers of a 16- or 24-bit WAV file made by this module.
std::vector<int32_t> wav_int_samples(const std::vector<uint8_t>& bytes, uint32_t bytes_per_sample);

double rms_of(const std::vector<float>& samples, size_t first, size_t count);
