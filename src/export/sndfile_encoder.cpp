#include "export/sndfile_encoder.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "export/flac_stream.h"
#include "export/id3_tags.h"
#include "export/ogg_pages.h"
#include "export/spool_writer.h"

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
    ByteWriter* out = nullptr;  // where libsndfile writes: the output, the spool or the stamp
    ByteWriter* destination = nullptr;
    SpoolWriter spool;
    std::unique_ptr<OggPageStamp> stamp;
    std::unique_ptr<FlacStream> flac;
    std::unique_ptr<ShiftedWriter> after_id3;  // MP3: past our ID3v2 tag
    ByteWriter* mp3_file = nullptr;            // where the MP3 bytes and tags go
    uint64_t id3v2_size = 0;
    std::vector<uint8_t> id3v1;
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

static sf_count_t io_get_filelen(void* user) {
    return (sf_count_t)state_of(user)->size;
}

static sf_count_t io_tell(void* user) {
    return (sf_count_t)state_of(user)->out->tell();
}

// Seeking to where the writer already is always works, so a pipe serves
// every format that only ever asks for that.
static sf_count_t io_seek(sf_count_t offset, int whence, void* user) {
    SndfileState* state = state_of(user);
    int64_t base = 0;
    if (whence == SEEK_CUR) base = (int64_t)state->out->tell();
    if (whence == SEEK_END) base = (int64_t)state->size;
    int64_t target = base + (int64_t)offset;
    if (target < 0) return -1;
    if ((uint64_t)target == state->out->tell() || state->failed) return target;
    if (!state->out->seekable()) return -1;
    if (!state->out->seek((uint64_t)target)) {
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
    if (count <= 0) return 0;
    if (state->failed) return count;
    if (!state->out->write(bytes, (size_t)count)) {
        state->failed = true;
        return count;
    }
    uint64_t end = state->out->tell();
    if (end > state->size) state->size = end;
    return count;
}

SndfileEncoder::SndfileEncoder(ByteWriter* out) : state_(new SndfileState) {
    state_->out = out;
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

static void set_tag(SNDFILE* file, int type, const std::string& text) {
    // A container without a field for the tag just leaves it out.
    if (!text.empty()) sf_set_string(file, type, text.c_str());
}

// MP3: our ID3v2 tag first, then libsndfile's stream with offsets of its
// own; the ID3v1 tag is kept for the end.
static bool start_id3_tags(SndfileState* state, const SndfileTags& tags) {
    Id3Texts texts = {tags.title, tags.artist, tags.software, tags.comments};
    std::vector<uint8_t> tag = id3v2_tag(texts);
    state->id3v1 = id3v1_tag(texts);
    state->mp3_file = state->out;
    state->id3v2_size = tag.size();
    state->after_id3.reset(new ShiftedWriter(state->out, tag.size()));
    state->out = state->after_id3.get();
    return state->mp3_file->write(tag.data(), tag.size());
}

static bool end_id3_tags(SndfileState* state) {
    if (state->id3v1.empty()) return true;
    ByteWriter* file = state->mp3_file;
    if (file->seekable() && !file->seek(state->id3v2_size + state->size)) return false;
    return file->write(state->id3v1.data(), state->id3v1.size());
}

bool SndfileEncoder::begin(OutputFormat format, int quality, const SndfileTags& tags, uint64_t frames,
                           std::string* error) {
    std::string why;
    if (!sndfile_can_write(format, &why)) {
        *error = why;
        return false;
    }
    const FormatEntry& entry = format_entry(format);
    int32_t container = container_of(entry.sndfile_format);
    if (frames == 0 && container == SF_FORMAT_MPEG) {
        // The encoder then writes a header frame alone, which decoders
        // refuse to open.
        *error = std::string("the render has no frames, and an empty ") + output_format_name(format) +
                 " file cannot be played";
        return false;
    }
    SF_INFO info = {};
    info.samplerate = 48000;
    info.channels = 2;
    info.format = entry.sndfile_format;
    state_->shift = entry.depth == SampleDepth::INT24 ? 8 : 16;
    if (container == SF_FORMAT_MPEG && !state_->destination->seekable()) state_->out = &state_->spool;
    if (container == SF_FORMAT_MPEG && !start_id3_tags(state_, tags)) {
        *error = "could not write the output";
        return false;
    }
    if (container == SF_FORMAT_OGG) {
        state_->stamp.reset(new OggPageStamp(state_->destination, tags.software, tags.comments));
        state_->out = state_->stamp.get();
    }
    if (container == SF_FORMAT_FLAC) {
        state_->flac.reset(new FlacStream(state_->destination, frames, tags.software, tags.comments));
        state_->out = state_->flac.get();
    }
    state_->file = sf_open_virtual(&state_->io, SFM_WRITE, &info, state_);
    if (!state_->file) {
        *error = std::string("could not start the ") + output_format_name(format) + " encoder: " + sf_strerror(nullptr);
        return false;
    }
    if (state_->failed) {
        *error = "could not write the output";
        return false;
    }
    if (container == SF_FORMAT_FLAC) {
        // flac -2: fixed predictors with stereo decorrelation. About 2.5
        // times as fast as libsndfile's default (-5), for files about 7%
        // larger.
        double level = FLAC_LEVEL;
        sf_command(state_->file, SFC_SET_COMPRESSION_LEVEL, &level, (int)sizeof(level));
    }
    if (quality < 0) quality = entry.default_quality;
    if (quality >= 0 && !entry.integer()) {
        if (container == SF_FORMAT_MPEG) {
            int mode = SF_BITRATE_MODE_VARIABLE;
            sf_command(state_->file, SFC_SET_BITRATE_MODE, &mode, (int)sizeof(mode));
        }
        double level = compression_level(entry.sndfile_format, quality);
        sf_command(state_->file, SFC_SET_COMPRESSION_LEVEL, &level, (int)sizeof(level));
    }
    if (container == SF_FORMAT_MPEG) return true;
    set_tag(state_->file, SF_STR_TITLE, tags.title);
    set_tag(state_->file, SF_STR_ARTIST, tags.artist);
    set_tag(state_->file, SF_STR_SOFTWARE, tags.software);
    // The FLAC encoder writes its header with the first samples; a render of
    // no frames has none, so the header is written now.
    if (frames == 0) sf_command(state_->file, SFC_UPDATE_HEADER_NOW, nullptr, 0);
    return true;
}

static bool write_failed(SndfileState* state, std::string* error) {
    if (state->failed) {
        *error = "could not write the output";
    } else {
        *error = std::string("the encoder failed: ") + sf_strerror(state->file);
    }
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
    if (state_->failed) {
        *error = "could not write the output";
        return false;
    }
    if (closed != 0) {
        *error = std::string("the encoder failed: ") + sf_error_number(closed);
        return false;
    }
    if (state_->mp3_file && !end_id3_tags(state_)) {
        *error = "could not write the output";
        return false;
    }
    if (state_->flac && !state_->flac->finish()) {
        *error = "could not write the output";
        return false;
    }
    if (state_->stamp && !state_->stamp->finish()) {
        *error = "could not write the output";
        return false;
    }
    if (!state_->spool.data.empty()) {
        std::vector<uint8_t>& data = state_->spool.data;
        if (!data.empty() && !state_->destination->write(data.data(), data.size())) {
            *error = "could not write the output";
            return false;
        }
    }
    return true;
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
