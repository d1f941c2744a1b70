// Every format as the formats' own reference programs read it: decoded by
// flac, oggdec, opusdec and lame, whether the tool wrote a file or a pipe.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "decoding.h"
#include "reference_tools.h"
#include "renders.h"
#include "test_folder.h"
#include "test_songs.h"
#include "tool_process.h"

TEST(ReferenceDecoders, EveryFormatDecodesToItsFramesFromAFileAndFromAPipe) {
    SKIP_ON_WINDOWS("the reference decoders");
    if (!can_write(OutputFormat::FLAC16)) GTEST_SKIP() << "this build writes WAV only";
    TestFolder folder;
    folder.write("short.tsm", example_bytes("short.tsm"));
    int64_t song_frames = (int64_t)(library_sums(example_song("short.tsm"), tamsel::RenderOptions()).size() / 2);
    for (const ReferenceDecoder& decoder : REFERENCE_DECODERS) {
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

// The same files from the Windows build's tool: with TAMSEL_WINDOWS_EXE
// naming its tamselexport.exe, run under Wine (scripts/wine-run.sh, with
// the prefix in the exe's folder). Lossless files hold exactly this build's
// samples; lossy ones decode to the song's frames at the same loudness
// (the encoders' floating point may round apart); tags in any script read
// back as given.
TEST(ReferenceDecoders, TheWindowsBuildWritesEveryFormatAsThisBuildDoes) {
    SKIP_ON_WINDOWS("Wine");
    const char* exe = std::getenv("TAMSEL_WINDOWS_EXE");
    if (!exe || !*exe) GTEST_SKIP() << "TAMSEL_WINDOWS_EXE names no Windows build";
    if (!can_write(OutputFormat::FLAC16)) GTEST_SKIP() << "this build writes WAV only";
    NEED_COMMAND("mediainfo");
    std::string windows_exe = exe;
    std::string wine = std::string(TAMSEL_SOURCE_DIR) + "/scripts/wine-run.sh " +
                       shell_quoted(windows_exe.substr(0, windows_exe.rfind('/')) + "/wine-prefix") + " " +
                       shell_quoted(windows_exe);
    const std::string title = "Nuit \u00E9toil\u00E9e \u266B";
    const std::string artist = "\u0410\u043D\u043D\u0430";
    TestFolder folder;
    folder.write("short.tsm", example_bytes("short.tsm"));
    int64_t song_frames = (int64_t)(library_sums(example_song("short.tsm"), tamsel::RenderOptions()).size() / 2);
    for (const ReferenceDecoder& decoder : REFERENCE_DECODERS) {
        SCOPED_TRACE(decoder.format);
        NEED_COMMAND(decoder.program);
        std::string linux_file = std::string("linux.") + decoder.extension;
        std::string windows_file = std::string("windows.") + decoder.extension;
        std::vector<std::string> options = {"-q",      "--force", "-f",       decoder.format,
                                            "--title", title,     "--artist", artist};
        std::vector<std::string> linux_arguments = options;
        linux_arguments.insert(linux_arguments.end(), {"-o", linux_file, "short.tsm"});
        ToolResult linux_run = run_tool(folder.path(), linux_arguments);
        ASSERT_EQ(linux_run.code, 0) << linux_run.err;
        std::string line = "cd " + shell_quoted(folder.path()) + " && LC_ALL=C.UTF-8 " + wine;
        for (const std::string& option : options) {
            line += ' ';
            line += shell_quoted(option);
        }
        std::string windows_out;
        ASSERT_EQ(run_command(line + " -o " + windows_file + " short.tsm 2>&1", &windows_out), 0) << windows_out;
        EXPECT_EQ(title_and_artist(folder.file(windows_file)), title + "|" + artist);

        if (std::string(decoder.program) == "flac") {
            Decoded linux_decoded = decode_bytes(read_file(folder.file(linux_file)));
            Decoded windows_decoded = decode_bytes(read_file(folder.file(windows_file)));
            ASSERT_TRUE(linux_decoded.ok && windows_decoded.ok);
            EXPECT_EQ(windows_decoded.frames, song_frames);
            EXPECT_TRUE(windows_decoded.ints == linux_decoded.ints);
            continue;
        }
        ASSERT_EQ(decode(decoder, folder.file(linux_file), folder.file("linux.wav")), 0);
        ASSERT_EQ(decode(decoder, folder.file(windows_file), folder.file("windows.wav")), 0);
        std::vector<uint8_t> windows_wav = read_file(folder.file("windows.wav"));
        EXPECT_EQ(wav_frame_count(windows_wav), song_frames);
        std::vector<float> linux_samples = decode_bytes(read_file(folder.file("linux.wav"))).floats;
        std::vector<float> windows_samples = decode_bytes(windows_wav).floats;
        double linux_rms = rms_of(linux_samples, 0, linux_samples.size());
        double windows_rms = rms_of(windows_samples, 0, windows_samples.size());
        ASSERT_GT(linux_rms, 0.0);
        EXPECT_LT(std::fabs(20.0 * std::log10(windows_rms / linux_rms)), 0.1);
    }
}

// Where the first frame of a FLAC file begins: after "fLaC" and the blocks.
static size_t flac_audio_start(const std::vector<uint8_t>& bytes) {
    size_t at = 4;
    while (at + 4 <= bytes.size()) {
        bool last = (bytes[at] & 0x80u) != 0;
        at += 4 + (((size_t)bytes[at + 1] << 16) | ((size_t)bytes[at + 2] << 8) | bytes[at + 3]);
        if (last) return at;
    }
    return 0;
}

TEST(ReferenceDecoders, FlacFilesHaveASeekTableWithAPointEveryTenSeconds) {
    SKIP_ON_WINDOWS("metaflac");
    if (!can_write(OutputFormat::FLAC16)) GTEST_SKIP() << "this build writes WAV only";
    NEED_COMMAND("metaflac");
    struct Row {
        const char* format;
        const char* song;
    };
    const Row rows[] = {{"flac", "short.tsm"}, {"flac24", "short.tsm"}, {"flac", "demo.tsm"}};
    TestFolder folder;
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.format) + " " + row.song);
        folder.write(row.song, example_bytes(row.song));
        ASSERT_EQ(run_tool(folder.path(), {"-q", "--force", "-f", row.format, "-o", "out.flac", row.song}).code, 0);
        std::string listing;
        ASSERT_EQ(
            run_command("metaflac --list --block-type=SEEKTABLE " + shell_quoted(folder.file("out.flac")), &listing),
            0);
        uint64_t frames = library_sums(example_song(row.song), tamsel::RenderOptions()).size() / 2;
        std::vector<uint8_t> bytes = read_file(folder.file("out.flac"));
        size_t audio = flac_audio_start(bytes);
        uint64_t points = 0;
        size_t at = 0;
        while ((at = listing.find("sample_number=", at)) != std::string::npos) {
            uint64_t sample = 0, offset = 0;
            ASSERT_EQ(std::sscanf(listing.c_str() + at, "sample_number=%" SCNu64 ", stream_offset=%" SCNu64, &sample,
                                  &offset),
                      2);
            // Each point names the frame that holds the sample ten seconds on.
            EXPECT_LE(sample, points * 480000);
            EXPECT_GT(sample + 1152, points * 480000);
            ASSERT_LT(audio + offset + 1, bytes.size());
            EXPECT_EQ(bytes[audio + offset], 0xFFu);
            EXPECT_EQ(bytes[audio + offset + 1], 0xF8u);
            points++;
            at++;
        }
        EXPECT_EQ(points, (frames + 479999) / 480000);
        EXPECT_EQ(run_command("flac -t -s " + shell_quoted(folder.file("out.flac")) + " 2>&1"), 0);
    }
}
