// The writers between libsndfile and the output, one chain per container,
// each mending on the way what libsndfile writes:
//   FLAC  FlacStream: the sample count on a pipe, the seek table, the
//         comments (flac_stream.h).
//   Ogg   OggPageStamp: a fixed serial, the comments, an Opus stream of no
//         audio ended (ogg_pages.h).
//   MP3   our ID3v2 tag first, then ShiftedWriter, so libsndfile's offsets
//         start after it (id3_tags.h); in front of a SpoolWriter when the
//         output cannot seek, as the encoder goes back to the start
//         (spool_writer.h); our ID3v1 tag last.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "common/byte_writer.h"
#include "export/flac_stream.h"
#include "export/id3_tags.h"
#include "export/ogg_pages.h"
#include "export/sndfile_encoder.h"
#include "export/spool_writer.h"

enum class Container { FLAC, OGG, MP3, OTHER };

class WriterChain {
public:
    // Builds the chain for container in front of out, for a stream of frames
    // frames, and writes what goes before the encoder's bytes (the ID3v2
    // tag). False when that write fails.
    bool open(Container container, ByteWriter* out, uint64_t frames, const SndfileTags& tags);
    // Where the encoder writes: the first writer of the chain.
    ByteWriter* encoder_output() const { return first_; }
    // Once the encoder is closed, its stream stream_size bytes long: writes
    // what the writers still hold and what goes after the stream. False on a
    // failed write.
    bool finish(uint64_t stream_size);

private:
    bool open_mp3(const SndfileTags& tags);
    bool finish_mp3(uint64_t stream_size);

    ByteWriter* out_ = nullptr;
    ByteWriter* first_ = nullptr;
    std::unique_ptr<FlacStream> flac_;
    std::unique_ptr<OggPageStamp> stamp_;
    // MP3: the file its bytes and tags go to (the output or the spool).
    ByteWriter* mp3_file_ = nullptr;
    SpoolWriter spool_;
    std::unique_ptr<ShiftedWriter> after_id3_;
    uint64_t id3v2_size_ = 0;
    std::vector<uint8_t> id3v1_;
};
