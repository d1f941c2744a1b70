// Render speed: the fast renderer against the per-frame reference loop on a
// typical, a dense and a long mostly silent song, plus the whole export of
// the typical song against writing the same bytes to a file.
// Run: build/bench/tamsel_render_speed [folder for temporary files]
//      [scalar | avx2 | avx512: the steady inner loop, fastest by default]
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/reference_render.h"
#include "engine/render_clock.h"
#include "engine/render_length.h"
#include "engine/session.h"
#include "engine/tamsel_song.h"
#include "export/wav_file.h"
#include "mixer/sound_objects.h"
#include "mixer/steady_mix.h"
#include "mixer/voice_block.h"

namespace {

struct BenchSong {
    const char* name;
    std::vector<uint8_t> bytes;
    int32_t loops;
    double reference_seconds;  // audio the slow loop renders for its figure
};

void put_u32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; i++) b[at + (size_t)i] = (uint8_t)(v >> (8 * i));
}

std::vector<uint8_t> song_header(uint32_t wait, int32_t repeat_start, int32_t records, uint32_t drum_volume) {
    std::vector<uint8_t> b(1048 + 16 * (size_t)records, 0);
    std::memcpy(b.data(), "TSM", 3);
    put_u32(b, 8, wait);
    put_u32(b, 12, (uint32_t)repeat_start);
    put_u32(b, 16, (uint32_t)records);
    put_u32(b, 20, (uint32_t)records);
    put_u32(b, 1044, drum_volume);
    return b;
}

// A plain waveform (one cycle of a rounded square) and a decaying envelope.
void instrument(std::vector<uint8_t>& b, int i, uint8_t octave, int32_t length, int32_t volume) {
    size_t base = 24 + 340 * (size_t)i;
    b[base] = octave;
    put_u32(b, base + 4, (uint32_t)length);
    put_u32(b, base + 8, (uint32_t)volume);
    for (int p = 0; p < 256; p++) b[base + 20 + (size_t)p] = (uint8_t)(int8_t)(p < 128 ? 90 - p / 4 : -90 + (p - 128) / 4);
    for (int e = 0; e < 64; e++) b[base + 276 + (size_t)e] = (uint8_t)(128 - 2 * e);
}

void record(std::vector<uint8_t>& b, int32_t records, int32_t track, int32_t r, uint32_t word) {
    put_u32(b, 1048 + 4 * ((size_t)track * (size_t)records + (size_t)r), word);
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

std::string write_song(const std::string& folder, const BenchSong& song) {
    std::string path = folder + "/tamsel_bench_song.tsm";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return "";
    std::fwrite(song.bytes.data(), 1, song.bytes.size(), f);
    std::fclose(f);
    return path;
}

void start(const std::string& path, int32_t loops) {
    reset_engine_session();
    if (open_song(path.c_str()) != SONG_OPENED) std::fprintf(stderr, "cannot load %s\n", path.c_str());
    start_song(loops, 20.0);
}

static float block[2 * 1024];

// Frames rendered and the seconds taken, up to max_frames.
struct Timing {
    uint64_t frames;
    double seconds;
    double voices;  // average voices sounding per frame
};

Timing time_render(uint64_t (*render)(float*, uint64_t), uint64_t max_frames, bool count_voices) {
    Timing t{0, 0.0, 0.0};
    double voice_frames = 0.0;
    static tamsel_sound* voices[SOUND_OBJECT_COUNT];
    auto begin = std::chrono::steady_clock::now();
    while (t.frames < max_frames) {
        if (count_voices) voice_frames += 1024.0 * collect_active_voices(voices);
        uint64_t got = render(block, 1024);
        t.frames += got;
        if (got < 1024) break;
    }
    t.seconds = seconds_since(begin);
    if (count_voices) t.voices = voice_frames / (double)(t.frames ? t.frames : 1);
    return t;
}

void compare_renderers(const std::string& folder, const BenchSong& song) {
    std::string path = write_song(folder, song);
    start(path, song.loops);
    Timing voices = time_render(generate_samples, UINT64_MAX, true);
    start(path, song.loops);
    Timing fast = time_render(generate_samples, UINT64_MAX, false);
    start(path, song.loops);
    Timing slow = time_render(generate_samples_reference, (uint64_t)(song.reference_seconds * 48000), false);
    double fast_fps = (double)fast.frames / fast.seconds;
    double slow_fps = (double)slow.frames / slow.seconds;
    std::printf("%-22s %6.1f voices  fast %11.0f frames/s (%7.0fx real time)  reference %10.0f frames/s "
                "(%5.0fx)  ratio %6.1f\n",
                song.name, voices.voices, fast_fps, fast_fps / 48000.0, slow_fps, slow_fps / 48000.0,
                fast_fps / slow_fps);
}

// The whole export of a song against writing as many bytes with fwrite.
void compare_with_plain_write(const std::string& folder, const BenchSong& song) {
    std::string path = write_song(folder, song);
    std::string wav = folder + "/tamsel_bench_song.wav";
    start(path, song.loops);
    uint64_t frames = 0;
    auto begin = std::chrono::steady_clock::now();
    if (!write_wav_render(wav.c_str(), &frames)) std::fprintf(stderr, "cannot write %s\n", wav.c_str());
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

}  // namespace

static uint8_t select_path(const char* name) {
    if (std::strcmp(name, "scalar") == 0) return select_steady_mix_path(STEADY_MIX_SCALAR);
    if (std::strcmp(name, "avx2") == 0) return select_steady_mix_path(STEADY_MIX_AVX2);
    if (std::strcmp(name, "avx512") == 0) return select_steady_mix_path(STEADY_MIX_AVX512);
    return 0;
}

int main(int argc, char** argv) {
    std::string folder = argc > 1 ? argv[1] : "/tmp";
    if (argc > 2 && !select_path(argv[2])) {
        std::fprintf(stderr, "no inner loop %s on this processor (scalar, avx2, avx512)\n", argv[2]);
        return 1;
    }
    const BenchSong songs[] = {typical_song(), dense_song(), silent_song()};
    for (const BenchSong& song : songs) compare_renderers(folder, song);
    compare_with_plain_write(folder, songs[0]);
    std::remove((folder + "/tamsel_bench_song.tsm").c_str());
    return 0;
}
