#include "tool/positional_form.h"

#include <cstdio>
#include <string>

#include "common/path_rules.h"
#include "export/wav_encoder.h"
#include "output/output_file.h"
#include "tamsel/tamsel.hpp"
#include "tool/positional_arguments.h"

static const char* const USAGE_LINES[] = {
    "How to use:",
    "tamselexport.exe <file> [loops] [timer ms]",
    "setting loops to 0 plays the song 1 time",
    "timer ms is the engine tps wait, default is 20ms(50fps)",
    "This program is super scuffed so like yeah",
    "Also a lot of stupid tsms are loud and dumb so",
    "you can lower the volume in audacity or something",
    "if it clips a lot (floating point samples)",
};

bool write_wav_file(const std::string& path, tamsel::Renderer* renderer, uint64_t frames) {
    // The positional form's only message for any failure is "Error!", so
    // the reason is not kept.
    std::string error;
    std::unique_ptr<OutputFile> out = open_output(path, ReplacePolicy::REPLACE, &error);
    if (!out) return false;
    if (!write_render_as_wav(renderer, frames, out.get())) {
        out->abort();
        return false;
    }
    // Committing flushes, closes and renames; any failure there removes the
    // new file and keeps the old one.
    return out->commit(&error);
}

int run_positional_form(int argc, char** argv) {
    install_interrupt_cleanup([](int) { return 1; });
    // Standard output into a file or pipe is buffered, and an interruption
    // ends the process without emptying the buffer: each message is flushed
    // before the work it announces, so a redirected log keeps it.
    for (const char* line : USAGE_LINES) std::puts(line);
    std::fflush(stdout);

    ExportArguments args;
    if (!parse_arguments(argc, argv, &args)) return 1;
    if (!timer_is_usable(args.timer_ms)) {
        std::puts("Bad timer value");
        return 1;
    }

    std::printf("Loading file %s\n", args.input_path);
    std::fflush(stdout);
    tamsel::Song song;
    if (song.load_file(args.input_path) != TAMSEL_OK) {
        std::puts("Fail load");
        return 1;
    }
    tamsel::RenderOptions options;
    options.loops = args.loops;
    options.tick_ms = args.timer_ms;
    tamsel::Renderer renderer;
    if (renderer.create(song, options) != TAMSEL_OK) {
        std::puts("Fail init");
        return 1;
    }

    std::string output = path_with_extension(args.input_path, ".wav");
    std::printf("Exporting to file %s\n", output.c_str());
    std::fflush(stdout);
    uint64_t frames = 0;
    if (renderer.length(TAMSEL_WAV_MAX_FRAMES, &frames) != TAMSEL_OK) {
        std::puts("Song too long for a WAV file");
        return 1;
    }
    // Writing over the song file would destroy it before it is read.
    if (same_file(args.input_path, output.c_str()) || !write_wav_file(output, &renderer, frames)) {
        std::puts("Error!");
        return 1;
    }
    std::puts("File saved");
    return 0;
}
