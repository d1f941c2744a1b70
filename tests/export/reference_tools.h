// Other programs that read what the tool writes: the formats' reference
// decoders and the tag readers, run through the shell (POSIX only).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

// Whether the shell finds the command.
bool have_command(const std::string& name);
// The word quoted for the shell.
std::string shell_quoted(const std::string& word);
// Runs the command line; its exit code and, in *out, its standard output.
int run_command(const std::string& line, std::string* out = nullptr);

// A format's reference decoder: the program and its command line.
struct ReferenceDecoder {
    const char* format;     // -f
    const char* extension;  // of the file the tool names
    const char* program;
    const char* command;  // %IN% decoded to %OUT%, a WAV file
};
// flac, flac24, ogg, opus and mp3, in that order.
extern const ReferenceDecoder REFERENCE_DECODERS[5];
// The decoder's exit code for in, written to out.
int decode(const ReferenceDecoder& decoder, const std::string& in, const std::string& out);

// What mediainfo shows as the file's title and performer: "title|artist".
std::string title_and_artist(const std::string& file);

// The sample frames of a 16-, 24- or 32-bit PCM WAV file (any chunk
// order, WAVE_FORMAT_EXTENSIBLE too); -1 when it is no such file.
int64_t wav_frame_count(const std::vector<uint8_t>& bytes);
// The largest magnitude of a 16-bit PCM WAV file's samples, in steps
// (32768 is full scale); -1 when it is no such file.
int32_t wav16_peak(const std::vector<uint8_t>& bytes);

// A WAV file's RIFF size, where its data is and the one loop of its smpl
// chunk, read by walking its chunks.
struct WavChunks {
    size_t riff_size = 0;
    size_t data = 0, data_size = 0;  // where the data's bytes start, and how many
    bool has_loop = false;
    uint32_t loops = 0, loop_type = 0, loop_start = 0, loop_end = 0;
};
WavChunks read_wav_chunks(const std::vector<uint8_t>& bytes);
// Whether a WAV file holds frames [0, end) of frame_bytes each, a RIFF size
// that matches its length and in its smpl chunk the one forward loop over
// frames [start, end); the chunks it read in *chunks.
testing::AssertionResult holds_wav_loop(const std::vector<uint8_t>& bytes, uint32_t frame_bytes, uint64_t start,
                                        uint64_t end, WavChunks* chunks = nullptr);

// Skips the running test when a program it needs is missing.
#define NEED_COMMAND(name)                                                                         \
    do {                                                                                           \
        if (!have_command(name)) GTEST_SKIP() << "needs " << (name) << ", which is not installed"; \
    } while (0)
