// Every format as the formats' own reference programs read it: decoded by
// flac, oggdec, opusdec and lame, whether the tool wrote a file or a pipe.
#include <gtest/gtest.h>

#include "reference_tools.h"
#include "renders.h"
#include "test_folder.h"
#include "test_songs.h"
#include "tool_process.h"

namespace {

struct ReferenceDecoder {
    const char* format;     // -f
    const char* extension;  // of the file the tool names
    const char* program;
    const char* command;  // %IN% decoded to %OUT%, a WAV file
};

const ReferenceDecoder DECODERS[] = {
    {"flac", "flac", "flac", "flac -d -s -f -o %OUT% %IN%"},
    {"flac24", "flac", "flac", "flac -d -s -f -o %OUT% %IN%"},
    {"ogg", "ogg", "oggdec", "oggdec -Q -o %OUT% %IN%"},
    {"opus", "opus", "opusdec", "opusdec --quiet %IN% %OUT%"},
    {"mp3", "mp3", "lame", "lame --quiet --decode %IN% %OUT%"},
};

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    size_t at = text.find(from);
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

// The decoder's exit code for in, written to out.
int decode(const ReferenceDecoder& decoder, const std::string& in, const std::string& out) {
    std::string line = replaced(replaced(decoder.command, "%IN%", shell_quoted(in)), "%OUT%", shell_quoted(out));
    return run_command(line + " 2>&1");
}

}  // namespace

TEST(ReferenceDecoders, EveryFormatDecodesToItsFramesFromAFileAndFromAPipe) {
    SKIP_ON_WINDOWS("the reference decoders");
    TestFolder folder;
    folder.write("short.tsm", read_file(std::string(TAMSEL_SOURCE_DIR) + "/examples/short.tsm"));
    int64_t song_frames = (int64_t)(library_sums(example_song("short.tsm"), tamsel::RenderOptions()).size() / 2);
    for (const ReferenceDecoder& decoder : DECODERS) {
        SCOPED_TRACE(decoder.format);
        if (!have_command(decoder.program)) {
            std::printf("skipped %s: %s is not installed\n", decoder.format, decoder.program);
            continue;
        }
        std::string file = folder.file(std::string("short.") + decoder.extension);
        ToolResult written = run_tool(folder.path(), {"-q", "--force", "-f", decoder.format, "short.tsm"});
        ASSERT_EQ(written.code, 0) << written.err;
        ToolSetup to_pipe;
        to_pipe.folder = folder.path();
        to_pipe.arguments = {"-q", "-f", decoder.format, "-o", "-", "short.tsm"};
        to_pipe.keep_line_ends = true;
        ToolResult piped = run_tool_process(to_pipe);
        ASSERT_EQ(piped.code, 0) << piped.err;
        std::string piped_file = folder.file(std::string("piped.") + decoder.extension);
        put_file(piped_file, piped.out);

        ASSERT_EQ(decode(decoder, file, folder.file("from_file.wav")), 0);
        ASSERT_EQ(decode(decoder, piped_file, folder.file("from_pipe.wav")), 0);
        std::vector<uint8_t> from_file = read_file(folder.file("from_file.wav"));
        EXPECT_EQ(wav_frame_count(from_file), song_frames);
        EXPECT_TRUE(read_file(folder.file("from_pipe.wav")) == from_file);
    }
}
