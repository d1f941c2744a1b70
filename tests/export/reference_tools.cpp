#include "reference_tools.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include "common/byte_order.h"

#ifdef _WIN32
bool have_command(const std::string&) {
    return false;
}
int run_command(const std::string&, std::string*) {
    return -1;
}
#else
#include <sys/wait.h>

bool have_command(const std::string& name) {
    return run_command("command -v " + shell_quoted(name) + " >/dev/null 2>&1") == 0;
}

int run_command(const std::string& line, std::string* out) {
    FILE* pipe = popen(line.c_str(), "r");
    if (!pipe) return -1;
    char buffer[4096];
    size_t got = 0;
    while ((got = fread(buffer, 1, sizeof(buffer), pipe)) > 0) {
        if (out) out->append(buffer, got);
    }
    int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

std::string shell_quoted(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

const ReferenceDecoder REFERENCE_DECODERS[5] = {
    {"flac", "flac", "flac", "flac -d -s -f -o %OUT% %IN%"},
    {"flac24", "flac", "flac", "flac -d -s -f -o %OUT% %IN%"},
    {"ogg", "ogg", "oggdec", "oggdec -Q -o %OUT% %IN%"},
    {"opus", "opus", "opusdec", "opusdec --quiet %IN% %OUT%"},
    {"mp3", "mp3", "lame", "lame --quiet --decode %IN% %OUT%"},
};

static std::string replaced(std::string text, const std::string& from, const std::string& to) {
    size_t at = text.find(from);
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

int decode(const ReferenceDecoder& decoder, const std::string& in, const std::string& out) {
    std::string line = replaced(replaced(decoder.command, "%IN%", shell_quoted(in)), "%OUT%", shell_quoted(out));
    return run_command(line + " 2>&1");
}

std::string title_and_artist(const std::string& file) {
    std::string out;
    // mediainfo shows text in the locale's character set, as '?' where the
    // POSIX locale (no LANG) has no character: it is asked for UTF-8 itself.
    run_command("LC_ALL=C.UTF-8 mediainfo --Inform='General;%Title%|%Performer%' " + shell_quoted(file), &out);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

// Where the data chunk's samples begin and how many bytes they take (cut
// to the file), and the bytes of a frame; false when there is none.
static bool find_data(const std::vector<uint8_t>& bytes, size_t* data, uint64_t* data_bytes, uint32_t* frame) {
    if (bytes.size() < 12) return false;
    uint32_t frame_bytes = 0;
    size_t at = 12;
    while (at + 8 <= bytes.size()) {
        std::string id(bytes.begin() + (ptrdiff_t)at, bytes.begin() + (ptrdiff_t)at + 4);
        uint64_t size = tamsel::read_u32_le(&bytes[at + 4]);
        if (id == "fmt " && at + 24 <= bytes.size()) {
            frame_bytes = (uint32_t)bytes[at + 20] | ((uint32_t)bytes[at + 21] << 8);  // block align
        }
        if (id == "data") {
            if (frame_bytes == 0) return false;
            uint64_t available = bytes.size() - (at + 8);
            *data = at + 8;
            *data_bytes = size < available ? size : available;
            *frame = frame_bytes;
            return true;
        }
        at += 8 + (size_t)size + (size_t)(size & 1u);
    }
    return false;
}

int64_t wav_frame_count(const std::vector<uint8_t>& bytes) {
    size_t data = 0;
    uint64_t data_bytes = 0;
    uint32_t frame = 0;
    if (!find_data(bytes, &data, &data_bytes, &frame)) return -1;
    return (int64_t)(data_bytes / frame);
}

int32_t wav16_peak(const std::vector<uint8_t>& bytes) {
    size_t data = 0;
    uint64_t data_bytes = 0;
    uint32_t frame = 0;
    if (!find_data(bytes, &data, &data_bytes, &frame) || frame != 4) return -1;
    int32_t peak = 0;
    for (size_t i = data; i + 1 < data + data_bytes; i += 2) {
        int32_t v = (int16_t)(uint16_t)(bytes[i] | (bytes[i + 1] << 8));
        if (v < 0) v = -v;
        if (v > peak) peak = v;
    }
    return peak;
}

static uint32_t u32_at(const std::vector<uint8_t>& b, size_t at) {
    return tamsel::read_u32_le(b.data() + at);
}

WavChunks read_wav_chunks(const std::vector<uint8_t>& b) {
    WavChunks chunks;
    if (b.size() < 12) return chunks;
    chunks.riff_size = u32_at(b, 4);
    for (size_t at = 12; at + 8 <= b.size();) {
        std::string id(b.begin() + (ptrdiff_t)at, b.begin() + (ptrdiff_t)at + 4);
        size_t size = u32_at(b, at + 4);
        if (id == "data") {
            chunks.data = at + 8;
            chunks.data_size = size;
        }
        if (id == "smpl" && size >= 60 && at + 8 + size <= b.size()) {
            chunks.has_loop = true;
            chunks.loops = u32_at(b, at + 36);
            chunks.loop_type = u32_at(b, at + 48);
            chunks.loop_start = u32_at(b, at + 52);
            chunks.loop_end = u32_at(b, at + 56);
        }
        at += 8 + size + (size & 1);
    }
    return chunks;
}

testing::AssertionResult holds_wav_loop(const std::vector<uint8_t>& bytes, uint32_t frame_bytes, uint64_t start,
                                        uint64_t end, WavChunks* chunks) {
    WavChunks read = read_wav_chunks(bytes);
    if (chunks) *chunks = read;
    bool holds = read.riff_size + 8 == bytes.size() && read.data_size == frame_bytes * end && read.has_loop &&
                 read.loops == 1 && read.loop_type == 0 && read.loop_start == start && read.loop_end + 1 == end;
    if (holds) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "RIFF size " << read.riff_size << " of " << bytes.size() << " bytes, "
                                       << read.data_size << " bytes of data, " << (read.has_loop ? "" : "no ")
                                       << "smpl chunk, " << read.loops << " loops, the first of type " << read.loop_type
                                       << " over frames [" << read.loop_start << ", " << read.loop_end << "]";
}
