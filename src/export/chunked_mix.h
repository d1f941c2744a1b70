// The integer sums of one render made by several threads at once: the
// render is cut into chunks of CHUNKED_MIX_FRAMES frames, thread w renders
// chunks w, w + T, w + 2T, ... with a renderer of its own (moving on between
// them with a seek, which costs far less than rendering), and the reader
// takes the chunks back in order. A seek yields exactly the frames a render
// from the start yields, so the sums are the same whatever T is.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tamsel/tamsel.hpp"

constexpr uint64_t CHUNKED_MIX_FRAMES = 65536;

// Renders frames frames of sums; past the render's end (a fade longer than
// the loops reach) they are silence.
void render_sums(tamsel::Renderer* renderer, int32_t* sums, size_t frames);

class ChunkedMix {
public:
    // Starts threads renderers of the song for options, for total frames
    // (silence past the render's end). False with error set when a renderer
    // cannot be made or a thread cannot start; nothing is left running then.
    // Every renderer plays at stereo_width.
    bool start(const tamsel::Song& song, const tamsel::RenderOptions& options, int32_t stereo_width, uint64_t total,
               size_t threads, std::string* error);
    // Stops the threads, whether or not every chunk was read.
    ~ChunkedMix();

    // The next frames frames of interleaved sums, in order; fewer only at
    // the end of the total.
    size_t read(int32_t* sums, size_t frames);

private:
    // Two chunk buffers per thread: it renders one while the reader takes
    // the other.
    struct Slot {
        std::vector<int32_t> sums;
        bool full = false;
    };
    struct Worker {
        tamsel::Renderer renderer;
        Slot slots[2];
        std::thread thread;
    };

    void run(size_t index);
    Slot& slot_of(uint64_t chunk);
    size_t frames_of(uint64_t chunk) const;
    void stop();

    std::vector<std::unique_ptr<Worker>> workers_;
    uint64_t total_ = 0;
    uint64_t chunks_ = 0;
    uint64_t reading_chunk_ = 0;  // the chunk read() takes frames from
    size_t read_in_chunk_ = 0;    // frames of it already taken

    std::mutex mutex_;
    std::condition_variable changed_;
    bool stopping_ = false;
};
