// The manual page and the bash completion know every option --help lists,
// and --help, the manual page and the README state the range of every
// bounded value the tool checks.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "export/value_limits.h"
#include "test_folder.h"
#include "test_songs.h"
#include "tool/option_words.h"
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

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// --help's entry for option: its line and the indented ones under it.
std::string help_entry(const std::string& help, const std::string& option) {
    std::vector<std::string> lines = lines_of(help);
    const std::string continued(25, ' ');
    for (size_t i = 0; i < lines.size(); i++) {
        size_t first = lines[i].find_first_not_of(' ');
        bool heading = first != std::string::npos && first < 8 && lines[i][first] == '-';
        if (!heading || lines[i].find(option) == std::string::npos) continue;
        std::string entry = lines[i];
        while (i + 1 < lines.size() && lines[i + 1].rfind(continued, 0) == 0) entry += lines[++i];
        return entry;
    }
    return "";
}

// The manual's entry for option (escaped as roff wants it): from its .TP
// up to the next one.
std::string manual_entry(const std::string& manual, const std::string& option) {
    std::vector<std::string> lines = lines_of(manual);
    for (size_t i = 1; i < lines.size(); i++) {
        if (lines[i - 1] != ".TP" || lines[i].find(option) == std::string::npos) continue;
        std::string entry = lines[i];
        while (i + 1 < lines.size() && lines[i + 1] != ".TP" && lines[i + 1].rfind(".SS", 0) != 0)
            entry += " " + lines[++i];
        return entry;
    }
    return "";
}

// The README's option table row whose first cell names option.
std::string readme_entry(const std::string& readme, const std::string& option) {
    for (const std::string& line : lines_of(readme)) {
        if (line.rfind("| ", 0) != 0) continue;
        size_t cell_end = line.find(" | ");
        if (line.substr(0, cell_end).find("`" + option) != std::string::npos) return line;
    }
    return "";
}

std::string roff_escaped(const std::string& plain) {
    std::string escaped;
    for (char c : plain) escaped += c == '-' ? std::string("\\-") : std::string(1, c);
    return escaped;
}

TEST(Documentation, EveryRangeTheToolChecksIsTheOneTheDocumentsState) {
    TestFolder folder;
    std::string help = run_tool(folder.path(), {"--help"}).out;
    std::string manual = text_of(TAMSEL_BINARY_DIR "/man/tamselexport.1");
    std::string readme = text_of(TAMSEL_SOURCE_DIR "/README.md");
    for (const ValueLimit& limit : value_limits()) {
        std::string option = option_of_limit(limit.id);
        std::string min = limit_number_text(limit.min);
        std::string max = limit_number_text(limit.max);
        std::string help_text = help_entry(help, option);
        std::string manual_text = manual_entry(manual, roff_escaped(option));
        std::string readme_text = readme_entry(readme, option);
        EXPECT_NE(help_text.find(min + ".." + max), std::string::npos) << option << ": " << help_text;
        EXPECT_NE(manual_text.find(roff_escaped(min) + " to " + roff_escaped(max)), std::string::npos)
            << option << ": " << manual_text;
        EXPECT_NE(readme_text.find(min + ".." + max), std::string::npos) << option << ": " << readme_text;
        // A value just past the range is refused, naming the same range.
        std::string past = limit_number_text(limit.max + 1.0);
        ToolResult run = run_tool(folder.path(), {option + "=" + past, "a.tsm"});
        EXPECT_EQ(run.code, 2) << option;
        EXPECT_NE(run.err.find(limit_range_text(limit.id)), std::string::npos) << run.err;
    }
}

}  // namespace
