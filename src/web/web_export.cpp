// Every WAV file the web page saves: the command line's own audio code
// (level plan, sample shaping, WAV encoder) compiled into the page's
// WebAssembly module, so the page saves exactly the tool's bytes: 32-bit
// float as `tamselexport song.tsm LOOPS TICK` writes it (a factor of 1
// gives the positional form's samples and header), 16-bit and normalised
// files as `tamselexport -f wav16 --normalize ...` does. Each piece of the
// file goes to the page as it is made, through Module.onExportBytes, and
// progress through Module.onExportProgress (false cancels), and what the
// tool's summary line tells through Module.onExportResult.
#include <emscripten.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "export/audio_render.h"
#include "tamsel/tamsel.hpp"

EM_JS(void, hand_bytes_to_page, (const uint8_t* bytes, size_t size),
      { Module.onExportBytes(HEAPU8.slice(bytes, bytes + size)); });

EM_JS(int, tell_page_progress, (double done, double total), { return Module.onExportProgress(done, total) ? 1 : 0; });

EM_JS(void, tell_page_result,
      (double frames, double peak_dbfs, double beyond, double clamped, const char* note, size_t note_size), {
          Module.onExportResult({
              frames : frames,
              peakDbfs : peak_dbfs,
              beyondFullScale : beyond,
              clamped : clamped,
              note : new TextDecoder().decode(HEAPU8.slice(note, note + note_size))
          });
      });

// A stream to the page: WAV files are written header first, so it never
// needs to seek.
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

// Renders the song in bytes[0..size) with loops and tick_ms as a WAV file:
// 16-bit when sixteen_bit is nonzero, else 32-bit float; with normalize
// nonzero, its peak brought to normalize_dbfs as --normalize does. Returns
// 1 when the whole file was handed over, else 0 with one line in error.
extern "C" EMSCRIPTEN_KEEPALIVE int tamsel_web_export_wav(const uint8_t* bytes, size_t size, int32_t loops,
                                                          double tick_ms, int32_t sixteen_bit, int32_t normalize,
                                                          double normalize_dbfs, char* error, size_t capacity) {
    tamsel::Song song;
    tamsel::Status status = song.load_memory(bytes, size);
    if (status != TAMSEL_OK) return failed(tamsel::message(status), error, capacity);
    tamsel::RenderOptions options;
    options.loops = loops;
    options.tick_ms = tick_ms;
    AudioSettings settings;
    settings.format = sixteen_bit ? OutputFormat::WAV16 : OutputFormat::WAV_FLOAT;
    if (normalize) {
        settings.level = LevelMode::NORMALIZE;
        settings.normalize_dbfs = normalize_dbfs;
    }
    std::string why;
    LevelPlan plan;
    if (!plan_level(song, options, settings, &plan, &why)) return failed(why, error, capacity);
    PageWriter out;
    AudioProgress progress = [](uint64_t done, uint64_t total) {
        return tell_page_progress((double)done, (double)total) != 0;
    };
    AudioResult result;
    if (!render_audio(song, options, settings, plan, &out, progress, &result, &why))
        return failed(why, error, capacity);
    tell_page_result((double)result.frames, result.peak_dbfs, (double)result.beyond_full_scale, (double)result.clamped,
                     plan.note.data(), plan.note.size());
    return 1;
}
