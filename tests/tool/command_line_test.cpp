// The tool as a person runs it: arguments, messages, exit codes, files.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "common/byte_order.h"
#include "song_builder.h"
#include "test_folder.h"
#include "tool/positional_arguments.h"
#include "tool_forms.h"
#include "tool_process.h"

// Puts song.tsm in the folder; returns the folder's path.
static std::string song_dir(const TestFolder& folder) {
    folder.write("song.tsm", make_song(100, 0, 8, 8).bytes);
    return folder.path();
}

static uint32_t u32_at(const std::vector<uint8_t>& bytes, size_t offset) {
    return tamsel::read_u32_le(bytes.data() + offset);
}

TEST(CommandLine, LoopsParseLikeA32BitStrtoul) {
    struct Row {
        const char* text;
        uint32_t value;
    } rows[] = {
        {"0", 0},
        {"7", 7},
        {"  +12x", 12},
        {"abc", 0},
        {"", 0},
        {"-1", 4294967295u},
        {"2147483647", 2147483647u},
        {"4294967295", 4294967295u},
        {"4294967296", 4294967295u},
        {"99999999999999999999", 4294967295u},
        {"-4294967295", 1},
        {"-4294967296", 4294967295u},
        {"\t\n 5", 5},
        {"- 5", 0},
    };
    for (const Row& row : rows) EXPECT_EQ(parse_u32_like_strtoul(row.text), row.value) << '"' << row.text << '"';
}

TEST(CommandLine, ArgumentsAndTheirCorrections) {
    struct Row {
        std::vector<const char*> argv;
        int32_t loops;
        double timer_ms;
    } rows[] = {
        {{"x", "song.tsm"}, 0, 20.0},
        {{"x", "song.tsm", "3"}, 3, 20.0},
        {{"x", "song.tsm", "-1"}, 0, 20.0},
        {{"x", "song.tsm", "2147483648"}, 0, 20.0},
        {{"x", "song.tsm", "2147483647", "16.6"}, 2147483647, 16.6},
        {{"x", "song.tsm", "1", "abc"}, 1, 0.0},
        {{"x", "song.tsm", "1", "-5"}, 1, 20.0},
        {{"x", "song.tsm", "1", "-inf"}, 1, 20.0},
        {{"x", "song.tsm", "1", "0", "ignored"}, 1, 0.0},
    };
    for (Row& row : rows) {
        ExportArguments args;
        ASSERT_TRUE(parse_arguments((int)row.argv.size(), (char**)row.argv.data(), &args));
        EXPECT_STREQ(args.input_path, "song.tsm");
        EXPECT_EQ(args.loops, row.loops) << row.argv.size();
        EXPECT_EQ(args.timer_ms, row.timer_ms) << row.argv.size();
    }
    ExportArguments args;
    const char* alone[] = {"x"};
    EXPECT_FALSE(parse_arguments(1, (char**)alone, &args));
}

TEST(CommandLine, NoArgumentsPrintsUsage) {
    TestFolder folder;
    ToolResult run = run_tool(song_dir(folder), {});
    EXPECT_EQ(run.out, usage_text());
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.code, 1);
}

TEST(CommandLine, RendersASongWithTheDefaults) {
    TestFolder folder;
    std::string dir = song_dir(folder);
    ToolResult run = run_tool(dir, {"song.tsm"});
    EXPECT_EQ(run.out, usage_text() + "Loading file song.tsm\nExporting to file song.wav\nFile saved\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.code, 0);
    std::vector<uint8_t> wav = read_file(dir + "/song.wav");
    ASSERT_EQ(wav.size(), 368684u);
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(u32_at(wav, 4), 368676u);
    EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(u32_at(wav, 16), 16u);
    EXPECT_EQ(u32_at(wav, 20), 3u | 2u << 16);  // float, 2 channels
    EXPECT_EQ(u32_at(wav, 24), 48000u);
    EXPECT_EQ(u32_at(wav, 28), 384000u);
    EXPECT_EQ(u32_at(wav, 32), 8u | 32u << 16);  // 8 bytes a frame, 32 bits
    EXPECT_EQ(std::string(wav.begin() + 36, wav.begin() + 40), "data");
    EXPECT_EQ(u32_at(wav, 40), 368640u);
}
