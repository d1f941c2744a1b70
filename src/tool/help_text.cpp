#include "tool/help_text.h"

#include <string>

#include "export/format_table.h"
#include "tamsel/tamsel.h"

static const char* const HELP_TEXT =
    "Usage: tamselexport [options] FILE...\n"
    "       tamselexport FILE [LOOPS] [TIMER_MS]      (the original positional form)\n"
    "Renders TSM tracker songs to audio files, exactly: the same song and options\n"
    "always give the same bytes. Messages and summaries go to standard error.\n"
    "A FILE of - reads the song from standard input (with -o).\n"
    "\n"
    "Output:\n"
    "  -o, --output PATH      the output file (one input only); - writes to standard\n"
    "                         output (default: the input's name with the format's\n"
    "                         extension, beside the input)\n"
    "  -d, --output-dir DIR   write every output into DIR, created if missing\n"
    "                         (default: beside its input)\n"
    "      --force            replace existing output files (default: an existing\n"
    "                         output is an error for that file; the input is never\n"
    "                         overwritten)\n"
    "  -f, --format FMT       wav (32-bit float, the default), wav16, wav24, flac,\n"
    "                         flac24, ogg, opus, mp3; default: from the -o extension\n"
    "      --quality N        0..10 for ogg, opus and mp3 (default: transparent)\n"
    "      --title TEXT       title tag, \"\" for none (default: the input's name)\n"
    "      --artist TEXT      artist tag (default: none)\n"
    "\n"
    "Song:\n"
    "  -l, --loops N          extra passes from the repeat point, 0..2147483647\n"
    "                         (default 0)\n"
    "  -t, --tick MS          engine tick in ms, 0..3600000 (default 20)\n"
    "      --mute LIST        silence tracks: 1,2,3,drums (default: none)\n"
    "      --solo LIST        keep only these tracks (default: all)\n"
    "      --stereo PERCENT   stereo width, 0..200: 0 mono, 200 the sides doubled,\n"
    "                         before the level (default 100: as rendered)\n"
    "      --stems            one file per track: NAME.track1.EXT, .track2, .track3,\n"
    "                         .drums; not with --mute or --solo (default: one\n"
    "                         file of the whole mix)\n"
    "      --loopable         for games: the intro and one pass of the loop, with\n"
    "                         the loop points in the file (WAV smpl chunk, FLAC,\n"
    "                         Ogg and Opus LOOPSTART/LOOPLENGTH and LOOP_START/\n"
    "                         LOOP_END, MP3 TXXX) and the last 30 ms crossfaded\n"
    "                         into the loop start, so it loops without a click;\n"
    "                         not with --loops or --fade (default: off)\n"
    "\n"
    "Level (one of the three):\n"
    "      --gain DB          change the level by DB decibels, -96..96 (default 0)\n"
    "      --normalize[=DBFS] bring the peak to DBFS, -96..0 (default -1.0)\n"
    "      --loudness LUFS    bring the integrated loudness to LUFS, -70..0, the\n"
    "                         peak kept at or below -1 dBFS (default: off)\n"
    "      --dither MODE      tpdf or none, for integer formats when the level\n"
    "                         changes (default tpdf)\n"
    "      --fade SECONDS     play on past the end for SECONDS (0..3600), fading to\n"
    "                         silence (default 0: no fade)\n"
    "\n"
    "Running:\n"
    "  -j, --jobs N           render up to N files at once, 1..1024, with threads\n"
    "                         to spare shared within a file (default: the number\n"
    "                         of processors)\n"
    "      --info             print what each song is and how long it renders;\n"
    "                         write nothing\n"
    "      --json             with --info: one JSON object per line per file\n"
    "  -q, --quiet            no progress and no summary\n"
    "  -h, --help             this text\n"
    "  -V, --version          the tool's and the library's versions\n"
    "  --                     end of options: every later argument is a file\n"
    "\n"
    "Examples:\n"
    "  tamselexport -- song.tsm                   render song.wav beside song.tsm\n"
    "                                             (without any option or --, the\n"
    "                                             positional form runs instead)\n"
    "  tamselexport -l 2 --fade 10 song.tsm       two more loops, a 10 s fade-out\n"
    "  tamselexport -f flac --normalize -d out *.tsm\n"
    "                                             a folder of songs as FLAC, -1 dBFS\n"
    "  tamselexport -o - song.tsm | aplay         play without writing a file\n"
    "  tamselexport --stems song.tsm              one file per track\n"
    "  tamselexport --loopable -f ogg song.tsm    a file a game engine loops\n"
    "  tamselexport --info --json *.tsm           lengths and loop points, as JSON\n"
    "\n"
    "Exit status: 0 every file done, 1 some file failed, 2 usage error,\n"
    "130/143/129 interrupted (SIGINT/SIGTERM/SIGHUP). See man tamselexport.\n";

static void print_unavailable_formats(std::FILE* out) {
    for (const FormatEntry& format : format_table()) {
        std::string why;
        if (output_format_available(format.format, &why)) continue;
        std::fprintf(out, "Not in this build: %s: %s\n", format.name, why.c_str());
    }
}

void print_help(std::FILE* out) {
    std::fputs(HELP_TEXT, out);
    print_unavailable_formats(out);
}

void print_version(std::FILE* out) {
    std::fprintf(out, "tamselexport %s\n", TAMSEL_VERSION_STRING);
    std::fprintf(out, "libtamsel %s\n", tamsel_version());
    std::fputs("formats:", out);
    for (const FormatEntry& format : format_table()) {
        std::string why;
        if (output_format_available(format.format, &why)) std::fprintf(out, " %s", format.name);
    }
    std::fputs("\n", out);
}

void print_usage_error(const std::string& message) {
    std::fprintf(stderr, "tamselexport: %s\nTry 'tamselexport --help' for more information.\n", message.c_str());
}
