// Render speed: the fast renderer against the per-frame reference loop on a
// typical, a dense and a long mostly silent song, plus the whole export of
// the typical song against writing the same bytes to a file.
// Run: build/bench/tamsel_render_speed [folder for temporary files]
//      [scalar | avx2 | avx512: the steady inner loop, fastest by default]
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/byte_order.h"
#include "engine/renderer.h"
#include "mixer/steady_mix.h"
#include "song/song_layout.h"
#include "tamsel/tamsel.hpp"
#include "test_engine.h"
#include "tool/positional_form.h"

using namespace tamsel::core;
using tamsel::put_u32_le;

namespace {

namespace layout = tamsel::core;

struct BenchSong {
    const char* name;
    std::vector<uint8_t> bytes;
    int32_t loops;
    double reference_seconds;  // audio the slow loop renders for its figure
};

std::vector<uint8_t> song_header(uint32_t wait, int32_t repeat_start, int32_t records, uint32_t drum_volume) {
    std::vector<uint8_t> b((size_t)layout::song_file_size((uint64_t)records), 0);
    std::memcpy(b.data(), layout::SONG_MAGIC, layout::SONG_MAGIC_SIZE);
    put_u32_le(&b[layout::WAIT_AT], wait);
    put_u32_le(&b[layout::REPEAT_START_AT], (uint32_t)repeat_start);
    put_u32_le(&b[layout::REPEAT_END_AT], (uint32_t)records);
    put_u32_le(&b[layout::RECORD_COUNT_AT], (uint32_t)records);
    put_u32_le(&b[layout::DRUM_VOLUME_AT], drum_volume);
    return b;
}

// A plain waveform (one cycle of a rounded square) and a decaying envelope.
void instrument(std::vector<uint8_t>& b, int i, uint8_t octave, int32_t length, int32_t volume) {
    uint8_t* at = &b[layout::instrument_at(i)];
    at[layout::INSTRUMENT_OCTAVE_AT] = octave;
    put_u32_le(at + layout::INSTRUMENT_LENGTH_AT, (uint32_t)length);
    put_u32_le(at + layout::INSTRUMENT_VOLUME_AT, (uint32_t)volume);
    uint8_t* waveform = at + layout::INSTRUMENT_WAVEFORM_AT;
    for (int p = 0; p < 256; p++) waveform[p] = (uint8_t)(int8_t)(p < 128 ? 90 - p / 4 : -90 + (p - 128) / 4);
    uint8_t* envelope = at + layout::INSTRUMENT_ENVELOPE_AT;
    for (int e = 0; e < 64; e++) envelope[e] = (uint8_t)(128 - 2 * e);
}

void record(std::vector<uint8_t>& b, int32_t records, int32_t track, int32_t r, uint32_t word) {
    put_u32_le(&b[layout::record_at(track, (uint64_t)records, (uint64_t)r)], word);
}

// About 150 s with a lead, chords, bass and drums: 7 voices on average.
BenchSong typical_song() {
    const int32_t records = 750;
    std::vector<uint8_t> b = song_header(99, 0, records, 260);
    instrument(b, 0, 4, 5000, 240);
    instrument(b, 1, 3, 9000, 220);
    instrument(b, 2, 2, 7000, 250);
    for (int32_t r = 0; r < records; r++) {
        record(b, records, 0, r, 1u << (r * 7 % 24) | (r % 32 == 0 ? 0x02000000u : 0));
        if (r % 4 == 0) record(b, records, 1, r, 1u << (r % 12) | 1u << (r % 12 + 4) | 1u << (r % 12 + 7));
        if (r % 2 == 0) record(b, records, 2, r, 1u << (r / 2 % 12));
        uint32_t drums = (r % 4 == 0 ? 1u : 0) | (r % 8 == 4 ? 1u << 4 : 0) | (r % 2 == 1 ? 1u << 10 : 0);
        record(b, records, 3, r, drums);
    }
    return {"typical (150 s)", b, 1, 20.0};
}

// Every note of every track held: 90 and more voices at once for 30 s.
BenchSong dense_song() {
    const int32_t records = 300;
    std::vector<uint8_t> b = song_header(99, 0, records, 200);
    for (int i = 0; i < 3; i++) instrument(b, i, (uint8_t)(2 + i), 40000, 150);
    for (int32_t r = 0; r < records; r++) {
        for (int32_t t = 0; t < 3; t++) record(b, records, t, r, r % 8 == 0 ? 0xFFFFFFu : 0);
        record(b, records, 3, r, r % 8 == 0 ? 0xFFFFFFu : 0);
    }
    return {"dense (30 s)", b, 0, 5.0};
}

// Ten minutes with one short note every 30 s.
BenchSong silent_song() {
    const int32_t records = 20;
    std::vector<uint8_t> b = song_header(29999, 0, records, 300);
    instrument(b, 0, 4, 2000, 250);
    for (int32_t r = 0; r < records; r++) record(b, records, 0, r, 1u << (r % 24));
    return {"mostly silent (600 s)", b, 0, 60.0};
}

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The steady inner loop every renderer here uses.
SteadyMixPath bench_path = best_steady_mix_path();

std::unique_ptr<Engine> start(const BenchSong& bench) {
    auto engine = std::make_unique<Engine>(start_engine(bench.bytes, bench.loops, 20.0));
    renderer_set_mix_path(engine->renderer.get(), bench_path);
    return engine;
}

float block[2 * 1024];

// Frames rendered and the seconds taken, up to max_frames.
struct Timing {
    uint64_t frames;
    double seconds;
    double voices;  // average voices sounding per frame
};

Timing time_render(Renderer* renderer, uint64_t (*render)(Renderer*, float*, uint64_t), uint64_t max_frames,
                   bool count_voices) {
    Timing t{0, 0.0, 0.0};
    double voice_frames = 0.0;
    static int32_t slots[SLOT_COUNT];
    auto begin = std::chrono::steady_clock::now();
    while (t.frames < max_frames) {
        if (count_voices) voice_frames += 1024.0 * sound_table_active_slots(&renderer->table, slots);
        uint64_t got = render(renderer, block, 1024);
        t.frames += got;
        if (got < 1024) break;
    }
    t.seconds = seconds_since(begin);
    if (count_voices) t.voices = voice_frames / (double)(t.frames ? t.frames : 1);
    return t;
}

void compare_renderers(const BenchSong& song) {
    Timing voices = time_render(start(song)->renderer.get(), renderer_render_float, UINT64_MAX, true);
    Timing fast = time_render(start(song)->renderer.get(), renderer_render_float, UINT64_MAX, false);
    Timing slow = time_render(start(song)->renderer.get(), renderer_render_reference,
                              (uint64_t)(song.reference_seconds * 48000), false);
    double fast_fps = (double)fast.frames / fast.seconds;
    double slow_fps = (double)slow.frames / slow.seconds;
    std::printf(
        "%-22s %6.1f voices  fast %11.0f frames/s (%7.0fx real time)  reference %10.0f frames/s "
        "(%5.0fx)  ratio %6.1f\n",
        song.name, voices.voices, fast_fps, fast_fps / 48000.0, slow_fps, slow_fps / 48000.0, fast_fps / slow_fps);
}

// The whole export of a song against writing as many bytes with fwrite.
void compare_with_plain_write(const std::string& folder, const BenchSong& song) {
    std::string wav = folder + "/tamsel_bench_song.wav";
    tamsel::Song loaded;
    loaded.load_memory(song.bytes.data(), song.bytes.size());
    tamsel::RenderOptions options;
    options.loops = song.loops;
    tamsel::Renderer renderer;
    renderer.create(loaded, options);
    uint64_t frames = 0;
    auto begin = std::chrono::steady_clock::now();
    renderer.length(TAMSEL_WAV_MAX_FRAMES, &frames);
    if (!write_wav_file(wav, &renderer, frames)) std::fprintf(stderr, "cannot write %s\n", wav.c_str());
    double export_seconds = seconds_since(begin);

    static float zeros[2 * 1024 * 64];
    begin = std::chrono::steady_clock::now();
    std::FILE* f = std::fopen(wav.c_str(), "wb");
    uint64_t left = 44 + frames * 8;
    while (f && left > 0) {
        size_t chunk = left < sizeof zeros ? (size_t)left : sizeof zeros;
        std::fwrite(zeros, 1, chunk, f);
        left -= chunk;
    }
    if (f) std::fclose(f);
    double write_seconds = seconds_since(begin);
    std::remove(wav.c_str());
    std::printf("export of %-12s %.3f s, writing the same %.0f MiB %.3f s: %.1f times as long\n", song.name,
                export_seconds, (double)(44 + frames * 8) / 1048576.0, write_seconds, export_seconds / write_seconds);
}

// A seek to the last frame against rendering up to it.
void compare_seek_with_render(const char* name, const std::vector<uint8_t>& bytes) {
    tamsel::Song song;
    if (song.load_memory(bytes.data(), bytes.size()) != TAMSEL_OK) return;
    tamsel::Renderer renderer;
    renderer.create(song);
    uint64_t frames = 0;
    renderer.length(TAMSEL_WAV_MAX_FRAMES, &frames);
    auto begin = std::chrono::steady_clock::now();
    renderer.seek(frames - 1);
    double seek_seconds = seconds_since(begin);
    tamsel::Renderer rendering;
    rendering.create(song);
    std::vector<float> out(2 * 4096);
    begin = std::chrono::steady_clock::now();
    while (rendering.render_float(out.data(), 4096) == 4096) {}
    double render_seconds = seconds_since(begin);
    std::printf("seek to the end of %-12s %.2f ms, rendering up to it %.2f ms: %.0f times faster\n", name,
                seek_seconds * 1000.0, render_seconds * 1000.0, render_seconds / seek_seconds);
}

std::vector<uint8_t> read_bytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return bytes;
    uint8_t chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
    std::fclose(f);
    return bytes;
}

}  // namespace

static bool select_path(const char* name) {
    SteadyMixPath path = STEADY_MIX_BEST;
    if (std::strcmp(name, "scalar") == 0) path = STEADY_MIX_SCALAR;
    if (std::strcmp(name, "avx2") == 0) path = STEADY_MIX_AVX2;
    if (std::strcmp(name, "avx512") == 0) path = STEADY_MIX_AVX512;
    if (path == STEADY_MIX_BEST || !steady_mix_path_available(path)) return false;
    bench_path = path;
    return true;
}

int main(int argc, char** argv) {
    std::string folder = argc > 1 ? argv[1] : "/tmp";
    if (argc > 2 && !select_path(argv[2])) {
        std::fprintf(stderr, "no inner loop %s on this processor (scalar, avx2, avx512)\n", argv[2]);
        return 1;
    }
    const BenchSong songs[] = {typical_song(), dense_song(), silent_song()};
    for (const BenchSong& song : songs) compare_renderers(song);
    compare_with_plain_write(folder, songs[0]);
    compare_seek_with_render("typical", songs[0].bytes);
    compare_seek_with_render("demo.tsm", read_bytes(TAMSEL_SOURCE_DIR "/examples/demo.tsm"));
    return 0;
}
