#include "export/ogg_pages.h"

#include <array>
#include <cstring>

static const size_t PAGE_HEADER_BYTES = 27;
static const size_t SERIAL_AT = 14;
static const size_t CHECKSUM_AT = 22;
static const size_t SEGMENT_COUNT_AT = 26;

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

static void put_u32(uint8_t* p, uint32_t v) {
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    p[2] = (uint8_t)(v >> 16);
    p[3] = (uint8_t)(v >> 24);
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
        put_u32(page + SERIAL_AT, OGG_FIXED_SERIAL);
        put_u32(page + CHECKSUM_AT, ogg_page_checksum(page, page_bytes));
        ok = out_->write(page, page_bytes);
        at += page_bytes;
    }
    if (ok && pass_through_ && at < pending_.size()) {
        ok = out_->write(pending_.data() + at, pending_.size() - at);
        at = pending_.size();
    }
    pending_.erase(pending_.begin(), pending_.begin() + (ptrdiff_t)at);
    return ok;
}

bool OggPageStamp::flush() {
    if (pending_.empty()) return true;
    bool ok = out_->write(pending_.data(), pending_.size());
    pending_.clear();
    return ok;
}
