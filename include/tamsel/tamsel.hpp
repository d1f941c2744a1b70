// tamsel.hpp: the C++ face of tamsel.h.
//
// RAII owners for songs and renderers over the C API, with the same
// contracts (see tamsel.h for each function's): a null pointer gives
// TAMSEL_ERR_INVALID_ARGUMENT, and results are written only on TAMSEL_OK.
// Errors are values here too: nothing throws (every member is noexcept; a
// vector that cannot be allocated gives TAMSEL_ERR_NO_MEMORY); a function
// that can fail returns a tamsel::Status, and an object that failed to load
// or create stays empty (false in a condition). Needs C++14 or later (tamsel.h alone
// is C99, and C++98).
//
//     tamsel::Song song;
//     tamsel::Status s = song.load_file("demo.tsm");
//     if (s != TAMSEL_OK) fail(tamsel::message(s));
//     tamsel::Renderer renderer;
//     if (renderer.create(song, tamsel::RenderOptions()) != TAMSEL_OK) ...
//     std::vector<float> block(2 * 1024);
//     while (size_t got = renderer.render_float(block.data(), 1024)) ... use got frames ...
#pragma once

#if (defined(_MSVC_LANG) ? _MSVC_LANG : __cplusplus) < 201402L
#error "tamsel.hpp needs C++14 or later; tamsel.h alone works from C99 and C++98"
#endif

#include <array>
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "tamsel/tamsel.h"

namespace tamsel {

using Status = tamsel_status;
using SongInfo = tamsel_song_info;
using InstrumentInfo = tamsel_instrument_info;
using PlayState = tamsel_play_state;
using Loop = tamsel_loop;

// RenderOptions::loops for a render that plays on for ever.
constexpr int32_t LOOPS_FOREVER = TAMSEL_LOOPS_FOREVER;

inline const char* message(Status status) noexcept {
    return tamsel_status_message(status);
}
inline const char* version() noexcept {
    return tamsel_version();
}

namespace detail {
// Fills *out with count copies of Sample(0), or gives TAMSEL_ERR_NO_MEMORY
// when that cannot be allocated; *out is left as it was then.
template <typename Sample>
Status make_vector(size_t count, std::vector<Sample>* out) noexcept {
#if defined(__cpp_exceptions) || defined(__EXCEPTIONS) || defined(_CPPUNWIND)
    try {
        std::vector<Sample>(count, Sample(0)).swap(*out);
    } catch (...) {
        return TAMSEL_ERR_NO_MEMORY;
    }
#else
    if (count > out->max_size()) return TAMSEL_ERR_NO_MEMORY;
    std::vector<Sample>(count, Sample(0)).swap(*out);
#endif
    return TAMSEL_OK;
}
}  // namespace detail

// Loops 0, tick 20 ms, nothing muted, until changed.
struct RenderOptions : tamsel_render_options {
    RenderOptions() noexcept : tamsel_render_options() { tamsel_render_options_init(this); }
};

// A loaded song: immutable, movable, shared by the renderers made from it
// (each holds its own reference, so the Song may go before them).
class Song {
public:
    Song() = default;
    Song(const Song&) = delete;
    Song& operator=(const Song&) = delete;
    Song(Song&& other) noexcept : song_(std::exchange(other.song_, nullptr)) {}
    Song& operator=(Song&& other) noexcept {
        if (this != &other) {
            tamsel_song_free(song_);
            song_ = std::exchange(other.song_, nullptr);
        }
        return *this;
    }
    ~Song() { tamsel_song_free(song_); }

    // Replaces what this holds with the loaded song; on failure it is empty.
    Status load_file(const char* path) noexcept { return adopt(tamsel_song_load_file(path, &loaded_)); }
    Status load_file(const std::string& path) noexcept { return load_file(path.c_str()); }
    Status load_memory(const void* bytes, size_t size) noexcept {
        return adopt(tamsel_song_load_memory(bytes, size, &loaded_));
    }

    explicit operator bool() const noexcept { return song_ != nullptr; }
    const tamsel_song* get() const noexcept { return song_; }

    SongInfo info() const noexcept {
        SongInfo info{};
        tamsel_song_get_info(song_, &info);
        return info;
    }
    uint32_t tracks_with_notes() const noexcept { return tamsel_song_tracks_with_notes(song_); }
    // Instrument i's (0..2) waveform and envelope, for drawing.
    Status instrument_shape(int instrument, int8_t waveform[256], uint8_t envelope[64]) const noexcept {
        return tamsel_song_get_instrument_shape(song_, instrument, waveform, envelope);
    }

private:
    Status adopt(Status status) noexcept {
        tamsel_song_free(song_);
        song_ = status == TAMSEL_OK ? loaded_ : nullptr;
        loaded_ = nullptr;
        return status;
    }
    tamsel_song* song_ = nullptr;
    tamsel_song* loaded_ = nullptr;
};

// One render of a song; used by one thread at a time.
class Renderer {
public:
    Renderer() = default;
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;
    Renderer(Renderer&& other) noexcept : renderer_(std::exchange(other.renderer_, nullptr)) {}
    Renderer& operator=(Renderer&& other) noexcept {
        if (this != &other) {
            tamsel_renderer_free(renderer_);
            renderer_ = std::exchange(other.renderer_, nullptr);
        }
        return *this;
    }
    ~Renderer() { tamsel_renderer_free(renderer_); }

