// Writes the page's constants.js: the facts of every render, the ranges of
// the values an export takes (the export's own table), and the wasm32
// layouts of the structs library.js reads and writes, taken from the public
// header as this module's compiler sees it. The build runs it (under Node,
// as Emscripten's programs run) so the page never copies them by hand.
#include <cstddef>
#include <cstdio>

#include "export/value_limits.h"
#include "tamsel/tamsel.h"

static void constant(const char* name, long long value) {
    std::printf("export const %s = %lld;\n", name, value);
}

static void field(const char* name, size_t offset) {
    std::printf("    %s: %zu,\n", name, offset);
}

int main() {
    std::printf("// Made by the build from include/tamsel/tamsel.h and the export's limits\n");
    std::printf("// (src/web/web_constants.cpp); do not edit.\n");
    std::printf("// The facts of every render, shared by the page and the workers without\n");
    std::printf("// loading the WebAssembly module, and the layouts of the library's structs.\n");
    constant("SAMPLE_RATE", TAMSEL_SAMPLE_RATE);
    constant("TRACK_COUNT", TAMSEL_TRACK_COUNT);
    constant("DRUM_TRACK", TAMSEL_DRUM_TRACK);
    constant("WAV_MAX_FRAMES", TAMSEL_WAV_MAX_FRAMES);
    constant("LOOPS_FOREVER", TAMSEL_LOOPS_FOREVER);

    std::printf("\n// tamsel_status\n");
    constant("STATUS_OK", TAMSEL_OK);
    constant("STATUS_IO", TAMSEL_ERR_IO);
    constant("STATUS_NOT_A_SONG", TAMSEL_ERR_NOT_A_SONG);
    constant("STATUS_NO_MEMORY", TAMSEL_ERR_NO_MEMORY);
    constant("STATUS_TOO_LONG", TAMSEL_ERR_TOO_LONG);
    constant("STATUS_INVALID_ARGUMENT", TAMSEL_ERR_INVALID_ARGUMENT);
    constant("STATUS_NO_LOOP", TAMSEL_ERR_NO_LOOP);
    constant("STATUS_NEVER_ENDS", TAMSEL_ERR_NEVER_ENDS);

    std::printf("\n// The range of each bounded value of an export, as the export checks it.\n");
    static const char* const NAMES[] = {"loops",     "tickMs",   "jobs", "quality",    "gain",
                                        "normalize", "loudness", "fade", "stereoWidth"};
    std::printf("export const LIMITS = {\n");
    for (const ValueLimit& limit : value_limits()) {
        if ((size_t)limit.id >= sizeof NAMES / sizeof NAMES[0]) return 1;  // a limit without a name here
        std::printf("    %s: { min: %.17g, max: %.17g },\n", NAMES[(int)limit.id], limit.min, limit.max);
    }
    std::printf("};\n");

    std::printf("\n// Byte offsets and sizes of the structs in the module's memory.\n");
    std::printf("export const SONG_INFO = {\n");
    field("size", sizeof(tamsel_song_info));
    field("stepMs", offsetof(tamsel_song_info, step_ms));
    field("repeatStart", offsetof(tamsel_song_info, repeat_start));
    field("repeatEnd", offsetof(tamsel_song_info, repeat_end));
    field("records", offsetof(tamsel_song_info, records));
    field("drumVolume", offsetof(tamsel_song_info, drum_volume));
    field("instruments", offsetof(tamsel_song_info, instruments));
    std::printf("};\n");
    std::printf("export const INSTRUMENT_INFO = {\n");
    field("size", sizeof(tamsel_instrument_info));
    field("octave", offsetof(tamsel_instrument_info, octave));
    field("length", offsetof(tamsel_instrument_info, length));
    field("volume", offsetof(tamsel_instrument_info, volume));
    std::printf("};\n");
    std::printf("export const RENDER_OPTIONS = {\n");
    field("size", sizeof(tamsel_render_options));
    field("loops", offsetof(tamsel_render_options, loops));
    field("tickMs", offsetof(tamsel_render_options, tick_ms));
    field("mutedTracks", offsetof(tamsel_render_options, muted_tracks));
    std::printf("};\n");
    std::printf("export const PLAY_STATE = {\n");
    field("size", sizeof(tamsel_play_state));
    field("frame", offsetof(tamsel_play_state, frame));
    field("record", offsetof(tamsel_play_state, record));
    field("pass", offsetof(tamsel_play_state, pass));
    field("notes", offsetof(tamsel_play_state, notes));
    std::printf("};\n");
    return 0;
}
