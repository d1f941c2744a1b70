#include "export/ogg_pages.h"

#include <array>
#include <cstring>

#include "common/byte_order.h"
#include "export/vorbis_comments.h"

using tamsel::put_u32_le;
using tamsel::put_u64_le;
using tamsel::read_u16_le;
using tamsel::read_u32_le;

static const size_t PAGE_HEADER_BYTES = 27;
static const size_t SERIAL_AT = 14;
static const size_t CHECKSUM_AT = 22;
static const size_t SEGMENT_COUNT_AT = 26;
static const size_t HEADER_TYPE_AT = 5;
static const size_t GRANULE_AT = 6;
static const size_t SEQUENCE_AT = 18;
static const uint8_t CONTINUED_PACKET = 0x01u;
static const uint8_t END_OF_STREAM = 0x04u;
// OpusHead: "OpusHead", version, channels, then the 16-bit pre-skip.
static const size_t OPUS_PRE_SKIP_AT = 10;
// A 20 ms stereo frame of the CELT mode, in one packet of its table of
// contents alone: a frame of no bytes, which a decoder plays as silence.
static const uint8_t OPUS_EMPTY_PACKET = 0xFCu;
static const size_t MAX_SEGMENTS = 255;

static constexpr std::array<uint32_t, 256> make_crc_table() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; i++) {
        uint32_t r = i << 24;
        for (int32_t bit = 0; bit < 8; bit++) r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
        table[i] = r;
    }
    return table;
}

static constexpr std::array<uint32_t, 256> CRC_TABLE = make_crc_table();

uint32_t ogg_page_checksum(const uint8_t* page, size_t size) {
    uint32_t crc = 0;
    for (size_t i = 0; i < size; i++) {
        uint8_t byte = (i >= CHECKSUM_AT && i < CHECKSUM_AT + 4) ? 0 : page[i];
        crc = (crc << 8) ^ CRC_TABLE[((crc >> 24) ^ byte) & 0xFF];
    }
    return crc;
}

bool OggPageStamp::write(const void* bytes, size_t size) {
    if (pass_through_) return out_->write(bytes, size);
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    pending_.insert(pending_.end(), p, p + size);
    return write_whole_pages();
}

bool OggPageStamp::write_whole_pages() {
    size_t at = 0;
    bool ok = true;
    while (ok && pending_.size() - at >= PAGE_HEADER_BYTES) {
        uint8_t* page = pending_.data() + at;
        if (std::memcmp(page, "OggS", 4) != 0) {
            // Not a page: hand everything on as it is from here on.
            pass_through_ = true;
            break;
        }
        size_t segments = page[SEGMENT_COUNT_AT];
        if (pending_.size() - at < PAGE_HEADER_BYTES + segments) break;
        size_t body = 0;
        for (size_t s = 0; s < segments; s++) body += page[PAGE_HEADER_BYTES + s];
        size_t page_bytes = PAGE_HEADER_BYTES + segments + body;
        if (pending_.size() - at < page_bytes) break;
        ok = write_page(page, page_bytes);
        at += page_bytes;
    }
    if (ok && pass_through_ && at < pending_.size()) {
        ok = out_->write(pending_.data() + at, pending_.size() - at);
        at = pending_.size();
    }
    pending_.erase(pending_.begin(), pending_.begin() + (ptrdiff_t)at);
    return ok;
}

// The comment header packet's new bytes, or false to leave the page as it
// is: its first packet must start there and be a comment header.
static bool comment_packet(const uint8_t* packet, size_t size, const std::string& software,
                           const std::vector<std::string>& comments, std::vector<uint8_t>* out) {
    size_t prefix = 0;
    if (size >= 7 && std::memcmp(packet, "\x03vorbis", 7) == 0) prefix = 7;
    if (size >= 8 && std::memcmp(packet, "OpusTags", 8) == 0) prefix = 8;
    if (prefix == 0) return false;
    std::vector<uint8_t> list;
    size_t used = 0;
    if (!with_encoder_comment(packet + prefix, size - prefix, software, comments, &list, &used)) return false;
    out->assign(packet, packet + prefix);
    out->insert(out->end(), list.begin(), list.end());
    out->insert(out->end(), packet + prefix + used, packet + size);  // Vorbis's framing bit
    return true;
}

