// Every file the web page saves: the command line's own export code (level
// plan, sample shaping, the WAV writer and, in the module built with the
// codecs, libsndfile's encoders) compiled into the page's WebAssembly
// module, so the page saves exactly the tool's bytes for the same options:
// `tamselexport -f FORMAT --quality Q --gain/--normalize/--loudness
// --fade --mute ...` or `--stems`; 32-bit float WAV with no options is the
// positional form's file.
//
// Each file starts with Module.onExportFile (its name, and the name without
// a stem's suffix and the extension, for the stems' zip), its pieces go to the page as
// they are made through Module.onExportBytes, progress goes through
// Module.onExportProgress (false cancels), and what the tool's summary line
// tells through Module.onExportResult.
#include <emscripten.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "common/path_rules.h"
#include "export/export_service.h"
#include "export/file_names.h"
#include "export/summary_text.h"
#include "tamsel/tamsel.hpp"

EM_JS(void, tell_page_file,
      (int32_t index, int32_t count, const char* name, size_t name_size, const char* base, size_t base_size), {
          Module.onExportFile({
              index : index,
              count : count,
              name : new TextDecoder().decode(HEAPU8.slice(name, name + name_size)),
              base : new TextDecoder().decode(HEAPU8.slice(base, base + base_size))
          });
      });

EM_JS(void, hand_bytes_to_page, (const uint8_t* bytes, size_t size),
      { Module.onExportBytes(HEAPU8.slice(bytes, bytes + size)); });

EM_JS(int, tell_page_progress, (double done, double total), { return Module.onExportProgress(done, total) ? 1 : 0; });

EM_JS(void, tell_page_result, (int32_t index, double frames, double peak_dbfs, const char* text, size_t text_size), {
    Module.onExportResult({
        index : index,
        frames : frames,
        peakDbfs : peak_dbfs,
        text : new TextDecoder().decode(HEAPU8.slice(text, text + text_size))
    });
});

// A stream to the page: every format is written front to back (MP3 whole
// at the end), so it never needs to seek.
class PageWriter : public ByteWriter {
public:
    bool write(const void* bytes, size_t size) override {
        hand_bytes_to_page((const uint8_t*)bytes, size);
        written_ += size;
        return true;
    }
    bool seekable() const override { return false; }
    bool seek(uint64_t) override { return false; }
    uint64_t tell() const override { return written_; }

private:
    uint64_t written_ = 0;
};

static int failed(const std::string& why, char* error, size_t capacity) {
    if (capacity > 0) {
        size_t size = why.size() < capacity - 1 ? why.size() : capacity - 1;
        std::memcpy(error, why.data(), size);
        error[size] = '\0';
    }
    return 0;
}

// The page's hints name its own controls.
static LevelHints page_hints() {
    return LevelHints{"Normalise", "Normalise at -2 dBFS"};
}

// The page's names for the bounded values it sets, as its labels show them.
static const char* page_control_of_limit(LimitId id) {
    switch (id) {
    case LimitId::LOOPS: return "Loops";
    case LimitId::TICK: return "Tick (ms)";
    case LimitId::JOBS: return "Jobs";
    case LimitId::QUALITY: return "Quality";
    case LimitId::GAIN: return "The gain";
    case LimitId::NORMALIZE: return "The peak level to normalise to";
    case LimitId::LOUDNESS: return "The loudness";
    case LimitId::FADE: return "The fade";
    case LimitId::STEREO: return "Stereo width (%)";
    }
    return "";
}

// The page's level choices, as library.js numbers them.
static const int32_t PAGE_LEVEL_NONE = 0;
static const int32_t PAGE_LEVEL_GAIN = 1;       // the value in dB
static const int32_t PAGE_LEVEL_NORMALIZE = 2;  // the peak's dBFS
static const int32_t PAGE_LEVEL_LOUDNESS = 3;   // LUFS

// The level option from the page's choice; false for another mode.
static bool set_level(int32_t mode, double value, AudioSettings* settings) {
    switch (mode) {
    case PAGE_LEVEL_NONE: settings->level = LevelMode::NONE; return true;
    case PAGE_LEVEL_GAIN:
        settings->level = LevelMode::GAIN;
        settings->gain_db = value;
        return true;
    case PAGE_LEVEL_NORMALIZE:
        settings->level = LevelMode::NORMALIZE;
        settings->normalize_dbfs = value;
        return true;
    case PAGE_LEVEL_LOUDNESS:
        settings->level = LevelMode::LOUDNESS;
        settings->loudness_lufs = value;
        return true;
    }
    return false;
}