    // Replaces what this holds with a new renderer; on failure it is empty.
    Status create(const Song& song, const RenderOptions& options = RenderOptions()) noexcept {
        tamsel_renderer_free(renderer_);
        renderer_ = nullptr;
        return tamsel_renderer_create(song.get(), &options, &renderer_);
    }

    explicit operator bool() const noexcept { return renderer_ != nullptr; }
    tamsel_renderer* get() const noexcept { return renderer_; }

    // Every allocation rendering would make, done now (see tamsel_renderer_prepare).
    Status prepare() noexcept { return tamsel_renderer_prepare(renderer_); }
    Status length(uint64_t limit, uint64_t* frames) const noexcept {
        return tamsel_renderer_length(renderer_, limit, frames);
    }
    // The length, or why there is none: TAMSEL_ERR_NEVER_ENDS apart from
    // TAMSEL_ERR_TOO_LONG (see tamsel_renderer_measure).
    Status measure(uint64_t limit, uint64_t* frames) const noexcept {
        return tamsel_renderer_measure(renderer_, limit, frames);
    }
    // The loop points up to the end of the render (see tamsel_renderer_wraps);
    // *frames is replaced only on TAMSEL_OK.
    Status wraps(uint64_t limit, std::vector<uint64_t>* frames) const noexcept {
        if (!frames) return TAMSEL_ERR_INVALID_ARGUMENT;
        size_t count = 0;
        Status status = tamsel_renderer_wraps(renderer_, limit, nullptr, 0, &count);
        if (status != TAMSEL_OK) return status;
        std::vector<uint64_t> found;
        status = detail::make_vector(count, &found);
        if (status != TAMSEL_OK) return status;
        status = tamsel_renderer_wraps(renderer_, limit, found.data(), found.size(), &count);
        if (status == TAMSEL_OK) frames->swap(found);
        return status;
    }
    size_t render_float(float* out, size_t frames) noexcept { return tamsel_render_float(renderer_, out, frames); }
    size_t render_int32(int32_t* out, size_t frames) noexcept { return tamsel_render_int32(renderer_, out, frames); }
    size_t render_int16(int16_t* out, size_t frames) noexcept { return tamsel_render_int16(renderer_, out, frames); }
    Status seek(uint64_t frame) noexcept { return tamsel_renderer_seek(renderer_, frame); }
    uint64_t position() const noexcept { return tamsel_renderer_position(renderer_); }
    // What is playing now (see tamsel_renderer_get_state); *state is written only on TAMSEL_OK.
    Status state(PlayState* state) const noexcept { return tamsel_renderer_get_state(renderer_, state); }
    Status set_muted_tracks(uint32_t muted) noexcept { return tamsel_renderer_set_muted_tracks(renderer_, muted); }
    // 0..200 %, 100 the render itself (see tamsel_renderer_set_stereo_width).
    Status set_stereo_width(int32_t percent) noexcept { return tamsel_renderer_set_stereo_width(renderer_, percent); }
    // Per-track peaks of the latest render call, once measuring is on (see
    // tamsel_renderer_measure_track_levels); *peaks is written only on TAMSEL_OK.
    Status measure_track_levels(bool enable) noexcept {
        return tamsel_renderer_measure_track_levels(renderer_, enable ? 1 : 0);
    }
    Status track_levels(std::array<uint32_t, TAMSEL_TRACK_COUNT>* peaks) const noexcept {
        if (!peaks) return TAMSEL_ERR_INVALID_ARGUMENT;
        return tamsel_renderer_get_track_levels(renderer_, peaks->data());
    }
    // The seamless loop: S, E and X (see tamsel_renderer_find_loop), and its
    // crossfaded tail of X frames, resized to fit; *tail and *difference_db
    // (which may be null) are replaced only on TAMSEL_OK.
    Status find_loop(uint64_t limit, Loop* loop) const noexcept {
        return tamsel_renderer_find_loop(renderer_, limit, loop);
    }
    Status loop_tail_int32(const Loop& loop, std::vector<int32_t>* tail, double* difference_db = nullptr) noexcept {
        return loop_tail(loop, tail, difference_db, tamsel_renderer_loop_tail_int32);
    }
    Status loop_tail_float(const Loop& loop, std::vector<float>* tail, double* difference_db = nullptr) noexcept {
        return loop_tail(loop, tail, difference_db, tamsel_renderer_loop_tail_float);
    }

private:
    // Made into a buffer of the longest crossfade first, so the C call
    // refuses a bad loop before anything is allocated for it.
    template <typename Sample, typename Make>
    Status loop_tail(const Loop& loop, std::vector<Sample>* tail, double* difference_db, Make make) noexcept {
        if (!tail) return TAMSEL_ERR_INVALID_ARGUMENT;
        if (loop.crossfade > TAMSEL_LOOP_CROSSFADE_FRAMES) return make(renderer_, &loop, nullptr, nullptr);
        std::array<Sample, 2 * TAMSEL_LOOP_CROSSFADE_FRAMES> made;
        double difference = 0.0;
        Status status = make(renderer_, &loop, made.data(), &difference);
        if (status != TAMSEL_OK) return status;
        std::vector<Sample> copy;
        status = detail::make_vector(2 * (size_t)loop.crossfade, &copy);
        if (status != TAMSEL_OK) return status;
        for (size_t i = 0; i < copy.size(); i++) copy[i] = made[i];
        tail->swap(copy);
        if (difference_db) *difference_db = difference;
        return status;
    }
    tamsel_renderer* renderer_ = nullptr;
};

}  // namespace tamsel
