// Hostile and broken song files and arguments, handed to the real tool.
// Whatever it is given, the tool ends with exit code 0 after "File saved" or
// with exit code 1 after one line saying why; a saved file is a complete WAV
// file whose header matches its length, and a failure leaves no file behind
// (an output that was there before stays as it was).
//
// Most cases start from one song: 8 records, wait 100 (a step every 5760
// frames at the default 20 ms tick), so one pass is 46080 frames; every
// record starts a note of instrument 0 and a kick. Songs with many records
// use wait 0 (a step every 960 frames).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/byte_order.h"
#include "common/path_rules.h"
#include "engine/render_length.h"
#include "song_builder.h"
#include "test_engine.h"
#include "test_folder.h"
#include "tool_forms.h"
#include "tool_process.h"

using namespace tamsel::core;

namespace {

// Instrument 0's fields, as file offsets.
constexpr uint32_t OCTAVE = instrument_at(0) + INSTRUMENT_OCTAVE_AT;
constexpr uint32_t LENGTH = instrument_at(0) + INSTRUMENT_LENGTH_AT;
constexpr uint32_t VOLUME = instrument_at(0) + INSTRUMENT_VOLUME_AT;

constexpr int64_t ANY_LENGTH = -1;
constexpr int64_t PASS = 46080;  // one pass of the base song

struct Outcome {
    int code;
    const char* line;  // the last line the tool prints
    int64_t frames;    // frames in the saved file, or ANY_LENGTH
};

constexpr Outcome FAIL_LOAD = {1, "Fail load", 0};
constexpr Outcome BAD_TIMER = {1, "Bad timer value", 0};
constexpr Outcome TOO_LONG = {1, "Song too long for a WAV file", 0};
constexpr Outcome WRITE_ERROR = {1, "Error!", 0};
constexpr Outcome saved(int64_t frames) {
    return {0, "File saved", frames};
}

void remove_path(const std::string& path) {
    std::error_code error;
    std::filesystem::remove(path, error);
}

uint32_t u32_at(const std::vector<uint8_t>& bytes, size_t offset) {
    return tamsel::read_u32_le(bytes.data() + offset);
}

// Everything the tool prints when it ends with line: the usage, then the
// progress lines it has reached, then line.
std::string expected_output(const std::string& input, const std::string& output, const char* line) {
    if (std::strcmp(line, "Bad timer value") == 0) return usage_text() + line + "\n";
    std::string loading = "Loading file " + input + "\n";
    if (std::strcmp(line, "Fail load") == 0) return usage_text() + loading + line + "\n";
    return usage_text() + loading + "Exporting to file " + output + "\n" + line + "\n";
}

// Runs the tool on the file input in dir with the extra arguments (words
// between blanks) and checks the outcome. what names the case in failure
// messages.
void expect_outcome(const std::string& dir, const std::string& input, const std::string& extra, const Outcome& expected,
                    const std::string& what) {
    std::string output = path_with_extension(input, ".wav");
    std::string output_path = dir + "/" + output;
    std::vector<std::string> arguments = {input};
    for (const std::string& word : words_of(extra)) arguments.push_back(word);
    ToolResult run = run_tool(dir, arguments);
    EXPECT_EQ(run.code, expected.code) << what;
    EXPECT_EQ(run.out, expected_output(input, output, expected.line)) << what;
    EXPECT_EQ(run.err, "") << what;
    if (expected.code != 0) {
        EXPECT_FALSE(file_exists(output_path)) << what;
        return;
    }
    std::vector<uint8_t> wav = read_file(output_path);
    ASSERT_GE(wav.size(), 44u) << what;
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF") << what;
    EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 16), "WAVEfmt ") << what;
    EXPECT_EQ(u32_at(wav, 4), wav.size() - 8) << what;
    EXPECT_EQ(u32_at(wav, 40), wav.size() - 44) << what;
    EXPECT_EQ((wav.size() - 44) % 8, 0u) << what;
    if (expected.frames != ANY_LENGTH) {
        EXPECT_EQ((int64_t)(wav.size() - 44) / 8, expected.frames) << what;
    }
    remove_path(output_path);
}

SongFile base_song() {
    int8_t waveform[256];
    uint8_t envelope[64];
    for (int32_t p = 0; p < 256; p++) waveform[p] = (int8_t)(p < 128 ? 100 : -100);
    std::memset(envelope, 128, sizeof envelope);
    SongFile song = make_song(100, 0, 8, 8);
    set_instrument(&song, 0, 4, 1000, 300, waveform, envelope);
    for (int32_t r = 0; r < 8; r++) {
        set_record(&song, 0, r, 1u << r);
        set_record(&song, 3, r, 1u);
    }
    return song;
}