// 1 when this module can write format_name ("wav", "flac24", ...) with the
// level mode (loudness needs the codecs' build too); 0 otherwise. The page
// asks the small module first and loads the one with the codecs when it
// answers 0.
extern "C" EMSCRIPTEN_KEEPALIVE int32_t tamsel_web_can_export(const char* format_name, int32_t level_mode) {
    OutputFormat format;
    if (!parse_output_format(format_name, &format)) return 0;
    std::string why;
    if (!output_format_available(format, &why)) return 0;
#ifndef TAMSEL_HAVE_EBUR128
    if (level_mode == PAGE_LEVEL_LOUDNESS) return 0;
#endif
    return level_mode >= PAGE_LEVEL_NONE && level_mode <= PAGE_LEVEL_LOUDNESS ? 1 : 0;
}

// The file names of an export: base, a stem's suffix, the extension.
struct PageFiles {
    std::string base;
    bool stems = false;
    std::string extension;
};

static bool write_file(const ExportPlan& plan, const PageFiles& files, size_t index, ExportError* error) {
    int32_t count = (int32_t)plan.target_mutes.size();
    std::string name = files.base + (files.stems ? stem_suffix((int32_t)index) : "") + files.extension;
    tell_page_file((int32_t)index, count, name.data(), name.size(), files.base.data(), files.base.size());
    ExportProgress progress = [](uint64_t done, uint64_t total) {
        return tell_page_progress((double)done, (double)total) != 0;
    };
    PageWriter out;
    AudioResult result;
    if (!write_export_target(plan, index, &out, progress, &result, error)) return false;
    std::string text = result_text(result, plan.level, page_hints(), files.stems);
    tell_page_result((int32_t)index, (double)result.frames, result.peak_dbfs, text.data(), text.size());
    return true;
}

// Renders the song in bytes[0..size), named song_name, as the tool would
// with these options: format_name as -f takes it, quality -1 or 0..10, the
// level mode (PAGE_LEVEL_...) and its value, fade_seconds, stereo_width
// (percent, as --stereo takes it), the tracks
// muted_tracks leaves out; with stems nonzero, four files, one per track,
// leveled as the whole mix (muted_tracks then does not apply, as --stems
// and --mute exclude each other). name_tag goes between the song's name
// and the stem suffix and extension ("song.loops1.flac"). Returns 1 when
// every file was handed over, else 0 with one line in error.
extern "C" EMSCRIPTEN_KEEPALIVE int32_t tamsel_web_export(const uint8_t* bytes, size_t size, const char* song_name,
                                                          const char* name_tag, const char* format_name,
                                                          int32_t quality, int32_t loops, double tick_ms,
                                                          uint32_t muted_tracks, int32_t stems, int32_t level_mode,
                                                          double level_value, double fade_seconds, int32_t stereo_width,
                                                          char* error, size_t capacity) {
    tamsel::Song song;
    tamsel::Status status = song.load_memory(bytes, size);
    if (status != TAMSEL_OK) return failed(tamsel::message(status), error, capacity);
    ExportRequest request;
    request.options.loops = loops;
    request.options.tick_ms = tick_ms;
    request.options.muted_tracks = stems ? 0 : (muted_tracks & 0xFu);
    request.stems = stems != 0;
    if (!parse_output_format(format_name, &request.settings.format))
        return failed(std::string("no such format: ") + format_name, error, capacity);
    if (!set_level(level_mode, level_value, &request.settings)) return failed("no such level setting", error, capacity);
    request.settings.quality = quality;
    request.settings.fade_seconds = fade_seconds;
    request.settings.stereo_width = stereo_width;
    request.settings.title = title_from_song_path(song_name);
    PageFiles files;
    files.base = path_without_extension(path_last_component(song_name)) + name_tag;
    files.stems = request.stems;
    files.extension = output_format_extension(request.settings.format);

    ExportPlan plan;
    ExportError why;
    if (!plan_export(song, request, &plan, &why))
        return failed(export_error_text(why, page_control_of_limit), error, capacity);
    for (size_t i = 0; i < plan.target_mutes.size(); i++) {
        if (!write_file(plan, files, i, &why))
            return failed(export_error_text(why, page_control_of_limit), error, capacity);
    }
    return 1;
}
