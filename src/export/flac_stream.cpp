#include "export/flac_stream.h"

#include <algorithm>

#include "export/vorbis_comments.h"

// "fLaC", then blocks of a 4-byte header (last-block flag, type, 24-bit
// length) and their data; STREAMINFO comes first.
static const size_t MAGIC_SIZE = 4;
static const size_t BLOCK_HEADER_SIZE = 4;
static const size_t TOTAL_SAMPLES_OFFSET = MAGIC_SIZE + BLOCK_HEADER_SIZE + 13;
static const size_t MIN_BLOCK_OFFSET = MAGIC_SIZE + BLOCK_HEADER_SIZE;
static const uint8_t LAST_BLOCK = 0x80u;
static const uint8_t SEEKTABLE_TYPE = 3;
static const uint8_t VORBIS_COMMENT_TYPE = 4;
static const size_t SEEK_POINT_SIZE = 18;  // sample, byte offset, frame's samples
static const uint64_t SEEK_POINT_SPACING = 10 * 48000;

static void put_be(uint8_t* p, uint64_t value, uint32_t bytes) {
    for (uint32_t i = 0; i < bytes; i++) p[i] = (uint8_t)(value >> (8 * (bytes - 1 - i)));
}

void put_flac_total_samples(uint8_t* stream_start, uint64_t total) {
    uint8_t* p = stream_start + TOTAL_SAMPLES_OFFSET;
    p[0] = (uint8_t)((p[0] & 0xF0u) | (uint8_t)((total >> 32) & 0x0Fu));
    for (uint32_t i = 0; i < 4; i++) p[1 + i] = (uint8_t)(total >> (24 - 8 * i));
}

// The 24-bit length of the block whose 4-byte header is at block.
static size_t block_length(const uint8_t* block) {
    return ((size_t)block[1] << 16) | ((size_t)block[2] << 8) | block[3];
}

// The size of the metadata in bytes once its last block is whole, else 0.
// *last_block gets where the last block begins.
static size_t metadata_size(const std::vector<uint8_t>& bytes, size_t* last_block = nullptr) {
    size_t at = MAGIC_SIZE;
    while (at + BLOCK_HEADER_SIZE <= bytes.size()) {
        bool last = (bytes[at] & LAST_BLOCK) != 0;
        if (last_block) *last_block = at;
        size_t length = block_length(&bytes[at]);
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
    if (header_.size() >= TOTAL_SAMPLES_OFFSET + 5) {
        put_flac_total_samples(header_.data(), total_frames_);
        block_frames_ = ((uint32_t)header_[MIN_BLOCK_OFFSET] << 8) | header_[MIN_BLOCK_OFFSET + 1];
    }
    if (!software_.empty()) rewrite_comments();
    if (out_->seekable()) add_seek_table();
    out_header_size_ = header_.size();
    return out_->write(header_.data(), header_.size());
}

void FlacStream::rewrite_comments() {
    size_t at = MAGIC_SIZE;
    while (at + BLOCK_HEADER_SIZE <= header_.size()) {
        size_t length = block_length(&header_[at]);
        const uint8_t* data = header_.data() + at + BLOCK_HEADER_SIZE;
        std::vector<uint8_t> list;
        size_t used = 0;
        if ((header_[at] & ~LAST_BLOCK) == VORBIS_COMMENT_TYPE &&
            with_encoder_comment(data, length, software_, comments_, &list, &used)) {
            list.insert(list.end(), data + used, data + length);
            put_be(&header_[at + 1], list.size(), 3);
            header_.erase(header_.begin() + (ptrdiff_t)(at + BLOCK_HEADER_SIZE),
                          header_.begin() + (ptrdiff_t)(at + BLOCK_HEADER_SIZE + length));
            header_.insert(header_.begin() + (ptrdiff_t)(at + BLOCK_HEADER_SIZE), list.begin(), list.end());
            return;
        }
        if ((header_[at] & LAST_BLOCK) != 0) return;
        at += BLOCK_HEADER_SIZE + length;
    }
}

// Placeholder points (sample number all ones) until finish() knows where
// the frames went. The table becomes the last metadata block.
void FlacStream::add_seek_table() {
    if (total_frames_ == 0 || block_frames_ == 0) return;
    size_t last_block = 0;
    metadata_size(header_, &last_block);
    table_points_ = (uint32_t)((total_frames_ - 1) / SEEK_POINT_SPACING + 1);
    uint32_t length = table_points_ * (uint32_t)SEEK_POINT_SIZE;
    header_[last_block] = (uint8_t)(header_[last_block] & ~LAST_BLOCK);
    uint8_t block_header[BLOCK_HEADER_SIZE] = {(uint8_t)(LAST_BLOCK | SEEKTABLE_TYPE)};
    put_be(block_header + 1, length, 3);
    header_.insert(header_.end(), block_header, block_header + BLOCK_HEADER_SIZE);
    table_offset_ = header_.size();
    uint8_t placeholder[SEEK_POINT_SIZE] = {};
    put_be(placeholder, UINT64_MAX, 8);
    for (uint32_t i = 0; i < table_points_; i++)
        header_.insert(header_.end(), placeholder, placeholder + SEEK_POINT_SIZE);
}

// Where an offset of the encoder's stream is in the output: the frames come
// after the seek table the encoder knows nothing of.
uint64_t FlacStream::out_offset(uint64_t offset) const {
    if (offset < header_size_) return offset;
    return offset - header_size_ + out_header_size_;
}

// The encoder hands over each frame in one piece, starting with the sync
// code of a fixed-blocksize frame; points are written only when every
// frame was seen that way, else the placeholders stay (a valid table).
bool FlacStream::write_seek_points() {
    uint64_t frames = (total_frames_ + block_frames_ - 1) / block_frames_;
    if (frame_offsets_.size() != frames) return true;
    std::vector<uint8_t> points((size_t)table_points_ * SEEK_POINT_SIZE);
    for (uint32_t i = 0; i < table_points_; i++) {
        uint64_t frame = (uint64_t)i * SEEK_POINT_SPACING / block_frames_;
        uint64_t first = frame * block_frames_;
        uint64_t samples = total_frames_ - first < block_frames_ ? total_frames_ - first : block_frames_;
        uint8_t* point = &points[(size_t)i * SEEK_POINT_SIZE];
        put_be(point, first, 8);
        put_be(point + 8, frame_offsets_[(size_t)frame], 8);
        put_be(point + 16, samples, 2);
    }
    return out_->seek(table_offset_) && out_->write(points.data(), points.size()) && out_->seek(out_offset(end_));
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
    uint64_t at = position_;
    position_ += size;
    end_ = position_;
    if (header_written_) {
        if (table_points_ != 0 && size >= 2 && bytes[0] == 0xFFu && bytes[1] == 0xF8u) {
            frame_offsets_.push_back(at - header_size_);
        }
        return out_->write(bytes, size);
    }
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
    return out_->seek(out_offset(at)) && out_->write(bytes, size) && out_->seek(out_offset(end_));
}

bool FlacStream::seek(uint64_t offset) {
    if (offset > end_) return false;
    position_ = offset;
    return true;
}

bool FlacStream::finish() {
    if (header_written_) return table_points_ == 0 || write_seek_points();
    header_written_ = true;
    return header_.empty() || out_->write(header_.data(), header_.size());
}
