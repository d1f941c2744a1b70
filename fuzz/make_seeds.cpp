// make_fuzz_seeds: writes the seed inputs of the fuzz targets.
//
//   usage: make_fuzz_seeds OUT_DIR [SONG.tsm ...]
//
// OUT_DIR/song and OUT_DIR/api get the same seeds: the 16 control bytes of
// fuzz/fuzz_support.h (loops, tick, mutes, a seek, ...) followed by a song
// file: a set of small songs made here, each reaching another corner of the
// engine, and every song file named on the command line played once at the
// default tick. OUT_DIR/options gets command lines, one argument after
// another, each ended by a zero byte.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/byte_order.h"
#include "fuzz_support.h"

struct Seed {
    std::vector<uint8_t> bytes;  // control bytes, then the song
    int32_t records;             // records per track as laid out
};

static void put_u32(Seed* seed, uint64_t song_offset, uint32_t value) {
    size_t at = CONTROL_BYTES + (size_t)song_offset;
    if (seed->bytes.size() < at + 4) seed->bytes.resize(at + 4, 0);
    tamsel::put_u32_le(&seed->bytes[at], value);
}

// The tick code of a tick in hundredths of a millisecond (below 0xFF00), or
// 0xFF00 + k for the target's special tick k (1e30 is k = 6).
static uint16_t tick_code(double tick_ms) {
    if (tick_ms >= 1e29) return 0xFF06;
    return (uint16_t)(tick_ms * 100.0 + 0.5);
}

// Control bytes: loops, tick, mutes, flags, a seek frame and a count; the
// rest vary between seeds through the mutations.
static void set_controls(std::vector<uint8_t>* bytes, int32_t loops, double tick_ms, uint8_t muted, uint8_t flags,
                         uint32_t seek_frame, uint16_t count) {
    uint16_t tick = tick_code(tick_ms);
    uint8_t* c = bytes->data();
    c[0] = (uint8_t)loops;
    c[1] = (uint8_t)((uint32_t)loops >> 8);
    c[2] = (uint8_t)tick;
    c[3] = (uint8_t)(tick >> 8);
    c[4] = muted;
    c[5] = flags;
    for (uint32_t i = 0; i < 4; i++) c[6 + i] = (uint8_t)(seek_frame >> (8 * i));
    c[10] = (uint8_t)count;
    c[11] = (uint8_t)(count >> 8);
    c[12] = 0x05;  // a second mute: tracks 1 and 3
    c[13] = 1;     // the second instrument's shape
    c[14] = 4;     // room for four loop points
    c[15] = 6;     // a length limit of a whole window
}

static Seed make_seed(int32_t loops, double tick_ms, uint32_t wait, int32_t repeat_start, int32_t repeat_end,
                      int32_t records) {
    Seed seed;
    seed.records = records < 0 ? 0 : records;
    seed.bytes.assign(CONTROL_BYTES + (size_t)layout::song_file_size((uint64_t)seed.records), 0);
    set_controls(&seed.bytes, loops, tick_ms, 0, 0, 2000, 700);
    std::memcpy(&seed.bytes[CONTROL_BYTES], layout::SONG_MAGIC, layout::SONG_MAGIC_SIZE);
    put_u32(&seed, layout::WAIT_AT, wait);
    put_u32(&seed, layout::REPEAT_START_AT, (uint32_t)repeat_start);
    put_u32(&seed, layout::REPEAT_END_AT, (uint32_t)repeat_end);
    put_u32(&seed, layout::RECORD_COUNT_AT, (uint32_t)records);
    put_u32(&seed, layout::DRUM_VOLUME_AT, 300);
    return seed;
}

