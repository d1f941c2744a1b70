// The largest instruments a song may ask for (three instruments with notes
// of 2^25 samples, every note started) render in a few megabytes: notes are
// made as they play, never kept whole. The bytes are those of the per-frame
// loop (when every note was synthesised whole at load time, this song took
// 2.3 GiB).
#include <gtest/gtest.h>

#include <string>

#include "fingerprint.h"
#include "sanitizer_build.h"
#include "test_folder.h"
#include "tool_process.h"

namespace {

#ifdef _WIN32
constexpr bool ON_WINDOWS = true;
#else
constexpr bool ON_WINDOWS = false;
#endif

TEST(LargestInstruments, RenderTheRecordedBytesWithin64MiB) {
    std::vector<uint8_t> song = read_file(std::string(TAMSEL_SOURCE_DIR) + "/tests/data/largest_instruments.tsm");
    ASSERT_EQ(song.size(), 1432u);
    TestFolder folder;
    folder.write("largest.tsm", song);
    ToolSetup setup;
    setup.folder = folder.path();
    setup.arguments = {"largest.tsm", "1"};
    // Sanitizers reserve terabytes of address space up front, so the limit
    // only applies to plain builds; Windows has no such limit.
    if (!UNDER_SANITIZER && !ON_WINDOWS) setup.memory_limit = 64 << 20;
    ToolResult run = run_tool_process(setup);
    EXPECT_EQ(run.code, 0) << "the render needs more than 64 MiB, or fails: " << run.out << run.err;
    std::vector<uint8_t> wav = read_file(folder.file("largest.wav"));
    EXPECT_EQ(wav.size(), 2211884u);
    EXPECT_EQ(fnv1a(wav.data(), wav.size()), 6876346569754179924ull);
}

}  // namespace
