// The demo songs render to exactly the bytes they rendered to when they were
// written (checked then against the plain per-frame loop): any change to the
// sound shows here.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fingerprint.h"
#include "test_engine.h"
#include "test_folder.h"
#include "tool_process.h"

namespace {

// Renders a song with the tool itself, in a temporary copy, and returns the
// WAV file's bytes.
std::vector<uint8_t> render_with_tool(const char* song, const std::vector<std::string>& arguments) {
    TestFolder folder;
    folder.write("song.tsm", read_file(std::string(TAMSEL_SOURCE_DIR) + "/examples/" + song));
    std::vector<std::string> words = {"song.tsm"};
    words.insert(words.end(), arguments.begin(), arguments.end());
    if (run_tool(folder.path(), words).code != 0) return {};
    return read_file(folder.file("song.wav"));
}

}  // namespace

TEST(GoldenRender, DemoSongsRenderToTheirRecordedBytes) {
    struct Row {
        const char* song;
        std::vector<std::string> arguments;
        uint64_t size;
        uint64_t hash;
    } rows[] = {
        {"short.tsm", {}, 44 + 8 * 1276800ull, 283300799656747126ull},
        {"short.tsm", {"1", "16.6"}, 19888172, 5602393186619648455ull},
        {"demo.tsm", {}, 44 + 8 * 5713920ull, 6054546633766278985ull},
    };
    for (const Row& row : rows) {
        std::string what = testing::PrintToString(row.arguments);
        what.insert(0, std::string(row.song) + " ");
        std::vector<uint8_t> wav = render_with_tool(row.song, row.arguments);
        EXPECT_EQ(wav.size(), row.size) << what;
        EXPECT_EQ(fnv1a(wav.data(), wav.size()), row.hash) << what << " size " << wav.size();
    }
}

TEST(GoldenRender, TheLibraryRendersTheBytesTheToolWrites) {
    std::vector<uint8_t> wav = render_with_tool("short.tsm", {});
    ASSERT_EQ(wav.size(), 44 + 8 * 1276800ull);
    Engine engine = start_engine(read_file(std::string(TAMSEL_SOURCE_DIR) + "/examples/short.tsm"), 0, 20.0);
    ASSERT_NE(engine.renderer, nullptr);
    std::vector<float> floats = render_to_end(engine.renderer.get(), 2000000);
    ASSERT_EQ(floats.size() * sizeof(float), wav.size() - 44);
    EXPECT_EQ(std::memcmp(floats.data(), wav.data() + 44, wav.size() - 44), 0);
}
