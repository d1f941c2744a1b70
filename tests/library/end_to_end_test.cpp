// Tiny songs rendered to floats, with their first frames worked
// out by hand. Shared facts: the default step is 1973000601 (0.459375 of a
// sample per frame), so a voice started at 0 fetches data[1] after frame 2,
// data[2] after frame 4, data[3] after frame 6; frame n has t = frac(n x
// step). With volume 300 and a centred pan both gains are 65536, so left =
// right = s and the float is s / 32768. Y stands for 256 x the sample.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/renderer.h"
#include "song_builder.h"
#include "test_engine.h"

namespace {

// A note of the square wave (64 on points 0..127, -64 on 128..255) with a
// flat envelope of 128: at octave 4, note 0 (increment 1551) sample k is 64
// while k x 1551 / 256 < 128, i.e. for k = 0..21, and -64 for k = 22..42.
SongFile square_note_song(int32_t length, int32_t records) {
    int8_t waveform[256];
    uint8_t envelope[64];
    for (int32_t p = 0; p < 256; p++) waveform[p] = p < 128 ? 64 : -64;
    std::memset(envelope, 128, sizeof envelope);
    SongFile song = make_song(0, 0, records, records);
    set_instrument(&song, 0, 4, length, 300, waveform, envelope);
    for (int32_t r = 0; r < records; r++) set_record(&song, 0, r, 1);
    return song;
}

// Renders the song to its end; the engine stays for a look at its voices.
std::vector<float> render(const SongFile& song, uint64_t expected_frames, Engine* kept = nullptr) {
    Engine engine = start_engine(song.bytes, 0, 20.0);
    EXPECT_NE(engine.renderer, nullptr);
    if (!engine.renderer) return {};
    std::vector<float> out = render_to_end(engine.renderer.get(), 10000);
    EXPECT_EQ(out.size(), 2 * expected_frames);
    if (kept) *kept = std::move(engine);
    return out;
}

void expect_frames(const std::vector<float>& out, int32_t first, std::vector<int32_t> s) {
    for (size_t i = 0; i < s.size(); i++) {
        const size_t frame = (size_t)first + i;
        ASSERT_LT(2 * frame + 1, out.size());
        EXPECT_EQ(out[2 * frame], (float)s[i] / 32768.0f) << "left of frame " << frame;
        EXPECT_EQ(out[2 * frame + 1], (float)s[i] / 32768.0f) << "right of frame " << frame;
    }
}

TEST(EndToEnd, MelodicNoteStartsFromAnEmptyWindow) {
    // Frames 0..2: window 0,0,0,0 -> 0.
    // Frames 3, 4: window 64,0,0,0 (newest first): s = Y/6 (t^3 - t), Y = 16384;
    //   t = 0.378125 -> -884.90 -> -884; t = 0.8375 -> -682.86 -> -682.
    // Frame 5: window 64,64,0,0: s = ((-Y/3 t + Y/2) t + 5Y/6) t, t = 0.296875
    //   -> 4632.44 -> 4632.
    // Frames 47..55 cross the edge of the square (data[22] is the first -64,
    // fetched after frame 47), deep in the note where every window is data:
    //   64,64,64,64: s = Y.
    //   -64,64,64,64 (frames 48..50): s = Y + Y/3 (t - t^3); t = 0.05,
    //   0.509375, 0.96875 -> 16656.38, 18444.08, 16709.50.
    //   -64,-64,64,64 (frames 51, 52): c1 = -5Y/3, c2 = -Y, c3 = 2Y/3;
    //   t = 0.428125, 0.8875 -> 2547.41, -13120.19.
    //   -64,-64,-64,64 (frames 53, 54): s = -Y + t (-2Y/3 + t (Y - t Y/3));
    //   t = 0.346875, 0.80625 -> -18429.38, -17402.41.
    //   -64,-64,-64,-64 (frame 55): s = -Y.
    std::vector<float> out = render(square_note_song(64, 1), 960);
    expect_frames(out, 0, {0, 0, 0, -884, -682, 4632});
    expect_frames(out, 47, {16384, 16656, 18444, 16709, 2547, -13120, -18429, -17402, -16384});
}

TEST(EndToEnd, DrumStartsWithTheImagesSecondSample) {
    // BASS1 opens with image bytes 8, 12, 17: samples -120, -116, -111. The
    // first pass never fetches data[0].
    // Frames 3, 4: window -116,0,0,0: s = Y/6 (t^3 - t), Y = -29696;
    //   t = 0.378125 -> 1603.89 -> 1603; t = 0.8375 -> 1237.69 -> 1237.
    // Frames 5, 6: window -111,-116,0,0: y(1) = -29696, y(2) = -28416;
    //   c1 = y(1) - y(2)/6, c2 = y(1)/2, c3 = -y(1)/2 + y(2)/6;
    //   t = 0.296875 -> -8454.04 -> -8454; t = 0.75625 -> -22994.24 -> -22994.
    SongFile song = make_song(0, 0, 1, 1);
    set_record(&song, 3, 0, 1);
    std::vector<float> out = render(song, 960);
    expect_frames(out, 0, {0, 0, 0, 1603, 1237, -8454, -22994});
}

TEST(EndToEnd, PanChangeGlidesTheRightGain196PerFrame) {
    // The kick plays centred from frame 0; record 1 (frame 960) selects pan
    // 96, -16 dB on the right: target 10386. The step runs before the frame
    // mixes, so frame 960 + n uses right gain 65536 - 196 (n + 1), reaching
    // the target on n = 281 (282 steps would give 10264). Left stays at unity.
    SongFile song = make_song(0, 0, 2, 2);
    set_record(&song, 3, 0, 1);
    set_record(&song, 3, 1, 0x01000000u);
    Engine engine;
    std::vector<float> out = render(song, 1920, &engine);
    ASSERT_EQ(out.size(), 2u * 1920);
    int32_t mismatches = 0, sounding = 0;
    for (int32_t frame = 0; frame < 1920; frame++) {
        const int32_t left = (int32_t)(out[2 * frame] * 32768.0f);
        const int32_t right = (int32_t)(out[2 * frame + 1] * 32768.0f);
        int32_t gain = 65536;
        if (frame >= 960) gain = frame - 960 < 281 ? 65536 - 196 * (frame - 960 + 1) : 10386;
        const int32_t expected = (int32_t)(((int64_t)gain * left) >> 16);
        if (right != expected) {
            ADD_FAILURE() << "frame " << frame << ": right " << right << ", expected " << expected;
            if (++mismatches > 5) break;
        }
        sounding += left != 0;
    }
    EXPECT_GT(sounding, 1800);
    ASSERT_NE(engine.renderer, nullptr);
    EXPECT_EQ(slot_voice(engine.renderer.get(), 472)->right_gain, 10386);
}

TEST(EndToEnd, RetriggerKeepsTheOldFractionAndWindow) {
    // Record 1 restarts the note in frame 960. A note of L samples ends after
    // ceil(L / 0.459375) frames; the flush then shifts in zeros at crossings.
    // The restart goes back to whole sample 0 but keeps the fraction; here
    // it is 4294966720 (t just below 1) in every case, and the next advance
    // crosses into sample 1 and fetches data[1] = 64.
    //  L 440: ends after frame 957 with a past-the-end 0 fetched, no crossing
    //    since: window 0,64,64,64. Frame 960: s = Y + Y/6 (t - t^3) = 16384.0007
    //    -> 16384; frame 961: window 64,0,64,64, t = 0.459375 -> 7923.01 -> 7923.
    //  L 439: ends after frame 955; frame 957 crossed: window 0,0,64,64.
    //    Frame 960: 0.0018 -> 0; frame 961: window 64,0,0,64 -> -2034.48.
    //  L 436: the flush finished at frame 957: window 0,0,0,0, yet the
    //    fraction survives: frames 960..962 are 0 and frame 963 (window
    //    64,0,0,0, t = 0.459375) gives Y/6 (t^3 - t) = -989.69 -> -989, where a
    //    note started at exactly 0 gives -884 in its frame 3.
    const struct {
        int32_t length;
        std::vector<int32_t> frames;
    } cases[] = {
        {440, {16384, 7923, 769, 4997}},
        {439, {0, -2034, -611, 6038}},
        {436, {0, 0, 0, -989}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "length " << c.length);
        std::vector<float> out = render(square_note_song(c.length, 2), 1920);
        expect_frames(out, 960, c.frames);
    }
}

TEST(EndToEnd, OneShotNoteEndsWithoutAFade) {
    // 24 samples: ceil(24 / 0.459375) = 53 frames of output, 0..52. Up to
    // frame 52 the note is the one above, cut short: frames 49, 50 as there.
    // Frame 51: position 23.428, window -64,-64,64,64 (data[23..20]), t = 0.428125
    //   -> 2547.41; frame 52: t = 0.8875 -> -13120.19, between data[21] = 64
    //   and data[22] = -64. From frame 53 on the voice flushes: silence.
    std::vector<float> out = render(square_note_song(24, 1), 960);
    expect_frames(out, 49, {18444, 16709, 2547, -13120});
    int32_t sounding_after = 0;
    for (size_t i = 2 * 53; i < out.size(); i++) sounding_after += out[i] != 0.0f;
    EXPECT_EQ(sounding_after, 0);
}

}  // namespace
