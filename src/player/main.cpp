// tamselplay: plays songs, folders and playlists on the default audio
// output, with keys and a status display on a terminal.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "frontend/utf8_arguments.h"
#include "player/audio_device.h"
#include "player/play_list.h"
#include "player/play_loop.h"
#include "player/player_help.h"
#include "player/player_options.h"
#include "player/player_session.h"
#include "player/status_view.h"
#include "player/terminal_io.h"
#include "tamsel/tamsel.h"

static int usage_error(const std::string& error) {
    std::fprintf(stderr, "tamselplay: %s\nTry 'tamselplay --help' for more information.\n", error.c_str());
    return 2;
}

static bool reads_standard_input(const std::vector<ListEntry>& list) {
    return std::any_of(list.begin(), list.end(), [](const ListEntry& entry) { return entry.path == "-"; });
}

// Without a terminal each song gets one line on standard output.
static void print_song_line(int32_t index, size_t count, const SongEntry& entry) {
    std::string length = entry.length == 0 ? "endless" : clock_text(entry.length);
    std::printf("Playing %d/%d: %s (%s)\n", (int)index + 1, (int)count, entry_name(entry.entry).c_str(),
                length.c_str());
    std::fflush(stdout);
}

static int play(const PlayerOptions& options) {
    std::vector<ListEntry> list = build_play_list(options.inputs);
    if (options.shuffle) std::shuffle(list.begin(), list.end(), std::mt19937_64(std::random_device()()));
    bool display = output_is_terminal();
    LoopSetup setup;
    setup.keys = display && input_is_terminal() && !reads_standard_input(list);
    const char* no_color = std::getenv("NO_COLOR");
    bool escapes = terminal_takes_escapes();
    StatusView view(escapes, escapes && !(no_color && no_color[0] != '\0'));
    if (display) setup.display = &view;

    size_t count = list.size();
    PlayerSession session(
        options, std::move(list), [&](const std::string& line) { print_message(setup.display, line); },
        [&](int32_t index, const SongEntry& entry) {
            if (!display) print_song_line(index, count, entry);
        });
    install_signal_handlers();
    AudioDevice device;
    std::string error;
    if (!device.init(&error)) {
        std::fprintf(stderr, "tamselplay: %s\n", error.c_str());
        return 1;
    }
    if (!session.start()) return 1;
    // SDL writes silence while a device is paused, and a device opens
    // paused: the first song is ready before it opens and it plays at once,
    // so the song's first frame is the output's first, or very nearly.
    if (!device.open(&session.feed(), &error)) {
        std::fprintf(stderr, "tamselplay: %s\n", error.c_str());
        return 1;
    }
    device.pause(false);
    if (setup.keys) enter_key_mode();
    int result = run_play_loop(&session, &device, setup, &error);
    device.close();
    if (setup.keys) leave_key_mode();
    if (result != 0) {
        std::fprintf(stderr, "tamselplay: %s\n", error.c_str());
        return 1;
    }
    return session.any_failed() ? 1 : 0;
}

static int run(int argc, char** argv) {
    PlayerOptions options;
    std::string error;
    switch (parse_player_options(argc, argv, &options, &error)) {
    case PlayerParse::HELP: std::fputs(player_help_text().c_str(), stdout); return 0;
    case PlayerParse::VERSION: std::printf("tamselplay %s\n", tamsel_version()); return 0;
    case PlayerParse::USAGE_ERROR: return usage_error(error);
    case PlayerParse::RUN: break;
    }
    return play(options);
}

#ifdef _WIN32
int wmain(int argc, wchar_t** wide_argv) {
    return run_with_utf8_arguments(argc, wide_argv, run);
}
#else
int main(int argc, char** argv) {
    return run(argc, argv);
}
#endif
