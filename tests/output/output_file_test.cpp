// Output files in this process: what is on disk before and after commit,
// abort and failures, and what names and modes the files get.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "output/output_cleanup.h"
#include "output/output_file.h"
#include "output/output_writer.h"
#include "output/temporary_names.h"
#include "test_folder.h"
#include "tool_forms.h"

namespace {

std::vector<uint8_t> pattern(size_t size, uint32_t seed) {
    std::vector<uint8_t> bytes(size);
    uint32_t x = seed;
    for (uint8_t& b : bytes) {
        x = x * 1664525u + 1013904223u;
        b = (uint8_t)(x >> 24);
    }
    return bytes;
}

std::unique_ptr<OutputFile> open_or_fail(const std::string& path, ReplacePolicy policy) {
    std::string error;
    std::unique_ptr<OutputFile> output = open_output(path, policy, &error);
    EXPECT_NE(output, nullptr) << error;
    EXPECT_EQ(error, "");
    return output;
}

mode_t mode_of(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return 0;
    return info.st_mode & 07777;
}

// Runs body in a child process (for limits and signals that must not touch
// the test process); returns the child's exit code, or 128 + its signal.
template <typename Body>
int in_child(Body body) {
    pid_t pid = fork();
    if (pid == 0) _exit(body());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

TEST(OutputFile, DestinationChangesOnlyAtCommit) {
    TestFolder folder;
    std::string path = folder.file("song.wav");
    put_file(path, "old bytes");
    std::vector<uint8_t> body = pattern(3 * WRITER_BUFFER_BYTES + 12345, 1);
    std::unique_ptr<OutputFile> output = open_or_fail(path, ReplacePolicy::REPLACE);
    ASSERT_TRUE(output);
    ASSERT_TRUE(output->write(body.data(), body.size()));
    EXPECT_EQ(read_file(path), std::vector<uint8_t>({'o', 'l', 'd', ' ', 'b', 'y', 't', 'e', 's'}));
    EXPECT_EQ(partial_files(folder.path(), "song.wav").size(), 1u);
    std::string error;
    ASSERT_TRUE(output->commit(&error)) << error;
    EXPECT_EQ(read_file(path), body);
    EXPECT_TRUE(partial_files(folder.path(), "song.wav").empty());
}

TEST(OutputFile, SmallWritesAndRoomLentInPiecesGiveTheSameBytes) {
    TestFolder folder;
    std::vector<uint8_t> body = pattern(2 * WRITER_BUFFER_BYTES + 777, 2);
    std::unique_ptr<OutputFile> small = open_or_fail(folder.file("small.wav"), ReplacePolicy::KEEP_EXISTING);
    std::unique_ptr<OutputFile> lent = open_or_fail(folder.file("lent.wav"), ReplacePolicy::KEEP_EXISTING);
    ASSERT_TRUE(small && lent);
    for (size_t at = 0; at < body.size(); at += 1000) {
        size_t size = body.size() - at < 1000 ? body.size() - at : 1000;
        ASSERT_TRUE(small->write(body.data() + at, size));
        EXPECT_EQ(small->tell(), at + size);
    }
    // Room is filled in place and taken in part; room left untaken is
    // dropped by the next call.
    for (size_t at = 0; at < body.size();) {
        size_t room = 0;
        uint8_t* bytes = lent->reserve(body.size() - at, &room);
        ASSERT_NE(bytes, nullptr);
        ASSERT_GE(room, 1u);
        size_t take = room < 300000 ? room : 300000;
        std::memcpy(bytes, body.data() + at, take);
        ASSERT_TRUE(lent->commit_reserved(take));
        at += take;
        EXPECT_EQ(lent->tell(), at);
        ASSERT_NE(lent->reserve(7, &room), nullptr);
    }
    std::string error;
    ASSERT_TRUE(small->commit(&error)) << error;
    ASSERT_TRUE(lent->commit(&error)) << error;
    EXPECT_EQ(read_file(folder.file("small.wav")), body);
    EXPECT_EQ(read_file(folder.file("lent.wav")), body);
}

TEST(OutputFile, SeekBackWritesTheHeaderLast) {
    TestFolder folder;
    std::unique_ptr<OutputFile> output = open_or_fail(folder.file("song.wav"), ReplacePolicy::REPLACE);
    ASSERT_TRUE(output);
    EXPECT_TRUE(output->seekable());
    std::vector<uint8_t> body = pattern(WRITER_BUFFER_BYTES + 5, 3);
    ASSERT_TRUE(output->seek(44));
    EXPECT_EQ(output->tell(), 44u);
    ASSERT_TRUE(output->write(body.data(), body.size()));
    EXPECT_EQ(output->tell(), 44u + body.size());
    ASSERT_TRUE(output->seek(0));
    std::vector<uint8_t> header(44, 0xAB);
    ASSERT_TRUE(output->write(header.data(), header.size()));
    std::string error;
    ASSERT_TRUE(output->commit(&error)) << error;
    std::vector<uint8_t> written = read_file(folder.file("song.wav"));
    ASSERT_EQ(written.size(), header.size() + body.size());
    EXPECT_TRUE(std::equal(header.begin(), header.end(), written.begin()));
    EXPECT_TRUE(std::equal(body.begin(), body.end(), written.begin() + 44));
}

TEST(OutputFile, AbortAndDestructionKeepTheOldDestination) {
    TestFolder folder;
    std::string path = folder.file("song.wav");
    put_file(path, "old");
    std::vector<uint8_t> body = pattern(100000, 4);
    {
        std::unique_ptr<OutputFile> output = open_or_fail(path, ReplacePolicy::REPLACE);
        ASSERT_TRUE(output && output->write(body.data(), body.size()));
        output->abort();
        std::string error;
        EXPECT_FALSE(output->commit(&error));
        EXPECT_EQ(error, "the output is already finished");
    }
    {
        std::unique_ptr<OutputFile> output = open_or_fail(path, ReplacePolicy::REPLACE);
        ASSERT_TRUE(output && output->write(body.data(), body.size()));
    }
    EXPECT_EQ(read_file(path), std::vector<uint8_t>({'o', 'l', 'd'}));
    EXPECT_TRUE(partial_files(folder.path(), "song.wav").empty());
}

TEST(OutputFile, KeepExistingRefusesADestinationThatExistsOrAppears) {
    TestFolder folder;
    std::string path = folder.file("song.wav");
    put_file(path, "old");
    std::string error;
    bool taken = false;
    EXPECT_EQ(open_output(path, ReplacePolicy::KEEP_EXISTING, &error, &taken), nullptr);
    EXPECT_EQ(error, path + " exists");
    EXPECT_TRUE(taken);
    EXPECT_TRUE(partial_files(folder.path(), "song.wav").empty());
    ASSERT_EQ(symlink("nowhere.wav", folder.file("dangling.wav").c_str()), 0);
    EXPECT_EQ(open_output(folder.file("dangling.wav"), ReplacePolicy::KEEP_EXISTING, &error), nullptr);
    EXPECT_EQ(error, folder.file("dangling.wav") + " exists");

    std::string later = folder.file("later.wav");
    std::unique_ptr<OutputFile> output = open_or_fail(later, ReplacePolicy::KEEP_EXISTING);
    ASSERT_TRUE(output && output->write("new", 3));
    put_file(later, "made meanwhile");
    error.clear();
    EXPECT_FALSE(output->name_taken());
    EXPECT_FALSE(output->commit(&error));
    EXPECT_EQ(error, later + " exists");
    EXPECT_TRUE(output->name_taken());
    EXPECT_EQ(read_file(later).size(), 14u);
    EXPECT_TRUE(partial_files(folder.path(), "later.wav").empty());
}

// A missing folder, a folder as the output and a file as a folder are the
// tool's messages (Messages.AnOutputThatCannotBeWritten...); an empty name
// never reaches the tool's outputs.
TEST(OutputFile, OpeningFailuresSayWhatAndLeaveNothing) {
    TestFolder folder;
    std::string error;
    EXPECT_EQ(open_output("", ReplacePolicy::REPLACE, &error), nullptr);
    EXPECT_EQ(error, "no output file named");
    EXPECT_EQ(open_output(folder.file("missing/song.wav"), ReplacePolicy::REPLACE, &error), nullptr);
    EXPECT_EQ(names_starting(folder.path(), ".").size(), 0u);
}

TEST(OutputFile, NewFilesGetTheModeTheUmaskAllows) {
    TestFolder folder;
    mode_t previous = umask(027);
    std::unique_ptr<OutputFile> output = open_or_fail(folder.file("song.wav"), ReplacePolicy::REPLACE);
    umask(previous);
    ASSERT_TRUE(output);
    std::string error;
    ASSERT_TRUE(output->commit(&error)) << error;
    EXPECT_EQ(mode_of(folder.file("song.wav")), 0640u);
}

TEST(OutputFile, ALinkKeepsPointingAtTheReplacedFile) {
    TestFolder folder;
    put_file(folder.file("real.wav"), "old");
    ASSERT_EQ(symlink("real.wav", folder.file("link.wav").c_str()), 0);
    std::unique_ptr<OutputFile> output = open_or_fail(folder.file("link.wav"), ReplacePolicy::REPLACE);
    ASSERT_TRUE(output && output->write("new", 3));
    std::string error;
    ASSERT_TRUE(output->commit(&error)) << error;
    EXPECT_TRUE(std::filesystem::is_symlink(folder.file("link.wav")));
    EXPECT_EQ(read_file(folder.file("real.wav")), std::vector<uint8_t>({'n', 'e', 'w'}));
}

// Even without leave to replace: nothing there is replaced.
TEST(OutputFile, ADeviceIsWrittenAsItIsNeverReplaced) {
    std::unique_ptr<OutputFile> output = open_or_fail("/dev/null", ReplacePolicy::KEEP_EXISTING);
    ASSERT_TRUE(output);
    EXPECT_FALSE(output->seekable());
    std::vector<uint8_t> body = pattern(3 * WRITER_BUFFER_BYTES, 5);
    ASSERT_TRUE(output->write(body.data(), body.size()));
    std::string error;
    ASSERT_TRUE(output->commit(&error)) << error;
    struct stat info;
    ASSERT_EQ(stat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
}

TEST(OutputFile, AWriteBeyondTheFileSizeLimitFailsAndLeavesNothing) {
    TestFolder folder;
    std::string path = folder.file("song.wav");
    put_file(path, "old");
    // 0: the child got the error it should; other codes tell which step was wrong.
    int code = in_child([&] {
        struct rlimit limit = {100000, 100000};
        install_interrupt_cleanup([](int) { return 1; });
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 10;
        std::string error;
        std::unique_ptr<OutputFile> output = open_output(path, ReplacePolicy::REPLACE, &error);
        if (!output) return 11;
        std::vector<uint8_t> body = pattern(3 * WRITER_BUFFER_BYTES, 6);
        bool all_written = true;
        for (size_t at = 0; at < body.size() && all_written; at += 65536) all_written = output->write(&body[at], 65536);
        bool committed = output->commit(&error);
        if (committed) return 12;
        if (error != "File too large" || output->error() != "File too large") return 13;
        if (output->write("x", 1)) return 14;
        return 0;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(read_file(path), std::vector<uint8_t>({'o', 'l', 'd'}));
    EXPECT_TRUE(partial_files(folder.path(), "song.wav").empty());
}

TEST(OutputFile, StandardOutputToAClosedPipeIsAFailedWriteNotASignal) {
    int code = in_child([] {
        int fds[2];
        if (pipe(fds) != 0) return 10;
        close(fds[0]);
        if (dup2(fds[1], STDOUT_FILENO) < 0) return 11;
        std::string error;
        std::unique_ptr<OutputFile> output = open_output("-", ReplacePolicy::KEEP_EXISTING, &error);
        if (!output) return 12;
        if (output->seekable()) return 13;
        std::vector<uint8_t> body = pattern(3 * WRITER_BUFFER_BYTES, 7);
        output->write(body.data(), body.size());
        if (output->commit(&error)) return 14;
        if (!output->broken_pipe() || error != "Broken pipe") return 15;
        return 0;
    });
    EXPECT_EQ(code, 0);
}

// Standard output where the shell put it: an output that may be written
// over counts its offsets from where it began, after the bytes before it;
// one that may not (appending, a device) is written straight through.
TEST(OutputFile, StandardOutputCountsFromWhereItStartsAndRewritesOnlyWhereItCan) {
    struct Case {
        const char* name;
        const char* path;  // "" for a file of the test
        int flags;
        bool seekable;
    };
    const Case cases[] = {
        {"after other bytes", "", O_WRONLY | O_CREAT | O_TRUNC, true},
        {"appending", "", O_WRONLY | O_CREAT | O_APPEND, false},
        {"/dev/null", "/dev/null", O_WRONLY, false},
    };
    for (const Case& c : cases) {
        for (const char* name : {"-", "/dev/stdout"}) {
            SCOPED_TRACE(std::string(c.name) + ", named " + name);
            TestFolder folder;
            std::string path = *c.path ? c.path : folder.file("out.bin");
            int code = in_child([&] {
                int fd = open(path.c_str(), c.flags, 0644);
                if (fd < 0 || dup2(fd, STDOUT_FILENO) < 0) return 10;
                if (!*c.path && write(STDOUT_FILENO, "abc", 3) != 3) return 11;
                std::string error;
                std::unique_ptr<OutputFile> output = open_output(name, ReplacePolicy::KEEP_EXISTING, &error);
                if (!output) return 12;
                if (output->seekable() != c.seekable) return 13;
                if (!output->write("header body", 11) || output->tell() != 11) return 14;
                if (c.seekable && !(output->seek(0) && output->write("H", 1) && output->seek(11))) return 15;
                if (!output->write("!", 1) || !output->commit(&error)) return 16;
                return 0;
            });
            EXPECT_EQ(code, 0);
            if (*c.path) continue;
            std::string expected = c.seekable ? "abcHeader body!" : "abcheader body!";
            std::vector<uint8_t> bytes = read_file(path);
            EXPECT_EQ(std::string(bytes.begin(), bytes.end()), expected);
        }
    }
}

// Each signal removes the temporary files and exits with the code the
// caller chose; the destination keeps its old bytes.
TEST(InterruptCleanup, SignalsRemoveTemporaryFilesAndExitWithTheChosenCode) {
    const int signals[] = {SIGINT, SIGTERM, SIGHUP};
    for (int chosen : signals) {
        TestFolder folder(std::string(strsignal(chosen)));
        put_file(folder.file("a.wav"), "old");
        int code = in_child([&] {
            install_interrupt_cleanup([](int signal) { return 100 + signal; });
            std::string error;
            std::unique_ptr<OutputFile> a = open_output(folder.file("a.wav"), ReplacePolicy::REPLACE, &error);
            std::unique_ptr<OutputFile> b = open_output(folder.file("b.wav"), ReplacePolicy::REPLACE, &error);
            if (!a || !b) return 10;
            std::vector<uint8_t> body = pattern(2 * WRITER_BUFFER_BYTES, 8);
            if (!a->write(body.data(), body.size()) || !b->write(body.data(), body.size())) return 11;
            raise(chosen);
            return 12;
        });
        EXPECT_EQ(code, 100 + chosen) << strsignal(chosen);
        EXPECT_EQ(read_file(folder.file("a.wav")), std::vector<uint8_t>({'o', 'l', 'd'}));
        EXPECT_FALSE(file_exists(folder.file("b.wav")));
        EXPECT_EQ(names_starting(folder.path(), ".").size(), 0u) << strsignal(chosen);
    }
}

TEST(InterruptCleanup, FinishedOutputsLeaveTheListSoItNeverFills) {
    TestFolder folder;
    for (int32_t i = 0; i < 3 * TEMPORARY_PATH_SLOTS; i++) {
        std::string error;
        std::unique_ptr<OutputFile> output = open_output(folder.file("song.wav"), ReplacePolicy::REPLACE, &error);
        ASSERT_TRUE(output) << i << ": " << error;
        ASSERT_TRUE(output->write("x", 1));
        if (i % 2 == 0) {
            ASSERT_TRUE(output->commit(&error)) << error;
        } else {
            output->abort();
        }
    }
    EXPECT_EQ(names_starting(folder.path(), ".").size(), 0u);
}

TEST(TemporaryNames, AreHiddenBesideTheDestinationAndSayWhatTheyAre) {
    std::string name = temporary_path_for("out/dir.old/song.wav");
    ASSERT_EQ(name.size(), std::string("out/dir.old/.song.wav.partial-").size() + 6);
    EXPECT_EQ(name.substr(0, 30), "out/dir.old/.song.wav.partial-");
    EXPECT_EQ(temporary_path_for("song.wav").substr(0, 18), ".song.wav.partial-");
}

TEST(TemporaryNames, LongNamesAreShortenedWithoutSplittingACharacter) {
    std::string long_name;
    for (int i = 0; i < 120; i++) long_name += "\xC3\xA9";  // 240 bytes of é
    std::string name = temporary_path_for("d/" + long_name);
    std::string base = name.substr(2);
    EXPECT_LE(base.size(), 255u);
    // 1 dot, 100 whole characters, ".partial-" and the suffix.
    EXPECT_EQ(base.size(), 1u + 200u + 9u + 6u);
}

TEST(TemporaryNames, SuffixesDoNotRepeat) {
    std::set<std::string> seen;
    for (int i = 0; i < 10000; i++) {
        std::string suffix = random_suffix();
        ASSERT_EQ(suffix.size(), 6u);
        for (char c : suffix) ASSERT_TRUE(std::isalnum((unsigned char)c)) << suffix;
        seen.insert(suffix);
    }
    EXPECT_EQ(seen.size(), 10000u);
}
