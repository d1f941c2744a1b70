#include "output/output_writer.h"

#include <cstring>
#include <new>
#include <system_error>

#include "output/output_system.h"

void BufferedWriter::BufferRelease::operator()(uint8_t* buffer) const {
    ::operator delete(buffer, std::align_val_t(WRITER_BUFFER_ALIGNMENT));
}

// Storage from an allocation function: samples of any type may be made in
// it in place.
BufferedWriter::Buffer BufferedWriter::new_buffer() {
    return Buffer(
        static_cast<uint8_t*>(::operator new(WRITER_BUFFER_BYTES, std::align_val_t(WRITER_BUFFER_ALIGNMENT))));
}

bool BufferedWriter::start(int fd, uint64_t origin, WriteMode mode, std::string* why) {
    fd_ = fd;
    origin_ = origin;
    in_background_ = mode == WriteMode::IN_BACKGROUND;
    buffers_[0] = new_buffer();
    if (in_background_) {
        buffers_[1] = new_buffer();
        try {
            thread_ = std::thread(&BufferedWriter::run, this);
        } catch (const std::system_error& failure) {
            *why = std::string("cannot start the writer thread: ") + failure.what();
            return false;
        }
    }
    started_ = true;
    return true;
}

void BufferedWriter::keep_failure(const std::string& why, int number) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!error_.empty()) return;
    error_ = why;
    error_number_ = number;
}

BufferedWriter::~BufferedWriter() {
    stop();
}

void BufferedWriter::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        work_ready_.wait(lock, [this] { return pending_size_ != 0 || stopping_; });
        if (pending_size_ == 0) return;
        const uint8_t* bytes = pending_;
        size_t size = pending_size_;
        bool failed = !error_.empty();
        lock.unlock();
        std::string why;
        int number = 0;
        bool written = failed || write_all(fd_, bytes, size, &why, &number);
        lock.lock();
        if (!written && !failed) {
            error_ = why;
            error_number_ = number;
        }
        pending_size_ = 0;
        work_done_.notify_all();
    }
}

// Writes the buffer being filled and empties it.
bool BufferedWriter::write_in_place() {
    if (!error().empty()) return false;
    std::string why;
    int number = 0;
    if (!write_all(fd_, buffers_[filling_].get(), filled_, &why, &number)) {
        keep_failure(why, number);
        return false;
    }
    filled_ = 0;
    return true;
}

// Gives the full buffer to the thread once it has finished the other one,
// and goes on filling that other one; in place, writes it.
bool BufferedWriter::hand_over() {
    if (!in_background_) return write_in_place();
    std::unique_lock<std::mutex> lock(mutex_);
    work_done_.wait(lock, [this] { return pending_size_ == 0; });
    if (!error_.empty()) return false;
    pending_ = buffers_[filling_].get();
    pending_size_ = filled_;
    work_ready_.notify_one();
    filling_ ^= 1;
    filled_ = 0;
    return true;
}

bool BufferedWriter::wait_until_written() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!in_background_) return error_.empty();
    work_done_.wait(lock, [this] { return pending_size_ == 0; });
    return error_.empty();
}

bool BufferedWriter::write(const void* bytes, size_t size) {
    if (!started_) return false;
    const uint8_t* from = (const uint8_t*)bytes;
    while (size > 0) {
        size_t room = WRITER_BUFFER_BYTES - filled_;
        size_t chunk = size < room ? size : room;
        std::memcpy(buffers_[filling_].get() + filled_, from, chunk);
        filled_ += chunk;
        from += chunk;
        size -= chunk;
        position_ += chunk;
        if (position_ > end_) end_ = position_;
        if (filled_ == WRITER_BUFFER_BYTES && !hand_over()) return false;
    }
    return error().empty();
}

uint8_t* BufferedWriter::reserve(size_t wanted, size_t* lent) {
    if (!started_) return nullptr;
    if (filled_ == WRITER_BUFFER_BYTES && !hand_over()) return nullptr;
    size_t room = WRITER_BUFFER_BYTES - filled_;
    *lent = wanted < room ? wanted : room;
    return buffers_[filling_].get() + filled_;
}

bool BufferedWriter::commit_reserved(size_t size) {
    if (!started_ || size > WRITER_BUFFER_BYTES - filled_) return false;
    filled_ += size;
    position_ += size;
    if (position_ > end_) end_ = position_;
    if (filled_ == WRITER_BUFFER_BYTES && !hand_over()) return false;
    return error().empty();
}

bool BufferedWriter::flush() {
    if (!started_) return false;
    if (filled_ > 0 && !hand_over()) return false;
    return wait_until_written();
}

bool BufferedWriter::seek(uint64_t offset) {
    if (!flush()) return false;
    std::string why;
    if (!seek_to(fd_, origin_ + offset, &why)) {
        keep_failure(why, 0);
        return false;
    }
    position_ = offset;
    return true;
}

uint64_t BufferedWriter::tell() const {
    return position_;
}

void BufferedWriter::stop() {
    started_ = false;
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    work_ready_.notify_one();
    thread_.join();
}

std::string BufferedWriter::error() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return error_;
}

bool BufferedWriter::broken_pipe() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return error_number_ != 0 && is_broken_pipe(error_number_);
}
