// What the option form tells a user at its edges, each kind of message in
// one table: the built tool run as a process on real files.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <pthread.h>
#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "decoding.h"
#include "test_folder.h"
#include "test_songs.h"
#include "tool_forms.h"
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

#ifndef _WIN32
// Writes song into the named pipe fifo, then zeros for as long as anyone
// reads; ends when the reader goes.
void feed_endlessly(const std::string& fifo, const std::vector<uint8_t>& song) {
    sigset_t pipe_signal;
    sigemptyset(&pipe_signal);
    sigaddset(&pipe_signal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_signal, nullptr);
    int fd = open(fifo.c_str(), O_WRONLY);
    if (fd < 0) return;
    std::vector<uint8_t> bytes = song;
    bytes.resize(song.size() + 65536, 0);
    size_t at = 0;
    for (;;) {
        ssize_t wrote = write(fd, bytes.data() + at, bytes.size() - at);
        if (wrote <= 0) break;
        at += (size_t)wrote;
        if (at == bytes.size()) at = song.size();
    }
    close(fd);
}
#endif

// Standard input is read as a file is, only as far as the song reaches: a
// song followed by a stream that never ends renders the same bytes, and a
// song cut short between its last record read and its end warns alike.
TEST(Messages, StandardInputIsReadOnlyAsFarAsTheSongReaches) {
    SKIP_ON_WINDOWS("a named pipe");
#ifndef _WIN32
    TestFolder folder;
    std::string fifo = folder.file("endless");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Records past the first 1000 of each track are never read.
    for (int32_t records : {12, 1200}) {
        SCOPED_TRACE(records);
        std::vector<uint8_t> song = sounding_song(7, records);
        folder.write("a.tsm", song);
        ASSERT_EQ(run_tool(folder.path(), {"-q", "--force", "a.tsm"}).code, 0);
        std::thread writer(feed_endlessly, fifo, song);
        ToolSetup setup;
        setup.folder = folder.path();
        setup.standard_input = fifo;
        setup.arguments = {"-q", "--force", "-o", "piped.wav", "-"};
        ToolResult run = run_tool_process(setup);
        writer.join();
        EXPECT_FALSE(run.timed_out);
        EXPECT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(run.err, records > 1000 ? "tamselexport: warning: -: the header's record count, 1200, is out of "
                                            "range: the first 1000 records play\n"
                                          : "");
        EXPECT_TRUE(files_equal(folder.file("piped.wav"), folder.file("a.wav")));
    }
    std::vector<uint8_t> cut = sounding_song(7, 1200);
    cut.resize(20000);
    folder.write("cut.tsm", cut);
    ToolResult by_name = run_tool(folder.path(), {"--info", "cut.tsm"});
    ToolSetup setup;
    setup.folder = folder.path();
    setup.standard_input = folder.file("cut.tsm");
    setup.arguments = {"--info", "-"};
    ToolResult piped = run_tool_process(setup);
    EXPECT_EQ(piped.err,
              "tamselexport: warning: -: the file is 20000 bytes, shorter than the 20248 its header says; the missing "
              "bytes play as zeros\ntamselexport: warning: -: the header's record count, 1200, is out of range: the "
              "first 1000 records play\n");
    std::string named = piped.err;
    for (size_t at = named.find("warning: -:"); at != std::string::npos; at = named.find("warning: -:", at))
        named.replace(at + 9, 1, "cut.tsm");
    EXPECT_EQ(by_name.err, named);
    ASSERT_GT(by_name.out.size(), 7u);
    EXPECT_EQ(piped.out.substr(1), by_name.out.substr(7));
#endif
}

