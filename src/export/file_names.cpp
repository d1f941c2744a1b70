#include "export/file_names.h"

#include "common/path_rules.h"
#include "tamsel/tamsel.h"

static const char* const STEM_SUFFIXES[TAMSEL_TRACK_COUNT] = {".track1", ".track2", ".track3", ".drums"};

const char* stem_suffix(int32_t track) {
    if (track < 0 || track >= TAMSEL_TRACK_COUNT) return "";
    return STEM_SUFFIXES[track];
}

uint32_t stem_muted_tracks(int32_t track) {
    if (track < 0 || track >= TAMSEL_TRACK_COUNT) return 0;
    return 0xFu & ~(1u << (uint32_t)track);
}

std::string title_from_song_path(const std::string& path) {
    if (path == "-") return "";
    return path_last_component(path_without_extension(path));
}
