// libFuzzer target: any bytes as a song file, rendered for a fifth of a
// second through the engine's own renderer.
//
// Input: the control bytes of fuzz_support.h, then the song. The flags
// choose the inner mixing loop (bits 0-1: the best, scalar, AVX2, AVX-512)
// so that every loop the machine has is compared with the per-frame one.
//
// Besides what the sanitizers catch, every input checks facts that hold for
// any song: the loader accepts exactly the files that start with "TSM" and
// holds exactly the records the file has at their places; the measured
// length and loop points agree with the render; the block renderer gives
// the same bits as the plain per-frame loop; a seek, forwards or back,
// yields exactly the frames a render from the start yields there; and the
// integer sums are the float samples times 32768.
#include <cstdint>
#include <cstring>

#include "engine/render_length.h"
#include "engine/renderer.h"
#include "fuzz_support.h"
#include "song/song.h"
#include "song/song_open.h"

using namespace tamsel::core;

// A fifth of a second per input, rendered in blocks of uneven sizes so that
// segments start and end everywhere. The per-frame loop, which asks all 512
// slots every frame, costs most: it redoes only the first REFERENCE_FRAMES
// and SEEK_REFERENCE_FRAMES after the forward seek.
static constexpr uint64_t WINDOW_FRAMES = 9600;
static constexpr uint64_t REFERENCE_FRAMES = 512;
static constexpr uint64_t SEEK_FRAMES = 512;
static constexpr uint64_t SEEK_REFERENCE_FRAMES = 256;
static constexpr uint64_t BLOCK_SIZES[4] = {1000, 1, 2049, 333};
static constexpr size_t MAX_WRAPS = 64;

struct WrapLog {
    uint64_t frames[MAX_WRAPS];
    size_t count;
};

// The song is large; it lives for the whole run. The renderers are made for
// each input, keep the samples they have made across restarts on its song,
// and are deleted after it, before the next song is loaded in the same
// place.
static Song song;
static Renderer* renderer;
static Renderer* other;
static float window[2 * WINDOW_FRAMES];
static float block[2 * REFERENCE_FRAMES];
static int32_t sums[2 * SEEK_FRAMES];

static SteadyMixPath mix_path_from_flags(uint8_t flags) {
    static const SteadyMixPath PATHS[4] = {STEADY_MIX_BEST, STEADY_MIX_SCALAR, STEADY_MIX_AVX2, STEADY_MIX_AVX512};
    SteadyMixPath path = PATHS[flags & 3u];
    if (path == STEADY_MIX_BEST || !steady_mix_path_available(path)) return best_steady_mix_path();
    return path;
}

static void start(Renderer* r, const Controls* c) {
    renderer_set_mix_path(r, mix_path_from_flags(c->flags));
    renderer_set_muted_tracks(r, c->muted);
    renderer_start(r, &song, c->loops, c->tick_ms);
}

static void check_loaded_records(const uint8_t* bytes, size_t size) {
    FUZZ_CHECK(song.loaded_records == records_held(song.record_count));
    for (int32_t t = 0; t < TRACK_COUNT; t++) {
        for (int32_t r = 0; r < song.loaded_records; r++) {
            FUZZ_CHECK(song.records[t][r] == record_in_file(bytes, size, t, r));
        }
    }
}

static void log_wrap(void* context, uint64_t frame) {
    WrapLog* log = (WrapLog*)context;
    if (log->count < MAX_WRAPS) log->frames[log->count] = frame;
    log->count++;
}

// The length within the window, or WINDOW_FRAMES + 1 when the render is
// longer; the loop points are listed in order, before the end, at most one
// per extra pass.
static uint64_t measure_window(const Controls* c) {
    uint64_t frames = 0;
    WrapLog log = {{0}, 0};
    bool ends = measure_render_length(renderer, WINDOW_FRAMES, &frames, log_wrap, &log) == RenderLength::MEASURED;
    uint64_t length = ends ? frames : WINDOW_FRAMES + 1;
    FUZZ_CHECK(!ends || frames <= WINDOW_FRAMES);
    FUZZ_CHECK(log.count <= (uint64_t)(c->loops < 0 ? 0 : c->loops));
    for (size_t i = 0; i < log.count && i < MAX_WRAPS; i++) {
        FUZZ_CHECK(log.frames[i] <= length);
        if (i > 0) FUZZ_CHECK(log.frames[i] >= log.frames[i - 1]);
    }
    return length;
}