// A sine-like tone with a decaying envelope (peak scales the envelope; above
// 128 the samples wrap).
static void set_instrument(Seed* seed, int32_t i, uint8_t octave, int32_t length, int32_t volume, int32_t peak) {
    uint32_t at = layout::instrument_at(i);
    uint8_t* instrument = &seed->bytes[CONTROL_BYTES + at];
    instrument[layout::INSTRUMENT_OCTAVE_AT] = octave;
    put_u32(seed, at + layout::INSTRUMENT_LENGTH_AT, (uint32_t)length);
    put_u32(seed, at + layout::INSTRUMENT_VOLUME_AT, (uint32_t)volume);
    for (uint32_t k = 0; k < layout::WAVEFORM_SIZE; k++) {
        double s = std::sin(6.283185307179586 * (double)k / (double)layout::WAVEFORM_SIZE);
        instrument[layout::INSTRUMENT_WAVEFORM_AT + k] = (uint8_t)(int8_t)(int32_t)(s * 127.0);
    }
    const int32_t points = (int32_t)layout::ENVELOPE_SIZE;
    for (int32_t k = 0; k < points; k++) {
        instrument[layout::INSTRUMENT_ENVELOPE_AT + (uint32_t)k] = (uint8_t)(peak * (points - k) / points);
    }
}

static void set_record(Seed* seed, int32_t track, int32_t record, uint32_t word) {
    put_u32(seed, layout::record_at(track, (uint64_t)seed->records, (uint64_t)record), word);
}

static uint8_t write_seed(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return 0;
    size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file);
    return (uint8_t)(std::fclose(file) == 0 && written == bytes.size());
}

static std::vector<uint8_t> read_song(const char* path) {
    std::vector<uint8_t> bytes;
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return bytes;
    uint8_t chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
    std::fclose(file);
    return bytes;
}

// A melody on track 0, a bass on track 1 and drums, 16 records.
static Seed tune(int32_t loops, double timer_ms, uint32_t wait) {
    Seed seed = make_seed(loops, timer_ms, wait, 4, 16, 16);
    set_instrument(&seed, 0, 4, 2000, 280, 128);
    set_instrument(&seed, 1, 2, 3000, 300, 120);
    set_instrument(&seed, 2, 3, 500, 250, 100);
    for (int32_t r = 0; r < 16; r++) {
        set_record(&seed, 0, r, 1u << (r * 5 % 24) | (r % 8 == 0 ? 2u << 24 : 0));
        if (r % 4 == 0) set_record(&seed, 1, r, 1u << (r / 4) | 6u << 24);
        set_record(&seed, 3, r, r % 2 == 0 ? 1u : 1u << 8);
    }
    return seed;
}

// Three instruments at the longest note, every note of each played at once:
// the render reads a few samples of each, never the whole notes.
static Seed largest_instruments() {
    Seed seed = make_seed(0, 20.0, 50, 0, 2, 2);
    for (int32_t i = 0; i < 3; i++) set_instrument(&seed, i, (uint8_t)(2 + i), 33554432, 300, 128);
    for (int32_t t = 0; t < 3; t++) set_record(&seed, t, 0, 0x04FFFFFFu);
    return seed;
}

struct CommandLine {
    const char* name;
    std::vector<const char*> arguments;
};

// Command lines of both forms, each reaching another rule of the parsers.
static const CommandLine COMMAND_LINES[] = {
    {"positional", {"song.tsm", "2", "16.5"}},
    {"positional_negative", {"song.tsm", "-1", "-inf"}},
    {"every_value_option",
     {"-o", "out.flac",   "-l",     "3",    "-t",       "20",   "-j4",    "-f", "flac",   "--quality=5", "--title",
      "T",  "--artist=A", "--gain", "-3.5", "--dither", "tpdf", "--fade", "2",  "--mute", "1,drums",     "song.tsm"}},
    {"levels_excluded", {"--normalize", "--loudness=-14", "a.tsm"}},
    {"normalize_value", {"--normalize=-1.5", "-q", "--force", "a.tsm", "b.tsm", "-d", "out"}},
    {"solo_and_stems", {"--solo", "2,3", "--stems", "a.tsm"}},
    {"info_json", {"--json", "--", "-a.tsm"}},
    {"help_after_error", {"--tick", "nan", "-h"}},
    {"version", {"-V", "a.tsm"}},
    {"output_contradicts_format", {"-o", "x.mp3", "-f", "wav24", "a.tsm"}},
    {"stdout_stems", {"-o", "-", "--stems", "a.tsm"}},
    {"numbers_at_edges", {"-l", "2147483647", "-t", "1e308", "-j", "1024", "--gain", "96", "--fade=0", "a.tsm"}},
    {"missing_value", {"a.tsm", "--loops"}},
};

