// The manual page and the bash completion know every option --help lists.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_folder.h"
#include "test_songs.h"
#include "tool_process.h"

namespace {

const char* const LONG_OPTIONS[] = {"output",  "output-dir", "loops",  "tick", "jobs",      "force",
                                    "info",    "json",       "quiet",  "help", "version",   "format",
                                    "quality", "title",      "artist", "gain", "normalize", "loudness",
                                    "dither",  "fade",       "stems",  "mute", "solo",      "loopable"};

std::string text_of(const std::string& path) {
    std::vector<uint8_t> bytes = read_file(path);
    return std::string(bytes.begin(), bytes.end());
}

TEST(Documentation, ManualAndCompletionNameEveryOption) {
    TestFolder folder;
    folder.write("a.tsm", song_bytes(100, 0, 8, 8));
    std::string help = run_tool(folder.path(), {"--help"}).out;
    std::string manual = text_of(TAMSEL_BINARY_DIR "/man/tamselexport.1");
    std::string completion = text_of(TAMSEL_SOURCE_DIR "/completion/tamselexport.bash");
    ASSERT_FALSE(manual.empty());
    ASSERT_FALSE(completion.empty());
    for (const char* option : LONG_OPTIONS) {
        std::string plain = std::string("--") + option;
        std::string roff;  // every dash escaped, as roff wants it
        for (char c : plain) roff += c == '-' ? std::string("\\-") : std::string(1, c);
        EXPECT_NE(help.find(plain), std::string::npos) << plain;
        EXPECT_NE(manual.find(roff), std::string::npos) << roff;
        EXPECT_NE(completion.find(plain), std::string::npos) << plain;
    }
    for (const char* format : {"wav16", "wav24", "flac24", "ogg", "opus", "mp3"}) {
        EXPECT_NE(manual.find(format), std::string::npos) << format;
        EXPECT_NE(completion.find(format), std::string::npos) << format;
    }
}

}  // namespace
