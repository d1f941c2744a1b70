// Every format written where a user's shell sends it: standard output that
// is a file opened for appending or already holding other bytes, the null
// and full devices, and renders of no frames. Run through a real shell,
// the files checked by the formats' reference decoders.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "decoding.h"
#include "reference_tools.h"
#include "renders.h"
#include "test_folder.h"
#include "test_songs.h"
#include "tool_process.h"

namespace {

const char* const FORMATS[] = {"wav", "wav16", "flac", "flac24", "ogg", "opus", "mp3"};

// The reference decoder of format, or null for WAV, which is read here.
const ReferenceDecoder* decoder_of(const std::string& format) {
    for (const ReferenceDecoder& decoder : REFERENCE_DECODERS) {
        if (format == decoder.format) return &decoder;
    }
    return nullptr;
}

// The tool on song.tsm in folder, writing format: arguments then the
// shell's redirections, each as given (already quoted where need be).
int run_in(const TestFolder& folder, const std::string& arguments, std::string* err = nullptr) {
    std::string line = "cd " + shell_quoted(folder.path()) + " && " + shell_quoted(TAMSEL_EXE) + " " + arguments;
    if (!err) return run_command(line + " 2>/dev/null");
    int code = run_command(line + " 2>err.txt");
    std::vector<uint8_t> text = read_file(folder.file("err.txt"));
    err->assign(text.begin(), text.end());
    return code;
}

// The frames a file of format decodes to: by its reference decoder, or
// read here for WAV. -1 when it does not decode.
int64_t decoded_frames(const std::string& format, const std::string& file, const TestFolder& folder) {
    const ReferenceDecoder* decoder = decoder_of(format);
    if (!decoder) return wav_frame_count(read_file(file));
    std::string decoded = folder.file("decoded.wav");
    if (decode(*decoder, file, decoded) != 0) return -1;
    return wav_frame_count(read_file(decoded));
}

bool can_check(const std::string& format) {
    const ReferenceDecoder* decoder = decoder_of(format);
    if (format != "wav" && format != "wav16" && !can_write(OutputFormat::FLAC16)) return false;
    return !decoder || have_command(decoder->program);
}

std::vector<uint8_t> without_first(const std::vector<uint8_t>& bytes, size_t count) {
    if (bytes.size() < count) return {};
    return std::vector<uint8_t>(bytes.begin() + (ptrdiff_t)count, bytes.end());
}

}  // namespace

// After the bytes already there, the output holds what the tool writes to
// a file of its own where it may go back (a file the shell truncated), or
// what it writes to a pipe where it may not (>>, where every write goes to
// the end; a named pipe); either decodes to the song's frames, and the
// bytes before it stay as they were, as do those written after it.
TEST(StreamDestinations, StandardOutputIsRightWhereverInTheFileItStarts) {
    SKIP_ON_WINDOWS("a POSIX shell");
    struct Placement {
        const char* name;
        const char* command;  // %TOOL% is the tool with its options, writing out
        const char* same_as;  // the output it equals: "file" or "pipe"
    };
    const Placement placements[] = {
        {"appended", "printf abc > out && %TOOL% -o - song.tsm >> out", "pipe"},
        {"between other bytes", "{ printf abc; %TOOL% -o - song.tsm; printf xyz; } > out", "file"},
        {"after other bytes, as /dev/stdout", "{ printf abc; %TOOL% -o /dev/stdout song.tsm; } > out", "file"},
        {"a named pipe", "mkfifo fifo && { { printf abc; timeout 60 cat fifo; } > out & } && %TOOL% -o fifo song.tsm",
         "pipe"},
    };
    TestFolder folder;
    folder.write("song.tsm", example_bytes("short.tsm"));
    int64_t song_frames = (int64_t)(library_sums(example_song("short.tsm"), tamsel::RenderOptions()).size() / 2);
    for (const char* format : FORMATS) {
        SCOPED_TRACE(format);
        if (!can_check(format)) continue;
        std::string options = std::string("-q -f ") + format;
        ASSERT_EQ(run_in(folder, options + " -o file --force song.tsm"), 0);
        ASSERT_EQ(run_in(folder, options + " -o - song.tsm | cat > pipe"), 0);
        for (const Placement& placement : placements) {
            SCOPED_TRACE(placement.name);
            std::string command = placement.command;
            command.replace(command.find("%TOOL%"), 6, shell_quoted(TAMSEL_EXE) + " " + options);
            ASSERT_EQ(run_command("cd " + shell_quoted(folder.path()) + " && rm -f out fifo && " + command +
                                  " 2>/dev/null; status=$?; wait; exit $status"),
                      0);
            std::vector<uint8_t> out = read_file(folder.file("out"));
            EXPECT_EQ(std::string(out.begin(), out.begin() + std::min<ptrdiff_t>(3, (ptrdiff_t)out.size())), "abc");
            std::vector<uint8_t> stream = without_first(out, 3);
            if (command.find("printf xyz") != std::string::npos) {
                ASSERT_GE(stream.size(), 3u);
                EXPECT_EQ(std::string(stream.end() - 3, stream.end()), "xyz");
                stream.erase(stream.end() - 3, stream.end());
            }
            EXPECT_TRUE(stream == read_file(folder.file(placement.same_as)));
            put_file(folder.file("stream"), stream);
            EXPECT_EQ(decoded_frames(format, folder.file("stream"), folder), song_frames);
        }
    }
}

