#include "song/song_open.h"

#include <cstdio>
#include <cstring>

#include "song/file_open.h"

namespace tamsel::core {

struct MemoryBytes {
    const uint8_t* bytes;
    size_t size;
};

static size_t read_memory_at(void* context, uint64_t offset, uint8_t* out, size_t size) {
    const MemoryBytes* memory = (const MemoryBytes*)context;
    if (offset >= memory->size) return 0;
    size_t available = memory->size - (size_t)offset;
    size_t count = size < available ? size : available;
    std::memcpy(out, memory->bytes + offset, count);
    return count;
}

SongOpen open_song_memory(const void* bytes, size_t size, Song* song) {
    MemoryBytes memory = {(const uint8_t*)bytes, size};
    return load_song(read_memory_at, &memory, song) == SONG_LOADED ? SongOpen::LOADED : SongOpen::NOT_A_SONG;
}

struct FileBytes {
    std::FILE* file;
    bool failed;  // a read error, as opposed to the end of the file
};

static size_t read_file_at(void* context, uint64_t offset, uint8_t* out, size_t size) {
    FileBytes* source = (FileBytes*)context;
    if (size == 0) return 0;
    if (!seek_file(source->file, offset)) return 0;
    size_t got = std::fread(out, 1, size, source->file);
    if (got < size && std::ferror(source->file)) source->failed = true;
    return got;
}

SongOpen open_song_file(const char* utf8_path, Song* song) {
    FileBytes source = {open_file_for_reading(utf8_path), false};
    if (!source.file) return SongOpen::UNREADABLE;
    SongLoadResult loaded = load_song(read_file_at, &source, song);
    std::fclose(source.file);
    if (source.failed) return SongOpen::UNREADABLE;
    return loaded == SONG_LOADED ? SongOpen::LOADED : SongOpen::NOT_A_SONG;
}

}  // namespace tamsel::core
