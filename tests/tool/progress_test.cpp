// The live progress line: drawn on a terminal (the tool runs on a
// pseudo-terminal), never into a file or pipe, never with --quiet, and
// redrawn at most ten times a second.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#ifndef _WIN32
#include <csignal>
#endif

#include "test_folder.h"
#include "tool_process.h"

namespace {

void put_demo_song(const TestFolder& folder) {
    std::vector<uint8_t> demo = read_file(TAMSEL_SOURCE_DIR "/examples/demo.tsm");
    EXPECT_FALSE(demo.empty());
    folder.write("demo.tsm", demo);
}

// The tool in folder with its standard output and error on a terminal.
ToolResult run_on_terminal(const TestFolder& folder, const std::vector<std::string>& arguments) {
    ToolSetup setup;
    setup.folder = folder.path();
    setup.arguments = arguments;
    setup.standard_output = StandardOutput::TERMINAL;
    return run_tool_process(setup);
}

size_t count_of(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) count++;
    return count;
}

TEST(Progress, DrawnOnATerminalAtMostTenTimesASecondThenCleared) {
    SKIP_ON_WINDOWS("a pseudo-terminal");
    TestFolder folder;
    put_demo_song(folder);
    auto start = std::chrono::steady_clock::now();
    ToolResult run = run_on_terminal(folder, {"-l", "1", "demo.tsm"});
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(run.code, 0) << run.out;
    // The first drawing comes as the file starts, at 0 %.
    EXPECT_NE(run.out.find("\rall 0% [0/1 files] | demo.tsm 0% | "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("x real time\033[K"), std::string::npos) << run.out;
    size_t drawings = count_of(run.out, "\rall ");
    EXPECT_GE(drawings, 1u);
    EXPECT_LE((double)drawings, 10.0 * seconds + 2.0) << seconds << " s";
    // The line goes before the summary takes its place.
    EXPECT_NE(run.out.find("\r\033[Kdemo.tsm -> demo.wav: "), std::string::npos) << run.out;
}

TEST(Progress, NothingOfItIntoAFileOrWithQuiet) {
    TestFolder folder;
    put_demo_song(folder);
    ToolResult run = run_tool(folder.path(), {"--", "demo.tsm"});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.err.rfind("demo.tsm -> demo.wav: 1:59.040, peak ", 0), 0u) << run.err;
    EXPECT_EQ(count_of(run.err, "\n"), 1u);
    EXPECT_EQ(run.err.find('\r'), std::string::npos);
    EXPECT_EQ(run.err.find('\033'), std::string::npos);
    SKIP_ON_WINDOWS("a pseudo-terminal");
    run = run_on_terminal(folder, {"-q", "--force", "demo.tsm"});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, "");
}

// The figures of each drawing: the whole run's percentage and the one of
// the file named after it ("all 40% [2/3 files] | demo.tsm 40% | ...").
std::vector<std::pair<int, int>> drawn_shares(const std::string& text, const std::string& file) {
    std::vector<std::pair<int, int>> shares;
    for (size_t at = text.find("\rall "); at != std::string::npos; at = text.find("\rall ", at + 1)) {
        size_t own = text.find("| " + file + " ", at);
        if (own == std::string::npos || own > text.find('\r', at + 1)) continue;
        shares.push_back({std::atoi(text.c_str() + at + 5), std::atoi(text.c_str() + own + file.size() + 3)});
    }
    return shares;
}

// The whole run's share is of audio: inputs that fail add none, so with
// them before the one song it is that song's share, drawing by drawing.
TEST(Progress, TheWholeRunsShareIsOfAudioFrames) {
    SKIP_ON_WINDOWS("a pseudo-terminal");
    TestFolder folder;
    put_demo_song(folder);
    folder.write("bad.tsm", std::vector<uint8_t>{'R', 'I', 'F', 'F'});
    ToolResult run = run_on_terminal(folder, {"-j", "1", "missing.tsm", "bad.tsm", "demo.tsm"});
    EXPECT_EQ(run.code, 1);
    std::vector<std::pair<int, int>> shares = drawn_shares(run.out, "demo.tsm");
    ASSERT_FALSE(shares.empty()) << run.out;
    for (const auto& share : shares) EXPECT_EQ(share.first, share.second) << run.out;
}

// TERM=dumb draws with carriage returns and blanks only; an interrupted run
// ends the line it drew, so the shell's prompt starts on a line of its own.
TEST(Progress, DumbTerminalsGetNoEscapesAndAnInterruptionEndsTheLine) {
    SKIP_ON_WINDOWS("a pseudo-terminal and signals");
#ifndef _WIN32
    TestFolder folder;
    put_demo_song(folder);
    struct Case {
        const char* term;
        bool interrupted;
    };
    // An xterm's whole run is DrawnOnATerminal...'s.
    const Case cases[] = {{"dumb", false}, {"xterm", true}, {"dumb", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.term) + (c.interrupted ? ", interrupted" : ""));
        ToolSetup setup;
        setup.folder = folder.path();
        setup.arguments = {"--force", "-l", c.interrupted ? "60" : "1", "demo.tsm"};
        setup.standard_output = StandardOutput::TERMINAL;
        setup.term = c.term;
        ToolProcess tool;
        ASSERT_TRUE(tool.start(setup));
        if (c.interrupted) {
            std::this_thread::sleep_for(std::chrono::milliseconds(700));
            kill(tool.pid(), SIGINT);
        }
        ToolResult run = tool.finish();
        EXPECT_EQ(run.code, c.interrupted ? 130 : 0);
        EXPECT_NE(run.out.find("\rall "), std::string::npos) << run.out;
        bool dumb = std::string(c.term) == "dumb";
        EXPECT_EQ(run.out.find('\033') == std::string::npos, dumb) << run.out;
        ASSERT_FALSE(run.out.empty());
        EXPECT_EQ(run.out.back(), '\n') << run.out;
        if (c.interrupted) {
            EXPECT_EQ(run.out.find("demo.wav:"), std::string::npos) << run.out;
            EXPECT_NE(run.out.find("\ntamselexport: interrupted\r\n"), std::string::npos) << run.out;
        }
    }
    EXPECT_EQ(files_in(folder.path()), (std::vector<std::string>{"demo.tsm", "demo.wav"}));
#endif
}

}  // namespace
