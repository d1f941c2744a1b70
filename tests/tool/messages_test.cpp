// What the option form tells a user at its edges, each kind of message in
// one table: the built tool run as a process on real files.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "decoding.h"
#include "test_folder.h"
#include "test_songs.h"
#include "tool_process.h"

namespace {

struct MessageCase {
    const char* command;
    int code;
    const char* err;
};

void expect_messages(const std::string& dir, const MessageCase* cases, size_t count) {
    for (size_t i = 0; i < count; i++) {
        ToolResult run = run_tool(dir, words_of(cases[i].command));
        EXPECT_EQ(run.code, cases[i].code) << cases[i].command;
        EXPECT_EQ(run.err, cases[i].err) << cases[i].command;
    }
}

TEST(Messages, AnInputThatCannotBeReadSaysWhy) {
    SKIP_ON_WINDOWS("the POSIX system's words and /proc");
    TestFolder folder;
    folder.write("a.tsm", song_bytes(100, 0, 8, 8));
    std::filesystem::create_directory(folder.file("folder.tsm"));
    const MessageCase cases[] = {
        {"-q missing.tsm", 1, "tamselexport: missing.tsm: cannot read the file: No such file or directory\n"},
        {"-q folder.tsm", 1, "tamselexport: folder.tsm: cannot read the file: Is a directory\n"},
        {"-q /proc/self/mem", 1, "tamselexport: /proc/self/mem: cannot read the file: Input/output error\n"},
        {"--info missing.tsm", 1, "tamselexport: missing.tsm: cannot read the file: No such file or directory\n"},
    };
    expect_messages(folder.path(), cases, sizeof cases / sizeof cases[0]);
    EXPECT_EQ(files_in(folder.path()), (std::vector<std::string>{"a.tsm", "folder.tsm"}));
}

TEST(Messages, ADashReadsTheSongFromStandardInput) {
    SKIP_ON_WINDOWS("a file as the tool's standard input");
    TestFolder folder;
    folder.write("a.tsm", sounding_song(7, 12));
    std::string dir = folder.path();
    ASSERT_EQ(run_tool(dir, {"-q", "a.tsm"}).code, 0);
    ToolSetup setup;
    setup.folder = dir;
    setup.standard_input = folder.file("a.tsm");
    setup.arguments = {"-q", "-o", "piped.wav", "-"};
    EXPECT_EQ(run_tool_process(setup).code, 0);
    EXPECT_TRUE(files_equal(folder.file("piped.wav"), folder.file("a.wav")));
    setup.arguments = {"--info", "-"};
    ToolResult info = run_tool_process(setup);
    EXPECT_EQ(info.code, 0);
    // The report names the file "-" instead of "a.tsm".
    std::string by_name = run_tool(dir, {"--info", "a.tsm"}).out;
    ASSERT_GT(by_name.size(), 5u);
    EXPECT_EQ(info.out.substr(0, 1), "-");
    EXPECT_EQ(info.out.substr(1), by_name.substr(5));
    const char* const HINT = "Try 'tamselexport --help' for more information.\n";
    const MessageCase cases[] = {
        {"-q -", 2, "tamselexport: a song read from standard input ('-') needs --output\n"},
        {"-o x.wav - -", 2, "tamselexport: standard input ('-') can be read only once\n"},
    };
    for (const MessageCase& c : cases) {
        ToolResult run = run_tool(dir, words_of(c.command));
        EXPECT_EQ(run.code, c.code) << c.command;
        EXPECT_EQ(run.err, std::string(c.err) + HINT) << c.command;
    }
}

TEST(Messages, AnOutputThatCannotBeWrittenSaysWhyAndHintsForceOnlyForATakenName) {
    SKIP_ON_WINDOWS("the POSIX system's words");
    TestFolder folder;
    folder.write("a.tsm", song_bytes(100, 0, 8, 8));
    folder.write("taken.wav", std::vector<uint8_t>{1});
    std::filesystem::create_directory(folder.file("dir"));
    std::string long_name(300, 'n');
    std::string too_long = "tamselexport: a.tsm: cannot write " + long_name + ".wav: File name too long\n";
    const char* const not_a_folder = "tamselexport: a.tsm: cannot create a file in a.tsm/: Not a directory\n";
    const char* const no_folder = "tamselexport: a.tsm: cannot create a file in none/: No such file or directory\n";
    const MessageCase cases[] = {
        {"-o taken.wav a.tsm", 1, "tamselexport: a.tsm: taken.wav exists; use --force to replace it\n"},
        {"-o dir a.tsm", 1, "tamselexport: a.tsm: dir is a folder\n"},
        {"--force -o dir a.tsm", 1, "tamselexport: a.tsm: dir is a folder\n"},
        {"-o a.tsm/x.wav a.tsm", 1, not_a_folder},
        {"--force -o a.tsm/x.wav a.tsm", 1, not_a_folder},
        {"-o none/x.wav a.tsm", 1, no_folder},
        {"-o LONG.wav a.tsm", 1, too_long.c_str()},
        {"--force -o LONG.wav a.tsm", 1, too_long.c_str()},
    };
    for (const MessageCase& c : cases) {
        std::vector<std::string> arguments = words_of(c.command);
        for (std::string& argument : arguments) {
            if (argument == "LONG.wav") argument = long_name + ".wav";
        }
        ToolResult run = run_tool(folder.path(), arguments);
        EXPECT_EQ(run.code, c.code) << c.command;
        EXPECT_EQ(run.err, c.err) << c.command;
    }
    EXPECT_EQ(files_in(folder.path()), (std::vector<std::string>{"a.tsm", "dir", "taken.wav"}));
}

TEST(Messages, OptionsThatDoNothingForTheOutputWarnAndTheRunGoesOn) {
    TestFolder folder;
    folder.write("a.tsm", song_bytes(100, 0, 8, 8));
    const std::string W = "tamselexport: warning: ";
    const std::string quality = W + "--quality does nothing for ";
    const std::string tags = " (WAV files carry no tags)\n";
    struct WarningCase {
        std::string arguments;
        OutputFormat format;  // what the output is written as
        std::string warnings;
    };
    const WarningCase cases[] = {
        {"--quality 3 -o a.flac a.tsm", OutputFormat::FLAC16,
         quality + "flac (only ogg, opus and mp3 have a quality)\n"},
        {"--quality 3 -f wav16 a.tsm", OutputFormat::WAV16,
         quality + "wav16 (only ogg, opus and mp3 have a quality)\n"},
        {"--title T --artist A a.tsm", OutputFormat::WAV_FLOAT,
         W + "--title does nothing for wav" + tags + W + "--artist does nothing for wav" + tags},
        {"--dither none --gain -3 a.tsm", OutputFormat::WAV_FLOAT,
         W + "--dither does nothing for wav (only integer samples are dithered)\n"},
        {"--dither tpdf -o a.ogg a.tsm", OutputFormat::OGG,
         W + "--dither does nothing for ogg (only integer samples are dithered)\n"},
        {"-o a.mp4 a.tsm", OutputFormat::WAV_FLOAT,
         W + "the extension of 'a.mp4' names no format; it is written as wav\n"},
        {"-f flac24 -o a.snd a.tsm", OutputFormat::FLAC24,
         W + "the extension of 'a.snd' names no format; it is written as flac24\n"},
        {"--quality 3 --title T -o a.ogg a.tsm", OutputFormat::OGG, ""},
        {"--dither none -f wav24 a.tsm", OutputFormat::WAV24, ""},
    };
    for (const WarningCase& c : cases) {
        // A build without libsndfile refuses the encoded formats outright.
        if (!can_write(c.format)) continue;
        std::vector<std::string> arguments = words_of("-q --force " + c.arguments);
        ToolResult run = run_tool(folder.path(), arguments);
        EXPECT_EQ(run.code, 0) << c.arguments;
        EXPECT_EQ(run.err, c.warnings) << c.arguments;
    }
}

TEST(Messages, ForceKeepsTheReplacedFilesModeAndOwner) {
    SKIP_ON_WINDOWS("POSIX modes and owners");
#ifndef _WIN32
    TestFolder folder;
    folder.write("a.tsm", song_bytes(100, 0, 8, 8));
    struct Case {
        mode_t mode;
        uid_t owner;  // given away only when the test runs as root
        gid_t group;
    };
    const Case cases[] = {{0640, 1234, 5678}, {0600, 0, 0}, {0755, 4321, 0}, {0444, 0, 1000}};
    bool root = geteuid() == 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.mode));
        std::string wav = folder.file("a.wav");
        put_file(wav, std::string("old"));
        ASSERT_EQ(chmod(wav.c_str(), c.mode), 0);
        if (root) {
            ASSERT_EQ(chown(wav.c_str(), c.owner, c.group), 0);
        }
        ToolResult run = run_tool(folder.path(), {"-q", "--force", "a.tsm"});
        EXPECT_EQ(run.code, 0) << run.err;
        struct stat info;
        ASSERT_EQ(stat(wav.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, c.mode);
        EXPECT_GT(info.st_size, 44);
        if (root) {
            EXPECT_EQ(info.st_uid, c.owner);
        }
        if (root) {
            EXPECT_EQ(info.st_gid, c.group);
        }
    }
