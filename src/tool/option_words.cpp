#include "tool/option_words.h"

const char* option_of_limit(LimitId id) {
    switch (id) {
    case LimitId::LOOPS: return "--loops";
    case LimitId::TICK: return "--tick";
    case LimitId::JOBS: return "--jobs";
    case LimitId::QUALITY: return "--quality";
    case LimitId::GAIN: return "--gain";
    case LimitId::NORMALIZE: return "--normalize";
    case LimitId::LOUDNESS: return "--loudness";
    case LimitId::FADE: return "--fade";
    case LimitId::STEREO: return "--stereo";
    }
    return "";
}

std::string option_error_text(const ExportError& error) {
    return export_error_text(error, option_of_limit);
}

LevelHints option_level_hints() {
    return LevelHints{"--normalize", "--normalize=-2"};
}
