// --info and --info --json against songs whose lengths and loop points are
// worked out by hand. At the default 20 ms tick a step time of 100 ms gives
// a step every 120 ms (the first tick past 100 ms): 5760 frames per record.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "song_builder.h"
#include "tamsel/tamsel.h"
#include "test_folder.h"
#include "test_songs.h"
#include "text_checks.h"
#include "tool_process.h"

namespace {

const char* const SILENT_INSTRUMENTS =
    "\"instruments\":[{\"octave\":0,\"length\":0,\"volume\":0},{\"octave\":0,\"length\":0,\"volume\":0},"
    "{\"octave\":0,\"length\":0,\"volume\":0}]";

// The JSON line of a song made by song_bytes (notes on track 1 only).
std::string json_line(const std::string& file, int32_t loops, const std::string& tick, const std::string& fade,
                      uint32_t step_ms, int32_t records, int32_t repeat_start, int32_t repeat_end,
                      const std::string& length, const std::string& wraps, const std::string& loop) {
    std::string line = "{\"file\":\"" + file + "\",\"loops\":" + std::to_string(loops) + ",\"tick_ms\":" + tick;
    line += ",\"fade_seconds\":" + fade + ",\"format\":\"wav\",\"step_ms\":" + std::to_string(step_ms);
    line += ",\"records\":" + std::to_string(records) + ",\"repeat_start\":" + std::to_string(repeat_start);
    line += ",\"repeat_end\":" + std::to_string(repeat_end) + ",\"drum_volume\":300,";
    line += SILENT_INSTRUMENTS;
    line += ",\"tracks_with_notes\":[\"1\"]," + length + ",\"wraps\":[" + wraps + "]," + loop + ",\"error\":null}\n";
    return line;
}

// S and E - S of a song's loop, known without --loopable; its crossfade is not.
std::string loop_of(const std::string& start, const std::string& pass) {
    return "\"loop_start\":" + start + ",\"loop_length\":" + pass +
           ",\"loop_crossfade\":null,\"loop_difference_db\":null";
}
const std::string NO_LOOP = loop_of("null", "null");

std::string length_of(uint64_t frames, const std::string& seconds) {
    return "\"frames\":" + std::to_string(frames) + ",\"seconds\":" + seconds + ",\"length_problem\":null";
}

struct InfoCase {
    const char* options;
    uint32_t step_ms;
    int32_t repeat_start, repeat_end, records;
    int32_t loops;
    const char* tick;
    const char* fade;
    uint64_t frames;
    const char* seconds;
    const char* wraps;
    const char* loop_start;
    const char* loop_length;
};

TEST(SongInfo, LengthsAndLoopPointsWorkedOutByHand) {
    const InfoCase cases[] = {
        // 8 records of 5760 frames.
        {"", 100, 0, 8, 8, 0, "20", "0", 46080, "0.96", "", "46080", "46080"},
        // Records 0..7, then twice records 2..7 (6 x 5760 = 34560 each).
        {"-l 2", 100, 2, 8, 8, 2, "20", "0", 115200, "2.4", "46080,80640", "46080", "34560"},
        // The song wraps at its repeat end, 5, not at its 8 records.
        {"-l 1", 100, 0, 5, 8, 1, "20", "0", 57600, "1.2", "28800", "28800", "28800"},
        // One record wrapping to itself: four steps of 5760.
        {"-l 3", 100, 0, 1, 1, 3, "20", "0", 23040, "0.48", "5760,11520,17280", "5760", "5760"},
        // A 10 ms tick steps every 110 ms: 5280 frames.
        {"-t 10", 100, 0, 8, 8, 0, "10", "0", 42240, "0.88", "", "42240", "42240"},
        // Step time 0 steps on every 20 ms tick: 960 frames per record.
        {"--tick=20 --loops=1", 0, 0, 4, 4, 1, "20", "0", 7680, "0.16", "3840", "3840", "3840"},
        // A one-second fade plays on past the end at 80640, through the
        // next wrap at 115200, to 128640.
        {"-l 1 --fade 1", 100, 2, 8, 8, 1, "20", "1", 128640, "2.68", "46080,80640,115200", "46080", "34560"},
    };
    TestFolder folder;
    for (const InfoCase& c : cases) {
        folder.write("s.tsm", song_bytes(c.step_ms, c.repeat_start, c.repeat_end, c.records));
        ToolResult run = run_tool(folder.path(), words_of(std::string("--info --json ") + c.options + " s.tsm"));
        EXPECT_EQ(run.code, 0) << c.options;
        EXPECT_EQ(run.err, "") << c.options;
        EXPECT_EQ(run.out,
                  json_line("s.tsm", c.loops, c.tick, c.fade, c.step_ms, c.records, c.repeat_start, c.repeat_end,
                            length_of(c.frames, c.seconds), c.wraps, loop_of(c.loop_start, c.loop_length)))
            << c.options;
    }
}

TEST(SongInfo, NeverEndsAndTooLongHaveNoFrames) {
    TestFolder folder;
    folder.write("never.tsm", song_bytes(0x80000000u, 0, 8, 8));
    folder.write("s.tsm", song_bytes(100, 0, 8, 8));
    ToolResult run = run_tool(folder.path(), {"--json", "never.tsm"});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, json_line("never.tsm", 0, "20", "0", 0x80000000u, 8, 0, 8,
                                 "\"frames\":null,\"seconds\":null,\"length_problem\":\"never ends\"", "", NO_LOOP));
    // 8 + 2147483647 x 8 records of 120 ms: past the clock's last reading,
    // so the render never ends; 8 + 30000 x 8 of them end past what a WAV
    // file holds.
    run = run_tool(folder.path(), {"--json", "-l", "2147483647", "s.tsm"});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, json_line("s.tsm", 2147483647, "20", "0", 100, 8, 0, 8,
                                 "\"frames\":null,\"seconds\":null,\"length_problem\":\"never ends\"", "",
                                 loop_of("46080", "46080")));
    run = run_tool(folder.path(), {"--json", "-l", "30000", "s.tsm"});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, json_line("s.tsm", 30000, "20", "0", 100, 8, 0, 8,
                                 "\"frames\":null,\"seconds\":null,\"length_problem\":\"too long for a WAV file\"", "",
                                 loop_of("46080", "46080")));
}

