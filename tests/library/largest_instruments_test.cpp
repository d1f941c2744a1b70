// The largest instruments a song may ask for (three instruments with notes
// of 2^25 samples, every note started) render in a few megabytes: notes are
// made as they play, never kept whole. The bytes are those of the per-frame
// loop (when every note was synthesised whole at load time, this song took
// 2.3 GiB).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "test_support.h"

namespace {

#ifdef _WIN32
constexpr bool ON_WINDOWS = true;
#else
constexpr bool ON_WINDOWS = false;
#endif

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool UNDER_SANITIZER = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool UNDER_SANITIZER = true;
#else
constexpr bool UNDER_SANITIZER = false;
#endif
#else
constexpr bool UNDER_SANITIZER = false;
#endif

TEST(LargestInstruments, RenderTheRecordedBytesWithin64MiB) {
    std::vector<uint8_t> song = read_file(std::string(TAMSEL_SOURCE_DIR) + "/tests/data/largest_instruments.tsm");
    ASSERT_EQ(song.size(), 1432u);
    std::string path = write_temp_file("largest.tsm", song);
    std::string dir = std::filesystem::path(path).parent_path().string();
    // Sanitizers reserve terabytes of address space up front, so the limit
    // only applies to plain builds; Windows has no ulimit.
    std::string limit = UNDER_SANITIZER ? "" : "ulimit -v 65536 && ";
    ToolRun run = run_tool(dir, "largest.tsm 1");
    if (!UNDER_SANITIZER && !ON_WINDOWS) {
        std::string command = "cd '" + dir + "' && " + limit + "'" TAMSEL_EXE "' largest.tsm 1 >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << "the render needs more than 64 MiB";
    }
    EXPECT_EQ(run.code, 0) << run.out;
    std::vector<uint8_t> wav = read_file(dir + "/largest.wav");
    EXPECT_EQ(wav.size(), 2211884u);
    EXPECT_EQ(fnv1a(wav.data(), wav.size()), 6876346569754179924ull);
}

}  // namespace
