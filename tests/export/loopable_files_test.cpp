// The tool's loopable files as other programs read them: the loop points
// in every format, to standard output, in stems, and the refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "decoding.h"
#include "reference_tools.h"
#include "test_folder.h"
#include "test_songs.h"
#include "text_checks.h"
#include "tool_process.h"

namespace {

// examples/short.tsm: S, E - S and E.
const char* const LOOP_TAGS[] = {"LOOPSTART=1276800", "LOOPLENGTH=969600", "LOOP_START=1276800", "LOOP_END=2246400"};

}  // namespace

TEST(LoopableFiles, TagReadersFindTheLoopInEveryEncodedFormat) {
    SKIP_ON_WINDOWS("the tag readers");
    if (!can_write(OutputFormat::FLAC16)) GTEST_SKIP() << "this build writes WAV only";
    struct Row {
        const char* format;
        const char* reader;  // the command, before the file's name
        const char* prefix;  // before each KEY=value in what it prints
    };
    const char* const FFPROBE = "ffprobe -v error -show_entries format_tags:stream_tags -of default=nw=1";
    const char* const MEDIAINFO =
        "mediainfo '--Inform=General;LOOPSTART=%LOOPSTART% LOOPLENGTH=%LOOPLENGTH% "
        "LOOP_START=%LOOP_START% LOOP_END=%LOOP_END%'";
    const Row rows[] = {
        {"flac", "metaflac --export-tags-to=-", "\n"},
        {"flac24", FFPROBE, "TAG:"},
        {"ogg", "vorbiscomment -l", "\n"},
        {"ogg", FFPROBE, "TAG:"},
        {"opus", "opusinfo", "\t"},
        {"opus", FFPROBE, "TAG:"},
        {"mp3", FFPROBE, "TAG:"},
        {"mp3", MEDIAINFO, ""},
    };
    TestFolder folder;
    folder.write("short.tsm", example_bytes("short.tsm"));
    for (const Row& row : rows) {
        std::string reader(row.reader);
        SCOPED_TRACE(std::string(row.format) + ": " + reader);
        if (!have_command(reader.substr(0, reader.find(' ')))) continue;
        std::string file = folder.file(std::string("out.") + row.format);
        ToolResult run =
            run_tool(folder.path(), {"-q", "--force", "--loopable", "-f", row.format, "-o", file, "short.tsm"});
        ASSERT_EQ(run.code, 0) << run.err;
        std::string shown;
        ASSERT_EQ(run_command(reader + " " + shell_quoted(file), &shown), 0);
        shown = "\n" + shown;
        for (const char* tag : LOOP_TAGS) EXPECT_TRUE(contains(shown, row.prefix + std::string(tag)));
        if (std::string(row.format) != "mp3") continue;
        // The encoder's delay and padding, in the LAME tag of the first
        // frame, let decoders drop them and so keep the loop in place.
        std::vector<uint8_t> bytes = read_file(file);
        std::string head(bytes.begin(), bytes.begin() + (ptrdiff_t)std::min<size_t>(bytes.size(), 4096));
        size_t lame = head.find("LAME");
        ASSERT_NE(lame, std::string::npos);
        ASSERT_LT(lame + 24, bytes.size());
        uint32_t delay = ((uint32_t)bytes[lame + 21] << 4) | ((uint32_t)bytes[lame + 22] >> 4);
        uint32_t padding = (((uint32_t)bytes[lame + 22] & 0xFu) << 8) | bytes[lame + 23];
        EXPECT_GT(delay, 0u);
        EXPECT_EQ((2246400u + delay + padding) % 1152u, 0u);
    }
}

TEST(LoopableFiles, WavStreamsAndStemsShareTheLoop) {
    TestFolder folder;
    folder.write("short.tsm", example_bytes("short.tsm"));
    ToolSetup to_pipe;
    to_pipe.folder = folder.path();
    to_pipe.arguments = {"--loopable", "-f", "wav16", "-o", "-", "short.tsm"};
    to_pipe.keep_line_ends = true;  // the file's bytes, as written
    ToolResult piped = run_tool_process(to_pipe);
    ASSERT_EQ(piped.code, 0) << piped.err;
    EXPECT_TRUE(contains(piped.err, "loop from frame 1276800, 969600 frames (0:20.200), crossfade 1440 frames"));
    ToolResult stems = run_tool(folder.path(), {"-q", "--loopable", "--stems", "-f", "wav16", "short.tsm"});
    ASSERT_EQ(stems.code, 0) << stems.err;
    std::vector<std::vector<uint8_t>> files = {std::vector<uint8_t>(piped.out.begin(), piped.out.end())};
    for (const char* stem : {"track1", "track2", "track3", "drums"})
        files.push_back(read_file(folder.file(std::string("short.") + stem + ".wav")));
    for (const std::vector<uint8_t>& bytes : files) EXPECT_TRUE(holds_wav_loop(bytes, 4, 1276800, 2246400));
}

TEST(LoopableFiles, RefusalsSayWhy) {
    TestFolder folder;
    folder.write("short.tsm", example_bytes("short.tsm"));
    folder.write("never.tsm", song_bytes(0x80000000u, 0, 8, 8));
    struct Row {
        std::vector<std::string> arguments;
        int code;
        std::string first_line;
    };
    const Row rows[] = {
        {{"--loopable", "--fade", "2", "short.tsm"},
         2,
         "tamselexport: --loopable and --fade exclude each other (a loopable file holds the intro and one pass of "
         "the loop)"},
        {{"-l", "1", "--loopable", "short.tsm"},
         2,
         "tamselexport: --loopable and --loops exclude each other (a loopable file holds the intro and one pass of "
         "the loop)"},
        {{"--loopable", "never.tsm"},
         1,
         "tamselexport: never.tsm: never wraps to its repeat start (its step time is never reached), so it has no "
         "loop"},
    };
    for (const Row& row : rows) {
        ToolResult run = run_tool(folder.path(), row.arguments);
        EXPECT_EQ(run.code, row.code) << run.err;
        EXPECT_EQ(run.err.substr(0, run.err.find('\n')), row.first_line);
    }
    ToolResult info = run_tool(folder.path(), {"--info", "--loopable", "never.tsm"});
    EXPECT_EQ(info.code, 0);
    EXPECT_TRUE(contains(info.out,
                         "  length:       never wraps to its repeat start (its step time is never reached), so it "
                         "has no loop (wav, loops 0, tick 20 ms, loopable)\n"));
    EXPECT_EQ(files_in(folder.path()), (std::vector<std::string>{"never.tsm", "short.tsm"}));
}
