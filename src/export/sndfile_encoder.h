// FLAC, Ogg Vorbis, Opus and MP3 through libsndfile, written through a
// ByteWriter with libsndfile's virtual I/O. Builds without libsndfile keep
// the declarations; every format then reports itself unavailable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/byte_writer.h"
#include "export/format_table.h"

// True when the linked libsndfile can write format (one of the formats
// above); otherwise why gets one line saying what is missing.
bool sndfile_can_write(OutputFormat format, std::string* why);

struct SndfileTags {
    std::string title;
    std::string artist;                 // empty: none
    std::string software;               // "tamselexport 1.5.0"
    std::vector<std::string> comments;  // "KEY=value": Vorbis comments, or TXXX frames in MP3
};

struct SndfileState;

class SndfileEncoder {
public:
    explicit SndfileEncoder(ByteWriter* out);
    ~SndfileEncoder();
    SndfileEncoder(const SndfileEncoder&) = delete;
    SndfileEncoder& operator=(const SndfileEncoder&) = delete;

    // Opens the encoder for a stream of frames frames, sets the quality
    // (0..10, -1 for the format's default) and writes the tags. False with
    // error set on failure.
    bool begin(OutputFormat format, int quality, const SndfileTags& tags, uint64_t frames, std::string* error);
    // Interleaved stereo floats, full scale +-1.0 (the lossy formats).
    bool write_float(const float* samples, size_t frames, std::string* error);
    // Integers at the format's depth: -32768..32767 for flac, 24 bits for
    // flac24. They reach the file unchanged.
    bool write_int(const int32_t* samples, size_t frames, std::string* error);
    // Flushes and closes the stream. False with error set when the last
    // bytes could not be written.
    bool finish(std::string* error);

private:
    // Unused in builds without libsndfile.
    [[maybe_unused]] SndfileState* state_;
};
