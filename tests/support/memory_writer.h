// An output in memory for the export module's writers. A pipe refuses to
// seek; fail_after makes every write fail once that many bytes were
// written.
#pragma once

#include <cstdint>
#include <vector>

#include "common/byte_writer.h"

class MemoryWriter : public ByteWriter {
public:
    explicit MemoryWriter(bool seekable = true, uint64_t fail_after = UINT64_MAX)
        : seekable_(seekable), fail_after_(fail_after) {}
    bool write(const void* bytes, size_t size) override;
    bool seekable() const override { return seekable_; }
    bool seek(uint64_t offset) override;
    uint64_t tell() const override { return offset_; }

    std::vector<uint8_t> bytes;
    uint64_t seeks = 0;  // seeks that moved the offset

private:
    bool seekable_;
    uint64_t fail_after_;
    uint64_t offset_ = 0;
};
