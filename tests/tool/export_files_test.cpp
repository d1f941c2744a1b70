// The option form run as a user runs it: real processes of the built tool,
// real files, real failures.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <cstring>
#endif

#include "tamsel/tamsel.h"
#include "test_folder.h"
#include "test_songs.h"
#include "tool_forms.h"
#include "tool_process.h"

namespace {

const char* const HINT = "Try 'tamselexport --help' for more information.\n";

std::vector<uint8_t> bytes_of(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

TEST(UsageErrors, ExitTwoWithOneLineAndAHintAndWriteNothing) {
    TestFolder folder;
    folder.write("a.tsm", song_bytes(100, 0, 8, 8));
    std::string dir = folder.path();
    const char* const commands[][2] = {
        {"--loops 3x a.tsm", "--loops: invalid value '3x' (a whole number 0..2147483647)"},
        {"--tick abc a.tsm", "--tick: invalid value 'abc' (milliseconds from 0 to 3600000)"},
        {"--tick inf a.tsm", "--tick: invalid value 'inf' (milliseconds from 0 to 3600000)"},
        {"--jobs 0 a.tsm", "--jobs: invalid value '0' (a whole number 1..1024)"},
        {"-l -1 a.tsm", "--loops: invalid value '-1' (a whole number 0..2147483647)"},
        {"--frobnicate a.tsm", "unknown option '--frobnicate'"},
        {"a.tsm -o", "option '-o' needs a value"},
        {"-o x.wav a.tsm a.tsm", "--output names one output, but 2 input files were given"},
        {"-q", "no input file"},
        {"-f ogg -o x.flac a.tsm", "--output 'x.flac' has an extension that contradicts --format ogg"},
        {"--gain 97 a.tsm", "--gain: invalid value '97' (decibels from -96 to 96)"},
        {"--normalize --gain 1 a.tsm", "--normalize and --gain exclude each other"},
        {"--fade nan a.tsm", "--fade: invalid value 'nan' (seconds from 0 to 3600)"},
        {"--fade 3601 a.tsm", "--fade: invalid value '3601' (seconds from 0 to 3600)"},
        {"-l 4294967295 a.tsm", "--loops: invalid value '4294967295' (a whole number 0..2147483647)"},
        {"--tick 1e14 a.tsm", "--tick: invalid value '1e14' (milliseconds from 0 to 3600000)"},
        {"--solo 5 a.tsm", "--solo: invalid value '5' (tracks 1, 2, 3, drums, separated by commas)"},
        {"--loopable -l 1 a.tsm",
         "--loopable and --loops exclude each other (a loopable file holds the intro and one pass of the loop)"},
        {"--fade 0.5 --loopable a.tsm",
         "--loopable and --fade exclude each other (a loopable file holds the intro and one pass of the loop)"},
    };
    for (const auto& command : commands) {
        ToolResult run = run_tool(dir, words_of(command[0]));
        EXPECT_EQ(run.code, 2) << command[0];
        std::string expected = "tamselexport: ";
        expected += command[1];
        expected += "\n";
        expected += HINT;
        EXPECT_EQ(run.err, expected) << command[0];
        EXPECT_EQ(run.out, "") << command[0];
        EXPECT_EQ(files_in(dir), std::vector<std::string>{"a.tsm"}) << command[0];
    }
}

// An option given at its default is the default: --loopable takes -l 0 and
// --fade 0, and a level of -0 is shown as 0.
TEST(UsageErrors, DefaultsGivenExplicitlyChangeNothing) {
    TestFolder folder;
    folder.write("a.tsm", song_bytes(100, 0, 8, 8));
    std::string dir = folder.path();
    ASSERT_EQ(run_tool(dir, {"-q", "--loopable", "-o", "plain.wav", "a.tsm"}).code, 0);
    for (const char* command :
         {"--loopable -l 0", "--loopable --fade 0", "-l 00 --fade 0.0 --loopable", "--loopable --stereo 100"}) {
        std::vector<std::string> arguments = words_of(std::string("-q --force -o given.wav a.tsm ") + command);
        ToolResult run = run_tool(dir, arguments);
        EXPECT_EQ(run.code, 0) << command << ": " << run.err;
        EXPECT_TRUE(files_equal(dir + "/given.wav", dir + "/plain.wav")) << command;
    }
}

TEST(TwoForms, ArgumentsThatLookNegativeStayPositional) {
    TestFolder folder;
    folder.write("a.tsm", song_bytes(100, 0, 8, 8));
    std::string dir = folder.path();
    ToolResult run = run_tool(dir, {"a.tsm", "-1", "-5"});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, usage_text() + "Loading file a.tsm\nExporting to file a.wav\nFile saved\n");
}

TEST(TwoForms, TheOptionFormWritesThePositionalFormsBytes) {
    TestFolder folder;
    folder.write("a.tsm", sounding_song(7, 12));
    std::string dir = folder.path();
    ASSERT_EQ(run_tool(dir, {"a.tsm", "1", "15"}).code, 0);
    std::vector<uint8_t> positional = read_file(dir + "/a.wav");
    ASSERT_EQ(run_tool(dir, {"--force", "-l", "1", "-t", "15", "a.tsm"}).code, 0);
    EXPECT_EQ(read_file(dir + "/a.wav"), positional);
    EXPECT_GT(positional.size(), 44u);
}

TEST(HelpAndVersion, HelpListsEveryOptionAndVersionBothVersions) {
    TestFolder folder;
    folder.write("a.tsm", song_bytes(100, 0, 8, 8));
    std::string dir = folder.path();
    ToolResult help = run_tool(dir, {"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_EQ(help.err, "");
    for (const char* option :
         {"--output", "--output-dir", "--loops",     "--tick",     "--jobs",   "--force",   "--info",
          "--json",   "--quiet",      "--help",      "--version",  "--format", "--quality", "--title",
          "--artist", "--gain",       "--normalize", "--loudness", "--dither", "--fade",    "--stems",
          "--mute",   "--solo",       "Examples:",   "Exit status"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    ToolResult version = run_tool(dir, {"-V"});
    EXPECT_EQ(version.code, 0);
    EXPECT_NE(version.out.find("tamselexport "), std::string::npos);
    EXPECT_NE(version.out.find(std::string("libtamsel ") + tamsel_version() + "\n"), std::string::npos);
    EXPECT_EQ(files_in(dir), std::vector<std::string>{"a.tsm"});
}

TEST(OutputNames, BesideTheInputInAFolderOrAsGiven) {
    TestFolder folder;
    folder.write("song.tsm", song_bytes(100, 0, 8, 8));
    std::string dir = folder.path();
    folder.write("dir.old/tune", song_bytes(100, 0, 8, 8));
    EXPECT_EQ(run_tool(dir, {"-q", "song.tsm", "dir.old/tune"}).code, 0);
    EXPECT_TRUE(file_exists(dir + "/song.wav"));
    EXPECT_TRUE(file_exists(dir + "/dir.old/tune.wav"));
    EXPECT_EQ(run_tool(dir, {"-q", "-d", "new/folder", "song.tsm", "dir.old/tune"}).code, 0);
    EXPECT_EQ(files_in(dir + "/new/folder"), (std::vector<std::string>{"song.wav", "tune.wav"}));
    EXPECT_EQ(run_tool(dir, {"-q", "-o", "named.bin", "song.tsm"}).code, 0);
    EXPECT_EQ(read_file(dir + "/named.bin"), read_file(dir + "/song.wav"));
    EXPECT_EQ(run_tool(dir, {"-q", "--stems", "song.tsm"}).code, 0);
    for (const char* stem : {"song.track1.wav", "song.track2.wav", "song.track3.wav", "song.drums.wav"})
        EXPECT_TRUE(file_exists(dir + "/" + stem)) << stem;
}

TEST(OutputNames, AFolderThatCannotBeMadeFailsTheRun) {
    TestFolder folder;
    folder.write("a.tsm", song_bytes(100, 0, 8, 8));
    std::string dir = folder.path();
    ToolResult run = run_tool(dir, {"-d", "a.tsm/out", "a.tsm"});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err.rfind("tamselexport: a.tsm/out: cannot make the output folder: ", 0), 0u) << run.err;
}

TEST(Overwriting, AnExistingOutputNeedsForce) {
    TestFolder folder;
    folder.write("a.tsm", song_bytes(100, 0, 8, 8));
    std::string dir = folder.path();
    folder.write("a.wav", bytes_of("old"));
    ToolResult run = run_tool(dir, {"--", "a.tsm"});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, "tamselexport: a.tsm: a.wav exists; use --force to replace it\n");
    EXPECT_EQ(read_file(dir + "/a.wav"), bytes_of("old"));
    run = run_tool(dir, {"--force", "a.tsm"});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(read_file(dir + "/a.wav").size(), 44u + 46080u * 8u);
}

TEST(Overwriting, TheInputNeverEvenWithForce) {
    std::vector<uint8_t> song = song_bytes(100, 0, 8, 8);
    TestFolder folder;
    folder.write("a.wav", song);
    std::string dir = folder.path();
    folder.write("b.tsm", song);
    folder.write("a.tsm", song);
    ToolResult run = run_tool(dir, {"--force", "a.wav"});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, "tamselexport: a.wav: the output a.wav is the input itself\n");
    run = run_tool(dir, {"--force", "-o", "./b.tsm", "b.tsm"});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err,
              "tamselexport: warning: the extension of './b.tsm' names no format; it is written as wav\n"
              "tamselexport: b.tsm: the output ./b.tsm is the input itself\n");
    run = run_tool(dir, {"--force", "-j", "1", "a.tsm", "a.wav"});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err,
              "tamselexport: a.tsm: the output a.wav is an input file\n"
              "tamselexport: a.wav: the output a.wav is the input itself\n");
    EXPECT_EQ(read_file(dir + "/a.wav"), song);
    EXPECT_EQ(read_file(dir + "/b.tsm"), song);
}

