// A ByteWriter in front of libsndfile's FLAC output that makes the stream
// right on every destination. The encoder writes the header with a sample
// count of 0 and, when it is done, seeks back to fill in the count, the
// frame sizes and the MD5 sum. On a pipe that seek cannot happen, so the
// count, known before the render, goes into the header as it passes; the
// later rewrites of the header are dropped there (frame sizes and MD5 stay
// 0, which means "unknown") and go to their place on a file.
//
// The comments get the one ENCODER comment of vorbis_comments.h. A file
// also gets a seek table, as the flac command writes one: a point
// every ten seconds, filled in at the end from where each frame began.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/byte_writer.h"

class FlacStream : public ByteWriter {
public:
    FlacStream(ByteWriter* out, uint64_t total_frames, const std::string& software,
               const std::vector<std::string>& comments = {})
        : out_(out), total_frames_(total_frames), software_(software), comments_(comments) {}
    bool write(const void* bytes, size_t size) override;
    // Always: seeks go back into the header only, which is held on a pipe.
    bool seekable() const override { return true; }
    bool seek(uint64_t offset) override;
    uint64_t tell() const override { return position_; }
    // Writes a header still held (a stream too short to complete one) and
    // fills in the seek table.
    bool finish();

private:
    bool take_header_bytes(const uint8_t* bytes, size_t size, size_t* used);
    bool write_header();
    bool rewrite(const uint8_t* bytes, size_t size);
    bool append(const uint8_t* bytes, size_t size);
    void add_seek_table();
    void rewrite_comments();
    bool write_seek_points();
    uint64_t out_offset(uint64_t offset) const;

    ByteWriter* out_;
    uint64_t total_frames_;
    std::string software_;
    std::vector<std::string> comments_;  // added after ENCODER
    std::vector<uint8_t> header_;        // the metadata blocks until the last is whole
    bool header_written_ = false;
    uint64_t header_size_ = 0;      // the encoder's metadata
    uint64_t out_header_size_ = 0;  // the metadata written
    uint64_t position_ = 0;         // where the encoder writes next
    uint64_t end_ = 0;              // the bytes written so far
    uint32_t block_frames_ = 0;
    uint64_t table_offset_ = 0;  // where the seek points are in the output
    uint32_t table_points_ = 0;
    std::vector<uint64_t> frame_offsets_;  // from the first frame, each frame's start
};

// The 36-bit total-samples field of a STREAMINFO block at stream offset 21.
void put_flac_total_samples(uint8_t* stream_start, uint64_t total);