std::vector<uint8_t> with_u32(uint32_t offset, uint32_t value) {
    SongFile song = base_song();
    set_u32(&song, offset, value);
    return song.bytes;
}

std::vector<uint8_t> with_byte(uint32_t offset, uint8_t value) {
    SongFile song = base_song();
    song.bytes[offset] = value;
    return song.bytes;
}

std::vector<uint8_t> with_magic(const char magic[3]) {
    SongFile song = base_song();
    set_magic(&song, magic);
    return song.bytes;
}

// wait 0 and end point 1200: the record count alone decides the length.
// laid_out records per track are in the file, whatever it claims.
std::vector<uint8_t> claiming_records(int32_t claimed, int32_t laid_out) {
    SongFile song = make_song(0, 0, 1200, laid_out);
    for (int32_t t = 0; t < 4; t++) {
        for (int32_t r = 0; r < laid_out; r += 97) set_record(&song, t, r, 0x01000001u);
    }
    set_record_count(&song, (uint32_t)claimed);
    return song.bytes;
}

// 248 records with the pan selectors 8..255 and a note on every track.
std::vector<uint8_t> unknown_pans() {
    SongFile song = make_song(0, 0, 248, 248);
    for (int32_t r = 0; r < 248; r++) {
        for (int32_t t = 0; t < 4; t++) set_record(&song, t, r, (uint32_t)(8 + r) << 24 | 1u << (r % 24));
    }
    return song.bytes;
}

// Every instrument with notes of a few samples, and every bit of every
// record set: 96 voices restart at every step and play to their end.
std::vector<uint8_t> tiny_notes_all_bits() {
    SongFile song = base_song();
    int8_t waveform[256];
    uint8_t envelope[64];
    std::memset(waveform, 0x80, sizeof waveform);
    std::memset(envelope, 255, sizeof envelope);
    const int32_t lengths[3] = {2, 3, 64};
    for (int32_t i = 0; i < 3; i++) set_instrument(&song, i, (uint8_t)(20 + i), lengths[i], 300, waveform, envelope);
    for (int32_t t = 0; t < 4; t++) {
        for (int32_t r = 0; r < 8; r++) set_record(&song, t, r, 0xFFFFFFFFu);
    }
    return song.bytes;
}

struct FileCase {
    const char* what;
    std::vector<uint8_t> bytes;
    const char* arguments;
    Outcome outcome;
};

void run_cases(const std::vector<FileCase>& cases) {
    TestFolder folder;
    for (size_t i = 0; i < cases.size(); i++) {
        std::string name = "case" + std::to_string(i) + ".tsm";
        folder.write(name, cases[i].bytes);
        expect_outcome(folder.path(), name, cases[i].arguments, cases[i].outcome,
                       std::string(cases[i].what) + " [" + cases[i].arguments + "]");
    }
}

TEST(MalformedFiles, TheMagicIsExactlyTSM) {
    run_cases({
        {"lower case", with_magic("tsm"), "", FAIL_LOAD},
        {"first letter only", with_magic("Tsm"), "", FAIL_LOAD},
        {"last letter lower", with_magic("TSm"), "", FAIL_LOAD},
        {"first letter lower", with_magic("tSM"), "", FAIL_LOAD},
        {"a zero byte", with_magic("TS\0"), "", FAIL_LOAD},
        {"another letter", with_magic("XSM"), "", FAIL_LOAD},
        {"byte 3 is free", with_byte(3, 0xFF), "", saved(PASS)},
    });
}

TEST(MalformedFiles, RecordCountsBeyondTheTracks) {
    run_cases({
        {"record_count -1", claiming_records(-1, 8), "", saved(0)},
        {"record_count 0", claiming_records(0, 8), "", saved(0)},
        {"record_count 1", claiming_records(1, 8), "", saved(960)},
        {"record_count 1000", claiming_records(1000, 1000), "", saved(960000)},
        {"record_count 1001", claiming_records(1001, 1001), "", saved(960960)},
        {"record_count 1001, file of 8", claiming_records(1001, 8), "", saved(960960)},
        {"record_count 2^31 - 1", claiming_records(2147483647, 8), "", saved(1152000)},
        {"record_count -2^31", claiming_records(INT32_MIN, 8), "", saved(0)},
    });
}

