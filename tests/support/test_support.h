// Helpers shared by the tests: song files built in memory, engines to play
// them, temporary files and runs of the built tool.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <memory>

#include "engine/renderer.h"
#include "song/song.h"
#include "song_builder.h"
#include "test_songs.h"

// Writes bytes to a fresh file in the test's temporary folder; returns its path.
std::string write_temp_file(const std::string& name, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> read_file(const std::string& path);

// A song loaded from bytes and a renderer started on it the way the library
// starts one: clock at 0, first step forced.
struct RendererRelease {
    void operator()(Renderer* renderer) const {
        renderer_release(renderer);
        delete renderer;
    }
};
struct Engine {
    std::unique_ptr<Song> song;  // holds pointers into itself: kept on the heap
    std::unique_ptr<Renderer, RendererRelease> renderer;
};
// Null members when the bytes are not a song.
Engine start_engine(const std::vector<uint8_t>& bytes, int32_t loops, double timer_ms);
// Renders to the end, or max_frames, in blocks of 1024 frames.
std::vector<float> render_to_end(Renderer* renderer, uint64_t max_frames);

// The eight lines every run of the tool prints first.
const std::string& usage_text();

struct ToolRun {
    std::string out;  // standard output and standard error
    int code;         // exit code, or -1 when the tool did not exit
};

// Runs the built tool in dir with the given arguments (shell syntax).
ToolRun run_tool(const std::string& dir, const std::string& arguments);

// FNV-1a over bytes: a compact fingerprint for recorded renders.
uint64_t fnv1a(const void* bytes, size_t size);
