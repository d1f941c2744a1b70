// The built tool on Windows, stopped or thwarted half-way through a render.
// Ctrl-C removes the temporary file and keeps the old output; ending the
// process outright (as Task Manager does) leaves the old output whole; an
// output that another program holds open (a player, say) is kept, and the
// run fails with one line. Linux has the same rules, tested with signals and
// file-size limits in tests/output.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

#include <string>
#include <vector>

#include "common/utf8_path.h"
#include "test_folder.h"
#include "tool_forms.h"
#include "tool_process.h"

namespace {

// Long enough (about 600 MB of output) that the interruption always lands
// while the tool writes; it comes once 1 MiB is on disk.
constexpr int32_t LONG_RENDER_LOOPS = 14;
constexpr int64_t MID_RENDER_BYTES = 1 << 20;

// The tool rendering in a console of its own, so Ctrl-C can be sent to it
// alone; false when it did not get half-way.
bool start_long_render(ToolProcess* tool, Form form, const TestFolder& folder) {
    ToolSetup setup;
    setup.folder = folder.path();
    setup.arguments = render_arguments(form, LONG_RENDER_LOOPS);
    setup.own_console = true;
    return tool->start(setup) && wait_for_partial_file(tool, folder.path(), "song.wav", MID_RENDER_BYTES);
}

}  // namespace

TEST(WindowsInterruption, CtrlCMidRenderRemovesTheTemporaryFileAndKeepsTheOldRender) {
    for (Form form : forms_to_test()) {
        SCOPED_TRACE(form_name(form));
        TestFolder folder;
        place_song_and_old_render(folder.path(), "demo.tsm");
        ToolProcess tool;
        ASSERT_TRUE(start_long_render(&tool, form, folder));
        ASSERT_TRUE(tool.send_ctrl_c());
        ToolResult result = tool.finish();
        EXPECT_FALSE(result.timed_out);
        EXPECT_EQ(result.code, form == Form::POSITIONAL ? 1 : 130);
        EXPECT_EQ(read_file(folder.file("song.wav")), old_render());
        EXPECT_TRUE(partial_files(folder.path(), "song.wav").empty());
    }
}

TEST(WindowsInterruption, EndingTheProcessOutrightNeverLeavesABrokenRender) {
    for (Form form : forms_to_test()) {
        SCOPED_TRACE(form_name(form));
        TestFolder folder;
        place_song_and_old_render(folder.path(), "demo.tsm");
        ToolProcess tool;
        ASSERT_TRUE(start_long_render(&tool, form, folder));
        tool.end_outright();
        EXPECT_EQ(tool.finish().code, 9);
        EXPECT_EQ(read_file(folder.file("song.wav")), old_render());
        EXPECT_LE(partial_files(folder.path(), "song.wav").size(), 1u);
    }
}

TEST(WindowsInterruption, AnOutputHeldOpenElsewhereIsKeptAndTheRunFails) {
    for (Form form : forms_to_test()) {
        SCOPED_TRACE(form_name(form));
        TestFolder folder;
        place_song_and_old_render(folder.path(), "short.tsm");
        // Open for reading without delete sharing, as players commonly do:
        // the file cannot be replaced while it is open.
        std::wstring held_path = path_from_utf8(folder.file("song.wav")).wstring();
        HANDLE held = CreateFileW(held_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        ToolResult result = run_tool(folder.path(), render_arguments(form, 0));
        CloseHandle(held);
        EXPECT_EQ(result.code, 1) << result.out << result.err;
        std::string line;
        EXPECT_TRUE(failed_with_one_line(form, result, &line)) << line;
        if (form == Form::POSITIONAL) {
            EXPECT_EQ(result.out, usage_text() + "Loading file song.tsm\nExporting to file song.wav\nError!\n");
        } else {
            EXPECT_EQ(result.out, "");
        }
        EXPECT_EQ(read_file(folder.file("song.wav")), old_render());
        EXPECT_TRUE(partial_files(folder.path(), "song.wav").empty());
    }
}

#endif