TEST(MalformedFiles, RepeatPointsOutsideTheRecords) {
    run_cases({
        // One pass of 8 steps, then each loop replays positions -5..7.
        {"repeat_start -5", with_u32(REPEAT_START_AT, (uint32_t)-5), "2", saved((8 + 2 * 13) * 5760)},
        {"repeat_start at the end point", with_u32(REPEAT_START_AT, 8), "2", saved((8 + 2) * 5760)},
        {"repeat_start far beyond", with_u32(REPEAT_START_AT, 5000), "2", saved((8 + 2) * 5760)},
        {"repeat_start 2^31 - 1, played once", with_u32(REPEAT_START_AT, 2147483647u), "", saved(PASS)},
        {"repeat_start -2^31, played once", with_u32(REPEAT_START_AT, 0x80000000u), "", saved(PASS)},
        {"repeat_end 0", with_u32(REPEAT_END_AT, 0), "", saved(0)},
        {"repeat_end 0, 3 loops", with_u32(REPEAT_END_AT, 0), "3", saved(3 * 5760)},
        {"repeat_end -1", with_u32(REPEAT_END_AT, (uint32_t)-1), "", saved(0)},
        {"repeat_end -2^31", with_u32(REPEAT_END_AT, 0x80000000u), "1", saved(5760)},
        {"repeat_end 1", with_u32(REPEAT_END_AT, 1), "", saved(5760)},
        {"repeat_end beyond the records", with_u32(REPEAT_END_AT, 1001), "", saved(PASS)},
    });
}

TEST(MalformedFiles, InstrumentsAndVolumesAtTheEndsOfTheirRange) {
    run_cases({
        {"octave 31", with_byte(OCTAVE, 31), "", saved(PASS)},
        {"octave 255", with_byte(OCTAVE, 255), "", saved(PASS)},
        {"length 0", with_u32(LENGTH, 0), "", saved(PASS)},
        {"length 1", with_u32(LENGTH, 1), "", saved(PASS)},
        {"length 2", with_u32(LENGTH, 2), "", saved(PASS)},
        {"length 2^25 + 1", with_u32(LENGTH, (1u << 25) + 1), "", saved(PASS)},
        {"length 2^31 - 1", with_u32(LENGTH, 2147483647u), "", saved(PASS)},
        {"length -1", with_u32(LENGTH, 0xFFFFFFFFu), "", saved(PASS)},
        {"length -2^31", with_u32(LENGTH, 0x80000000u), "", saved(PASS)},
        {"volume -2^31", with_u32(VOLUME, 0x80000000u), "", saved(PASS)},
        {"volume -1", with_u32(VOLUME, 0xFFFFFFFFu), "", saved(PASS)},
        {"volume 0", with_u32(VOLUME, 0), "", saved(PASS)},
        {"volume 4395", with_u32(VOLUME, 4395), "", saved(PASS)},
        {"volume 4396", with_u32(VOLUME, 4396), "", saved(PASS)},
        {"volume 2^31 - 1", with_u32(VOLUME, 2147483647u), "", saved(PASS)},
        {"drum_volume 0", with_u32(DRUM_VOLUME_AT, 0), "", saved(PASS)},
        {"drum_volume 428", with_u32(DRUM_VOLUME_AT, 428), "", saved(PASS)},
        {"drum_volume 429", with_u32(DRUM_VOLUME_AT, 429), "", saved(PASS)},
        {"drum_volume 4396", with_u32(DRUM_VOLUME_AT, 4396), "", saved(PASS)},
        {"drum_volume 2^32 - 1", with_u32(DRUM_VOLUME_AT, 0xFFFFFFFFu), "", saved(PASS)},
        {"notes of 2, 3 and 64 samples, all bits set", tiny_notes_all_bits(), "", saved(PASS)},
        {"the same at a tick of 0", tiny_notes_all_bits(), "0 0", saved(ANY_LENGTH)},
        {"the same at a tick of 16.6 ms", tiny_notes_all_bits(), "1 16.6", saved(ANY_LENGTH)},
        {"pan selectors 8..255", unknown_pans(), "", saved(248 * 960)},
        {"wait 0", with_u32(WAIT_AT, 0), "", saved(8 * 960)},
    });
}