TEST(SongInfo, ASongThatDoesNotLoadReportsItsErrorAndExitsOne) {
    TestFolder folder;
    folder.write("s.tsm", song_bytes(100, 0, 8, 8));
    folder.write("bad.tsm", std::vector<uint8_t>{'R', 'I', 'F', 'F'});
    ToolResult run = run_tool(folder.path(), {"--info", "--json", "s.tsm", "bad.tsm"});
    EXPECT_EQ(run.code, 1);
    std::string bad =
        std::string("{\"file\":\"bad.tsm\",\"loops\":0,\"tick_ms\":20,\"fade_seconds\":0,\"format\":\"wav\",") +
        "\"step_ms\":null,\"records\":null,\"repeat_start\":null,\"repeat_end\":null,"
        "\"drum_volume\":null,\"frames\":null,\"seconds\":null,\"length_problem\":null,"
        "\"instruments\":[],\"tracks_with_notes\":[],\"wraps\":[]," +
        NO_LOOP + ",\"error\":\"" + tamsel_status_message(TAMSEL_ERR_NOT_A_SONG) + "\"}\n";
    EXPECT_EQ(
        run.out,
        json_line("s.tsm", 0, "20", "0", 100, 8, 0, 8, length_of(46080, "0.96"), "", loop_of("46080", "46080")) + bad);
    EXPECT_EQ(run.err, std::string("tamselexport: bad.tsm: ") + tamsel_status_message(TAMSEL_ERR_NOT_A_SONG) + "\n");
    EXPECT_EQ(files_in(folder.path()), (std::vector<std::string>{"bad.tsm", "s.tsm"}));
}

TEST(SongInfo, InstrumentsTracksAndOddFileNamesInJson) {
    SKIP_ON_WINDOWS("quotes and backslashes in file names");
    SongFile song = make_song(100, 0, 4, 4);
    int8_t waveform[256] = {};
    uint8_t envelope[64] = {};
    set_instrument(&song, 0, 3, 7000, 182, waveform, envelope);
    set_instrument(&song, 1, 2, 20000, 138, waveform, envelope);
    set_instrument(&song, 2, 1, -5, 0, waveform, envelope);
    set_record(&song, 1, 2, 1u << 4);
    set_record(&song, 3, 0, 1u);
    TestFolder folder;
    folder.write("a \"b\"\\c.tsm", song.bytes);
    ToolResult run = run_tool(folder.path(), {"--json", "--", "a \"b\"\\c.tsm"});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out.rfind("{\"file\":\"a \\\"b\\\"\\\\c.tsm\",", 0), 0u) << run.out;
    EXPECT_TRUE(contains(run.out,
                         "\"instruments\":[{\"octave\":3,\"length\":7000,\"volume\":182},"
                         "{\"octave\":2,\"length\":20000,\"volume\":138},{\"octave\":1,\"length\":-5,\"volume\":0}]"));
    EXPECT_TRUE(contains(run.out, "\"tracks_with_notes\":[\"2\",\"drums\"]"));
}

