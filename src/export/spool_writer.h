#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/byte_writer.h"

// A seekable output in memory. MP3 files for a pipe are gathered in one and
// written out whole at the end: the encoder goes back to the start to fill
// in the frame count, without which decoders stop early.
class SpoolWriter : public ByteWriter {
public:
    bool write(const void* bytes, size_t size) override {
        const uint8_t* p = static_cast<const uint8_t*>(bytes);
        if (offset_ + size > data.size()) data.resize(offset_ + size);
        for (size_t i = 0; i < size; i++) data[offset_ + i] = p[i];
        offset_ += size;
        return true;
    }
    bool seekable() const override { return true; }
    bool seek(uint64_t offset) override {
        if (offset > data.size()) return false;
        offset_ = offset;
        return true;
    }
    uint64_t tell() const override { return offset_; }
    std::vector<uint8_t> data;

private:
    uint64_t offset_ = 0;
};
