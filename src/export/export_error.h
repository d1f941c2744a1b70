// Why an export failed, as facts rather than words: which bounded value was
// out of its range, or which kind of length the render has no file for.
// Each front end words the facts in its own terms (export_error_text with
// its names for the values); nothing here knows a command-line option.
#pragma once

#include <cstdint>
#include <string>

#include "export/format_table.h"
#include "export/value_limits.h"

enum class ExportFault {
    OUT_OF_RANGE,  // limit: value lies outside its range (value_limit(limit))
    NEVER_ENDS,    // the render never ends
    NEVER_WRAPS,   // a loopable export of a song whose step time is never reached
    TOO_LONG,      // the render ends, past the most frames format's file holds (max_frames)
    NO_METER,      // limit (LOUDNESS): this build cannot measure the value
    CANCELLED,     // the progress callback asked to stop
    OTHER          // text says why, in words that name no option
};

struct ExportError {
    ExportFault fault = ExportFault::OTHER;
    LimitId limit = LimitId::LOOPS;
    double value = 0.0;
    OutputFormat format = OutputFormat::WAV_FLOAT;
    uint64_t max_frames = 0;
    std::string text;
};

// Helpers that fill *error and return false, for "return failed(...)".
bool failed_with(ExportError* error, const std::string& text);
bool out_of_range(ExportError* error, LimitId limit, double value);

// A front end's name for each bounded value: "--tick", "Tick (ms)".
using LimitNamer = const char* (*)(LimitId id);

// One line saying why: "--gain must be decibels from -96 to 96" (the tool),
// "never ends", "too long for flac (at most 4294967295 frames)".
std::string export_error_text(const ExportError& error, LimitNamer name);
