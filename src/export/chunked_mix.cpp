#include "export/chunked_mix.h"

#include <cstring>
#include <system_error>

void render_sums(tamsel::Renderer* renderer, int32_t* sums, size_t frames) {
    size_t got = frames == 0 ? 0 : renderer->render_int32(sums, frames);
    if (got < frames) std::memset(sums + 2 * got, 0, 2 * (frames - got) * sizeof(int32_t));
}

bool ChunkedMix::start(const tamsel::Song& song, const tamsel::RenderOptions& options, int32_t stereo_width,
                       uint64_t total, size_t threads, std::string* error) {
    total_ = total;
    chunks_ = (total + CHUNKED_MIX_FRAMES - 1) / CHUNKED_MIX_FRAMES;
    if (threads > chunks_) threads = (size_t)chunks_;
    // Every renderer is made before any thread starts, so a failure is
    // reported here and not half-way through the render.
    for (size_t i = 0; i < threads; i++) {
        auto worker = std::make_unique<Worker>();
        tamsel::Status status = worker->renderer.create(song, options);
        if (status == TAMSEL_OK) status = worker->renderer.set_stereo_width(stereo_width);
        if (status != TAMSEL_OK) {
            *error = tamsel::message(status);
            workers_.clear();
            return false;
        }
        for (Slot& slot : worker->slots) slot.sums.resize(2 * CHUNKED_MIX_FRAMES);
        workers_.push_back(std::move(worker));
    }
    for (size_t i = 0; i < workers_.size(); i++) {
        try {
            workers_[i]->thread = std::thread(&ChunkedMix::run, this, i);
        } catch (const std::system_error& failure) {
            *error = std::string("cannot start a render thread: ") + failure.what();
            stop();
            workers_.clear();
            return false;
        }
    }
    return true;
}

ChunkedMix::~ChunkedMix() {
    stop();
}

void ChunkedMix::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (const std::unique_ptr<Worker>& worker : workers_) {
        if (worker->thread.joinable()) worker->thread.join();
    }
}

ChunkedMix::Slot& ChunkedMix::slot_of(uint64_t chunk) {
    uint64_t count = workers_.size();
    return workers_[(size_t)(chunk % count)]->slots[(chunk / count) % 2];
}

size_t ChunkedMix::frames_of(uint64_t chunk) const {
    uint64_t first = chunk * CHUNKED_MIX_FRAMES;
    uint64_t left = total_ - first;
    return (size_t)(left < CHUNKED_MIX_FRAMES ? left : CHUNKED_MIX_FRAMES);
}

void ChunkedMix::run(size_t index) {
    tamsel::Renderer& renderer = workers_[index]->renderer;
    for (uint64_t chunk = index; chunk < chunks_; chunk += workers_.size()) {
        Slot& slot = slot_of(chunk);
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return !slot.full || stopping_; });
            if (stopping_) return;
        }
        uint64_t first = chunk * CHUNKED_MIX_FRAMES;
        if (renderer.position() != first) renderer.seek(first);
        render_sums(&renderer, slot.sums.data(), frames_of(chunk));
        {
            std::lock_guard<std::mutex> lock(mutex_);
            slot.full = true;
        }
        changed_.notify_all();
    }
}

size_t ChunkedMix::read(int32_t* sums, size_t frames) {
    size_t done = 0;
    while (done < frames && reading_chunk_ < chunks_) {
        Slot& slot = slot_of(reading_chunk_);
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return slot.full; });
        }
        size_t in_chunk = frames_of(reading_chunk_);
        size_t take = in_chunk - read_in_chunk_;
        if (take > frames - done) take = frames - done;
        std::memcpy(sums + 2 * done, slot.sums.data() + 2 * read_in_chunk_, 2 * take * sizeof(int32_t));
        done += take;
        read_in_chunk_ += take;
        if (read_in_chunk_ < in_chunk) continue;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            slot.full = false;
        }
        changed_.notify_all();
        reading_chunk_++;
        read_in_chunk_ = 0;
    }
    return done;
}
