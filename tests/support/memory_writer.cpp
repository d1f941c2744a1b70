#include "memory_writer.h"

#include <cstring>

bool MemoryWriter::write(const void* data, size_t size) {
    if (offset_ + size > fail_after_) return false;
    if (offset_ + size > bytes.size()) bytes.resize(offset_ + size);
    if (size > 0) std::memcpy(bytes.data() + offset_, data, size);
    offset_ += size;
    return true;
}

bool MemoryWriter::seek(uint64_t offset) {
    if (!seekable_ || offset > bytes.size()) return false;
    if (offset != offset_) seeks++;
    offset_ = offset;
    return true;
}