static std::vector<uint8_t> command_line_bytes(const std::vector<const char*>& arguments) {
    std::vector<uint8_t> bytes;
    for (const char* argument : arguments) {
        bytes.insert(bytes.end(), argument, argument + std::strlen(argument));
        bytes.push_back(0);
    }
    return bytes;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: make_fuzz_seeds OUT_DIR [SONG.tsm ...]\n", stderr);
        return 1;
    }
    std::string dir = argv[1];
    struct Named {
        const char* name;
        Seed seed;
    };
    std::vector<Named> seeds;

    seeds.push_back({"tune", tune(0, 20.0, 100)});
    seeds.push_back({"largest_instruments", largest_instruments()});
    Seed scalar = tune(1, 20.0, 40);
    set_controls(&scalar.bytes, 1, 20.0, 0x02, 0x01, 4100, 300);
    seeds.push_back({"tune_scalar_mix_track_2_muted", scalar});
    Seed defaults = tune(0, 20.0, 40);
    set_controls(&defaults.bytes, 0, 20.0, 0xF8, 0x06, 100000, 4800);
    seeds.push_back({"tune_default_options_song_freed_early", defaults});
    seeds.push_back({"tune_loops_fast_tick", tune(3, 16.6, 0)});
    seeds.push_back({"tune_tick_0", tune(1, 0.0, 0)});

    // A loop within the API target's window (a step every 5 ms tick): its
    // tail for the song's own loop, for one ending past the render, and on
    // an endless render for a made-up loop; bad mute bits in the options.
    Seed tail = tune(1, 5.0, 0);
    set_controls(&tail.bytes, 1, 5.0, 0x01, 0x00, 700, 3000);
    seeds.push_back({"tune_loop_tail", tail});
    set_controls(&tail.bytes, 1, 5.0, 0x00, 0x10, 700, 3000);
    seeds.push_back({"tune_loop_tail_end_past_render", tail});
    Seed endless = tune(-1, 5.0, 0);
    seeds.push_back({"tune_endless", endless});
    set_controls(&endless.bytes, -1, 5.0, 0x04, 0x70, 9000, 4000);
    seeds.push_back({"tune_endless_made_up_loop", endless});
    Seed bad_mute = tune(0, 20.0, 40);
    set_controls(&bad_mute.bytes, 0, 20.0, 0x02, 0x08, 100, 800);
    seeds.push_back({"tune_mute_bit_beyond_the_tracks", bad_mute});

    Seed all = make_seed(1, 0.0, 0, 0, 4, 4);
    for (int32_t i = 0; i < 3; i++) set_instrument(&all, i, (uint8_t)(3 + i), 4000, 300, 255);
    for (int32_t t = 0; t < 4; t++) {
        for (int32_t r = 0; r < 4; r++) set_record(&all, t, r, 0x00FFFFFFu | (uint32_t)(1 + (t + r) % 7) << 24);
    }
    seeds.push_back({"all_voices_every_step", all});

    Seed pans = make_seed(0, 20.0, 0, 0, 8, 8);
    set_instrument(&pans, 0, 4, 800, 300, 128);
    for (int32_t r = 0; r < 8; r++) set_record(&pans, 0, r, 1u | (uint32_t)(r * 37 + 8) << 24);
    seeds.push_back({"pan_selectors_above_7", pans});

    Seed odd = make_seed(2, 20.0, 30, 0, 6, 6);
    set_instrument(&odd, 0, 31, 2, 4396, 255);
    set_instrument(&odd, 1, 255, 3, -1, 129);
    set_instrument(&odd, 2, 20, 64, 0, 128);
    put_u32(&odd, layout::DRUM_VOLUME_AT, 0xFFFFFFFFu);
    for (int32_t r = 0; r < 6; r++) {
        for (int32_t t = 0; t < 4; t++) set_record(&odd, t, r, 0xFFFFFFFFu);
    }
    seeds.push_back({"instrument_edges", odd});

    seeds.push_back({"wrap_beyond_records", make_seed(3, 0.0, 0, 900, 10, 10)});
    seeds.push_back({"wrap_negative", make_seed(2, 0.0, 0, -5, 10, 10)});
    seeds.push_back({"wrap_at_int_max", make_seed(1, 0.0, 0, 2147483647, 10, 10)});
    seeds.push_back({"end_point_0", make_seed(0, 20.0, 100, 0, 0, 8)});
    seeds.push_back({"record_count_0", make_seed(2, 20.0, 100, 0, 8, 0)});

    Seed full = make_seed(0, 0.0, 0, 0, 1000, 1000);
    set_instrument(&full, 2, 5, 100, 300, 128);
    for (int32_t r = 0; r < 1000; r += 7) set_record(&full, 2, r, 1u << (r % 24));
    seeds.push_back({"record_count_1000", full});

    Seed over = make_seed(0, 0.0, 0, 0, 2000, 12);
    put_u32(&over, layout::RECORD_COUNT_AT, 1001);
    seeds.push_back({"record_count_1001_short_file", over});

    Seed huge = make_seed(0, 0.0, 0, 0, 8, 2);
    put_u32(&huge, layout::RECORD_COUNT_AT, 2147483647u);
    seeds.push_back({"record_count_int_max", huge});

    seeds.push_back({"wait_never_passes", make_seed(0, 20.0, 0xFFFFFFFFu, 0, 8, 8)});
    seeds.push_back({"huge_timer", make_seed(0, 1e30, 0, 0, 8, 8)});

    Seed header = make_seed(0, 20.0, 100, 0, 8, 8);
    header.bytes.resize(CONTROL_BYTES + 500);
    seeds.push_back({"truncated_header", header});

    Seed lower = make_seed(0, 20.0, 100, 0, 8, 8);
    std::memcpy(&lower.bytes[CONTROL_BYTES], "tsm", 3);
    seeds.push_back({"magic_in_lower_case", lower});

    for (int i = 2; i < argc; i++) {
        std::vector<uint8_t> song = read_song(argv[i]);
        if (song.empty()) {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            return 1;
        }
        Seed seed = make_seed(0, 20.0, 0, 0, 0, 0);
        seed.bytes.resize(CONTROL_BYTES);
        seed.bytes.insert(seed.bytes.end(), song.begin(), song.end());
        std::string name = argv[i];
        size_t slash = name.find_last_of('/');
        std::string seed_name = "example_" + name.substr(slash + 1);
        if (!write_seed(dir + "/song/" + seed_name, seed.bytes) || !write_seed(dir + "/api/" + seed_name, seed.bytes)) {
            std::fprintf(stderr, "cannot write %s\n", seed_name.c_str());
            return 1;
        }
    }
    for (const Named& named : seeds) {
        if (!write_seed(dir + "/song/" + named.name, named.seed.bytes) ||
            !write_seed(dir + "/api/" + named.name, named.seed.bytes)) {
            std::fprintf(stderr, "cannot write %s\n", named.name);
            return 1;
        }
    }
    for (const CommandLine& line : COMMAND_LINES) {
        if (!write_seed(dir + "/options/" + line.name, command_line_bytes(line.arguments))) {
            std::fprintf(stderr, "cannot write %s\n", line.name);
            return 1;
        }
    }
    return 0;
}
