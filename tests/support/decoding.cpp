#include "decoding.h"

#include <cmath>
#include <cstring>

#ifdef TAMSEL_HAVE_SNDFILE
#include <sndfile.h>
#endif

#include "common/byte_order.h"

#ifdef TAMSEL_HAVE_SNDFILE
struct ReadCursor {
    const std::vector<uint8_t>* bytes;
    sf_count_t offset;
};

static sf_count_t read_length(void* user) {
    return (sf_count_t) static_cast<ReadCursor*>(user)->bytes->size();
}

static sf_count_t read_seek(sf_count_t offset, int whence, void* user) {
    ReadCursor* cursor = static_cast<ReadCursor*>(user);
    sf_count_t size = (sf_count_t)cursor->bytes->size();
    sf_count_t target = offset;
    if (whence == SEEK_CUR) target = cursor->offset + offset;
    if (whence == SEEK_END) target = size + offset;
    if (target < 0 || target > size) return -1;
    cursor->offset = target;
    return target;
}

static sf_count_t read_bytes(void* out, sf_count_t count, void* user) {
    ReadCursor* cursor = static_cast<ReadCursor*>(user);
    sf_count_t left = (sf_count_t)cursor->bytes->size() - cursor->offset;
    if (count > left) count = left;
    if (count > 0) std::memcpy(out, cursor->bytes->data() + cursor->offset, (size_t)count);
    cursor->offset += count;
    return count;
}

static sf_count_t read_tell(void* user) {
    return static_cast<ReadCursor*>(user)->offset;
}

static sf_count_t no_write(const void*, sf_count_t, void*) {
    return 0;
}

static std::string string_of(SNDFILE* file, int type) {
    const char* text = sf_get_string(file, type);
    return text ? text : "";
}

static Decoded decode_as(const std::vector<uint8_t>& bytes, bool as_float) {
    Decoded decoded;
    SF_VIRTUAL_IO io = {read_length, read_seek, read_bytes, no_write, read_tell};
    ReadCursor cursor = {&bytes, 0};
    SF_INFO info = {};
    SNDFILE* file = sf_open_virtual(&io, SFM_READ, &info, &cursor);
    if (!file) return decoded;
    decoded.frames = info.frames;
    decoded.channels = info.channels;
    decoded.samplerate = info.samplerate;
    decoded.format = info.format;
    decoded.title = string_of(file, SF_STR_TITLE);
    decoded.artist = string_of(file, SF_STR_ARTIST);
    decoded.software = string_of(file, SF_STR_SOFTWARE);
    // Read to the end rather than trusting frames alone.
    std::vector<float> floats(2 * 4096);
    std::vector<int> ints(2 * 4096);
    while (true) {
        sf_count_t got = as_float ? sf_readf_float(file, floats.data(), 4096) : sf_readf_int(file, ints.data(), 4096);
        if (got <= 0) break;
        if (as_float) decoded.floats.insert(decoded.floats.end(), floats.begin(), floats.begin() + 2 * got);
        if (!as_float) decoded.ints.insert(decoded.ints.end(), ints.begin(), ints.begin() + 2 * got);
    }
    sf_close(file);
    decoded.ok = true;
    return decoded;
}

Decoded decode_bytes(const std::vector<uint8_t>& bytes) {
    Decoded decoded = decode_as(bytes, true);
    if (decoded.ok) decoded.ints = decode_as(bytes, false).ints;
    return decoded;
}

#else  // without libsndfile: the WAV files the export module writes, read by hand

Decoded decode_bytes(const std::vector<uint8_t>& bytes) {
    Decoded decoded;
    if (bytes.size() < 44 || std::memcmp(bytes.data(), "RIFF", 4) != 0) return decoded;
    uint32_t tag = tamsel::read_u32_le(bytes.data() + 20) & 0xFFFF;
    uint32_t bits = tamsel::read_u32_le(bytes.data() + 32) >> 16;
    decoded.channels = (int32_t)(tamsel::read_u32_le(bytes.data() + 20) >> 16);
    decoded.samplerate = (int32_t)tamsel::read_u32_le(bytes.data() + 24);
    if (tag == 3) {
        decoded.floats = wav_float_samples(bytes);
        for (float f : decoded.floats) {
            double v = std::fmax(-2147483648.0, std::fmin(2147483647.0, f * 2147483648.0));
            decoded.ints.push_back((int32_t)std::lrint(v));
        }
    } else {
        decoded.ints = wav_int_samples(bytes, bits / 8);
        for (int32_t& v : decoded.ints) {
            v = (int32_t)((uint32_t)v << (32 - bits));
            decoded.floats.push_back((float)(v / 2147483648.0));
        }
    }
    decoded.frames = (int64_t)decoded.ints.size() / 2;
    decoded.ok = true;
    return decoded;
}

#endif

bool can_write(OutputFormat format) {
    std::string why;
    return output_format_available(format, &why);
}

// The bytes of the data chunk that follows the export's 44-byte header:
// its size field counts them, and chunks after it (a loop's) are left out.
static size_t wav_data_bytes(const std::vector<uint8_t>& bytes) {
    size_t held = bytes.size() - 44;
    size_t told = tamsel::read_u32_le(bytes.data() + 40);
    return told < held ? told : held;
}

std::vector<float> wav_float_samples(const std::vector<uint8_t>& bytes) {
    std::vector<float> samples;
    if (bytes.size() < 44) return samples;
    samples.resize(wav_data_bytes(bytes) / 4);
    std::memcpy(samples.data(), bytes.data() + 44, 4 * samples.size());
    return samples;
}

std::vector<int32_t> wav_int_samples(const std::vector<uint8_t>& bytes, uint32_t bytes_per_sample) {
    std::vector<int32_t> samples;
    if (bytes.size() < 44) return samples;
    size_t count = wav_data_bytes(bytes) / bytes_per_sample;
    for (size_t i = 0; i < count; i++) {
        const uint8_t* p = bytes.data() + 44 + bytes_per_sample * i;
        uint32_t v = (uint32_t)p[0] | ((uint32_t)p[1] << 8);
        if (bytes_per_sample == 3) v |= (uint32_t)p[2] << 16;
        uint32_t bits = 8 * bytes_per_sample;
        // Sign-extend from the sample's width.
        if (v & (1u << (bits - 1))) v |= ~((1u << bits) - 1u);
        samples.push_back((int32_t)v);
    }
    return samples;
}

double rms_of(const std::vector<float>& samples, size_t first, size_t count) {
    double sum = 0.0;
    for (size_t i = first; i < first + count && i < samples.size(); i++) sum += (double)samples[i] * samples[i];
    return count == 0 ? 0.0 : std::sqrt(sum / (double)count);
}
