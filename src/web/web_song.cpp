// What the page shows of a song beside the library's own calls: the
// warnings the tool prints for it, in the tool's words.
#include <emscripten.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "export/song_warnings.h"

// The warnings for song, opened from a file of file_size bytes, one per
// line, into text (capacity bytes, always terminated). Returns how many.
extern "C" EMSCRIPTEN_KEEPALIVE int32_t tamsel_web_song_warnings(const tamsel_song* song, double file_size, char* text,
                                                                 size_t capacity) {
    if (!song || !text || capacity == 0) return 0;
    // A size that is no byte count (negative, NaN) is unknown, and the file
    // is not called short; converting it as it is would be undefined.
    bool counted = file_size >= 0.0 && file_size < 18446744073709551616.0;
    uint64_t bytes = counted ? (uint64_t)file_size : UINT64_MAX;
    tamsel_song_info info{};
    tamsel_song_get_info(song, &info);
    std::string lines;
    std::vector<std::string> warnings = song_warnings(info, bytes);
    for (const std::string& warning : warnings) lines += (lines.empty() ? "" : "\n") + warning;
    size_t size = lines.size() < capacity - 1 ? lines.size() : capacity - 1;
    std::memcpy(text, lines.data(), size);
    text[size] = '\0';
    return (int32_t)warnings.size();
}
