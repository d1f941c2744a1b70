// Where encoded bytes go: a file, standard output, or a writer thread in
// front of either. Encoders write through this and nothing else, so the
// same encoder serves every destination and tests can inject failures.
#pragma once

#include <cstddef>
#include <cstdint>

class ByteWriter {
public:
    virtual ~ByteWriter() = default;
    // Appends size bytes at the current offset. False on any failure; the
    // writer is then unusable.
    virtual bool write(const void* bytes, size_t size) = 0;
    // Whether seek works (files yes, pipes no).
    virtual bool seekable() const = 0;
    // Moves the current offset; false when not seekable or on failure.
    virtual bool seek(uint64_t offset) = 0;
    // The current offset: bytes written so far when nothing was sought.
    virtual uint64_t tell() const = 0;
};
