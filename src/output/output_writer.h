// Buffers in front of a file descriptor: write() copies into a buffer (or
// reserve() lends it, to be filled in place), and a full buffer is written
// whole. The first failure is kept; every later call fails.
//
// Into a regular file, a full buffer is written at once by the caller: the
// write only copies it into the system's cache, from the caller's own
// processor cache. Handing it to a thread instead moves every byte to
// another core and wakes that thread for each buffer: on the development
// machine, a quarter more processor time for a wall time a tenth shorter
// at best.
// Into a pipe or a device, whose reader may keep a write waiting, a writer
// thread writes one buffer while the caller fills the other.
//
// The buffers are page-aligned and each is written whole, so an output
// written from its start goes to the file in page-aligned writes of
// WRITER_BUFFER_BYTES: the kernel then copies whole pages from a source
// aligned as they are. Writes of 512 KiB, not more: page-aligned writes of
// 1 MiB had Linux (6.18, ext4) give the file 1 MiB folios, whose allocation
// just after another large file's pages were freed made the writes five
// times as costly on the development machine.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

constexpr size_t WRITER_BUFFER_BYTES = (size_t)512 << 10;
constexpr size_t WRITER_BUFFER_ALIGNMENT = 4096;

enum class WriteMode { IN_PLACE, IN_BACKGROUND };

class BufferedWriter {
public:
    // Starts writing to fd, IN_BACKGROUND through a writer thread; false
    // with why set when the thread cannot start. Offsets count from origin,
    // where the descriptor stands (the output need not start at the
    // beginning of the file).
    bool start(int fd, uint64_t origin, WriteMode mode, std::string* why);
    // Stops the thread without writing what is still buffered.
    ~BufferedWriter();

    bool write(const void* bytes, size_t size);
    // As ByteWriter's: the room left in the buffer being filled (a fresh
    // buffer when it is full).
    uint8_t* reserve(size_t wanted, size_t* lent);
    bool commit_reserved(size_t size);
    // Writes everything buffered (and waits for the thread to finish it).
    bool flush();
    // Flushes, then moves the descriptor's offset to origin + offset.
    bool seek(uint64_t offset);
    uint64_t tell() const;
    // The offset after the furthest byte written.
    uint64_t end() const { return end_; }
    // Flushed or not, ends the writing; the descriptor is left open.
    void stop();

    // The first failure as one line, or empty.
    std::string error() const;
    bool broken_pipe() const;

private:
    struct BufferRelease {
        void operator()(uint8_t* buffer) const;
    };
    using Buffer = std::unique_ptr<uint8_t[], BufferRelease>;
    static Buffer new_buffer();

    bool hand_over();
    bool write_in_place();
    bool wait_until_written();
    void run();
    void keep_failure(const std::string& why, int number);

    int fd_ = -1;
    bool started_ = false;
    bool in_background_ = false;
    uint64_t origin_ = 0;
    Buffer buffers_[2];    // the second only in the background
    int32_t filling_ = 0;  // index of the buffer write() copies into
    size_t filled_ = 0;
    uint64_t position_ = 0;  // where the next byte lands in the output
    uint64_t end_ = 0;

    mutable std::mutex mutex_;
    std::condition_variable work_ready_;
    std::condition_variable work_done_;
    const uint8_t* pending_ = nullptr;  // the buffer the thread writes
    size_t pending_size_ = 0;           // 0 when the thread is idle
    bool stopping_ = false;
    std::string error_;
    int error_number_ = 0;
    std::thread thread_;
};
