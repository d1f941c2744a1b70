// The built tool, made to fail at chosen points of writing its output.
// Every time: exit code 1, one clear line, the earlier render in song.wav
// byte-identical, and no temporary file left behind.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "sanitizer_build.h"
#include "test_folder.h"
#include "tool_forms.h"
#include "tool_process.h"

namespace {

// The demo with no extra loop renders to this many bytes.
constexpr int64_t DEMO_WAV_BYTES = 45711404;

// A small tmpfs on a folder of the test, unmounted when it goes. Mounting
// needs privileges; without them the tests that need one are skipped.
class SmallFileSystem {
public:
    explicit SmallFileSystem(const std::string& path) : path_(path) {
        std::filesystem::create_directories(path);
        mounted_ = mount("tmpfs", path.c_str(), "tmpfs", 0, "size=1m") == 0;
    }
    ~SmallFileSystem() {
        if (mounted_) umount2(path_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    bool make_read_only() { return mount("tmpfs", path_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=1m") == 0; }

private:
    std::string path_;
    bool mounted_ = false;
};

// Runs form in dir (holding song.tsm and the old song.wav) and checks the
// rule; reason is part of the option form's line.
void expect_clean_failure(Form form, const std::string& dir, const ToolSetup& setup, const std::string& reason) {
    SCOPED_TRACE(form_name(form));
    ToolResult result = run_tool_process(setup);
    EXPECT_FALSE(result.timed_out);
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.code, 1);
    std::string line;
    EXPECT_TRUE(failed_with_one_line(form, result, &line)) << line;
    if (form == Form::OPTIONS) {
        EXPECT_NE(line.find(reason), std::string::npos) << line;
    }
    EXPECT_EQ(read_file(dir + "/song.wav"), old_render());
    EXPECT_TRUE(partial_files(dir, "song.wav").empty());
}

// A run of form in dir, which it fills with song.tsm and the old song.wav.
ToolSetup render_over_old(Form form, const std::string& dir) {
    place_song_and_old_render(dir, "demo.tsm");
    ToolSetup setup;
    setup.folder = dir;
    setup.arguments = render_arguments(form, 0);
    return setup;
}

}  // namespace

TEST(FaultInjection, WritesThatFailAfterNBytesKeepTheOldRender) {
    // From nothing at all to all but the last byte, around the writer's
    // 1 MiB buffers and the 44-byte header.
    const int64_t limits[] = {0, 44, 4096, (1 << 20) - 1, 1 << 20, (1 << 20) + 1, 20000000, DEMO_WAV_BYTES - 1};
    for (Form form : forms_to_test()) {
        for (int64_t limit : limits) {
            // ThreadSanitizer's runtime writes a file of its own as a process
            // starts, so under a limit of 0 it dies before the tool runs.
            if (limit == 0 && UNDER_THREAD_SANITIZER) continue;
            SCOPED_TRACE("file size limit " + std::to_string(limit));
            TestFolder folder;
            ToolSetup setup = render_over_old(form, folder.path());
            setup.file_size_limit = limit;
            expect_clean_failure(form, folder.path(), setup, "File too large");
        }
    }
}

// As a user meets the limit: set by a real shell, with SIGXFSZ at its
// default action, which would end the tool and leave its temporary file.
TEST(FaultInjection, AShellsFileSizeLimitEndsTheRunAsCleanlyAsAFullDisk) {
    for (Form form : forms_to_test()) {
        TestFolder folder;
        ToolSetup setup = render_over_old(form, folder.path());
        setup.shell_commands = "ulimit -f 100";
        expect_clean_failure(form, folder.path(), setup, "File too large");
    }
}

TEST(FaultInjection, TheDemoFitsExactlyUnderItsOwnSize) {
    // The limits above fail only because of the limit: at the render's size
    // every form succeeds.
    for (Form form : forms_to_test()) {
        SCOPED_TRACE(form_name(form));
        TestFolder folder;
        ToolSetup setup = render_over_old(form, folder.path());
        setup.file_size_limit = DEMO_WAV_BYTES;
        ToolResult result = run_tool_process(setup);
        EXPECT_EQ(result.code, 0) << result.out << result.err;
        EXPECT_EQ(std::filesystem::file_size(folder.file("song.wav")), (uintmax_t)DEMO_WAV_BYTES);
        EXPECT_TRUE(partial_files(folder.path(), "song.wav").empty());
    }
}

TEST(FaultInjection, AReadOnlyFolderKeepsTheOldRender) {
    for (Form form : forms_to_test()) {
        TestFolder folder;
        std::string dir = folder.file("ro");
        // Permissions stop other users; root needs a read-only mount.
        SmallFileSystem small(dir);
        if (geteuid() == 0 && !small.mounted()) GTEST_SKIP() << "running as root and cannot mount a tmpfs here";
        ToolSetup setup = render_over_old(form, dir);
        if (geteuid() == 0) {
            ASSERT_TRUE(small.make_read_only());
        } else {
            ASSERT_EQ(chmod(dir.c_str(), 0555), 0);
        }
        expect_clean_failure(form, dir, setup, geteuid() == 0 ? "Read-only file system" : "Permission denied");
        chmod(dir.c_str(), 0755);
    }
}

TEST(FaultInjection, AFullFileSystemKeepsTheOldRender) {
    for (Form form : forms_to_test()) {
        TestFolder folder;
        std::string dir = folder.file("small");
        SmallFileSystem small(dir);
        if (!small.mounted()) GTEST_SKIP() << "cannot mount a 1 MiB tmpfs here (needs privileges)";
        expect_clean_failure(form, dir, render_over_old(form, dir), "No space left on device");
    }
}

TEST(FaultInjection, AClosedStandardOutputIsOneLineAndTouchesNoFile) {
    if (!tool_has_option_form()) GTEST_SKIP() << "the tool has no option form yet";
    TestFolder folder;
    place_song(folder.path(), "demo.tsm");
    std::vector<uint8_t> song = read_file(folder.file("song.tsm"));
    ToolSetup setup;
    setup.folder = folder.path();
    setup.arguments = {"--quiet", "-o", "-", "song.tsm"};
    setup.standard_output = StandardOutput::CLOSED;
    ToolResult result = run_tool_process(setup);
    EXPECT_FALSE(result.timed_out);
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.code, 1);
    std::string line;
    EXPECT_TRUE(failed_with_one_line(Form::OPTIONS, result, &line)) << line;
    // With descriptor 1 closed the song may be opened as 1: it must stay whole.
    EXPECT_EQ(read_file(folder.file("song.tsm")), song);
    EXPECT_EQ(names_starting(folder.path(), ".").size(), 0u);
}

// Quietly even without --quiet: no summary, no error line, no file.
TEST(FaultInjection, APipeClosedEarlyEndsTheRunQuietly) {
    if (!tool_has_option_form()) GTEST_SKIP() << "the tool has no option form yet";
    const size_t taken[] = {0, 100, 44 + (1 << 20) + 5};
    for (size_t bytes : taken) {
        SCOPED_TRACE("reader took " + std::to_string(bytes) + " bytes");
        TestFolder folder;
        place_song(folder.path(), "demo.tsm");
        ToolSetup setup;
        setup.folder = folder.path();
        setup.arguments = {"-o", "-", "song.tsm"};
        setup.standard_output = StandardOutput::PIPE_CLOSED_EARLY;
        setup.bytes_read_before_closing = bytes;
        ToolResult result = run_tool_process(setup);
        EXPECT_FALSE(result.timed_out);
        EXPECT_EQ(result.signal, 0);
        EXPECT_EQ(result.code, 1);
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.out.size(), bytes);
        if (bytes >= 4) {
            EXPECT_EQ(result.out.substr(0, 4), "RIFF");
        }
        EXPECT_EQ(files_in(folder.path()), std::vector<std::string>{"song.tsm"});
    }
}

// The tool renders the song it loaded: removing or replacing the file
// meanwhile changes nothing in the output.
TEST(FaultInjection, TheInputMayVanishOrChangeDuringTheRender) {
    enum Change { REMOVED, RENAMED_OVER, REWRITTEN };
    const Change changes[] = {REMOVED, RENAMED_OVER, REWRITTEN};
    const int32_t loops = 2;
    for (Form form : forms_to_test()) {
        SCOPED_TRACE(form_name(form));
        TestFolder reference("reference");
        place_song(reference.path(), "demo.tsm");
        ToolSetup plain;
        plain.folder = reference.path();
        plain.arguments = render_arguments(form, loops);
        ASSERT_EQ(run_tool_process(plain).code, 0);
        for (Change change : changes) {
            SCOPED_TRACE("change " + std::to_string((int)change));
            TestFolder folder;
            place_song_and_old_render(folder.path(), "demo.tsm");
            ToolSetup setup;
            setup.folder = folder.path();
            setup.arguments = render_arguments(form, loops);
            ToolProcess tool;
            ASSERT_TRUE(tool.start(setup));
            ASSERT_TRUE(wait_for_partial_file(&tool, folder.path(), "song.wav", 1 << 20))
                << "the render ended too soon";
            std::string song = folder.file("song.tsm");
            if (change == REMOVED) {
                ASSERT_EQ(std::remove(song.c_str()), 0);
            }
            if (change == RENAMED_OVER) {
                place_song(reference.path(), "short.tsm");
                ASSERT_EQ(std::rename(reference.file("song.tsm").c_str(), song.c_str()), 0);
                place_song(reference.path(), "demo.tsm");
            }
            if (change == REWRITTEN) put_file(song, std::string("TSM but no longer a song"));
            ToolResult result = tool.finish();
            EXPECT_EQ(result.code, 0) << result.out << result.err;
            EXPECT_TRUE(files_equal(folder.file("song.wav"), reference.file("song.wav")));
            EXPECT_TRUE(partial_files(folder.path(), "song.wav").empty());
        }
    }
}
