// The manual page and the bash completion know every option --help lists;
// the manual and the README name every key of --json and show the summary
// line the tool prints today; and --help, the manual page and the README
// state the range of every bounded value the tool checks.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "export/value_limits.h"
#include "test_folder.h"
#include "test_songs.h"
#include "tool/option_words.h"
#include "tool_process.h"

namespace {

const char* const LONG_OPTIONS[] = {"output", "output-dir", "loops",     "tick",     "jobs",   "force",   "info",
                                    "json",   "quiet",      "help",      "version",  "format", "quality", "title",
                                    "artist", "gain",       "normalize", "loudness", "dither", "fade",    "stems",
                                    "mute",   "solo",       "loopable",  "stereo"};

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

// The keys of the outermost object of a line of JSON, in order. Text in
// quotes is skipped whole, so keys and values may hold any character.
std::vector<std::string> top_level_keys(const std::string& json) {
    std::vector<std::string> keys;
    int depth = 0;
    for (size_t i = 0; i < json.size(); i++) {
        char c = json[i];
        if (c == '{' || c == '[') depth++;
        if (c == '}' || c == ']') depth--;
        if (c != '"') continue;
        size_t end = i + 1;
        while (end < json.size() && json[end] != '"') end += json[end] == '\\' ? 2 : 1;
        if (depth == 1 && end + 1 < json.size() && json[end + 1] == ':')
            keys.push_back(json.substr(i + 1, end - i - 1));
        i = end;
    }
    return keys;
}

// Whether word stands in text on its own: after a blank, and not followed
// by more of a name.
bool names_word(const std::string& text, const std::string& word) {
    for (size_t at = text.find(" " + word); at != std::string::npos; at = text.find(" " + word, at + 1)) {
        char after = at + 1 + word.size() < text.size() ? text[at + 1 + word.size()] : ' ';
        if (!std::isalnum((unsigned char)after) && after != '_') return true;
    }
    return false;
}

// The text from the first line that starts with start to the next that
// starts with end.
std::string section(const std::string& text, const std::string& start, const std::string& end) {
    size_t from = text.find("\n" + start);
    if (from == std::string::npos) return "";
    size_t to = text.find("\n" + end, from + 1);
    return text.substr(from, to == std::string::npos ? std::string::npos : to - from);
}

TEST(Documentation, ManualAndReadmeNameEveryJsonKey) {
    TestFolder folder;
    folder.write("a.tsm", song_bytes(100, 2, 8, 8));
    std::vector<std::string> keys = top_level_keys(run_tool(folder.path(), {"--json", "--loopable", "a.tsm"}).out);
    ASSERT_GT(keys.size(), 20u);
    std::string manual = section(text_of(TAMSEL_BINARY_DIR "/man/tamselexport.1"), ".B \\-\\-json", ".TP");
    std::string readme = text_of(TAMSEL_SOURCE_DIR "/README.md");
    std::string listed = section(readme, "file`. With `--json`", "```");
    std::string example = section(readme, "$ tamselexport --info --json", "```");
    ASSERT_FALSE(manual.empty());
    ASSERT_FALSE(listed.empty());
    for (const std::string& key : keys) {
        EXPECT_TRUE(names_word(manual, key)) << key;
        EXPECT_NE(listed.find("`" + key + "`"), std::string::npos) << key;
    }
    EXPECT_EQ(top_level_keys(example.substr(example.find('{'))), keys) << example;
}

TEST(Documentation, ReadmeShowsTheSummaryOfTheDemo) {
    TestFolder folder;
    std::filesystem::create_directory(folder.file("examples"));
    folder.write("examples/demo.tsm", read_file(TAMSEL_SOURCE_DIR "/examples/demo.tsm"));
    ToolResult run = run_tool(folder.path(), {"--", "examples/demo.tsm"});
    ASSERT_EQ(run.code, 0);
    std::string readme = text_of(TAMSEL_SOURCE_DIR "/README.md");
    EXPECT_NE(readme.find("\n" + run.err), std::string::npos) << run.err;
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
