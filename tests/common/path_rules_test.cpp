// Paths taken apart and outputs named after inputs, where Windows and Linux
// differ too: on Windows '\' ends a path component as '/' does and a drive
// "C:" at the start is a boundary too; on Linux both are ordinary characters
// of a name. And names are UTF-8 on both, from the command line to the file
// system.
#include <gtest/gtest.h>

#include <string>

#include "common/path_rules.h"
#include "song_builder.h"
#include "test_folder.h"
#include "tool_forms.h"
#include "tool_process.h"

#ifdef _WIN32
static const bool ON_WINDOWS = true;
#else
static const bool ON_WINDOWS = false;
#endif

// Each row: the path, then on Windows and elsewhere its folder part and the
// name it gives with ".wav" (the positional form's output). The last
// component is what follows the folder; the extension what the ".wav"
// replaced.
TEST(PathRules, FolderAndExtensionOnEachSystem) {
    struct Side {
        const char* folder;
        const char* wav;
    };
    struct Row {
        const char* path;
        Side windows, posix;
    } rows[] = {
        {"song.tsm", {"", "song.wav"}, {"", "song.wav"}},
        {"music/song", {"music/", "music/song.wav"}, {"music/", "music/song.wav"}},
        {"dir.old/song", {"dir.old/", "dir.old/song.wav"}, {"dir.old/", "dir.old/song.wav"}},
        {"./song", {"./", "./song.wav"}, {"./", "./song.wav"}},
        {".hidden", {"", ".hidden.wav"}, {"", ".hidden.wav"}},
        {"a/b.c.tsm", {"a/", "a/b.c.wav"}, {"a/", "a/b.c.wav"}},
        {"song.", {"", "song.wav"}, {"", "song.wav"}},
        {"/abs/x.TSM", {"/abs/", "/abs/x.wav"}, {"/abs/", "/abs/x.wav"}},
        {"out/dir.old/", {"out/dir.old/", "out/dir.old/.wav"}, {"out/dir.old/", "out/dir.old/.wav"}},
        {"dir.old\\song", {"dir.old\\", "dir.old\\song.wav"}, {"", "dir.wav"}},
        {"C:\\dir.old\\song", {"C:\\dir.old\\", "C:\\dir.old\\song.wav"}, {"", "C:\\dir.wav"}},
        {"a.b\\.hidden", {"a.b\\", "a.b\\.hidden.wav"}, {"", "a.b\\.wav"}},
        {"music\\song.tsm", {"music\\", "music\\song.wav"}, {"", "music\\song.wav"}},
        {"dir.old/sub\\song", {"dir.old/sub\\", "dir.old/sub\\song.wav"}, {"dir.old/", "dir.old/sub\\song.wav"}},
        {"C:song.tsm", {"C:", "C:song.wav"}, {"", "C:song.wav"}},
        {"C:.hidden", {"C:", "C:.hidden.wav"}, {"", "C:.wav"}},
        {"c:x.y\\z", {"c:x.y\\", "c:x.y\\z.wav"}, {"", "c:x.wav"}},
        // Only a drive letter at the very start is a drive; any other ':' is
        // part of a name.
        {"1:.tsm", {"", "1:.wav"}, {"", "1:.wav"}},
        {"dir/a:b.tsm", {"dir/", "dir/a:b.wav"}, {"dir/", "dir/a:b.wav"}},
        {"\\\\server\\share.d\\song",
         {"\\\\server\\share.d\\", "\\\\server\\share.d\\song.wav"},
         {"", "\\\\server\\share.wav"}},
        {"M\xC3\xBCsik.alt\\Lied.tsm",
         {"M\xC3\xBCsik.alt\\", "M\xC3\xBCsik.alt\\Lied.wav"},
         {"", "M\xC3\xBCsik.alt\\Lied.wav"}},
    };
    for (const Row& row : rows) {
        const Side& side = ON_WINDOWS ? row.windows : row.posix;
        std::string path = row.path;
        EXPECT_EQ(path_folder(path), side.folder) << path;
        EXPECT_EQ(path_folder(path) + path_last_component(path), path) << path;
        EXPECT_EQ(path_with_extension(path, ".wav"), side.wav) << path;
        EXPECT_EQ(path_without_extension(path) + path.substr(path_extension_start(path)), path) << path;
    }
    std::string long_path(5000, 'a');
    EXPECT_EQ(path_with_extension(long_path + ".tsm", ".wav"), long_path + ".wav");
}

// The song as a person names it: in a folder whose name has a dot, or
// written with a drive, or with letters beyond ASCII.
class OutputNamingRun : public testing::Test {
protected:
    void SetUp() override { folder_.write("song.tsm", make_song(100, 0, 8, 8).bytes); }
    // Copies the song to the given (UTF-8, '/'-separated) path in the folder.
    void place_song(const std::string& relative) { folder_.write(relative, read_file(folder_.file("song.tsm"))); }
    bool exists(const std::string& relative) { return file_exists(folder_.file(relative)); }
    std::string tail(const std::string& input, const std::string& output) {
        return usage_text() + "Loading file " + input + "\nExporting to file " + output + "\nFile saved\n";
    }
    std::string dir() { return folder_.path(); }

    TestFolder folder_;
};

TEST_F(OutputNamingRun, ASongInAFolderWithADot) {
    place_song("dir.old/song");
    const char* input = ON_WINDOWS ? "dir.old\\song" : "dir.old/song";
    const char* output = ON_WINDOWS ? "dir.old\\song.wav" : "dir.old/song.wav";
    ToolResult run = run_tool(dir(), {input});
    EXPECT_EQ(run.out, tail(input, output));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.code, 0);
    EXPECT_TRUE(exists("dir.old/song.wav"));
    EXPECT_FALSE(exists("dir.wav"));
}

TEST_F(OutputNamingRun, ASongNamedWithItsDrive) {
    if (!ON_WINDOWS) GTEST_SKIP() << "drive letters are Windows names";
    // The folder's own drive, whose current folder the run makes this one.
    std::string drive = dir().substr(0, 2);
    ASSERT_EQ(drive[1], ':');
    ToolResult run = run_tool(dir(), {drive + "song.tsm"});
    EXPECT_EQ(run.out, tail(drive + "song.tsm", drive + "song.wav"));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.code, 0);
    EXPECT_TRUE(exists("song.wav"));
}

TEST_F(OutputNamingRun, NamesBeyondASCIIReachTheFileSystem) {
    // "Grüße – 夜.tsm": Latin, punctuation and CJK, none of them in one
    // Windows ANSI code page.
    const std::string name =
        "Gr\xC3\xBC\xC3\x9F"
        "e \xE2\x80\x93 \xE5\xA4\x9C";
    place_song("M\xC3\xBCsik/" + name + ".tsm");
    std::string input = "M\xC3\xBCsik/" + name + ".tsm";
    std::string output = "M\xC3\xBCsik/" + name + ".wav";
    ToolResult run = run_tool(dir(), {input});
    EXPECT_EQ(run.out, tail(input, output));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.code, 0);
    EXPECT_TRUE(exists(output));
}