// The second page with its first packet, the comment header, made anew.
static bool with_new_comments(const uint8_t* page, const std::string& software,
                              const std::vector<std::string>& comments, std::vector<uint8_t>* out) {
    if (read_u32_le(page + SEQUENCE_AT) != 1 || (page[HEADER_TYPE_AT] & CONTINUED_PACKET) != 0) return false;
    size_t segments = page[SEGMENT_COUNT_AT];
    const uint8_t* lacing = page + PAGE_HEADER_BYTES;
    size_t packet_segments = 0;
    size_t packet_size = 0;
    while (packet_segments < segments) {
        packet_size += lacing[packet_segments];
        if (lacing[packet_segments++] < 255) break;
    }
    if (packet_segments == 0 || lacing[packet_segments - 1] == 255) return false;
    const uint8_t* body = lacing + segments;
    std::vector<uint8_t> packet;
    if (!comment_packet(body, packet_size, software, comments, &packet)) return false;
    size_t new_segments = packet.size() / 255 + 1;
    if (segments - packet_segments + new_segments > MAX_SEGMENTS) return false;
    size_t rest = 0;
    for (size_t s = packet_segments; s < segments; s++) rest += lacing[s];
    out->assign(page, page + PAGE_HEADER_BYTES);
    (*out)[SEGMENT_COUNT_AT] = (uint8_t)(segments - packet_segments + new_segments);
    for (size_t s = 0; s + 1 < new_segments; s++) out->push_back(255);
    out->push_back((uint8_t)(packet.size() % 255));
    out->insert(out->end(), lacing + packet_segments, lacing + segments);
    out->insert(out->end(), packet.begin(), packet.end());
    out->insert(out->end(), body + packet_size, body + packet_size + rest);
    return true;
}

void OggPageStamp::note_page(const uint8_t* page) {
    uint32_t sequence = read_u32_le(page + SEQUENCE_AT);
    if (sequence >= pages_) pages_ = sequence + 1;
    if ((page[HEADER_TYPE_AT] & END_OF_STREAM) != 0) ended_ = true;
    if (sequence != 0) return;
    size_t segments = page[SEGMENT_COUNT_AT];
    const uint8_t* body = page + PAGE_HEADER_BYTES + segments;
    if (segments == 0 || page[PAGE_HEADER_BYTES] < OPUS_PRE_SKIP_AT + 2) return;
    if (std::memcmp(body, "OpusHead", 8) != 0) return;
    opus_ = true;
    pre_skip_ = read_u16_le(body + OPUS_PRE_SKIP_AT);
}

bool OggPageStamp::write_page(const uint8_t* page, size_t size) {
    note_page(page);
    std::vector<uint8_t> stamped;
    if (software_.empty() || !with_new_comments(page, software_, comments_, &stamped))
        stamped.assign(page, page + size);
    put_u32_le(stamped.data() + SERIAL_AT, OGG_FIXED_SERIAL);
    put_u32_le(stamped.data() + CHECKSUM_AT, ogg_page_checksum(stamped.data(), stamped.size()));
    return out_->write(stamped.data(), stamped.size());
}

bool OggPageStamp::flush() {
    if (pending_.empty()) return true;
    bool ok = out_->write(pending_.data(), pending_.size());
    pending_.clear();
    return ok;
}

bool OggPageStamp::end_empty_opus_stream() {
    uint8_t page[PAGE_HEADER_BYTES + 2] = {'O', 'g', 'g', 'S'};
    page[HEADER_TYPE_AT] = END_OF_STREAM;
    put_u64_le(page + GRANULE_AT, pre_skip_);
    put_u32_le(page + SEQUENCE_AT, pages_);
    page[SEGMENT_COUNT_AT] = 1;
    page[PAGE_HEADER_BYTES] = 1;
    page[PAGE_HEADER_BYTES + 1] = OPUS_EMPTY_PACKET;
    return write_page(page, sizeof page);
}

bool OggPageStamp::finish() {
    if (!flush()) return false;
    // The identification and comment headers (written again on a file, when
    // the encoder closes), and no page after them.
    bool no_audio = opus_ && !ended_ && pages_ == 2;
    return !no_audio || end_empty_opus_stream();
}
