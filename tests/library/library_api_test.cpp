// The public C API: its contract for bad arguments, what a song reports,
// how long renders are and where they loop, and the two sample forms.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "song_builder.h"
#include "tamsel/tamsel.h"
#include "tamsel/tamsel.hpp"
#include "test_folder.h"

namespace {

tamsel_song* load(const std::vector<uint8_t>& bytes) {
    tamsel_song* song = nullptr;
    EXPECT_EQ(tamsel_song_load_memory(bytes.data(), bytes.size(), &song), TAMSEL_OK);
    return song;
}

tamsel_renderer* create(const tamsel_song* song, int32_t loops, double tick_ms, uint32_t muted = 0) {
    tamsel_render_options options;
    tamsel_render_options_init(&options);
    options.loops = loops;
    options.tick_ms = tick_ms;
    options.muted_tracks = muted;
    tamsel_renderer* renderer = nullptr;
    EXPECT_EQ(tamsel_renderer_create(song, &options, &renderer), TAMSEL_OK);
    return renderer;
}

std::vector<uint8_t> demo_bytes() {
    return read_file(std::string(TAMSEL_SOURCE_DIR) + "/examples/demo.tsm");
}

TEST(LibraryApi, StatusMessages) {
    const tamsel_status statuses[] = {TAMSEL_OK,
                                      TAMSEL_ERR_IO,
                                      TAMSEL_ERR_NOT_A_SONG,
                                      TAMSEL_ERR_NO_MEMORY,
                                      TAMSEL_ERR_TOO_LONG,
                                      TAMSEL_ERR_INVALID_ARGUMENT,
                                      TAMSEL_ERR_NO_LOOP,
                                      TAMSEL_ERR_NEVER_ENDS};
    for (tamsel_status a : statuses) {
        for (tamsel_status b : statuses) {
            if (a != b) {
                EXPECT_STRNE(tamsel_status_message(a), tamsel_status_message(b));
            }
        }
    }
    EXPECT_STREQ(tamsel_status_message((tamsel_status)99), "unknown error");
    EXPECT_STREQ(tamsel::message(TAMSEL_ERR_NEVER_ENDS), "the render never ends");
}

TEST(LibraryApi, NullPointersAndBadOptionsAreInvalidArguments) {
    tamsel_song* song = load(make_song(100, 0, 8, 8).bytes);
    tamsel_song* out = nullptr;
    EXPECT_EQ(tamsel_song_load_file(nullptr, &out), TAMSEL_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(tamsel_song_load_file("x.tsm", nullptr), TAMSEL_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(tamsel_song_load_memory(nullptr, 5, &out), TAMSEL_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(tamsel_song_load_memory("TSM", 3, nullptr), TAMSEL_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(out, nullptr);

    tamsel_renderer* renderer = nullptr;
    EXPECT_EQ(tamsel_renderer_create(nullptr, nullptr, &renderer), TAMSEL_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(tamsel_renderer_create(song, nullptr, nullptr), TAMSEL_ERR_INVALID_ARGUMENT);
    for (double tick : {-1.0, -0.0001, (double)INFINITY, (double)-INFINITY, (double)NAN}) {
        tamsel_render_options options;
        tamsel_render_options_init(&options);
        options.tick_ms = tick;
        EXPECT_EQ(tamsel_renderer_create(song, &options, &renderer), TAMSEL_ERR_INVALID_ARGUMENT) << tick;
    }
    EXPECT_EQ(renderer, nullptr);

    uint64_t frames = 0;
    size_t count = 0;
    float f[2];
    int32_t i[2];
    int8_t waveform[256];
    uint8_t envelope[64];
    EXPECT_EQ(tamsel_renderer_length(nullptr, 100, &frames), TAMSEL_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(tamsel_renderer_measure(nullptr, 100, &frames), TAMSEL_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(tamsel_renderer_wraps(nullptr, 100, nullptr, 0, &count), TAMSEL_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(tamsel_render_float(nullptr, f, 1), 0u);
    EXPECT_EQ(tamsel_render_int32(nullptr, i, 1), 0u);
    int16_t s16[2];
    EXPECT_EQ(tamsel_render_int16(nullptr, s16, 1), 0u);
    EXPECT_EQ(tamsel_renderer_seek(nullptr, 5), TAMSEL_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(tamsel_renderer_position(nullptr), 0u);
    EXPECT_EQ(tamsel_renderer_set_muted_tracks(nullptr, 1), TAMSEL_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(tamsel_renderer_prepare(nullptr), TAMSEL_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(tamsel_song_get_instrument_shape(song, 3, waveform, envelope), TAMSEL_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(tamsel_song_get_instrument_shape(song, -1, waveform, envelope), TAMSEL_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(tamsel_song_tracks_with_notes(nullptr), 0u);
    tamsel_song_get_info(nullptr, nullptr);
    tamsel_render_options_init(nullptr);
    tamsel_renderer_free(nullptr);
    tamsel_song_free(nullptr);

    tamsel_renderer* made = create(song, 0, 20.0);
    EXPECT_EQ(tamsel_renderer_length(made, 100, nullptr), TAMSEL_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(tamsel_renderer_wraps(made, 100, nullptr, 3, &count), TAMSEL_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(tamsel_render_float(made, nullptr, 1), 0u);
    tamsel_renderer_free(made);
    tamsel_song_free(song);
}

TEST(LibraryApi, LoadingTellsMissingFilesFromFilesThatAreNoSongs) {
    TestFolder folder;
    const struct {
        std::string path;
        tamsel_status status;
    } rows[] = {
        {folder.write("good.tsm", make_song(100, 0, 8, 8).bytes), TAMSEL_OK},
        {folder.file("missing.tsm"), TAMSEL_ERR_IO},
        {folder.path(), TAMSEL_ERR_IO},
        {folder.write("lower.tsm", {'t', 's', 'm', 0}), TAMSEL_ERR_NOT_A_SONG},
        {folder.write("empty.tsm", {}), TAMSEL_ERR_NOT_A_SONG},
        {folder.write("magic.tsm", {'T', 'S', 'M'}), TAMSEL_OK},
    };
    for (const auto& row : rows) {
        tamsel_song* song = nullptr;
        EXPECT_EQ(tamsel_song_load_file(row.path.c_str(), &song), row.status) << row.path;
        EXPECT_EQ(song != nullptr, row.status == TAMSEL_OK) << row.path;
        tamsel_song_free(song);
    }
    tamsel_song* song = nullptr;
    EXPECT_EQ(tamsel_song_load_memory("TSX", 3, &song), TAMSEL_ERR_NOT_A_SONG);
    EXPECT_EQ(tamsel_song_load_memory(nullptr, 0, &song), TAMSEL_ERR_NOT_A_SONG);
}

TEST(LibraryApi, InfoShapesAndTracksComeFromTheFile) {
    SongFile file = make_song(120, 2, 7, 9);
    int8_t waveform[256];
    uint8_t envelope[64];
    for (int32_t p = 0; p < 256; p++) waveform[p] = (int8_t)(p - 128);
    for (int32_t e = 0; e < 64; e++) envelope[e] = (uint8_t)(2 * e);
    set_instrument(&file, 1, 37, 4000, 250, waveform, envelope);
    set_drum_volume(&file, 123);
    set_record(&file, 1, 6, 0x01000001);  // a note on track 1, before the wrap
    set_record(&file, 2, 8, 0x00000004);  // a note past the repeat end: never reached
    set_record(&file, 3, 0, 0x05000000);  // a pan alone is no note
    tamsel_song* song = load(file.bytes);

    tamsel_song_info info;
    tamsel_song_get_info(song, &info);
    EXPECT_EQ(info.step_ms, 120u);
    EXPECT_EQ(info.repeat_start, 2);
    EXPECT_EQ(info.repeat_end, 7);
    EXPECT_EQ(info.records, 9);
    EXPECT_EQ(info.drum_volume, 123u);
    EXPECT_EQ(info.instruments[1].octave, 37);
    EXPECT_EQ(info.instruments[1].length, 4000);
    EXPECT_EQ(info.instruments[1].volume, 250);
    EXPECT_EQ(info.instruments[0].length, 0);

    int8_t got_waveform[256];
    uint8_t got_envelope[64];
    ASSERT_EQ(tamsel_song_get_instrument_shape(song, 1, got_waveform, got_envelope), TAMSEL_OK);
    EXPECT_EQ(std::memcmp(got_waveform, waveform, 256), 0);
    EXPECT_EQ(std::memcmp(got_envelope, envelope, 64), 0);
    EXPECT_EQ(tamsel_song_tracks_with_notes(song), 0x2u);
    tamsel_song_free(song);
}

// Steps fall every 120 ms (5760 frames) at step time 100 and the default
// tick. Eight records from 0, then six from the repeat start 2.
TEST(LibraryApi, LengthsAndLoopPointsOfAWorkedSong) {
    tamsel_song* song = load(make_song(100, 2, 8, 8).bytes);
    const struct {
        int32_t loops;
        uint64_t frames;
        std::vector<uint64_t> wraps;
    } rows[] = {
        {0, 46080, {}},
        {1, 80640, {46080}},
        {2, 115200, {46080, 80640}},
        {-5, 46080, {}},
    };
    for (const auto& row : rows) {
        tamsel_renderer* renderer = create(song, row.loops, 20.0);
        uint64_t frames = 0;
        ASSERT_EQ(tamsel_renderer_length(renderer, TAMSEL_WAV_MAX_FRAMES, &frames), TAMSEL_OK);
        EXPECT_EQ(frames, row.frames) << row.loops;
        std::vector<uint64_t> wraps(4, 0);
        size_t count = 0;
        ASSERT_EQ(tamsel_renderer_wraps(renderer, TAMSEL_WAV_MAX_FRAMES, wraps.data(), wraps.size(), &count),
                  TAMSEL_OK);
        wraps.resize(count);
        EXPECT_EQ(wraps, row.wraps) << row.loops;
        EXPECT_EQ(tamsel_renderer_length(renderer, row.frames - 1, &frames), TAMSEL_ERR_TOO_LONG);
        // Too long: nothing is written, though loop points came before the limit.
        std::vector<uint64_t> untouched(4, 7);
        count = 7;
        EXPECT_EQ(tamsel_renderer_wraps(renderer, row.frames - 1, untouched.data(), 4, &count), TAMSEL_ERR_TOO_LONG);
        EXPECT_EQ(untouched, std::vector<uint64_t>(4, 7)) << row.loops;
        EXPECT_EQ(count, 7u);
        tamsel_renderer_free(renderer);
    }
    // Fewer places than loop points: the count is still the whole number.
    tamsel_renderer* renderer = create(song, 2, 20.0);
    uint64_t first = 0;
    size_t count = 0;
    ASSERT_EQ(tamsel_renderer_wraps(renderer, TAMSEL_WAV_MAX_FRAMES, &first, 1, &count), TAMSEL_OK);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(first, 46080u);
    tamsel_renderer_free(renderer);
    tamsel_song_free(song);
}

// tamsel_renderer_length and _wraps answer TOO_LONG for both failures, as
// they always have; tamsel_renderer_measure tells them apart, the render
// that never ends whatever the limit.
TEST(LibraryApi, SongsThatNeverEndAreTooLongWhateverTheLimit) {
    const struct {
        uint32_t wait;
        double tick_ms;
        int32_t loops;
        uint64_t limit;
        tamsel_status measured;
    } rows[] = {
        {0xFFFFFFFFu, 20.0, 0, UINT64_MAX, TAMSEL_ERR_NEVER_ENDS},
        {0xFFFFFFFFu, 20.0, 0, 1, TAMSEL_ERR_NEVER_ENDS},
        {100, 1e14, 0, UINT64_MAX, TAMSEL_ERR_NEVER_ENDS},
        {100, 20.0, INT32_MAX, UINT64_MAX, TAMSEL_ERR_NEVER_ENDS},
        {100, 20.0, TAMSEL_LOOPS_FOREVER, 0, TAMSEL_ERR_NEVER_ENDS},
        {100, 20.0, 100000, TAMSEL_WAV_MAX_FRAMES, TAMSEL_ERR_TOO_LONG},
        {100, 20.0, 0, 46079, TAMSEL_ERR_TOO_LONG},
    };
    for (const auto& row : rows) {
        tamsel_song* song = load(make_song(row.wait, 0, 8, 8).bytes);
        tamsel_renderer* renderer = create(song, row.loops, row.tick_ms);
        uint64_t frames = 7;
        uint64_t wraps[2] = {7, 7};
        size_t count = 7;
        EXPECT_EQ(tamsel_renderer_length(renderer, row.limit, &frames), TAMSEL_ERR_TOO_LONG) << row.wait;
        EXPECT_EQ(tamsel_renderer_wraps(renderer, row.limit, wraps, 2, &count), TAMSEL_ERR_TOO_LONG) << row.wait;
        EXPECT_EQ(tamsel_renderer_measure(renderer, row.limit, &frames), row.measured) << row.wait << " " << row.loops;
        EXPECT_EQ(frames, 7u);
        EXPECT_EQ(count, 7u);
        tamsel_renderer_free(renderer);
        tamsel_song_free(song);
    }
}

// The three sample forms of one render, over both shipped songs, which go
// beyond full scale: floats are the sums over 32768, 16-bit samples the
// sums (and the floats times 32768) clamped.
TEST(LibraryApi, FloatAndSixteenBitSamplesComeFromTheIntegerSums) {
    for (const char* name : {"demo.tsm", "short.tsm"}) {
        tamsel_song* song = load(read_file(std::string(TAMSEL_SOURCE_DIR) + "/examples/" + name));
        tamsel_renderer* as_float = create(song, 0, 20.0);
        tamsel_renderer* as_int = create(song, 0, 20.0);
        tamsel_renderer* as_int16 = create(song, 0, 20.0);
        std::vector<float> f(2 * 4096);
        std::vector<int32_t> i(2 * 4096);
        std::vector<int16_t> s(2 * 4096);
        uint64_t nonzero = 0, clipped = 0;
        while (size_t got = tamsel_render_float(as_float, f.data(), 4096)) {
            ASSERT_EQ(tamsel_render_int32(as_int, i.data(), 4096), got);
            ASSERT_EQ(tamsel_render_int16(as_int16, s.data(), 4096), got);
            for (size_t k = 0; k < 2 * got; k++) {
                ASSERT_EQ(f[k], (float)((double)i[k] / 32768.0)) << name << " " << k;
                int32_t expected = i[k] < -32768 ? -32768 : i[k] > 32767 ? 32767 : i[k];
                double scaled = std::fmin(std::fmax((double)f[k] * 32768.0, -32768.0), 32767.0);
                ASSERT_EQ(s[k], expected) << name << " " << k;
                ASSERT_EQ(s[k], (int16_t)scaled) << name << " " << k;
                nonzero += i[k] != 0;
                clipped += expected != i[k];
            }
        }
        EXPECT_GT(nonzero, 100000u) << name;
        EXPECT_GT(clipped, 0u) << name;
        tamsel_renderer_free(as_float);
        tamsel_renderer_free(as_int);
        tamsel_renderer_free(as_int16);
        tamsel_song_free(song);
    }
}

TEST(LibraryApi, RenderersKeepTheirSongAlive) {
    tamsel_song* song = load(demo_bytes());
    tamsel_renderer* first = create(song, 0, 20.0);
    tamsel_renderer* second = create(song, 0, 20.0);
    tamsel_song_free(song);
    std::vector<int32_t> a(2 * 50000), b(2 * 50000);
    ASSERT_EQ(tamsel_render_int32(first, a.data(), 50000), 50000u);
    tamsel_renderer_free(first);
    ASSERT_EQ(tamsel_render_int32(second, b.data(), 50000), 50000u);
    EXPECT_EQ(a, b);
    tamsel_renderer_free(second);
}

TEST(LibraryApi, TheCppApiOwnsAndReportsLikeTheCApi) {
    tamsel::Song song;
    EXPECT_FALSE(song);
    EXPECT_EQ(song.load_file("/nonexistent/song.tsm"), TAMSEL_ERR_IO);
    EXPECT_FALSE(song);
    std::vector<uint8_t> bytes = make_song(100, 2, 8, 8).bytes;
    ASSERT_EQ(song.load_memory(bytes.data(), bytes.size()), TAMSEL_OK);
    EXPECT_EQ(song.info().step_ms, 100u);

    tamsel::RenderOptions options;
    EXPECT_EQ(options.tick_ms, 20.0);
    options.loops = 1;
    tamsel::Renderer renderer;
    ASSERT_EQ(renderer.create(song, options), TAMSEL_OK);
    tamsel::Song moved = std::move(song);
    EXPECT_FALSE(song);
    uint64_t frames = 0;
    ASSERT_EQ(renderer.length(TAMSEL_WAV_MAX_FRAMES, &frames), TAMSEL_OK);
    EXPECT_EQ(frames, 80640u);
    std::vector<uint64_t> wraps;
    ASSERT_EQ(renderer.wraps(TAMSEL_WAV_MAX_FRAMES, &wraps), TAMSEL_OK);
    EXPECT_EQ(wraps, std::vector<uint64_t>{46080});
    // The C functions' contracts: a null pointer is an invalid argument, a
    // failure leaves the result alone.
    EXPECT_EQ(renderer.wraps(TAMSEL_WAV_MAX_FRAMES, nullptr), TAMSEL_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(renderer.prepare(), TAMSEL_OK);
    EXPECT_EQ(tamsel::Renderer().prepare(), TAMSEL_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(renderer.wraps(46080, &wraps), TAMSEL_ERR_TOO_LONG);
    EXPECT_EQ(wraps, std::vector<uint64_t>{46080});
    int8_t waveform[256];
    uint8_t envelope[64];
    EXPECT_EQ(moved.instrument_shape(0, waveform, envelope), TAMSEL_OK);
    EXPECT_EQ(moved.instrument_shape(3, waveform, envelope), TAMSEL_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(tamsel::Song().instrument_shape(0, waveform, envelope), TAMSEL_ERR_INVALID_ARGUMENT);
    options.tick_ms = NAN;
    EXPECT_EQ(renderer.create(moved, options), TAMSEL_ERR_INVALID_ARGUMENT);
    EXPECT_FALSE(renderer);
}

// Both loop tail forms through the C API, into buffers that must stay as
// they were when the call is refused; the status they agree on.
tamsel_status c_tails(tamsel_renderer* renderer, tamsel_loop loop) {
    std::vector<int32_t> ints(2 * TAMSEL_LOOP_CROSSFADE_FRAMES, 7);
    std::vector<float> floats(2 * TAMSEL_LOOP_CROSSFADE_FRAMES, 7.0f);
    double db = 7.0;
    tamsel_status as_int = tamsel_renderer_loop_tail_int32(renderer, &loop, ints.data(), &db);
    EXPECT_EQ(tamsel_renderer_loop_tail_float(renderer, &loop, floats.data(), &db), as_int);
    if (as_int != TAMSEL_OK) {
        EXPECT_EQ(ints, std::vector<int32_t>(ints.size(), 7));
        EXPECT_EQ(floats, std::vector<float>(floats.size(), 7.0f));
        EXPECT_EQ(db, 7.0);
    }
    return as_int;
}

// The same through the C++ API, whose vectors must stay as they were.
tamsel_status cpp_tails(tamsel::Renderer& renderer, tamsel_loop loop) {
    std::vector<int32_t> ints = {7};
    std::vector<float> floats = {7.0f};
    double db = 7.0;
    tamsel::Status as_int = renderer.loop_tail_int32(loop, &ints, &db);
    EXPECT_EQ(renderer.loop_tail_float(loop, &floats, &db), as_int);
    if (as_int != TAMSEL_OK) {
        EXPECT_EQ(ints, std::vector<int32_t>{7});
        EXPECT_EQ(floats, std::vector<float>{7.0f});
        EXPECT_EQ(db, 7.0);
    }
    return as_int;
}

// What the header refuses, through the C and the C++ API alike: the call
// answers TAMSEL_ERR_INVALID_ARGUMENT, writes nothing and leaves the
// renderer as it was, at its frame and with its tracks muted. A loop tail
// is given only for the loop find_loop gives, on a render that reaches it,
// endless ones included; a crossfade no vector could hold is refused before
// anything is allocated for it.
TEST(LibraryApi, RefusedCallsChangeNothing) {
    tamsel::Song song;
    std::vector<uint8_t> bytes = demo_bytes();
    ASSERT_EQ(song.load_memory(bytes.data(), bytes.size()), TAMSEL_OK);
    struct Row {
        const char* what;
        tamsel_status (*c)(tamsel_renderer*, const tamsel_loop&);
        tamsel_status (*cpp)(tamsel::Renderer&, const tamsel_loop&);
    } rows[] = {
#define LOOP_ROW(what, change)                                  \
    {                                                           \
        what,                                                   \
            [](tamsel_renderer* r, const tamsel_loop& found) {  \
                tamsel_loop l = found;                          \
                change;                                         \
                return c_tails(r, l);                           \
            },                                                  \
            [](tamsel::Renderer& r, const tamsel_loop& found) { \
                tamsel_loop l = found;                          \
                change;                                         \
                return cpp_tails(r, l);                         \
            }                                                   \
    }
        LOOP_ROW("an end at the highest frame", l.end = UINT64_MAX),
        LOOP_ROW("an end one frame past the render's", l.end += 1),
        LOOP_ROW("an end one frame early", l.end -= 1),
        LOOP_ROW("a start one frame late", l.start += 1),
        LOOP_ROW("a crossfade no vector could hold", l.crossfade = UINT32_MAX),
        LOOP_ROW("a crossfade one frame longer", l.crossfade += 1),
        LOOP_ROW("a crossfade one frame shorter", l.crossfade -= 1),
#undef LOOP_ROW
        {"a mute bit beyond the four tracks",
         [](tamsel_renderer* r, const tamsel_loop&) { return tamsel_renderer_set_muted_tracks(r, 0x10); },
         [](tamsel::Renderer& r, const tamsel_loop&) { return r.set_muted_tracks(0x12); }},
        {"every mute bit",
         [](tamsel_renderer* r, const tamsel_loop&) { return tamsel_renderer_set_muted_tracks(r, 0xFFFFFFFFu); },
         [](tamsel::Renderer& r, const tamsel_loop&) { return r.set_muted_tracks(0xFFFFFFFFu); }},
    };
    const uint64_t AT = 1000, FRAMES = 2000;
    for (int32_t loops : {1, TAMSEL_LOOPS_FOREVER}) {
        tamsel::RenderOptions options;
        options.loops = loops;
        options.muted_tracks = 2;
        tamsel::Renderer renderer, reference;
        ASSERT_EQ(renderer.create(song, options), TAMSEL_OK);
        ASSERT_EQ(reference.create(song, options), TAMSEL_OK);
        tamsel::Loop loop = {};
        ASSERT_EQ(renderer.find_loop(UINT64_MAX, &loop), TAMSEL_OK);
        ASSERT_EQ(c_tails(renderer.get(), loop), TAMSEL_OK);
        std::vector<int32_t> expected(2 * FRAMES), got(2 * FRAMES);
        ASSERT_EQ(reference.seek(AT), TAMSEL_OK);
        ASSERT_EQ(reference.render_int32(expected.data(), FRAMES), FRAMES);
        for (const Row& row : rows) {
            for (bool cpp : {false, true}) {
                ASSERT_EQ(renderer.seek(AT), TAMSEL_OK);
                tamsel_status status = cpp ? row.cpp(renderer, loop) : row.c(renderer.get(), loop);
                EXPECT_EQ(status, TAMSEL_ERR_INVALID_ARGUMENT) << row.what << (cpp ? " (C++)" : " (C)") << loops;
                EXPECT_EQ(renderer.position(), AT) << row.what;
                ASSERT_EQ(renderer.render_int32(got.data(), FRAMES), FRAMES);
                EXPECT_EQ(got, expected) << row.what << (cpp ? " (C++)" : " (C)") << loops;
            }
        }
    }
    // Options with a mute bit beyond the tracks are bad options.
    for (uint32_t muted : {0x10u, 0x80000000u, 0xFFFFFFFFu}) {
        tamsel::RenderOptions options;
        options.muted_tracks = muted;
        tamsel_renderer* untouched = reinterpret_cast<tamsel_renderer*>(&options);
        tamsel_renderer* made = untouched;
        EXPECT_EQ(tamsel_renderer_create(song.get(), &options, &made), TAMSEL_ERR_INVALID_ARGUMENT) << muted;
        EXPECT_EQ(made, untouched);
        tamsel::Renderer renderer;
        EXPECT_EQ(renderer.create(song, options), TAMSEL_ERR_INVALID_ARGUMENT) << muted;
        EXPECT_FALSE(renderer);
    }
}

}  // namespace
