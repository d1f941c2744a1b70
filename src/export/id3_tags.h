// The tags of an MP3 file, written here rather than by libsndfile, which
// puts UTF-8 bytes into an ID3v1 tag that declares Latin-1. An ID3v2.4 tag
// in UTF-8 goes first; an ID3v1 tag goes last only when every text fits
// Latin-1, so old players that read only that one still show it right.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/byte_writer.h"

struct Id3Texts {
    std::string title;  // UTF-8; empty: no frame
    std::string artist;
    std::string software;                 // the TSSE frame, "tamselexport 1.5.0"
    std::vector<std::string> user_texts;  // "KEY=value": a TXXX frame each, KEY its description
};

// The ID3v2.4 tag: TIT2, TPE1, TSSE and TXXX frames in UTF-8.
std::vector<uint8_t> id3v2_tag(const Id3Texts& texts);
// The 128-byte ID3v1 tag (texts cut at 30 bytes); empty when a text has a
// character outside Latin-1 or is not valid UTF-8.
std::vector<uint8_t> id3v1_tag(const Id3Texts& texts);

// A ByteWriter in front of another whose first shift bytes are taken (by
// the ID3v2 tag): offsets are those of the stream after them.
class ShiftedWriter : public ByteWriter {
public:
    ShiftedWriter(ByteWriter* out, uint64_t shift) : out_(out), shift_(shift) {}
    bool write(const void* bytes, size_t size) override { return out_->write(bytes, size); }
    bool seekable() const override { return out_->seekable(); }
    bool seek(uint64_t offset) override { return out_->seek(offset + shift_); }
    uint64_t tell() const override { return out_->tell() - shift_; }

private:
    ByteWriter* out_;
    uint64_t shift_;
};