TEST(Overwriting, TwoInputsNeverShareAnOutput) {
    TestFolder folder;
    folder.write("song.tsm", song_bytes(100, 0, 8, 8));
    std::string dir = folder.path();
    folder.write("x/a.tsm", song_bytes(100, 0, 8, 8));
    folder.write("y/a.tsm", song_bytes(100, 0, 4, 4));
    ToolResult run = run_tool(dir, {"-q", "-d", "out", "x/a.tsm", "y/a.tsm"});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, "tamselexport: y/a.tsm: the output out/a.wav is also the output of x/a.tsm\n");
    EXPECT_EQ(read_file(dir + "/out/a.wav").size(), 44u + 46080u * 8u);
}

TEST(ManyFiles, ABadFileInTheMiddleFailsAloneAndTheOthersAreWritten) {
    TestFolder folder;
    folder.write("a.tsm", song_bytes(100, 0, 8, 8));
    std::string dir = folder.path();
    folder.write("bad.tsm", bytes_of("not a tracker song"));
    folder.write("never.tsm", song_bytes(0x80000000u, 0, 8, 8));
    folder.write("c.tsm", song_bytes(100, 0, 4, 4));
    ToolResult run = run_tool(dir, {"-j", "1", "a.tsm", "bad.tsm", "missing.tsm", "never.tsm", "c.tsm"});
    EXPECT_EQ(run.code, 1);
    std::string expected = "a.tsm -> a.wav: 0:00.960, peak -inf dBFS, 0 samples beyond +-1.0\n";
    expected += std::string("tamselexport: bad.tsm: ") + tamsel_status_message(TAMSEL_ERR_NOT_A_SONG) + "\n";
    expected += std::string("tamselexport: missing.tsm: ") + tamsel_status_message(TAMSEL_ERR_IO) +
                ": No such file or directory\n";
    expected += "tamselexport: never.tsm: never ends\n";
    expected += "c.tsm -> c.wav: 0:00.480, peak -inf dBFS, 0 samples beyond +-1.0\n";
    EXPECT_EQ(run.err, expected);
    EXPECT_EQ(files_in(dir), (std::vector<std::string>{"a.tsm", "a.wav", "bad.tsm", "c.tsm", "c.wav", "never.tsm"}));
    run = run_tool(dir, {"-q", "--force", "a.tsm", "c.tsm"});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.err, "");
}

