// The demo songs render to exactly the bytes they rendered to when they were
// written (checked then against the plain per-frame loop): any change to the
// sound shows here.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "test_support.h"

namespace {

// Renders a song with the tool itself, in a temporary copy, and returns the
// WAV file's bytes.
std::vector<uint8_t> render_with_tool(const char* song, const char* arguments) {
    std::vector<uint8_t> bytes = read_file(std::string(TAMSEL_SOURCE_DIR) + "/examples/" + song);
    std::string path = write_temp_file("song.tsm", bytes);
    std::string dir = std::filesystem::path(path).parent_path().string();
    if (run_tool(dir, std::string("song.tsm ") + arguments).code != 0) return {};
    return read_file(dir + "/song.wav");
}

}  // namespace

TEST(GoldenRender, DemoSongsRenderToTheirRecordedBytes) {
    struct Row {
        const char* song;
        const char* arguments;
        uint64_t size;
        uint64_t hash;
    } rows[] = {
        {"short.tsm", "", 44 + 8 * 1276800ull, 283300799656747126ull},
        {"short.tsm", "1 16.6", 19888172, 5602393186619648455ull},
        {"demo.tsm", "", 44 + 8 * 5713920ull, 6054546633766278985ull},
    };
    for (const Row& row : rows) {
        std::vector<uint8_t> wav = render_with_tool(row.song, row.arguments);
        EXPECT_EQ(wav.size(), row.size) << row.song << " " << row.arguments;
        EXPECT_EQ(fnv1a(wav.data(), wav.size()), row.hash) << row.song << " " << row.arguments << " size " << wav.size();
    }
}

TEST(GoldenRender, TheLibraryRendersTheBytesTheToolWrites) {
    std::vector<uint8_t> wav = render_with_tool("short.tsm", "");
    ASSERT_EQ(wav.size(), 44 + 8 * 1276800ull);
    Engine engine = start_engine(read_file(std::string(TAMSEL_SOURCE_DIR) + "/examples/short.tsm"), 0, 20.0);
    ASSERT_NE(engine.renderer, nullptr);
    std::vector<float> floats = render_to_end(engine.renderer.get(), 2000000);
    ASSERT_EQ(floats.size() * sizeof(float), wav.size() - 44);
    EXPECT_EQ(std::memcmp(floats.data(), wav.data() + 44, wav.size() - 44), 0);
}