// How each loop count reads is CommandLine's table; these rows hold the
// tool to it.
TEST(MalformedFiles, ArgumentsAtTheEndsOfTheirRange) {
    SongFile song = base_song();
    run_cases({
        {"timer inf", song.bytes, "0 inf", BAD_TIMER},
        {"timer infinity", song.bytes, "0 infinity", BAD_TIMER},
        {"timer nan", song.bytes, "0 nan", BAD_TIMER},
        {"timer -nan", song.bytes, "0 -nan", BAD_TIMER},
        {"timer 1e999", song.bytes, "0 1e999", BAD_TIMER},
        {"timer 0", song.bytes, "0 0", saved(ANY_LENGTH)},
        {"timer 1e-300", song.bytes, "0 1e-300", saved(ANY_LENGTH)},
        {"timer abc reads as 0", song.bytes, "0 abc", saved(ANY_LENGTH)},
        {"timer -5 becomes 20", song.bytes, "0 -5", saved(PASS)},
        {"timer -inf becomes 20", song.bytes, "0 -inf", saved(PASS)},
        {"loops 3", song.bytes, "3", saved((8 + 3 * 8) * 5760)},
        {"loops 2^31 wraps negative", song.bytes, "2147483648", saved(PASS)},
        {"loops -1 and timer -5 stay positional", song.bytes, "-1 -5", saved(PASS)},
        {"arguments after the third", song.bytes, "0 20 extra more", saved(PASS)},
    });
}

// Each of these has to follow the song to the largest WAV file before it can
// refuse it, so they are kept to one per cause.
TEST(MalformedFiles, SongsTooLongForAWavFileAreRefused) {
    SongFile one_record = make_song(0, 0, 1, 1);
    run_cases({
        {"wait never passes", with_u32(WAIT_AT, 0xFFFFFFFFu), "", TOO_LONG},
        {"the clock ticks once", base_song().bytes, "0 1e300", TOO_LONG},
        {"loops 2^31 - 1", base_song().bytes, "2147483647", TOO_LONG},
        {"repeat_start 2^31 - 1 wraps to -2^31", with_u32(REPEAT_START_AT, 2147483647u), "1", TOO_LONG},
        // 1 + loops steps of at least 960 frames: 536871360 frames, beyond
        // the 536870907 a WAV file can describe.
        {"one loop past the largest WAV file", one_record.bytes, "559240", TOO_LONG},
    });
}

// Every cut of the song, in the header and in the records, loads (the
// missing bytes read as 0) when the magic is whole, and none loads without
// the magic. The library is asked for each length; the tool runs on the
// lengths where the outcome changes.
TEST(MalformedFiles, FilesCutAtEveryLength) {
    SongFile song = base_song();
    std::vector<uint8_t> untagged = with_magic("XSM");
    for (size_t n = 0; n <= song.bytes.size(); n++) {
        std::vector<uint8_t> cut(song.bytes.begin(), song.bytes.begin() + (ptrdiff_t)n);
        // Until the record count is whole the end point is 0.
        uint64_t expected = n <= RECORD_COUNT_AT ? 0 : PASS;
        Engine engine = start_engine(cut, 0, 20.0);
        ASSERT_EQ(engine.renderer != nullptr, n >= 3) << n;
        if (n >= 3) {
            uint64_t frames = 0;
            EXPECT_EQ(measure_render_length(engine.renderer.get(), TAMSEL_WAV_MAX_FRAMES, &frames, nullptr, nullptr),
                      RenderLength::MEASURED)
                << n;
            EXPECT_EQ(frames, expected) << n;
            EXPECT_EQ(render_to_end(engine.renderer.get(), PASS + 1).size(), 2 * expected) << n;
        }
        std::vector<uint8_t> cut_untagged(untagged.begin(), untagged.begin() + (ptrdiff_t)n);
        ASSERT_EQ(start_engine(cut_untagged, 0, 20.0).renderer, nullptr) << n;
    }

    std::vector<FileCase> cases;
    const uint64_t ends[] = {0,
                             1,
                             2,
                             3,
                             RECORD_COUNT_AT,
                             RECORD_COUNT_AT + 1,
                             FIRST_INSTRUMENT_AT,
                             SONG_HEADER_SIZE - 1,
                             SONG_HEADER_SIZE,
                             SONG_HEADER_SIZE + 1,
                             song_file_size(8) - 1};
    for (uint64_t n : ends) {
        std::vector<uint8_t> cut(song.bytes.begin(), song.bytes.begin() + (ptrdiff_t)n);
        std::vector<uint8_t> cut_untagged(untagged.begin(), untagged.begin() + (ptrdiff_t)n);
        cases.push_back({"cut", cut, "", n < SONG_MAGIC_SIZE ? FAIL_LOAD : saved(n <= RECORD_COUNT_AT ? 0 : PASS)});
        cases.push_back({"cut without the magic", cut_untagged, "", FAIL_LOAD});
    }
    run_cases(cases);
}

