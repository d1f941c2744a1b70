#include "player/player_help.h"

#include "export/value_limits.h"
#include "player/status_view.h"

std::string player_help_text() {
    std::string text =
        "Usage: tamselplay [OPTION]... FILE...\n"
        "Plays TSM songs on the default audio output, one after another without a gap.\n"
        "FILE is a song, a folder (its .tsm songs in name order), an M3U playlist\n"
        "(.m3u, .m3u8), or - for standard input.\n"
        "\n"
        "  -l, --loops N        extra passes from the repeat point (" +
        limit_range_text(LimitId::LOOPS) +
        ")\n"
        "  -t, --tick MS        engine tick (" +
        limit_range_text(LimitId::TICK) +
        ", default 20)\n"
        "      --mute LIST      mute tracks: 1, 2, 3, drums, separated by commas\n"
        "      --solo LIST      mute every track but these\n"
        "      --gain DB        output gain (" +
        limit_range_text(LimitId::GAIN) +
        ")\n"
        "      --loop-forever   endless play: each song repeats until skipped\n"
        "      --volume PERCENT output volume, 0..100 (default 100)\n"
        "      --stereo PERCENT stereo width (" +
        limit_range_text(LimitId::STEREO) +
        ", default 100: the song as written)\n"
        "      --shuffle        play the list in a random order\n"
        "      --start TIME     start the first song at TIME (seconds, M:SS or H:MM:SS)\n"
        "  -h, --help           show this help\n"
        "  -V, --version        show the version\n"
        "\n"
        "Keys, when standard input and output are a terminal:\n";
    for (const std::string& line : key_help_lines()) text += "  " + line + "\n";
    text +=
        "\n"
        "Exit status: 0 when every song played, 1 when any could not be played or\n"
        "the audio output failed, 2 for a usage error.\n";
    return text;
}
