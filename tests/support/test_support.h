// Helpers shared by the tests: song files built in memory, engines to play
// them, temporary files and runs of the built tool.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <memory>

#include "engine/renderer.h"
#include "song/song.h"

// A song file under construction; fields are written at their file offsets.
struct SongFile {
    std::vector<uint8_t> bytes;
    int32_t records;  // records per track as laid out in bytes
};

// A song with the magic, the given wait, repeat points and record count,
// silent instruments (length 0) and every record word 0.
SongFile make_song(uint32_t wait, int32_t repeat_start, int32_t repeat_end, int32_t records);
void set_u32(SongFile* song, uint32_t offset, uint32_t value);
void set_record(SongFile* song, int32_t track, int32_t record, uint32_t word);
// Sets instrument i's octave, length, volume, waveform and envelope.
void set_instrument(SongFile* song, int32_t i, uint8_t octave, int32_t length, int32_t volume,
                    const int8_t waveform[256], const uint8_t envelope[64]);

// Writes bytes to a fresh file in the test's temporary folder; returns its path.
std::string write_temp_file(const std::string& name, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> read_file(const std::string& path);

// A song loaded from bytes and a renderer started on it the way the library
// starts one: clock at 0, first step forced.
struct RendererRelease {
    void operator()(tamsel::core::Renderer* renderer) const {
        tamsel::core::renderer_release(renderer);
        delete renderer;
    }
};
struct Engine {
    std::unique_ptr<tamsel::core::Song> song;  // holds pointers into itself: kept on the heap
    std::unique_ptr<tamsel::core::Renderer, RendererRelease> renderer;
};
// Null members when the bytes are not a song.
Engine start_engine(const std::vector<uint8_t>& bytes, int32_t loops, double timer_ms);
// Renders to the end, or max_frames, in blocks of 1024 frames.
std::vector<float> render_to_end(tamsel::core::Renderer* renderer, uint64_t max_frames);

// The eight lines every run of the tool prints first.
const std::string& usage_text();

struct ToolRun {
    std::string out;  // standard output and standard error
    int code;         // exit code, or -1 when the tool did not exit
};

// Runs the built tool in dir with the given arguments (shell syntax).
ToolRun run_tool(const std::string& dir, const std::string& arguments);

// A random but valid song for comparisons: loops, glides from pan changes,
// restarts within a flush, one-shot ends, short and long notes, several
// tick periods. The same seed always gives the same song.
struct GeneratedSong {
    SongFile file;
    int32_t loops;
    double timer_ms;
};
GeneratedSong generated_song(uint32_t seed);

// FNV-1a over bytes: a compact fingerprint for recorded renders.
uint64_t fnv1a(const void* bytes, size_t size);
