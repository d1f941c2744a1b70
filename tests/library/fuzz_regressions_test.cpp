// What the fuzz targets found, kept as facts: each case loads the minimised
// input from fuzz/regressions and checks the behaviour that input once
// broke. Inputs of the song and api targets are 16 control bytes, then the
// song; inputs of the options target are arguments, each ended by a zero
// byte.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tamsel/tamsel.h"
#include "test_folder.h"
#include "tool/cli_options.h"

static constexpr size_t CONTROL_BYTES = 16;

struct FuzzInput {
    int32_t loops;   // control bytes 0-1, int16
    uint32_t muted;  // control byte 4
    std::vector<uint8_t> song;
};

static std::vector<uint8_t> read_regression(const char* name) {
    return read_file(std::string(TAMSEL_SOURCE_DIR) + "/fuzz/regressions/" + name);
}

static FuzzInput read_fuzz_input(const char* name) {
    std::vector<uint8_t> bytes = read_regression(name);
    FuzzInput input = {0, 0, {}};
    if (bytes.size() < CONTROL_BYTES) {
        ADD_FAILURE() << name << " is missing or shorter than the control bytes";
        return input;
    }
    input.loops = (int16_t)(uint16_t)(bytes[0] | bytes[1] << 8);
    input.muted = bytes[4];
    input.song.assign(bytes.begin() + CONTROL_BYTES, bytes.end());
    return input;
}

// Integer sums of the whole render (at most max_frames) with these tracks muted.
static std::vector<int32_t> render_sums(const tamsel_song* song, int32_t loops, uint32_t muted, uint64_t max_frames) {
    tamsel_render_options options;
    tamsel_render_options_init(&options);
    options.loops = loops;
    options.muted_tracks = muted;
    tamsel_renderer* renderer = nullptr;
    std::vector<int32_t> sums;
    if (tamsel_renderer_create(song, &options, &renderer) != TAMSEL_OK) return sums;
    sums.resize(2 * max_frames);
    size_t got = tamsel_render_int32(renderer, sums.data(), max_frames);
    sums.resize(2 * got);
    tamsel_renderer_free(renderer);
    return sums;
}

static bool all_zero(const std::vector<int32_t>& sums) {
    for (int32_t s : sums) {
        if (s != 0) return false;
    }
    return true;
}

// The song wraps after record 0 (repeat end 1) to record 5 (repeat start),
// and only record 5 starts a note, on track 1. With one loop the note plays,
// so track 1 has notes the sequencer reaches.
TEST(FuzzRegressions, NotesReachedOnlyAtTheRepeatStartCount) {
    FuzzInput input = read_fuzz_input("api-notes-only-at-repeat-start");
    tamsel_song* song = nullptr;
    ASSERT_EQ(tamsel_song_load_memory(input.song.data(), input.song.size(), &song), TAMSEL_OK);
    tamsel_song_info info;
    tamsel_song_get_info(song, &info);
    EXPECT_EQ(info.repeat_start, 5);
    EXPECT_EQ(info.repeat_end, 1);
    EXPECT_EQ(input.loops, 1);

    std::vector<int32_t> track_1_alone = render_sums(song, input.loops, 0xEu, 48000);
    EXPECT_FALSE(track_1_alone.empty());
    EXPECT_FALSE(all_zero(track_1_alone)) << "the note at the repeat start is heard";
    EXPECT_EQ(tamsel_song_tracks_with_notes(song), 0x1u);
    tamsel_song_free(song);
}

// The arguments of an options input, after the program's name.
static std::vector<std::string> read_arguments(const char* name) {
    std::vector<uint8_t> bytes = read_regression(name);
    std::vector<std::string> arguments;
    std::string argument;
    for (uint8_t b : bytes) {
        if (b == 0) {
            arguments.push_back(argument);
            argument.clear();
        } else {
            argument.push_back((char)b);
        }
    }
    if (!argument.empty()) arguments.push_back(argument);
    return arguments;
}

static ParseResult parse_arguments_of(std::vector<std::string> arguments, std::string* error) {
    std::vector<char*> argv;
    static char program[] = "tamselexport";
    argv.push_back(program);
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    CliOptions options;
    return parse_cli_options((int)argv.size() - 1, argv.data(), &options, error);
}

// "-l 18446744073709551620" is 2^64 + 4: a reading that wraps at 64 bits
// took it for 4 loops. A number beyond every range is refused, whatever it
// wraps to.
TEST(FuzzRegressions, WholeNumbersPast2To64AreRefused) {
    std::vector<std::string> arguments = read_arguments("options-loops-past-2-to-64");
    ASSERT_EQ(arguments.size(), 3u);
    EXPECT_EQ(arguments[1], "18446744073709551620");
    std::string error;
    EXPECT_EQ(parse_arguments_of(arguments, &error), ParseResult::USAGE_ERROR);
    EXPECT_EQ(error, "--loops: invalid value '18446744073709551620' (a whole number 0..2147483647)");
    EXPECT_EQ(parse_arguments_of({"-j", "18446744073709551617", "a.tsm"}, &error), ParseResult::USAGE_ERROR);
    EXPECT_EQ(parse_arguments_of({"-l", "4", "a.tsm"}, &error), ParseResult::RUN);
}
