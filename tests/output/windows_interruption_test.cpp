// The built tool on Windows, stopped or thwarted half-way through a render.
// Ctrl-C removes the temporary file and keeps the old output; ending the
// process outright (as Task Manager does) leaves the old output whole; an
// output that another program holds open (a player, say) is kept, and the
// run fails with one line. Linux has the same rules, tested with signals and
// file-size limits in tests/output.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"

namespace {

// Long enough (about 600 MB of output) that the interruption always lands
// while the tool writes; it comes once 1 MiB is on disk.
constexpr const wchar_t* LONG_RENDER_LOOPS = L"14";
constexpr uintmax_t MID_RENDER_BYTES = 1 << 20;

struct Form {
    const char* name;
    std::wstring arguments;  // render song.tsm to song.wav in the folder
    DWORD exit_code_on_ctrl_c;
};

const Form FORMS[] = {
    {"positional", std::wstring(L"song.tsm ") + LONG_RENDER_LOOPS, 1},
    {"options", std::wstring(L"--quiet --force --loops ") + LONG_RENDER_LOOPS + L" -o song.wav song.tsm", 130},
};

// What an earlier run left in song.wav: bytes no render can have.
std::vector<uint8_t> old_render() {
    return std::vector<uint8_t>(1000, 0xA5);
}

void put_file(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::FILE* file = _wfopen(path.wstring().c_str(), L"wb");
    ASSERT_NE(file, nullptr) << path;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

// A folder of the test's own (one per name) holding examples/SONG as
// song.tsm and the old render as song.wav.
std::filesystem::path folder_with_old_render(const char* song, const char* name) {
    std::filesystem::path base = std::filesystem::path(write_temp_file("unused", {})).parent_path();
    std::filesystem::path folder = base / name;
    std::filesystem::create_directories(folder);
    put_file(folder / "song.tsm", read_file(std::string(TAMSEL_SOURCE_DIR) + "/examples/" + song));
    put_file(folder / "song.wav", old_render());
    return folder;
}

std::vector<std::filesystem::path> partial_files(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().filename().wstring().rfind(L".song.wav.partial-", 0) == 0) found.push_back(entry.path());
    }
    return found;
}

// The tool in a console of its own, so Ctrl-C can be sent to it alone.
class ToolProcess {
public:
    ~ToolProcess() {
        if (!started_) return;
        if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info_.hProcess, 99);
        CloseHandle(info_.hProcess);
        CloseHandle(info_.hThread);
    }
    bool start(const std::filesystem::path& folder, const std::wstring& arguments) {
        std::wstring exe = std::filesystem::absolute(TAMSEL_EXE).wstring();
        std::wstring line = L"\"" + exe + L"\" " + arguments;
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        started_ = CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr,
                                  folder.wstring().c_str(), &startup, &info_) != 0;
        return started_;
    }
    bool running() { return WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }
    // Waits until a temporary file holds MID_RENDER_BYTES; false when the
    // tool ends first or it takes over a minute.
    bool wait_mid_render(const std::filesystem::path& folder) {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (running() && std::chrono::steady_clock::now() < until) {
            for (const std::filesystem::path& partial : partial_files(folder)) {
                std::error_code error;
                if (std::filesystem::file_size(partial, error) >= MID_RENDER_BYTES && !error) return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }
    // Ctrl-C goes to every process of a console: this one joins the tool's
    // for the moment, ignoring the event itself until the tool has ended
    // (tools started meanwhile would inherit the ignoring).
    bool send_ctrl_c() {
        FreeConsole();
        if (!AttachConsole(info_.dwProcessId)) return false;
        SetConsoleCtrlHandler(nullptr, TRUE);
        ignoring_ctrl_c_ = true;
        bool sent = GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) != 0;
        FreeConsole();
        return sent;
    }
    void end_outright() { TerminateProcess(info_.hProcess, 9); }
    // The exit code, or -1 when the tool is still running after two minutes.
    int64_t finish() {
        bool ended = WaitForSingleObject(info_.hProcess, 120000) == WAIT_OBJECT_0;
        if (ignoring_ctrl_c_) SetConsoleCtrlHandler(nullptr, FALSE);
        ignoring_ctrl_c_ = false;
        if (!ended) return -1;
        DWORD code = 0;
        GetExitCodeProcess(info_.hProcess, &code);
        return code;
    }

private:
    PROCESS_INFORMATION info_ = {};
    bool started_ = false;
    bool ignoring_ctrl_c_ = false;
};

}  // namespace

TEST(WindowsInterruption, CtrlCMidRenderRemovesTheTemporaryFileAndKeepsTheOldRender) {
    for (const Form& form : FORMS) {
        SCOPED_TRACE(form.name);
        std::filesystem::path folder = folder_with_old_render("demo.tsm", form.name);
        ToolProcess tool;
        ASSERT_TRUE(tool.start(folder, form.arguments));
        ASSERT_TRUE(tool.wait_mid_render(folder));
        ASSERT_TRUE(tool.send_ctrl_c());
        EXPECT_EQ(tool.finish(), (int64_t)form.exit_code_on_ctrl_c);
        EXPECT_EQ(read_file((folder / "song.wav").string()), old_render());
        EXPECT_TRUE(partial_files(folder).empty());
    }
}

TEST(WindowsInterruption, EndingTheProcessOutrightNeverLeavesABrokenRender) {
    for (const Form& form : FORMS) {
        SCOPED_TRACE(form.name);
        std::filesystem::path folder = folder_with_old_render("demo.tsm", form.name);
        ToolProcess tool;
        ASSERT_TRUE(tool.start(folder, form.arguments));
        ASSERT_TRUE(tool.wait_mid_render(folder));
        tool.end_outright();
        EXPECT_EQ(tool.finish(), 9);
        EXPECT_EQ(read_file((folder / "song.wav").string()), old_render());
        EXPECT_LE(partial_files(folder).size(), 1u);
    }
}

TEST(WindowsInterruption, AnOutputHeldOpenElsewhereIsKeptAndTheRunFails) {
    struct Row {
        const char* arguments;
        const char* positional_tail;  // the positional form's last lines; "" for the option form
    } rows[] = {
        {"song.tsm", "Loading file song.tsm\nExporting to file song.wav\nError!\n"},
        {"--quiet --force -o song.wav song.tsm", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arguments);
        std::filesystem::path folder = folder_with_old_render("short.tsm", row.arguments[0] == '-' ? "options" : "positional");
        // Open for reading without delete sharing, as players commonly do:
        // the file cannot be replaced while it is open.
        HANDLE held = CreateFileW((folder / "song.wav").wstring().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        ToolRun run = run_tool(folder.string(), row.arguments);
        CloseHandle(held);
        EXPECT_EQ(run.code, 1) << run.out;
        if (row.positional_tail[0] != 0) {
            EXPECT_EQ(run.out, usage_text() + row.positional_tail);
        } else {
            EXPECT_EQ(run.out.find('\n'), run.out.size() - 1) << "one line: " << run.out;
        }
        EXPECT_EQ(read_file((folder / "song.wav").string()), old_render());
        EXPECT_TRUE(partial_files(folder).empty());
    }
}

#endif
