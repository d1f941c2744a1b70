// Renders a song into an encoded audio stream: the option form's formats,
// levels, dither and fade.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "common/byte_writer.h"
#include "export/export_error.h"
#include "export/export_limits.h"
#include "export/format_table.h"
#include "tamsel/tamsel.hpp"

enum class LevelMode { NONE, GAIN, NORMALIZE, LOUDNESS };
// DEFAULT and TPDF: integer samples whose gain is not exactly 1 (a level
// plan that changes the level, or the fade) get triangular noise of +-1
// step from a generator seeded per output (fixed, and different for each
// set of muted tracks), so the same command gives the same bytes whatever
// -j is. NONE: those samples are rounded to the nearest step. Either way a
// sum of 0 stays 0, and samples at gain 1 are the exact integers.
enum class DitherMode { DEFAULT, TPDF, NONE };

struct AudioSettings {
    OutputFormat format = OutputFormat::WAV_FLOAT;
    int quality = -1;    // LimitId::QUALITY for the lossy formats; -1: a transparent default
                         // (Vorbis 7, Opus 5 (about 180 kbit/s), MP3 8 (VBR V2))
    std::string title;   // tags of FLAC, Vorbis, Opus and MP3 files
    std::string artist;  // empty: none
    LevelMode level = LevelMode::NONE;
    double gain_db = 0.0;          // LevelMode::GAIN
    double normalize_dbfs = -1.0;  // LevelMode::NORMALIZE: where the peak lands
    double loudness_lufs = -14.0;  // LevelMode::LOUDNESS: integrated loudness target
    DitherMode dither = DitherMode::DEFAULT;
    // LimitId::STEREO: the renderers' stereo width, applied to the sums
    // before the levels and the dither; 100 leaves them as rendered.
    int32_t stereo_width = TAMSEL_LIMIT_STEREO_DEFAULT;
    double fade_seconds = 0.0;  // LimitId::FADE: the song plays on for this long (rounded to
                                // whole frames), its gain falling linearly to exactly 0
                                // at the last frame: (F - 1 - i) / F for fade frame i of F
    size_t render_threads = 1;  // threads that render the mix; the bytes are the same for any
    // The intro and one pass of the repeat region, frames 0 .. E-1, with
    // the loop S .. E-1 in the file (see loop_tags.h) and its last X frames
    // the crossfade of tamsel_renderer_loop_tail_int32, so a player that
    // jumps from E-1 to S loops without a seam. The loop count is ignored;
    // there is no fade.
    bool loopable = false;
};

// A loopable export's loop, and how alike its two crossfaded stretches were.
struct LoopFigures {
    tamsel::Loop loop = {};
    double difference_db = 0.0;  // see tamsel_renderer_loop_tail_int32; -inf when alike
};

// The factor a level option gives, found from the full mix (a first pass
// where the option needs one). Stems are written with the full mix's plan,
// so they still add up to the leveled mix.
//
// A float sample is (float)(sum * (factor / 32768)), times the fade gain in
// the fade: with factor 1 exactly the positional form's sum / 32768. An
// integer sample is sum * factor steps (sum * factor * 256 for 24 bits),
// exact where that is the sum itself, otherwise dithered or rounded.
//   --gain DB:         factor 10^(DB/20).
//   --normalize=DBFS:  the loudest sample as written (the fade's gain
//                      counted) becomes exactly (float)10^(DBFS/20) in
//                      float output, and within one step of it in integers;
//                      integers never go past their top step, so up to 0
//                      dBFS nothing is clamped (with dither, one step less).
//   --loudness LUFS:   10^((LUFS - measured)/20), or less when that would
//                      put the loudest sample above -1 dBFS (it then lands
//                      on -1 dBFS exactly, as --normalize=-1 would); for
//                      the lossy formats also when their true peak would
//                      lie above -2 dBFS, so the decoded peak stays under -1.
// A silent render (or one too quiet to measure) keeps factor 1.
struct LevelPlan {
    double factor = 1.0;         // applied to every sample; 1 with no level option
    bool changes_level = false;  // factor != 1
    std::string note;            // for the summary, e.g. "lowered 2.1 dB to keep the peak at -1 dBFS"; may be empty
};

// A lossy encoder's output overshoots the true peak of what it was given
// (Opus by about 0.3 dB at -1 dBFS, more near full scale): the level plan
// keeps this margin under its ceiling, and a render whose true peak lies
// within it of full scale is reported as likely to clip when decoded.
inline constexpr double LOSSY_PEAK_MARGIN_DB = 1.0;

struct AudioResult {
    uint64_t frames = 0;     // frames written, the fade included
    double peak_dbfs = 0.0;  // of the written samples; -inf for silence
    // Float samples beyond +-1.0 as written; for the integer formats, samples
    // that lay beyond +-1.0 before clamping.
    uint64_t beyond_full_scale = 0;
    uint64_t clamped = 0;  // integer samples that had to be clamped (+1.0 itself is)
    // Lossy formats: the peak between the samples too (the sample peak in a
    // build without libebur128), and whether what a player decodes is
    // likely to pass full scale, where its output clips.
    double true_peak_dbfs = 0.0;
    bool decoded_may_clip = false;
    bool loopable = false;
    LoopFigures loop;  // when loopable
};

struct ExportLength;

// The factor of a level change in decibels: 10^(db/20), 1 for 0 dB.
double linear_of_db(double db);

// Works out the level plan for the mix of song with options, muted tracks
// and all, whose export has length; stems pass the options without mutes,
// so all four share the full mix's plan. May render the song once. False
// with error set for a level out of its range (GAIN, NORMALIZE, LOUDNESS)
// or loudness this build cannot measure (NO_METER).
bool plan_level(const tamsel::Song& song, const tamsel::RenderOptions& options, const AudioSettings& settings,
                const ExportLength& length, LevelPlan* plan, ExportError* error);

// Progress: frames done of total; returning false cancels the render.
using AudioProgress = std::function<bool(uint64_t done, uint64_t total)>;

// Renders song with options (muted tracks included) for length (from
// export_length) under plan, encodes it in settings.format and writes it to
// out, header first. False with error set on any failure: a format this
// build cannot write, a quality out of its range, "could not write the
// output" for a write that failed, CANCELLED when progress returned false.
// Progress is called after each block of 4096 frames. The export service
// (export_service.h) is what front ends call.
//
// Every format streams to an output that cannot seek: WAV has its length
// in the header from the start (a loopable file's smpl chunk, whose size is
// known, comes after the data); FLAC has its length there too but leaves
// its checksum and seek table out (decoders accept that); MP3 is gathered in memory and
// written whole at the end. Vorbis and Opus pages get a fixed serial number,
// so those files too are the same bytes on every run.
bool render_audio(const tamsel::Song& song, const tamsel::RenderOptions& options, const AudioSettings& settings,
                  const ExportLength& length, const LevelPlan& plan, ByteWriter* out, const AudioProgress& progress,
                  AudioResult* result, ExportError* error);
