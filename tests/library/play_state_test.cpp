// What is playing now: the record, the pass and its notes at any frame, in
// any order of seeks, against the song's loop points and record words.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "song_builder.h"
#include "tamsel/tamsel.hpp"
#include "test_folder.h"

namespace {

uint32_t word_in_file(const std::vector<uint8_t>& bytes, int32_t records, int32_t track, int32_t record) {
    size_t at = 1048 + 4 * ((size_t)track * (size_t)records + (size_t)record);
    uint32_t word = 0;
    for (size_t i = 0; i < 4; i++) word |= (uint32_t)(at + i < bytes.size() ? bytes[at + i] : 0) << (8 * i);
    return word;
}

// At the default tick a song's steps come every I frames (for its first
// 107 minutes): step n, from 1 on, in frame n x I, after the forced step 0
// before the first frame. Step n plays record n up to the end point E, then
// S, S + 1, ... E - 1 on each pass after a wrap.
struct Steps {
    int32_t end, start;
    uint64_t interval;
    tamsel::PlayState at(uint64_t frame) const {
        uint64_t step = frame == 0 ? 0 : (frame - 1) / interval;
        tamsel::PlayState state{};
        state.frame = frame;
        if (step < (uint64_t)end) {
            state.record = (int32_t)step;
        } else {
            uint64_t past = step - (uint64_t)end, pass = (uint64_t)(end - start);
            state.record = start + (int32_t)(past % pass);
            state.pass = 1 + (uint32_t)(past / pass);
        }
        return state;
    }
};

TEST(PlayState, ShowsTheRecordPassAndNotesOfEveryFrame) {
    for (const char* name : {"demo.tsm", "short.tsm"}) {
        std::vector<uint8_t> bytes = read_file(std::string(TAMSEL_SOURCE_DIR) + "/examples/" + name);
        tamsel::Song song;
        ASSERT_EQ(song.load_memory(bytes.data(), bytes.size()), TAMSEL_OK);
        tamsel::SongInfo info = song.info();
        tamsel::RenderOptions options;
        options.loops = 2;
        tamsel::Renderer renderer;
        ASSERT_EQ(renderer.create(song, options), TAMSEL_OK);
        uint64_t length = 0;
        std::vector<uint64_t> wraps;
        ASSERT_EQ(renderer.length(UINT64_MAX, &length), TAMSEL_OK);
        ASSERT_EQ(renderer.wraps(UINT64_MAX, &wraps), TAMSEL_OK);
        ASSERT_EQ(wraps.size(), 2u);
        // The loop points give the interval, and agree with it.
        Steps steps = {info.repeat_end, info.repeat_start, wraps[0] / (uint64_t)info.repeat_end};
        ASSERT_EQ(wraps[0], steps.interval * (uint64_t)info.repeat_end);
        ASSERT_EQ(wraps[1] - wraps[0], steps.interval * (uint64_t)(info.repeat_end - info.repeat_start));

        std::vector<uint64_t> frames = {
            0,          1,     steps.interval, steps.interval + 1, wraps[0], wraps[0] + 1, wraps[1], wraps[1] + 1,
            length - 1, length};
        uint32_t seed = 7;
        for (int i = 0; i < 40; i++) {
            seed = seed * 1664525u + 1013904223u;
            frames.push_back(seed % length);
        }
        for (uint64_t frame : frames) {
            ASSERT_EQ(renderer.seek(frame), TAMSEL_OK);
            // Half the time the frame is reached by rendering up to it.
            if (frame > 3000 && frame % 2 == 0) {
                ASSERT_EQ(renderer.seek(frame - 3000), TAMSEL_OK);
                std::vector<float> block(2 * 3000);
                ASSERT_EQ(renderer.render_float(block.data(), 3000), 3000u);
            }
            tamsel::PlayState state{};
            ASSERT_EQ(renderer.state(&state), TAMSEL_OK);
            tamsel::PlayState expected = steps.at(frame);
            EXPECT_EQ(state.frame, frame) << name;
            EXPECT_EQ(state.record, expected.record) << name << " frame " << frame;
            EXPECT_EQ(state.pass, expected.pass) << name << " frame " << frame;
            for (int32_t t = 0; t < 4; t++) {
                EXPECT_EQ(state.notes[t], word_in_file(bytes, info.records, t, state.record) & 0xFFFFFFu)
                    << name << " frame " << frame << " track " << t;
            }
        }
        // A seek past the end stays at the last frame's state.
        ASSERT_EQ(renderer.seek(length + 5000), TAMSEL_OK);
        tamsel::PlayState end{};
        ASSERT_EQ(renderer.state(&end), TAMSEL_OK);
        EXPECT_EQ(end.frame, length);
        EXPECT_EQ(end.record, info.repeat_end - 1) << name;
        EXPECT_EQ(end.pass, 2u) << name;
    }
}

TEST(PlayState, ASongWhoseFirstStepWrapsStandsAtItsRepeatStart) {
    SongFile file = make_song(100, 3, 0, 8);
    set_record(&file, 1, 3, 0x01000005);
    tamsel::Song song;
    ASSERT_EQ(song.load_memory(file.bytes.data(), file.bytes.size()), TAMSEL_OK);
    tamsel::RenderOptions options;
    options.loops = 1;
    tamsel::Renderer renderer;
    ASSERT_EQ(renderer.create(song, options), TAMSEL_OK);
    tamsel::PlayState state{};
    ASSERT_EQ(renderer.state(&state), TAMSEL_OK);
    EXPECT_EQ(state.record, 3);
    EXPECT_EQ(state.pass, 1u);
    EXPECT_EQ(state.notes[1], 5u);
    EXPECT_EQ(tamsel_renderer_get_state(nullptr, &state), TAMSEL_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(renderer.state(nullptr), TAMSEL_ERR_INVALID_ARGUMENT);
}

}  // namespace
