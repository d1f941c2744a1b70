// The words and figures of the per-file summary and of --info.
#pragma once

#include <cstdint>
#include <string>

#include "export/audio_render.h"

// Frames at 48000 per second as minutes, seconds and milliseconds,
// "m:ss.mmm", rounded to the nearest millisecond: 46080 gives "0:00.960".
std::string format_duration(uint64_t frames);

// A peak level in dBFS with two decimals ("-0.52 dBFS"), "-inf dBFS" for
// silence.
std::string format_dbfs(double dbfs);

// "loop from frame 46080, 34560 frames (0:00.720), crossfade 1440 frames,
// stretches differ by -31.2 dB" (or "stretches identical"): a loopable
// file's loop.
std::string loop_text(const LoopFigures& figures);

// "IN -> OUT: 0:00.960, peak -0.52 dBFS, 0 samples beyond +-1.0", then the
// clamped count, the level note and a loopable file's loop when there are
// any.
std::string summary_line(const std::string& input, const std::string& output, const AudioResult& result,
                         const LevelPlan& plan);
