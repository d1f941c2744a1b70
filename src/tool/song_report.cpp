#include "tool/song_report.h"

#include <cmath>
#include <cstdio>

#include "export/audio_render.h"
#include "export/format_table.h"
#include "export/mix_source.h"
#include "export/summary_text.h"
#include "frontend/song_input.h"
#include "frontend/track_list.h"
#include "tamsel/tamsel.hpp"
#include "tool/json_text.h"
#include "tool/option_words.h"

// Wraps that fall inside a fade lie beyond the normal end of the render;
// the render the export plays on with (length.render_loops, see
// loops_reaching) has them.
static void wraps_of_longer_render(const tamsel::Song& song, tamsel::RenderOptions options, const ExportLength& length,
                                   std::vector<uint64_t>* wraps) {
    uint64_t total = length.total();
    // The longer render overshoots the faded length by less than twice
    // over (one loop at least): a render longer than this is not needed.
    uint64_t limit = 4 * total + TAMSEL_WAV_MAX_FRAMES;
    options.loops = length.render_loops;
    tamsel::Renderer renderer;
    std::vector<uint64_t> all;
    if (renderer.create(song, options) != TAMSEL_OK) return;
    if (renderer.wraps(limit, &all) != TAMSEL_OK) return;
    wraps->clear();
    for (uint64_t frame : all) {
        if (frame < total) wraps->push_back(frame);
    }
}

// S and E from the clock and the sequencer alone; the crossfade's figures
// only for --loopable, since they take rendering twice its frames.
static void work_out_loop(const tamsel::Song& song, const tamsel::RenderOptions& render_options, SongReport* report) {
    tamsel::Renderer renderer;
    if (renderer.create(song, render_options) != TAMSEL_OK) return;
    if (renderer.find_loop(UINT64_MAX, &report->loop.loop) != TAMSEL_OK) return;
    report->has_loop = true;
    if (!report->loopable) return;
    std::vector<int32_t> tail;
    ExportError ignored;
    if (!make_loop_tail(song, render_options, TAMSEL_LIMIT_STEREO_DEFAULT, &report->loop, &tail, &ignored))
        report->has_loop = false;
}

static void work_out_length(const tamsel::Song& song, const CliOptions& options, SongReport* report) {
    tamsel::RenderOptions render_options;
    render_options.loops = options.loops;
    render_options.tick_ms = options.tick_ms;
    render_options.muted_tracks = options.muted_tracks;
    work_out_loop(song, render_options, report);
    ExportLength length;
    ExportError problem;
    if (!export_length(song, render_options, options.audio, &length, &problem)) {
        report->length_problem = option_error_text(problem);
        return;
    }
    report->frames = length.total();
    report->has_length = true;
    tamsel::Renderer renderer;
    if (renderer.create(song, render_options) != TAMSEL_OK) return;
    uint64_t song_frames = 0;
    if (renderer.length(report->frames, &song_frames) != TAMSEL_OK) return;
    if (renderer.wraps(song_frames, &report->wraps) != TAMSEL_OK) report->wraps.clear();
    if (report->frames > song_frames) wraps_of_longer_render(song, render_options, length, &report->wraps);
}

SongReport make_song_report(const std::string& path, const CliOptions& options) {
    SongReport report;
    report.file = path;
    report.loops = options.loops;
    report.tick_ms = options.tick_ms;
    report.fade_seconds = options.audio.fade_seconds;
    report.format = options.audio.format;
    report.loopable = options.audio.loopable;
    tamsel::Song song;
    if (!load_input_song(path, &song, &report.error, &report.warnings)) return report;
    report.info = song.info();
    report.tracks_with_notes = song.tracks_with_notes();
    work_out_length(song, options, &report);
    return report;
}

static std::string tracks_text(uint32_t tracks) {
    std::string text;
    for (int32_t t = 0; t < TAMSEL_TRACK_COUNT; t++) {
        if (!(tracks & (1u << t))) continue;
        if (!text.empty()) text += ", ";
        text += track_name(t);
    }
    return text.empty() ? "none" : text;
}