// Renders the window in uneven blocks; the render stops exactly where the
// measurement said, and yields nothing more after its end.
static uint64_t render_window(uint64_t length) {
    uint64_t total = 0;
    for (uint32_t b = 0; total < WINDOW_FRAMES; b++) {
        uint64_t want = BLOCK_SIZES[b % 4];
        if (want > WINDOW_FRAMES - total) want = WINDOW_FRAMES - total;
        uint64_t got = renderer_render_float(renderer, window + 2 * total, want);
        FUZZ_CHECK(got <= want);
        total += got;
        FUZZ_CHECK(renderer_position(renderer) == total);
        if (got < want) break;
    }
    FUZZ_CHECK(length > WINDOW_FRAMES ? total == WINDOW_FRAMES : total == length);
    if (total < WINDOW_FRAMES) FUZZ_CHECK(renderer_render_float(renderer, block, 16) == 0);
    return total;
}

static void compare_floats(const float* a, const float* b, uint64_t frames) {
    FUZZ_CHECK(std::memcmp(a, b, 2 * (size_t)frames * sizeof(float)) == 0);
}

// The per-frame loop from frame 0 gives the same bits.
static void compare_reference_from_start(const Controls* c, uint64_t rendered) {
    start(other, c);
    uint64_t want = rendered < REFERENCE_FRAMES ? rendered + 1 : REFERENCE_FRAMES;
    uint64_t got = renderer_render_reference(other, block, want);
    FUZZ_CHECK(got == (rendered < REFERENCE_FRAMES ? rendered : REFERENCE_FRAMES));
    compare_floats(block, window, got);
}

// The per-frame loop goes on from a seek to frame, unless the seek ended
// on a half-taken step, which only the block renderer resumes. The main
// renderer, done with its window, is restarted for it.
static void compare_reference_after_seek(const Controls* c, uint64_t frame, uint64_t want) {
    start(renderer, c);
    renderer_seek(renderer, frame);
    if (renderer->step_pending) return;
    if (want > SEEK_REFERENCE_FRAMES) want = SEEK_REFERENCE_FRAMES;
    uint64_t got = renderer_render_reference(renderer, block, want);
    FUZZ_CHECK(got == want);
    compare_floats(block, window + 2 * frame, got);
}

// After a seek to frame, the integer sums give the window's floats, and,
// when asked, so does the per-frame loop.
static void check_seek(const Controls* c, uint64_t frame, uint64_t rendered, bool with_reference) {
    renderer_seek(other, frame);
    FUZZ_CHECK(renderer_position(other) == (frame < rendered ? frame : rendered));
    if (frame >= rendered) return;
    uint64_t want = rendered - frame < SEEK_FRAMES ? rendered - frame : SEEK_FRAMES;
    if (with_reference) compare_reference_after_seek(c, frame, want);
    uint64_t got = renderer_render_sums(other, sums, want);
    FUZZ_CHECK(got == want);
    for (uint64_t i = 0; i < 2 * got; i++) {
        float expected = window[2 * frame + i];
        float from_sum = (float)((double)sums[i] / 32768.0);
        FUZZ_CHECK(std::memcmp(&expected, &from_sum, sizeof expected) == 0);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < CONTROL_BYTES) return -1;
    Controls c = read_controls(data);
    if (!tick_is_valid(c.tick_ms)) return -1;
    const uint8_t* bytes = data + CONTROL_BYTES;
    size_t song_size = size - CONTROL_BYTES;
    SongOpen loaded = open_song_memory(bytes, song_size, &song);
    FUZZ_CHECK((loaded == SongOpen::LOADED) == starts_with_tag(bytes, song_size));
    if (loaded != SongOpen::LOADED) return 0;
    check_loaded_records(bytes, song_size);
    renderer = renderer_new(&song, c.loops, c.tick_ms);
    other = renderer_new(&song, c.loops, c.tick_ms);
    FUZZ_CHECK(renderer && other);

    start(renderer, &c);
    uint64_t length = measure_window(&c);
    uint64_t rendered = render_window(length);
    compare_reference_from_start(&c, rendered);

    // A seek forwards from the reference's end, then one back.
    uint64_t forward = c.seek_frame % (WINDOW_FRAMES + 1);
    check_seek(&c, forward, rendered, true);
    check_seek(&c, c.count % (forward + 1), rendered, false);
    // What an input allocates it frees, or libFuzzer runs it again to look
    // for a leak.
    renderer_delete(renderer);
    renderer_delete(other);
    return 0;
}