#endif
}

// -d makes its folder only for an output that is written into it.
TEST(Messages, TheOutputFolderIsMadeOnlyWhenSomethingGoesIntoIt) {
    TestFolder folder;
    folder.write("a.tsm", song_bytes(100, 0, 8, 8));
    folder.write("bad.tsm", std::vector<uint8_t>{'R', 'I', 'F', 'F'});
    folder.write("never.tsm", song_bytes(0x80000000u, 0, 8, 8));
    const struct {
        const char* command;
        int code;
        bool made;
    } cases[] = {
        {"-q -d out bad.tsm", 1, false},
        {"-q -d out missing.tsm never.tsm", 1, false},
        {"-q -d out --info a.tsm", 0, false},
        {"-q -d out/deeper bad.tsm a.tsm", 1, true},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(folder.file("out"));
        ToolResult run = run_tool(folder.path(), words_of(c.command));
        EXPECT_EQ(run.code, c.code) << c.command;
        EXPECT_EQ(file_exists(folder.file("out")), c.made) << c.command;
    }
    EXPECT_TRUE(file_exists(folder.file("out/deeper/a.wav")));
}

// A song file shorter than its header says renders with its missing bytes
// as zeros; the option form says so, the positional form keeps its words.
TEST(Messages, ASongShorterThanItsHeaderWarnsInTheOptionForm) {
    TestFolder folder;
    std::vector<uint8_t> song = song_bytes(100, 0, 8, 8);
    ASSERT_EQ(song.size(), 1176u);
    folder.write("whole.tsm", song);
    song.resize(1100);
    folder.write("short.tsm", song);
    const std::string warning =
        "tamselexport: warning: short.tsm: the file is 1100 bytes, shorter than the 1176 its header says; the "
        "missing bytes play as zeros\n";
    const std::string cases[][2] = {
        {"-q --force short.tsm", warning},
        {"--info short.tsm", warning},
        {"-q --force whole.tsm", ""},
        {"short.tsm", ""},
    };
    for (const auto& c : cases) {
        ToolResult run = run_tool(folder.path(), words_of(c[0]));
        EXPECT_EQ(run.code, 0) << c[0];
        EXPECT_EQ(run.err, c[1]) << c[0];
    }
}

}  // namespace