// A terminal where the audio would come from or go to is a usage error
// before any work: nothing is waited for, drawn or written.
TEST(Messages, ATerminalForTheSongOrTheAudioIsAUsageError) {
    SKIP_ON_WINDOWS("a pseudo-terminal");
    TestFolder folder;
    folder.write("a.tsm", song_bytes(100, 0, 8, 8));
    const std::string hint = "\r\nTry 'tamselexport --help' for more information.\r\n";
    const std::string input =
        "tamselexport: standard input ('-') is a terminal; redirect it from a song file or a pipe";
    const std::string output = "tamselexport: standard output is a terminal; redirect it to a file or a pipe";
    const std::string cases[][2] = {
        {"-o - a.tsm", output}, {"-f flac -o - a.tsm", output}, {"-o x.wav -", input}, {"--info -", input},
        {"-o - -", input},
    };
    for (const auto& c : cases) {
        ToolSetup setup;
        setup.folder = folder.path();
        setup.arguments = words_of(c[0]);
        setup.standard_output = StandardOutput::TERMINAL;
        setup.input_from_terminal = true;
        ToolResult run = run_tool_process(setup);
        EXPECT_FALSE(run.timed_out) << c[0];
        EXPECT_EQ(run.code, 2) << c[0];
        // The terminal shows each line break as a carriage return and a new line.
        EXPECT_EQ(run.out, c[1] + hint) << c[0];
    }
    EXPECT_EQ(files_in(folder.path()), std::vector<std::string>{"a.tsm"});
}

// Text for standard output that cannot be written is an error, said on
// standard error, whatever the text was.
TEST(Messages, StandardOutputThatTakesNothingIsAnError) {
    SKIP_ON_WINDOWS("/dev/full");
    TestFolder folder;
    folder.write("a.tsm", song_bytes(100, 0, 8, 8));
    for (const char* command : {"--help", "-V", "--info a.tsm", "--info --json a.tsm a.tsm"}) {
        ToolSetup setup;
        setup.folder = folder.path();
        setup.arguments = words_of(command);
        setup.standard_output = StandardOutput::FULL;
        ToolResult run = run_tool_process(setup);
        EXPECT_EQ(run.code, 1) << command;
        EXPECT_EQ(run.err, "tamselexport: cannot write standard output: No space left on device\n") << command;
    }
}

// Interrupted half-way with its standard output going into a pipe (which,
// like a file, is buffered), each form has said what it was doing: the
// positional form its lines so far, the option form that it was stopped.
TEST(Messages, AnInterruptedRunLeavesItsLinesInARedirectedOutput) {
    SKIP_ON_WINDOWS("signals");
#ifndef _WIN32
    struct Case {
        Form form;
        int code;
        std::string out;
        std::string err;
    };
    const Case cases[] = {
        {Form::POSITIONAL, 1, usage_text() + "Loading file song.tsm\nExporting to file song.wav\n", ""},
        {Form::OPTIONS, 130, "", "tamselexport: interrupted\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(form_name(c.form));
        TestFolder folder;
        place_song_and_old_render(folder.path(), "demo.tsm");
        ToolSetup setup;
        setup.folder = folder.path();
        setup.arguments = render_arguments(c.form, 14);
        ToolProcess tool;
        ASSERT_TRUE(tool.start(setup));
        ASSERT_TRUE(wait_for_partial_file(&tool, folder.path(), "song.wav", 1 << 20));
        kill(tool.pid(), SIGINT);
        ToolResult run = tool.finish();
        EXPECT_EQ(run.code, c.code);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, c.err);
    }
#endif
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
            EXPECT_EQ(info.st_gid, c.group);
        }
    }
#endif
}

// Each summary's level note is true of the file beside it: a stem is
// leveled as the whole mix and says so; a level of -0 shows as 0.
TEST(Messages, LevelNotesSayWhatWasDoneToEachFile) {
    TestFolder folder;
    folder.write("a.tsm", sounding_song(7, 12));
    struct Case {
        const char* command;
        size_t outputs;
        const char* note;
    };
    const Case cases[] = {
        {"--normalize=-0 a.tsm", 1, ", peak brought to 0.0 dBFS ("},
        {"--normalize=-0.04 a.tsm", 1, ", peak brought to 0.0 dBFS ("},
        {"--normalize=-0.05 a.tsm", 1, ", peak brought to -0.1 dBFS ("},
        {"--stems --normalize a.tsm", 4, ", level of the whole mix: peak brought to -1.0 dBFS ("},
    };
    for (const Case& c : cases) {
        ToolResult run = run_tool(folder.path(), words_of(std::string("--force ") + c.command));
        EXPECT_EQ(run.code, 0) << c.command;
        std::vector<std::string> lines = lines_of(run.err);
        EXPECT_EQ(lines.size(), c.outputs) << run.err;
        for (const std::string& line : lines) EXPECT_NE(line.find(c.note), std::string::npos) << line;
    }
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
        {"-q -d out --stems --info a.tsm", 0, false},  // --info writes nothing
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
