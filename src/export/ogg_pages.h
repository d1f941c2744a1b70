// Gives every page of an Ogg stream the same serial number. libsndfile
// picks the serial from the clock, so two runs would differ in those four
// bytes and in each page's checksum; with a fixed serial the same render
// always gives the same Ogg bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/byte_writer.h"

constexpr uint32_t OGG_FIXED_SERIAL = 0x6C736D74u;  // "tmsl" on disk

// A ByteWriter in front of another: takes the stream in any pieces and
// writes each page once it is whole, with the fixed serial and its checksum
// made anew. Bytes that are not Ogg pages pass through unchanged. With
// software given, the comment header (Vorbis or Opus, at the start of the
// second page) gets the one ENCODER comment of vorbis_comments.h.
class OggPageStamp : public ByteWriter {
public:
    explicit OggPageStamp(ByteWriter* out, const std::string& software = "",
                          const std::vector<std::string>& comments = {})
        : out_(out), software_(software), comments_(comments) {}
    bool write(const void* bytes, size_t size) override;
    bool seekable() const override { return out_->seekable(); }
    // Writes what is held first.
    bool seek(uint64_t offset) override { return flush() && out_->seek(offset); }
    // Counts the bytes held too.
    uint64_t tell() const override { return out_->tell() + pending_.size(); }
    // Writes whatever is still held (nothing, for a whole stream).
    bool flush();
    // Flushes, and ends an Opus stream that holds no audio (a render of no
    // frames): the encoder then writes its two header pages only, which
    // players refuse to open. A last page follows with one packet that codes
    // nothing (a frame of no bytes, which decodes to silence) and a granule
    // position that leaves no samples after the pre-skip.
    bool finish();

private:
    bool write_whole_pages();
    bool write_page(const uint8_t* page, size_t size);
    void note_page(const uint8_t* page);
    bool end_empty_opus_stream();

    ByteWriter* out_;
    std::string software_;
    std::vector<std::string> comments_;  // added after ENCODER
    std::vector<uint8_t> pending_;
    bool pass_through_ = false;
    // What the pages so far tell: an Opus stream's pre-skip, how many pages
    // the stream has (by their sequence numbers) and whether one ended it.
    bool opus_ = false;
    uint16_t pre_skip_ = 0;
    uint32_t pages_ = 0;
    bool ended_ = false;
};

// The Ogg page checksum: CRC-32 with polynomial 0x04C11DB7, not reflected,
// starting from 0, over the page with its checksum field zeroed.
uint32_t ogg_page_checksum(const uint8_t* page, size_t size);
