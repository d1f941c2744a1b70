// What the player shows on a terminal: the song and its place in the list,
// a position bar, record and pass, each track's activity, a left/right
// meter and the settings, redrawn in place; with TERM=dumb one line redrawn
// with '\r'; with NO_COLOR no colours. The help overlay takes the block's
// place while it is shown. Every line fits the terminal's width.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "player/player_settings.h"

struct ViewState {
    std::string name;
    int32_t index = 0;  // from 1
    int32_t count = 0;
    uint64_t frame = 0;
    uint64_t length = 0;  // 0: endless
    int32_t record = 0;
    uint32_t pass = 0;
    uint32_t notes = 0;  // bit t: track t started a note in the record
    bool track_levels = false;
    float levels[4] = {};  // used when track_levels
    float left = 0.0f;
    float right = 0.0f;
    PlayerSettings settings;
    uint64_t underruns = 0;
    bool help = false;
};

class StatusView {
public:
    StatusView(bool escapes, bool color) : escapes_(escapes), color_(color) {}
    // Redraws the block in place, fitted to width columns.
    void draw(const ViewState& state, size_t width);
    // Takes the block off the screen, for a message to print where it was.
    void clear();
    // Leaves the cursor below the block, shown again.
    void finish();

private:
    std::vector<std::string> lines(const ViewState& state, size_t width) const;
    std::string dumb_line(const ViewState& state) const;
    std::string paint(const char* code, const std::string& text) const;

    bool escapes_;
    bool color_;
    size_t drawn_ = 0;  // lines on screen
    size_t width_ = 0;
    bool help_printed_ = false;  // without escapes: the keys were printed for this overlay
};

// "1:23", "1:02:03".
std::string clock_text(uint64_t frames);
// The keys, as --help and the overlay list them.
const std::vector<std::string>& key_help_lines();