static std::string number_text(double value) {
    std::string text;
    append_json_number(&text, value);
    return text;
}

// A signed header field as the song file holds it: a negative value shows
// its four bytes too, so 0xFFFFFFFF does not pass for a count of -1 alone.
static std::string header_value_text(int32_t value) {
    if (value >= 0) return std::to_string(value);
    char text[48];
    std::snprintf(text, sizeof text, "%d (0x%08X in the file)", (int)value, (unsigned)(uint32_t)value);
    return text;
}

// Played once, the render holds no loop point: where the repeat region
// starts and how long a pass lasts say where the loop would be.
static std::string loop_lines(const SongReport& report) {
    if (report.loopable) {
        if (!report.has_loop) return "  loopable:     no loop\n";
        return "  loopable:     " + loop_text(report.loop) + "\n";
    }
    if (!report.wraps.empty() || !report.has_loop) return "";
    const tamsel::Loop& loop = report.loop.loop;
    uint64_t pass = loop.end - loop.start;
    return "  repeat:       from frame " + std::to_string(loop.start) + ", a pass of " + std::to_string(pass) +
           " frames (" + format_duration(pass) + ")\n";
}

std::string song_report_text(const SongReport& report) {
    std::string text = report.file + "\n";
    if (!report.error.empty()) return text + "  error:        " + report.error + "\n";
    const tamsel_song_info& info = report.info;
    char line[256];
    std::snprintf(line, sizeof line, "  step time:    %u ms\n", (unsigned)info.step_ms);
    text += line;
    text += "  records:      " + header_value_text(info.records) + ", repeat from " +
            header_value_text(info.repeat_start) + " to " + header_value_text(info.repeat_end) + "\n";
    std::snprintf(line, sizeof line, "  drum volume:  %u\n", (unsigned)info.drum_volume);
    text += line;
    for (int32_t i = 0; i < 3; i++) {
        const tamsel_instrument_info& instrument = info.instruments[i];
        std::snprintf(line, sizeof line, "  instrument %d: octave %u, notes of %d samples, volume %d\n", (int)(i + 1),
                      (unsigned)instrument.octave, (int)instrument.length, (int)instrument.volume);
        text += line;
    }
    text += "  notes on:     " + tracks_text(report.tracks_with_notes) + "\n";
    std::string settings = std::string(output_format_name(report.format)) + ", loops " + std::to_string(report.loops) +
                           ", tick " + number_text(report.tick_ms) + " ms";
    if (report.fade_seconds > 0.0) settings += ", fade " + number_text(report.fade_seconds) + " s";
    if (report.loopable) settings += ", loopable";
    if (!report.has_length) return text + "  length:       " + report.length_problem + " (" + settings + ")\n";
    text += "  length:       " + std::to_string(report.frames) + " frames, " + format_duration(report.frames) + " (" +
            settings + ")\n";
    bool played_once = report.wraps.empty() && report.has_loop && !report.loopable;
    if (played_once) return text + loop_lines(report);
    text += "  loop points:  ";
    if (report.wraps.empty()) text += "none";
    for (size_t i = 0; i < report.wraps.size(); i++) {
        if (i > 0) text += ", ";
        text += std::to_string(report.wraps[i]);
    }
    return text + "\n" + loop_lines(report);
}

static void append_key(std::string* out, const char* key) {
    if (out->back() != '{') out->push_back(',');
    append_json_string(out, key);
    out->push_back(':');
}

static void append_instruments(std::string* out, const tamsel_song_info& info) {
    out->push_back('[');
    for (int32_t i = 0; i < 3; i++) {
        if (i > 0) out->push_back(',');
        out->append("{\"octave\":");
        append_json_number(out, (int64_t)info.instruments[i].octave);
        out->append(",\"length\":");
        append_json_number(out, (int64_t)info.instruments[i].length);
        out->append(",\"volume\":");
        append_json_number(out, (int64_t)info.instruments[i].volume);
        out->push_back('}');
    }
    out->push_back(']');
}

