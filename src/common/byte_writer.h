// Where encoded bytes go: a file, standard output, or the buffers in front
// of either. Encoders write through this and nothing else, so the
// same encoder serves every destination and tests can inject failures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

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

    // Lends room for the next bytes at the current offset, so samples can
    // be made in place instead of made elsewhere and copied in: at least 1
    // and at most wanted bytes (wanted > 0), their number in *lent. Nothing
    // is written until commit_reserved(size) takes the first size of them;
    // a later call of any other kind drops what was lent and not taken.
    // Null on failure. The room need not be aligned for any type. A writer
    // with a buffer of its own lends that; this one lends a scratch buffer
    // that commit_reserved writes.
    virtual uint8_t* reserve(size_t wanted, size_t* lent) {
        if (wanted > scratch_size_) {
            // An array of bytes made by new: samples of any type may be
            // made in it.
            scratch_.reset(new uint8_t[wanted]);
            scratch_size_ = wanted;
        }
        *lent = wanted;
        return scratch_.get();
    }
    virtual bool commit_reserved(size_t size) { return size == 0 || write(scratch_.get(), size); }

private:
    std::unique_ptr<uint8_t[]> scratch_;
    size_t scratch_size_ = 0;
};

// Sets the one message of a write to a ByteWriter that failed and returns
// false. The output itself may know more (the system's "No space left on
// device"), which its owner then reports instead.
inline constexpr const char* OUTPUT_WRITE_FAILED = "could not write the output";

inline bool output_write_failed(std::string* error) {
    *error = OUTPUT_WRITE_FAILED;
    return false;
}
