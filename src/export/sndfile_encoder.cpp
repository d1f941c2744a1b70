#include "export/sndfile_encoder.h"

#include <cstdio>
#include <vector>

#include "export/writer_chain.h"

#ifdef TAMSEL_HAVE_SNDFILE
#include <sndfile.h>
#endif

#ifdef TAMSEL_HAVE_SNDFILE

static int32_t container_of(int32_t sf_format) {
    return sf_format & SF_FORMAT_TYPEMASK;
}

// libsndfile's compression level for quality 0..10: 0 is the best quality,
// 1 the smallest file. Vorbis and MP3 spread the scale evenly (MP3's
// encoder takes levels below 1 only); Opus turns the level into a bitrate
// of about 13 + 501 * (1 - level) kbit/s, so its qualities run from about
// 48 to 320 kbit/s.
static double compression_level(int32_t sf_format, int quality) {
    if ((sf_format & SF_FORMAT_SUBMASK) == SF_FORMAT_OPUS) return 0.93 - 0.0543 * quality;
    double level = 1.0 - (double)quality / 10.0;
    if (container_of(sf_format) == SF_FORMAT_MPEG && level > 0.99) level = 0.99;
    return level;
}

// Whether the library lists the container and the codec among the formats
// it knows (sf_format_check alone accepts codecs built without their
// encoder libraries).
static bool sndfile_lists(int major, int subtype) {
    int count = 0;
    bool major_found = false;
    bool subtype_found = false;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, (int)sizeof(count));
    for (int i = 0; i < count; i++) {
        SF_FORMAT_INFO info = {};
        info.format = i;
        if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, (int)sizeof(info)) == 0 && info.format == major) {
            major_found = true;
        }
    }
    sf_command(nullptr, SFC_GET_FORMAT_SUBTYPE_COUNT, &count, (int)sizeof(count));
    for (int i = 0; i < count; i++) {
        SF_FORMAT_INFO info = {};
        info.format = i;
        if (sf_command(nullptr, SFC_GET_FORMAT_SUBTYPE, &info, (int)sizeof(info)) == 0 && info.format == subtype) {
            subtype_found = true;
        }
    }
    return major_found && subtype_found;
}

bool sndfile_can_write(OutputFormat format, std::string* why) {
    int32_t sf_format = format_entry(format).sndfile_format;
    SF_INFO info = {};
    info.samplerate = 48000;
    info.channels = 2;
    info.format = sf_format;
    if (sf_format != 0 && sndfile_lists(container_of(sf_format), sf_format & SF_FORMAT_SUBMASK) &&
        sf_format_check(&info)) {
        return true;
    }
    if (why) {
        *why = std::string(output_format_name(format)) + " is not available: the installed " + sf_version_string() +
               " cannot write it";
    }
    return false;
}

// libsndfile spreads FLAC's levels 0..8 over 0..1.
static const double FLAC_LEVEL = 2.0 / 8.0;

struct SndfileState {
    ByteWriter* destination = nullptr;
    WriterChain chain;  // libsndfile writes into its first writer
    SNDFILE* file = nullptr;
    SF_VIRTUAL_IO io = {};
    uint64_t size = 0;  // the end of the bytes written so far
    bool failed = false;
    uint32_t shift = 0;  // from the format's integers up to libsndfile's 32-bit ones
    std::vector<int> scratch;
};

static SndfileState* state_of(void* user) {
    return static_cast<SndfileState*>(user);
}

static ByteWriter* encoder_output(void* user) {
    return state_of(user)->chain.encoder_output();
}

static sf_count_t io_get_filelen(void* user) {
    return (sf_count_t)state_of(user)->size;
}

static sf_count_t io_tell(void* user) {
    return (sf_count_t)encoder_output(user)->tell();
}

// Seeking to where the writer already is always works, so a pipe serves
// every format that only ever asks for that.
static sf_count_t io_seek(sf_count_t offset, int whence, void* user) {
    SndfileState* state = state_of(user);
    ByteWriter* out = encoder_output(user);
    int64_t base = 0;
    if (whence == SEEK_CUR) base = (int64_t)out->tell();
    if (whence == SEEK_END) base = (int64_t)state->size;
    int64_t target = base + (int64_t)offset;
    if (target < 0) return -1;
    if ((uint64_t)target == out->tell() || state->failed) return target;
    if (!out->seekable()) return -1;
    if (!out->seek((uint64_t)target)) {
        state->failed = true;
        return -1;
    }
    return target;
}

static sf_count_t io_read(void*, sf_count_t, void*) {
    return 0;
}

// After a failed write the rest is dropped but reported as written:
// libsndfile's own failure paths leak its encoders' memory, so it is kept
// on its normal path and the encoder checks for the failure after each
// call instead.
static sf_count_t io_write(const void* bytes, sf_count_t count, void* user) {
    SndfileState* state = state_of(user);
    ByteWriter* out = encoder_output(user);
    if (count <= 0) return 0;
    if (state->failed) return count;
    if (!out->write(bytes, (size_t)count)) {
        state->failed = true;
        return count;
    }
    uint64_t end = out->tell();
    if (end > state->size) state->size = end;
    return count;
}

SndfileEncoder::SndfileEncoder(ByteWriter* out) : state_(new SndfileState) {
    state_->destination = out;
    state_->io.get_filelen = io_get_filelen;
    state_->io.seek = io_seek;
    state_->io.read = io_read;
    state_->io.write = io_write;
    state_->io.tell = io_tell;
}

SndfileEncoder::~SndfileEncoder() {
    if (state_->file) sf_close(state_->file);
    delete state_;
}