static void append_tracks(std::string* out, uint32_t tracks) {
    out->push_back('[');
    bool first = true;
    for (int32_t t = 0; t < TAMSEL_TRACK_COUNT; t++) {
        if (!(tracks & (1u << t))) continue;
        if (!first) out->push_back(',');
        append_json_string(out, track_name(t));
        first = false;
    }
    out->push_back(']');
}

static void append_number_or_null(std::string* out, const char* key, bool known, uint64_t value) {
    append_key(out, key);
    if (known)
        append_json_number(out, value);
    else
        out->append("null");
}

// loop_start and loop_length whenever the song has a loop; loop_crossfade
// and loop_difference_db (null for stretches that are alike) with --loopable.
static void append_loop(std::string* out, const SongReport& report) {
    const tamsel::Loop& loop = report.loop.loop;
    bool measured = report.has_loop && report.loopable;
    append_number_or_null(out, "loop_start", report.has_loop, loop.start);
    append_number_or_null(out, "loop_length", report.has_loop, loop.end - loop.start);
    append_number_or_null(out, "loop_crossfade", measured, loop.crossfade);
    append_key(out, "loop_difference_db");
    if (measured && std::isfinite(report.loop.difference_db))
        append_json_number(out, report.loop.difference_db);
    else
        out->append("null");
}

static void append_length(std::string* out, const SongReport& report) {
    append_key(out, "frames");
    if (report.has_length)
        append_json_number(out, report.frames);
    else
        out->append("null");
    append_key(out, "seconds");
    if (report.has_length)
        append_json_number(out, (double)report.frames / (double)TAMSEL_SAMPLE_RATE);
    else
        out->append("null");
    append_key(out, "length_problem");
    if (report.has_length)
        out->append("null");
    else
        append_json_string(out, report.length_problem);
    append_key(out, "wraps");
    out->push_back('[');
    for (size_t i = 0; i < report.wraps.size(); i++) {
        if (i > 0) out->push_back(',');
        append_json_number(out, report.wraps[i]);
    }
    out->push_back(']');
    append_loop(out, report);
}

static void append_song_fields(std::string* out, const SongReport& report) {
    const tamsel_song_info& info = report.info;
    append_key(out, "step_ms");
    append_json_number(out, (uint64_t)info.step_ms);
    append_key(out, "records");
    append_json_number(out, (int64_t)info.records);
    append_key(out, "repeat_start");
    append_json_number(out, (int64_t)info.repeat_start);
    append_key(out, "repeat_end");
    append_json_number(out, (int64_t)info.repeat_end);
    append_key(out, "drum_volume");
    append_json_number(out, (uint64_t)info.drum_volume);
    append_key(out, "instruments");
    append_instruments(out, info);
    append_key(out, "tracks_with_notes");
    append_tracks(out, report.tracks_with_notes);
}

std::string song_report_json(const SongReport& report) {
    std::string out = "{";
    append_key(&out, "file");
    append_json_string(&out, report.file);
    append_key(&out, "loops");
    append_json_number(&out, (int64_t)report.loops);
    append_key(&out, "tick_ms");
    append_json_number(&out, report.tick_ms);
    append_key(&out, "fade_seconds");
    append_json_number(&out, report.fade_seconds);
    append_key(&out, "format");
    append_json_string(&out, output_format_name(report.format));
    if (report.error.empty()) {
        append_song_fields(&out, report);
        append_length(&out, report);
    } else {
        // A song that did not load has every key, with nothing in it.
        static const char* const NULL_KEYS[] = {"step_ms",     "records", "repeat_start", "repeat_end",
                                                "drum_volume", "frames",  "seconds",      "length_problem"};
        for (const char* key : NULL_KEYS) {
            append_key(&out, key);
            out.append("null");
        }
        static const char* const EMPTY_KEYS[] = {"instruments", "tracks_with_notes", "wraps"};
        for (const char* key : EMPTY_KEYS) {
            append_key(&out, key);
            out.append("[]");
        }
        append_loop(&out, report);
    }
    append_key(&out, "error");
    if (report.error.empty())
        out.append("null");
    else
        append_json_string(&out, report.error);
    return out + "}\n";
}
