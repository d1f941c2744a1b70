#include "export/export_error.h"

bool failed_with(ExportError* error, const std::string& text) {
    *error = ExportError();
    error->text = text;
    return false;
}

bool out_of_range(ExportError* error, LimitId limit, double value) {
    *error = ExportError();
    error->fault = ExportFault::OUT_OF_RANGE;
    error->limit = limit;
    error->value = value;
    return false;
}

static std::string too_long_text(const ExportError& error) {
    if (format_entry(error.format).encoder == FormatEncoder::OWN_WAV) return "too long for a WAV file";
    return std::string("too long for ") + output_format_name(error.format) + " (at most " +
           std::to_string(error.max_frames) + " frames)";
}

std::string export_error_text(const ExportError& error, LimitNamer name) {
    switch (error.fault) {
    case ExportFault::OUT_OF_RANGE: return std::string(name(error.limit)) + " must be " + limit_range_text(error.limit);
    case ExportFault::NEVER_ENDS: return "never ends";
    case ExportFault::NEVER_WRAPS:
        return "never wraps to its repeat start (its step time is never reached), so it has no loop";
    case ExportFault::TOO_LONG: return too_long_text(error);
    case ExportFault::NO_METER:
        return std::string(name(error.limit)) + " is not available: this build has no libebur128";
    case ExportFault::CANCELLED: return "cancelled";
    case ExportFault::OTHER: return error.text;
    }
    return error.text;
}
