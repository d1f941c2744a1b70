#include "export/song_warnings.h"

#include <cinttypes>
#include <cstdio>

static const uint64_t HEADER_BYTES = TAMSEL_SONG_HEADER_BYTES;
static const uint64_t RECORD_BYTES = TAMSEL_RECORD_BYTES;
static const uint64_t RECORDS_READ = TAMSEL_TRACK_RECORDS;
static const uint64_t TRACKS = TAMSEL_TRACK_COUNT;

static uint64_t records_of(const tamsel_song_info& info) {
    return info.records > 0 ? (uint64_t)info.records : 0u;
}

uint64_t song_file_size(const tamsel_song_info& info) {
    return HEADER_BYTES + RECORD_BYTES * TRACKS * records_of(info);
}

uint64_t song_bytes_read(const tamsel_song_info& info) {
    uint64_t records = records_of(info);
    uint64_t read = records < RECORDS_READ ? records : RECORDS_READ;
    return HEADER_BYTES + RECORD_BYTES * ((TRACKS - 1) * records + read);
}

// A header field as the file holds it: a negative one also as its bits,
// which is most likely how it came about ("-1 (0xFFFFFFFF in the file)").
static std::string header_value_text(int32_t value) {
    if (value >= 0) return std::to_string(value);
    char bits[16];
    std::snprintf(bits, sizeof bits, "%08" PRIX32, (uint32_t)value);
    return std::to_string(value) + " (0x" + bits + " in the file)";
}

std::vector<std::string> song_warnings(const tamsel_song_info& info, uint64_t file_size) {
    std::vector<std::string> warnings;
    uint64_t needed = song_file_size(info);
    if (file_size < needed)
        warnings.push_back("the file is " + std::to_string(file_size) + " bytes, shorter than the " +
                           std::to_string(needed) + " its header says; the missing bytes play as zeros");
    if (info.records < 0 || (uint64_t)info.records > RECORDS_READ) {
        uint64_t played = records_of(info) < RECORDS_READ ? records_of(info) : RECORDS_READ;
        warnings.push_back(
            "the header's record count, " + header_value_text(info.records) + ", is out of range: " +
            (played == 0 ? std::string("no records play") : "the first " + std::to_string(played) + " records play"));
    }
    if (info.repeat_start < 0)
        warnings.push_back("the header's repeat start, " + header_value_text(info.repeat_start) + ", is negative");
    if (info.repeat_end < 0)
        warnings.push_back("the header's repeat end, " + header_value_text(info.repeat_end) + ", is negative");
    return warnings;
}