TEST(ManyFiles, OneJobOrFourGiveTheSameBytes) {
    TestFolder folder;
    std::string dir = folder.path();
    std::string names;
    for (uint32_t i = 0; i < 8; i++) {
        char name[32];
        std::snprintf(name, sizeof name, "s%u.tsm", (unsigned)i);
        folder.write(name, sounding_song(i, 20 + 3 * (int32_t)i));
        names += ' ';
        names += name;
    }
    ASSERT_EQ(run_tool(dir, words_of("-q -j 1 -d one" + names)).code, 0);
    ASSERT_EQ(run_tool(dir, words_of("-q -j 4 -d four" + names)).code, 0);
    ASSERT_EQ(run_tool(dir, words_of("-q -j 4 -f wav16 --normalize -d four16" + names)).code, 0);
    ASSERT_EQ(run_tool(dir, words_of("-q -j 1 -f wav16 --normalize -d one16" + names)).code, 0);
    for (uint32_t i = 0; i < 8; i++) {
        char name[32];
        std::snprintf(name, sizeof name, "/s%u.wav", (unsigned)i);
        std::vector<uint8_t> one = read_file(dir + "/one" + name);
        EXPECT_GT(one.size(), 44u);
        EXPECT_EQ(read_file(dir + "/four" + name), one) << name;
        EXPECT_EQ(read_file(dir + "/four16" + name), read_file(dir + "/one16" + name)) << name;
    }
}

