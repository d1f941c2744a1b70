// Tags as a tag reader shows them: the tool's files read by mediainfo,
// and the MP3 file's ID3v1 tag checked byte by byte.
#include <gtest/gtest.h>

#include "decoding.h"
#include "reference_tools.h"
#include "tamsel/tamsel_version.h"
#include "test_folder.h"
#include "tool_process.h"

TEST(Tags, TitleAndArtistReadAsGivenInEveryFormat) {
    SKIP_ON_WINDOWS("mediainfo");
    if (!can_write(OutputFormat::FLAC16)) GTEST_SKIP() << "this build writes WAV only";
    NEED_COMMAND("mediainfo");
    struct Row {
        const char* song;    // the input's name: the default title
        const char* title;   // --title, or null
        const char* artist;  // --artist, or null
        const char* shown;   // "title|artist" as mediainfo shows them
        const char* id3v1;   // the MP3 file's ID3v1 title in Latin-1, or null for none
    };
    const Row rows[] = {
        {"plain.tsm", nullptr, nullptr, "plain|", "plain"},
        {"plain.tsm", "", nullptr, "|", ""},  // an empty title is none
        {"plain.tsm", "Night Drive \u266B", "Ann B\u00E9r\u00E9nice", "Night Drive \u266B|Ann B\u00E9r\u00E9nice",
         nullptr},
        {"plain.tsm", "Caf\u00E9", "Ann B\u00E9r\u00E9nice", "Caf\u00E9|Ann B\u00E9r\u00E9nice", "Caf\xE9"},
        {"\u041D\u043E\u0447\u044C.tsm", nullptr, nullptr, "\u041D\u043E\u0447\u044C|", nullptr},
    };
    std::vector<uint8_t> song = read_file(std::string(TAMSEL_SOURCE_DIR) + "/examples/short.tsm");
    for (const Row& row : rows) {
        for (const char* format : {"flac", "ogg", "opus", "mp3"}) {
            SCOPED_TRACE(std::string(row.shown) + " " + format);
            TestFolder folder;
            folder.write(row.song, song);
            std::string out = folder.file(std::string("out.") + format);
            std::vector<std::string> arguments = {"-q", "-f", format, "-o", out, row.song};
            if (row.title) arguments.insert(arguments.begin(), {"--title", row.title});
            if (row.artist) arguments.insert(arguments.begin(), {"--artist", row.artist});
            ToolResult run = run_tool(folder.path(), arguments);
            ASSERT_EQ(run.code, 0) << run.err;
            EXPECT_EQ(title_and_artist(out), row.shown);
            if (std::string(format) != "mp3") continue;
            std::vector<uint8_t> bytes = read_file(out);
            ASSERT_GT(bytes.size(), 128u);
            std::string last(bytes.end() - 128, bytes.end());
            ASSERT_EQ(last.compare(0, 3, "TAG") == 0, row.id3v1 != nullptr);
            if (row.id3v1) {
                EXPECT_EQ(last.substr(3, last.find('\0', 3) - 3), row.id3v1);
            }
        }
    }
}

TEST(Tags, EveryFormatNamesTheSoftwareOnceTheSameWay) {
    SKIP_ON_WINDOWS("ffprobe");
    if (!can_write(OutputFormat::FLAC16)) GTEST_SKIP() << "this build writes WAV only";
    NEED_COMMAND("ffprobe");
    struct Row {
        const char* format;
        const char* section;  // where ffprobe shows the file's tags
        const char* shown;    // the one software tag as ffprobe shows it
    };
    const Row rows[] = {
        {"flac", "format_tags", "ENCODER"}, {"flac24", "format_tags", "ENCODER"}, {"ogg", "stream_tags", "ENCODER"},
        {"opus", "stream_tags", "ENCODER"}, {"mp3", "format_tags", "encoder"},  // the TSSE frame
    };
    TestFolder folder;
    folder.write("short.tsm", read_file(std::string(TAMSEL_SOURCE_DIR) + "/examples/short.tsm"));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.format);
        std::string out = folder.file(std::string("out.") + row.format);
        ASSERT_EQ(run_tool(folder.path(), {"-q", "-f", row.format, "-o", out, "short.tsm"}).code, 0);
        std::string tags;
        ASSERT_EQ(
            run_command(std::string("ffprobe -v error -of flat -show_entries ") + row.section + " " + shell_quoted(out),
                        &tags),
            0);
        std::string expected = std::string(row.shown) + "=\"tamselexport " TAMSEL_VERSION_STRING "\"\n";
        EXPECT_NE(tags.find(expected), std::string::npos) << tags;
        size_t software_tags = 0;
        for (const char* key : {"encoder=", "ENCODER=", "software=", "SOFTWARE="}) {
            for (size_t at = tags.find(key); at != std::string::npos; at = tags.find(key, at + 1)) software_tags++;
        }
        EXPECT_EQ(software_tags, 1u) << tags;
    }
}
