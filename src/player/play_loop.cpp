#include "player/play_loop.h"

#include <bit>
#include <chrono>
#include <cstdio>
#include <thread>

#include "player/status_view.h"
#include "player/terminal_io.h"

namespace {

const int TICK_MS = 50;  // at most twenty redraws a second

class PlayLoop {
public:
    PlayLoop(PlayerSession* session, AudioDevice* device, const LoopSetup& setup)
        : session_(session), device_(device), setup_(setup) {}

    int run(std::string* error);

private:
    bool handle_key(const KeyPress& press);
    bool handle_char(char c);
    void suspend();
    ViewState view_state() const;
    void wait_tick();

    PlayerSession* session_;
    AudioDevice* device_;
    LoopSetup setup_;
    bool help_ = false;
};

float level_of(const std::atomic<uint32_t>& bits) {
    return std::bit_cast<float>(bits.load(std::memory_order_relaxed));
}

ViewState PlayLoop::view_state() const {
    const FeedStatus& status = session_->feed().status();
    const PlayerSettings& settings = session_->settings();
    ViewState state;
    int32_t song = status.song.load(std::memory_order_relaxed);
    if (song >= 0 && song < (int32_t)session_->songs().size()) {
        const SongEntry& entry = session_->songs()[(size_t)song];
        state.name = entry_name(entry.entry);
        state.length = entry.length;
    }
    state.index = song + 1;
    state.count = (int32_t)session_->songs().size();
    state.frame = status.frame.load(std::memory_order_relaxed);
    state.record = status.record.load(std::memory_order_relaxed);
    state.pass = status.pass.load(std::memory_order_relaxed);
    state.notes = status.notes.load(std::memory_order_relaxed);
    state.track_levels = status.track_levels.load(std::memory_order_relaxed);
    for (int t = 0; t < 4; t++) state.levels[t] = level_of(status.levels[t]);
    state.left = level_of(status.levels[4]);
    state.right = level_of(status.levels[5]);
    state.settings = settings;
    state.underruns = status.underruns.load(std::memory_order_relaxed);
    state.help = help_;
    return state;
}

// Returns false for a key that quits.
bool PlayLoop::handle_char(char c) {
    switch (c) {
    case 'q':
    case 'Q': return false;
    case ' ': session_->toggle_pause(); return true;
    case 'n': session_->next_song(); return true;
    case 'p': session_->previous_song(); return true;
    case '1':
    case '2':
    case '3': session_->toggle_mute((uint32_t)(c - '1')); return true;
    case 'd': session_->toggle_mute(3); return true;
    case '!': session_->unmute_all(); return true;
    case 's': session_->cycle_solo(); return true;
    case 'l': session_->toggle_loop_forever(); return true;
    case '+':
    case '=': session_->change_volume(5); return true;
    case '-': session_->change_volume(-5); return true;
    case '[': session_->change_stereo(-10); return true;
    case ']': session_->change_stereo(10); return true;
    case '?':
    case 'h': help_ = !help_; return true;
    default: return true;
    }
}

bool PlayLoop::handle_key(const KeyPress& press) {
    switch (press.key) {
    case Key::NONE: return true;
    case Key::TEXT: return handle_char(press.c);
    case Key::LEFT: session_->seek_by(-5); return true;
    case Key::RIGHT: session_->seek_by(5); return true;
    case Key::DOWN: session_->seek_by(-30); return true;
    case Key::UP: session_->seek_by(30); return true;
    case Key::HOME: session_->seek_to_start(); return true;
    case Key::ESCAPE: return false;
    }
    return true;
}

// Ctrl-Z: the sound stops and the terminal is left as found until the
// shell continues the player.
void PlayLoop::suspend() {
    device_->pause(true);
    if (setup_.display) setup_.display->finish();
    if (setup_.keys) leave_key_mode();
    suspend_now();
    if (setup_.keys) enter_key_mode();
    device_->pause(false);
}

void PlayLoop::wait_tick() {
    std::this_thread::sleep_for(std::chrono::milliseconds(TICK_MS));
}

int PlayLoop::run(std::string* error) {
    int result = 0;
    while (!session_->finished()) {
        TerminalSignal signal = take_signal();
        if (signal == TerminalSignal::QUIT) break;
        if (signal == TerminalSignal::SUSPENDED) suspend();
        if (setup_.keys) {
            if (!handle_key(read_key(TICK_MS))) break;
        } else {
            wait_tick();
        }
        if (device_->poll_removed()) {
            // Headphones unplugged: the feed keeps its place and goes on
            // through the new default output.
            device_->close();
            std::string reason;
            if (!device_->open(&session_->feed(), &reason)) {
                *error = "the audio device was removed, and " + reason;
                result = 1;
                break;
            }
            device_->pause(false);
            print_message(setup_.display, "the audio device was removed; playing on the default output");
        }
        session_->poll();
        if (setup_.display) setup_.display->draw(view_state(), terminal_width());
    }
    if (setup_.display) setup_.display->finish();
    return result;
}

}  // namespace

void print_message(StatusView* display, const std::string& line) {
    if (display) display->clear();
    std::fprintf(stderr, "tamselplay: %s\n", line.c_str());
    std::fflush(stderr);
}

int run_play_loop(PlayerSession* session, AudioDevice* device, const LoopSetup& setup, std::string* error) {
    PlayLoop loop(session, device, setup);
    return loop.run(error);
}