TEST(SongInfo, TextForPeople) {
    TestFolder folder;
    folder.write("s.tsm", song_bytes(100, 2, 8, 8));
    folder.write("never.tsm", song_bytes(0x80000000u, 0, 8, 8));
    ToolResult run = run_tool(folder.path(), {"--info", "-l", "2", "s.tsm", "never.tsm"});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out,
              "s.tsm\n"
              "  step time:    100 ms\n"
              "  records:      8, repeat from 2 to 8\n"
              "  drum volume:  300\n"
              "  instrument 1: octave 0, notes of 0 samples, volume 0\n"
              "  instrument 2: octave 0, notes of 0 samples, volume 0\n"
              "  instrument 3: octave 0, notes of 0 samples, volume 0\n"
              "  notes on:     1\n"
              "  length:       115200 frames, 0:02.400 (wav, loops 2, tick 20 ms)\n"
              "  loop points:  46080, 80640\n"
              "\n"
              "never.tsm\n"
              "  step time:    2147483648 ms\n"
              "  records:      8, repeat from 0 to 8\n"
              "  drum volume:  300\n"
              "  instrument 1: octave 0, notes of 0 samples, volume 0\n"
              "  instrument 2: octave 0, notes of 0 samples, volume 0\n"
              "  instrument 3: octave 0, notes of 0 samples, volume 0\n"
              "  notes on:     1\n"
              "  length:       never ends (wav, loops 2, tick 20 ms)\n");
    // Header values as the file holds them; an hour or more as h:mm:ss.mmm;
    // the length counted for the format asked for.
    folder.write("odd.tsm", song_bytes(100, -1, 1, -1));
    run = run_tool(folder.path(), {"--info", "-f", "flac", "-l", "30000", "odd.tsm"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(contains(
        run.out, "  records:      -1 (0xFFFFFFFF in the file), repeat from -1 (0xFFFFFFFF in the file) to 1\n"));
    EXPECT_TRUE(contains(run.out, "172800000 frames, 1:00:00.000 "));
    EXPECT_TRUE(contains(run.out, "(flac, loops 30000, tick 20 ms)"));
    run = run_tool(folder.path(), {"--info", "--json", "-f", "opus", "s.tsm"});
    EXPECT_TRUE(contains(run.out, ",\"format\":\"opus\","));
}

TEST(SongInfo, TheLoopOfASongPlayedOnceAndOfALoopableFile) {
    TestFolder folder;
    folder.write("s.tsm", song_bytes(100, 2, 8, 8));
    // No loop point in the render, but the repeat region is known.
    EXPECT_TRUE(contains(run_tool(folder.path(), {"--info", "s.tsm"}).out,
                         "  length:       46080 frames, 0:00.960 (wav, loops 0, tick 20 ms)\n"
                         "  repeat:       from frame 46080, a pass of 34560 frames (0:00.720)\n"));
    // A loopable file ends at the second wrap; its silent stretches are alike.
    EXPECT_TRUE(contains(run_tool(folder.path(), {"--info", "--loopable", "s.tsm"}).out,
                         "  length:       80640 frames, 0:01.680 (wav, loops 0, tick 20 ms, loopable)\n"
                         "  loop points:  46080\n"
                         "  loopable:     loop from frame 46080, 34560 frames (0:00.720), crossfade 1440 "
                         "frames, stretches identical\n"));
    EXPECT_TRUE(contains(run_tool(folder.path(), {"--json", "--loopable", "s.tsm"}).out,
                         "\"frames\":80640,\"seconds\":1.68,\"length_problem\":null,\"wraps\":[46080],"
                         "\"loop_start\":46080,\"loop_length\":34560,\"loop_crossfade\":1440,"
                         "\"loop_difference_db\":null"));
}

}  // namespace
