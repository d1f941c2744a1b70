// The built tool, stopped by a signal half-way through a long render.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstring>

#include "test_folder.h"
#include "tool_forms.h"
#include "tool_process.h"

namespace {

// Long enough (about 600 MB of output) that the signal always lands while
// the tool writes; it comes once 1 MiB is on disk, so little is written.
constexpr int32_t LONG_RENDER_LOOPS = 14;

struct Interrupted {
    ToolResult result;
    bool caught_mid_render;
};

Interrupted interrupt_render(Form form, const std::string& folder, int signal) {
    place_song_and_old_render(folder, "demo.tsm");
    ToolSetup setup;
    setup.folder = folder;
    setup.arguments = render_arguments(form, LONG_RENDER_LOOPS);
    ToolProcess tool;
    Interrupted run{ToolResult(), false};
    if (!tool.start(setup)) return run;
    run.caught_mid_render = wait_for_partial_file(&tool, folder, "song.wav", 1 << 20);
    kill(tool.pid(), signal);
    run.result = tool.finish();
    return run;
}

int expected_exit_code(Form form, int signal) {
    return form == Form::POSITIONAL ? 1 : 128 + signal;
}

}  // namespace

TEST(Interruption, SignalsMidRenderRemoveTheTemporaryFileAndKeepTheOldRender) {
    const int signals[] = {SIGINT, SIGTERM, SIGHUP};
    for (Form form : forms_to_test()) {
        for (int signal : signals) {
            SCOPED_TRACE(std::string(form_name(form)) + ", " + strsignal(signal));
            TestFolder folder(strsignal(signal));
            Interrupted run = interrupt_render(form, folder.path(), signal);
            ASSERT_TRUE(run.caught_mid_render);
            EXPECT_FALSE(run.result.timed_out);
            EXPECT_EQ(run.result.signal, 0);
            EXPECT_EQ(run.result.code, expected_exit_code(form, signal));
            EXPECT_EQ(read_file(folder.file("song.wav")), old_render());
            EXPECT_TRUE(partial_files(folder.path(), "song.wav").empty());
        }
    }
}

TEST(Interruption, SigkillLeavesAtMostANamedTemporaryFileNeverABrokenRender) {
    for (Form form : forms_to_test()) {
        SCOPED_TRACE(form_name(form));
        TestFolder folder;
        Interrupted run = interrupt_render(form, folder.path(), SIGKILL);
        ASSERT_TRUE(run.caught_mid_render);
        EXPECT_EQ(run.result.signal, SIGKILL);
        EXPECT_EQ(read_file(folder.file("song.wav")), old_render());
        std::vector<std::string> left = partial_files(folder.path(), "song.wav");
        ASSERT_LE(left.size(), 1u);
        for (const std::string& name : left) {
            EXPECT_EQ(name.size(), std::strlen(".song.wav.partial-") + 6) << name;
        }
        // Everything in the folder is accounted for.
        EXPECT_EQ(names_starting(folder.path(), "").size(), 2u + left.size());
    }
}
