// The words and figures that tell what an export wrote: the tool's summary
// line and --info, and the page's "Saved" line, in one wording.
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

// What the hints for clipped samples tell the user to try: the tool names
// its options, the page its controls.
struct LevelHints {
    const char* normalize;        // clamped integer samples
    const char* normalize_lossy;  // a lossy file that may clip when decoded: normalising to -2 dBFS
};

// "0:00.960, peak -0.52 dBFS, 0 samples beyond +-1.0", then the clamped
// count, the true peak of a lossy file that may clip, the level note and a
// loopable file's loop when there are any. A stem is leveled as the whole
// mix, so its note says it is the mix's ("level of the whole mix: peak
// brought to -1.0 dBFS (+2.10 dB)") beside the stem's own peak.
std::string result_text(const AudioResult& result, const LevelPlan& plan, const LevelHints& hints, bool stem = false);

// "IN -> OUT: " and the result text; an output of "-" is "standard output".
std::string summary_line(const std::string& input, const std::string& output, const AudioResult& result,
                         const LevelPlan& plan, const LevelHints& hints, bool stem = false);