TEST(MalformedFiles, InputsThatAreNotSongFiles) {
    TestFolder folder;
    folder.write("song.tsm", base_song().bytes);
    std::string dir = folder.path();
    std::error_code error;
    std::filesystem::create_directory(dir + "/folder.tsm", error);
    expect_outcome(dir, "missing.tsm", "", FAIL_LOAD, "a missing file");
    expect_outcome(dir, "folder.tsm", "", FAIL_LOAD, "a folder");
    EXPECT_TRUE(std::filesystem::is_directory(dir + "/folder.tsm", error));
    if (file_exists("/dev/null")) expect_outcome(dir, "/dev/null", "", FAIL_LOAD, "/dev/null");
    expect_outcome(dir, "song.tsm", "", saved(PASS), "the song itself");
}

TEST(MalformedFiles, OutputsThatCannotBeWritten) {
    SongFile song = base_song();
    TestFolder folder;
    folder.write("song.tsm", song.bytes);
    std::string dir = folder.path();
    std::error_code error;

    // An input named like its output: the song must survive.
    folder.write("song.wav", song.bytes);
    ToolResult same = run_tool(dir, {"song.wav"});
    EXPECT_EQ(same.out, expected_output("song.wav", "song.wav", "Error!"));
    EXPECT_EQ(same.code, 1);
    EXPECT_EQ(read_file(dir + "/song.wav"), song.bytes);
    remove_path(dir + "/song.wav");

    // An output that is a link back to the song (Windows makes links only
    // with a privilege).
    std::filesystem::create_symlink("song.tsm", dir + "/song.wav", error);
    if (!error) {
        ToolResult linked = run_tool(dir, {"song.tsm"});
        EXPECT_EQ(linked.out, expected_output("song.tsm", "song.wav", "Error!"));
        EXPECT_EQ(linked.code, 1);
        EXPECT_EQ(read_file(dir + "/song.tsm"), song.bytes);
        remove_path(dir + "/song.wav");
    }

    // An output path that is a folder.
    std::filesystem::create_directory(dir + "/song.wav", error);
    ToolResult blocked = run_tool(dir, {"song.tsm"});
    EXPECT_EQ(blocked.out, expected_output("song.tsm", "song.wav", "Error!"));
    EXPECT_EQ(blocked.code, 1);
    EXPECT_TRUE(std::filesystem::is_directory(dir + "/song.wav", error));
    remove_path(dir + "/song.wav");

    // A name one component cannot hold: 255 characters and ".wav".
    std::string long_name(255, 'n');
    folder.write(long_name, song.bytes);
    expect_outcome(dir, long_name, "", WRITE_ERROR, "an output name of 259 characters");

    // A disk that is full, for a song with frames and for a bare header. The
    // output is a link to the device: it was there before and stays as it
    // was, and no temporary file is left beside it.
#ifdef _WIN32
    const bool has_full_device = false;  // Windows has none
#else
    const bool has_full_device = file_exists("/dev/full");
#endif
    if (has_full_device) {
        folder.write("empty.tsm", with_u32(REPEAT_END_AT, 0));
        for (const char* name : {"song", "empty"}) {
            std::string output = dir + "/" + name + ".wav";
            std::filesystem::create_symlink("/dev/full", output, error);
            std::string input = std::string(name) + ".tsm";
            ToolResult full = run_tool(dir, {input});
            EXPECT_EQ(full.out, expected_output(input, std::string(name) + ".wav", "Error!")) << name;
            EXPECT_EQ(full.code, 1) << name;
            EXPECT_TRUE(std::filesystem::is_symlink(output, error)) << name;
            EXPECT_EQ(std::filesystem::read_symlink(output, error), "/dev/full") << name;
            for (const std::string& entry : files_in(dir))
                EXPECT_EQ(entry.find(".partial-"), std::string::npos) << name;
            remove_path(output);
        }
    }
}

// The largest note a song may ask for, 2^25 samples. Notes are made as they
// play, so all three instruments at that length cost no more than one.
TEST(MalformedFiles, LargestInstrumentsArePlayed) {
    SongFile all_three = base_song();
    for (uint32_t i = 0; i < 3; i++) {
        set_u32(&all_three, instrument_at((int32_t)i) + INSTRUMENT_LENGTH_AT, 1u << 25);
        set_u32(&all_three, instrument_at((int32_t)i) + INSTRUMENT_VOLUME_AT, 300);
        for (int32_t r = 0; r < 8; r++) set_record(&all_three, (int32_t)i, r, 0x00FFFFFFu);
    }
    run_cases({{"length 2^25", with_u32(LENGTH, 1u << 25), "", saved(PASS)},
               {"three instruments of length 2^25, every note", all_three.bytes, "", saved(PASS)}});
}

}  // namespace
