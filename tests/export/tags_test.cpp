// Tags as a tag reader shows them: the tool's files read by mediainfo,
// and the MP3 file's ID3v1 tag checked byte by byte.
#include <gtest/gtest.h>

#include "reference_tools.h"
#include "test_folder.h"
#include "tool_process.h"

namespace {

// What mediainfo shows as the title and the performer.
std::string title_and_artist(const std::string& file) {
    std::string out;
    run_command("mediainfo --Inform='General;%Title%|%Performer%' " + shell_quoted(file), &out);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

}  // namespace

TEST(Tags, TitleAndArtistReadAsGivenInEveryFormat) {
    SKIP_ON_WINDOWS("mediainfo");
    NEED_COMMAND("mediainfo");
    struct Row {
        const char* song;     // the input's name: the default title
        const char* title;    // --title, or null
        const char* artist;   // --artist, or null
        const char* shown;    // "title|artist" as mediainfo shows them
        const char* id3v1;    // the MP3 file's ID3v1 title in Latin-1, or null for none
    };
    const Row rows[] = {
        {"plain.tsm", nullptr, nullptr, "plain|", "plain"},
        {"plain.tsm", "Night Drive \u266B", "Ann B\u00E9r\u00E9nice", "Night Drive \u266B|Ann B\u00E9r\u00E9nice", nullptr},
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
            if (row.id3v1) EXPECT_EQ(last.substr(3, last.find('\0', 3) - 3), row.id3v1);
        }
    }
}