// Writing into a device needs no --force and no temporary file: the null
// device takes every format; the full one gives the system's reason.
TEST(StreamDestinations, DevicesTakeEveryFormatOrSayWhyNot) {
    SKIP_ON_WINDOWS("/dev/null and /dev/full");
    struct Case {
        const char* output;  // arguments and redirection
        int code;
        const char* error;  // standard error after "tamselexport: song.tsm: "
    };
    const Case cases[] = {
        {"-o - song.tsm > /dev/null", 0, ""},
        {"-o /dev/null song.tsm", 0, ""},
        {"-o /dev/stdout song.tsm > /dev/null", 0, ""},
        {"-o - song.tsm > /dev/full", 1, "No space left on device\n"},
        {"-o /dev/full song.tsm", 1, "/dev/full: No space left on device\n"},
    };
    TestFolder folder;
    folder.write("song.tsm", example_bytes("short.tsm"));
    for (const char* format : FORMATS) {
        if (std::string(format) != "wav" && !can_write(OutputFormat::FLAC16)) continue;
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(format) + ": " + c.output);
            std::string err;
            EXPECT_EQ(run_in(folder, std::string("-q -f ") + format + " " + c.output, &err), c.code);
            EXPECT_EQ(err, *c.error ? std::string("tamselexport: song.tsm: ") + c.error : "");
            EXPECT_EQ(files_in(folder.path()), (std::vector<std::string>{"err.txt", "song.tsm"}));
        }
    }
}

// A song that plays no frames: every format that can hold no audio gives a
// file its decoder opens and finds empty, to a file and to a pipe alike;
// MP3, which cannot, is refused before anything is written.
TEST(StreamDestinations, ARenderOfNoFramesDecodesToNoFramesOrIsRefused) {
    SKIP_ON_WINDOWS("the reference decoders");
    struct Song {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    const Song songs[] = {
        {"a bare header", {'T', 'S', 'M'}},
        {"no records", song_bytes(1, 0, 0, 0)},
    };
    for (const Song& song : songs) {
        for (const char* format : FORMATS) {
            SCOPED_TRACE(std::string(song.name) + ", " + format);
            if (!can_check(format)) continue;
            TestFolder folder;
            folder.write("song.tsm", song.bytes);
            std::string options = std::string("-q -f ") + format + " song.tsm -o ";
            std::string err;
            int to_file = run_in(folder, options + "out", &err);
            run_in(folder, options + "- | cat > piped");
            if (std::string(format) == "mp3") {
                EXPECT_EQ(to_file, 1);
                EXPECT_NE(err.find("out: the render has no frames, and an empty mp3 file cannot be played"),
                          std::string::npos)
                    << err;
                EXPECT_EQ(read_file(folder.file("piped")).size(), 0u);
                EXPECT_FALSE(file_exists(folder.file("out")));
                continue;
            }
            ASSERT_EQ(to_file, 0) << err;
            EXPECT_EQ(decoded_frames(format, folder.file("out"), folder), 0);
            EXPECT_EQ(decoded_frames(format, folder.file("piped"), folder), 0);
        }
    }
}
