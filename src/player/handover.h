// A fixed ring that hands items from one thread to one other without a
// lock: the producer writes a slot and then publishes it, the consumer
// reads it and then frees it. Neither side ever waits or allocates, which
// is what the audio callback needs on its side.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <type_traits>

template <typename T, uint32_t N>
class Handover {
    static_assert(std::is_trivially_copyable_v<T>, "items are copied into the ring");
    static_assert(N > 0 && (N & (N - 1)) == 0, "a power of two, so the counters may wrap");

public:
    // False, changing nothing, when the ring is full.
    bool push(const T& item) {
        uint32_t tail = tail_.load(std::memory_order_relaxed);
        if (tail - head_.load(std::memory_order_acquire) == N) return false;
        slots_[tail & (N - 1)] = item;
        tail_.store(tail + 1, std::memory_order_release);
        return true;
    }

    // False when the ring is empty.
    bool pop(T* item) {
        uint32_t head = head_.load(std::memory_order_relaxed);
        if (head == tail_.load(std::memory_order_acquire)) return false;
        *item = slots_[head & (N - 1)];
        head_.store(head + 1, std::memory_order_release);
        return true;
    }

private:
    std::array<T, N> slots_{};
    std::atomic<uint32_t> head_{0};  // the consumer's next slot
    std::atomic<uint32_t> tail_{0};  // the producer's next slot
};
