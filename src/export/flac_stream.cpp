#include "export/flac_stream.h"

#include <algorithm>

// "fLaC", then blocks of a 4-byte header (last-block flag, type, 24-bit
// length) and their data; STREAMINFO comes first.
static const size_t MAGIC_SIZE = 4;
static const size_t BLOCK_HEADER_SIZE = 4;
static const size_t TOTAL_SAMPLES_OFFSET = MAGIC_SIZE + BLOCK_HEADER_SIZE + 13;

void put_flac_total_samples(uint8_t* stream_start, uint64_t total) {
    uint8_t* p = stream_start + TOTAL_SAMPLES_OFFSET;
    p[0] = (uint8_t)((p[0] & 0xF0u) | (uint8_t)((total >> 32) & 0x0Fu));
    for (uint32_t i = 0; i < 4; i++) p[1 + i] = (uint8_t)(total >> (24 - 8 * i));
}

// The size of the metadata in bytes once its last block is whole, else 0.
static size_t metadata_size(const std::vector<uint8_t>& bytes) {
    size_t at = MAGIC_SIZE;
    while (at + BLOCK_HEADER_SIZE <= bytes.size()) {
        bool last = (bytes[at] & 0x80u) != 0;
        size_t length = ((size_t)bytes[at + 1] << 16) | ((size_t)bytes[at + 2] << 8) | bytes[at + 3];
        at += BLOCK_HEADER_SIZE + length;
        if (at > bytes.size()) return 0;
        if (last) return at;
    }
    return 0;
}

bool FlacStream::take_header_bytes(const uint8_t* bytes, size_t size, size_t* used) {
    size_t before = header_.size();
    header_.insert(header_.end(), bytes, bytes + size);
    size_t complete = metadata_size(header_);
    if (complete == 0) {
        *used = size;
        return true;
    }
    *used = complete - before;
    header_.resize(complete);
    return write_header();
}

bool FlacStream::write_header() {
    header_written_ = true;
    header_size_ = header_.size();
    if (header_.size() >= TOTAL_SAMPLES_OFFSET + 5) put_flac_total_samples(header_.data(), total_frames_);
    return out_->write(header_.data(), header_.size());
}

bool FlacStream::write(const void* bytes, size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    if (position_ < end_) {
        size_t inside = (size_t)std::min<uint64_t>(size, end_ - position_);
        if (!rewrite(p, inside)) return false;
        p += inside;
        size -= inside;
    }
    if (size == 0) return true;
    return append(p, size);
}

bool FlacStream::append(const uint8_t* bytes, size_t size) {
    position_ += size;
    end_ = position_;
    if (header_written_) return out_->write(bytes, size);
    size_t used = 0;
    if (!take_header_bytes(bytes, size, &used)) return false;
    return used == size || out_->write(bytes + used, size - used);
}

// Bytes written again where the encoder sought back to. Until the header is
// out they land in the held copy; on a pipe they are dropped after that.
bool FlacStream::rewrite(const uint8_t* bytes, size_t size) {
    uint64_t at = position_;
    position_ += size;
    if (!header_written_) {
        std::copy(bytes, bytes + size, header_.begin() + (ptrdiff_t)at);
        return true;
    }
    if (!out_->seekable()) return true;
    return out_->seek(at) && out_->write(bytes, size) && out_->seek(end_);
}

bool FlacStream::seek(uint64_t offset) {
    if (offset > end_) return false;
    position_ = offset;
    return true;
}

bool FlacStream::finish() {
    if (header_written_ || header_.empty()) return true;
    header_written_ = true;
    return out_->write(header_.data(), header_.size());
}
