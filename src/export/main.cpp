// tamselexport <file> [loops] [timer ms]: renders a song file to a WAV file
// named after it.
#include <cstdio>
#include <string>

#include "engine/render_length.h"
#include "engine/session.h"
#include "engine/tamsel_song.h"
#include "export/arguments.h"
#include "export/output_path.h"
#include "export/wav_file.h"

static const char* const usage_lines[] = {
    "How to use:",
    "tamselexport.exe <file> [loops] [timer ms]",
    "setting loops to 0 plays the song 1 time",
    "timer ms is the engine tps wait, default is 20ms(50fps)",
    "This program is super scuffed so like yeah",
    "Also a lot of stupid tsms are loud and dumb so",
    "you can lower the volume in audacity or something",
    "if it clips a lot (floating point samples)",
};

static uint8_t load_song(const char* path) {
    SongOpenResult result = open_song(path);
    if (result == SONG_FAIL_INIT) std::puts("Fail init");
    if (result == SONG_FAIL_LOAD) std::puts("Fail load");
    return result == SONG_OPENED;
}

int main(int argc, char** argv) {
    for (const char* line : usage_lines) std::puts(line);

    ExportArguments args;
    if (!parse_arguments(argc, argv, &args)) return 1;
    if (!timer_is_usable(args.timer_ms)) {
        std::puts("Bad timer value");
        return 1;
    }

    std::printf("Loading file %s\n", args.input_path);
    if (!load_song(args.input_path)) return 1;

    std::string output = output_path_for(args.input_path);
    std::printf("Exporting to file %s\n", output.c_str());
    start_song(args.loops, args.timer_ms);

    uint64_t frames = 0;
    if (!measure_render_length(WAV_MAX_FRAMES, &frames)) {
        std::puts("Song too long for a WAV file");
        return 1;
    }
    // Writing over the song file would destroy it before it is read.
    if (same_file(args.input_path, output.c_str()) || !write_wav_render(output.c_str(), &frames)) {
        std::puts("Error!");
        return 1;
    }
    EndTamsel();
    std::puts("File saved");
    return 0;
}