static Container container_kind(int32_t sf_format) {
    switch (container_of(sf_format)) {
    case SF_FORMAT_FLAC: return Container::FLAC;
    case SF_FORMAT_OGG: return Container::OGG;
    case SF_FORMAT_MPEG: return Container::MP3;
    default: return Container::OTHER;
    }
}

static void set_tag(SNDFILE* file, int type, const std::string& text) {
    // A container without a field for the tag just leaves it out.
    if (!text.empty()) sf_set_string(file, type, text.c_str());
}

// Starts libsndfile's encoder on the chain of writers.
static bool open_encoder(SndfileState* state, const FormatEntry& entry, std::string* error) {
    SF_INFO info = {};
    info.samplerate = 48000;
    info.channels = 2;
    info.format = entry.sndfile_format;
    state->shift = entry.depth == SampleDepth::INT24 ? 8 : 16;
    state->file = sf_open_virtual(&state->io, SFM_WRITE, &info, state);
    if (!state->file) {
        *error = std::string("could not start the ") + entry.name + " encoder: " + sf_strerror(nullptr);
        return false;
    }
    return !state->failed || output_write_failed(error);
}

// The compression and quality, then the tags the container carries
// (MP3's are the chain's).
static void configure_encoder(SNDFILE* file, const FormatEntry& entry, int quality, const SndfileTags& tags,
                              uint64_t frames) {
    Container container = container_kind(entry.sndfile_format);
    if (container == Container::FLAC) {
        // flac -2: fixed predictors with stereo decorrelation. About 2.5
        // times as fast as libsndfile's default (-5), for files about 7%
        // larger.
        double level = FLAC_LEVEL;
        sf_command(file, SFC_SET_COMPRESSION_LEVEL, &level, (int)sizeof(level));
    }
    if (quality < 0) quality = entry.default_quality;
    if (quality >= 0 && !entry.integer()) {
        if (container == Container::MP3) {
            int mode = SF_BITRATE_MODE_VARIABLE;
            sf_command(file, SFC_SET_BITRATE_MODE, &mode, (int)sizeof(mode));
        }
        double level = compression_level(entry.sndfile_format, quality);
        sf_command(file, SFC_SET_COMPRESSION_LEVEL, &level, (int)sizeof(level));
    }
    if (container == Container::MP3) return;
    set_tag(file, SF_STR_TITLE, tags.title);
    set_tag(file, SF_STR_ARTIST, tags.artist);
    set_tag(file, SF_STR_SOFTWARE, tags.software);
    // The FLAC encoder writes its header with the first samples; a render of
    // no frames has none, so the header is written now.
    if (frames == 0 && container == Container::FLAC) sf_command(file, SFC_UPDATE_HEADER_NOW, nullptr, 0);
}

bool SndfileEncoder::begin(OutputFormat format, int quality, const SndfileTags& tags, uint64_t frames,
                           std::string* error) {
    if (!sndfile_can_write(format, error)) return false;
    const FormatEntry& entry = format_entry(format);
    Container container = container_kind(entry.sndfile_format);
    if (frames == 0 && container == Container::MP3) {
        // The encoder then writes a header frame alone, which decoders
        // refuse to open.
        *error = std::string("the render has no frames, and an empty ") + entry.name + " file cannot be played";
        return false;
    }
    if (!state_->chain.open(container, state_->destination, frames, tags)) return output_write_failed(error);
    if (!open_encoder(state_, entry, error)) return false;
    configure_encoder(state_->file, entry, quality, tags, frames);
    return true;
}

static bool write_failed(SndfileState* state, std::string* error) {
    if (state->failed) return output_write_failed(error);
    *error = std::string("the encoder failed: ") + sf_strerror(state->file);
    return false;
}

bool SndfileEncoder::write_float(const float* samples, size_t frames, std::string* error) {
    if (frames == 0) return true;
    if (sf_writef_float(state_->file, samples, (sf_count_t)frames) != (sf_count_t)frames || state_->failed) {
        return write_failed(state_, error);
    }
    return true;
}

bool SndfileEncoder::write_int(const int32_t* samples, size_t frames, std::string* error) {
    if (frames == 0) return true;
    size_t count = 2 * frames;
    state_->scratch.resize(count);
    for (size_t i = 0; i < count; i++) state_->scratch[i] = (int)((uint32_t)samples[i] << state_->shift);
    if (sf_writef_int(state_->file, state_->scratch.data(), (sf_count_t)frames) != (sf_count_t)frames ||
        state_->failed) {
        return write_failed(state_, error);
    }
    return true;
}

bool SndfileEncoder::finish(std::string* error) {
    SNDFILE* file = state_->file;
    state_->file = nullptr;
    int closed = file ? sf_close(file) : 0;
    if (state_->failed) return output_write_failed(error);
    if (closed != 0) {
        *error = std::string("the encoder failed: ") + sf_error_number(closed);
        return false;
    }
    return state_->chain.finish(state_->size) || output_write_failed(error);
}

#else  // no libsndfile

bool sndfile_can_write(OutputFormat format, std::string* why) {
    if (why) *why = std::string(output_format_name(format)) + " is not available: this build has no libsndfile";
    return false;
}

struct SndfileState {};

SndfileEncoder::SndfileEncoder(ByteWriter*) : state_(nullptr) {}
SndfileEncoder::~SndfileEncoder() {}

bool SndfileEncoder::begin(OutputFormat format, int, const SndfileTags&, uint64_t, std::string* error) {
    sndfile_can_write(format, error);
    return false;
}

bool SndfileEncoder::write_float(const float*, size_t, std::string* error) {
    *error = "no encoder";
    return false;
}

bool SndfileEncoder::write_int(const int32_t*, size_t, std::string* error) {
    *error = "no encoder";
    return false;
}

bool SndfileEncoder::finish(std::string* error) {
    *error = "no encoder";
    return false;
}

#endif