// One file with jobs to spare renders on two threads, chunk by chunk.
TEST(ManyFiles, OneFileOnTwoThreadsGivesTheSameBytesAsOnOne) {
    std::vector<uint8_t> demo = read_file(std::string(TAMSEL_SOURCE_DIR) + "/examples/demo.tsm");
    TestFolder folder;
    folder.write("demo.tsm", demo);
    std::string dir = folder.path();
    for (const char* options : {"", " -f wav16 --normalize --fade 3.5"}) {
        std::string tail = std::string(options) + " -o";
        ASSERT_EQ(run_tool(dir, words_of("-q --force -j 1 demo.tsm" + tail + " one.wav")).code, 0);
        ASSERT_EQ(run_tool(dir, words_of("-q --force -j 2 demo.tsm" + tail + " two.wav")).code, 0);
        std::vector<uint8_t> one = read_file(dir + "/one.wav");
        EXPECT_GT(one.size(), 1000000u);
        EXPECT_TRUE(read_file(dir + "/two.wav") == one) << "options:" << options;
    }
}

TEST(StandardOutput, TheSameBytesAsTheFile) {
    TestFolder folder;
    folder.write("a.tsm", sounding_song(3, 16));
    std::string dir = folder.path();
    ASSERT_EQ(run_tool(dir, {"-q", "a.tsm"}).code, 0);
    ToolSetup setup;
    setup.folder = dir;
    setup.arguments = {"-o", "-", "a.tsm"};
    setup.keep_line_ends = true;
    ToolResult run = run_tool_process(setup);
    EXPECT_EQ(run.code, 0);
    std::vector<uint8_t> file = read_file(dir + "/a.wav");
    EXPECT_EQ(std::vector<uint8_t>(run.out.begin(), run.out.end()), file);
    EXPECT_EQ(run.err.rfind("a.tsm -> standard output: 0:01.920, peak ", 0), 0u) << run.err;
}

// A pipe closed early is tests/output's (FaultInjection).
TEST(StandardOutput, RefusedWhenItIsATerminal) {
    SKIP_ON_WINDOWS("a pseudo-terminal");
    TestFolder folder;
    folder.write("a.tsm", song_bytes(100, 0, 8, 8));
    ToolSetup setup;
    setup.folder = folder.path();
    setup.arguments = {"-o", "-", "a.tsm"};
    setup.standard_output = StandardOutput::TERMINAL;
    ToolResult run = run_tool_process(setup);
    EXPECT_EQ(run.code, 2);
    EXPECT_EQ(run.out.rfind("tamselexport: standard output is a terminal", 0), 0u) << run.out;
    EXPECT_EQ(run.out.find("RIFF"), std::string::npos);
}

}  // namespace

namespace {

// The tool writes into a pipe nobody reads, so it blocks there until the
// signal comes; its exit status tells the signal as a shell reports it.
TEST(Interruption, ExitStatusTellsTheSignal) {
    SKIP_ON_WINDOWS("signals");
#ifndef _WIN32
    TestFolder folder;
    folder.write("demo.tsm", read_file(TAMSEL_SOURCE_DIR "/examples/demo.tsm"));
    for (int signal : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        ToolSetup setup;
        setup.folder = folder.path();
        setup.arguments = {"-q", "-o", "-", "demo.tsm"};
        setup.standard_output = StandardOutput::PIPE_NOT_READ;
        ToolProcess tool;
        ASSERT_TRUE(tool.start(setup));
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        kill(tool.pid(), signal);
        ToolResult result = tool.finish();
        EXPECT_EQ(result.code, 128 + signal);
        EXPECT_EQ(result.err, "tamselexport: interrupted\n");
    }
#endif
}

}  // namespace
