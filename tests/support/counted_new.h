// Every allocation a program makes through C++'s operator new, counted in
// allocations: operator new and its forms replaced by malloc with a count.
// Included by exactly one file of a program that wants the count.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

static std::atomic<uint64_t> allocations{0};

static void* counted(size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size ? size : 1);
}

// Over-aligned blocks: malloc's block holds the aligned one, with the
// address to free just before it.
static void* counted_aligned(size_t size, std::align_val_t alignment) {
    size_t align = (size_t)alignment;
    void* base = counted(size + align + sizeof(void*));
    if (!base) return nullptr;
    uintptr_t start = ((uintptr_t)base + sizeof(void*) + align - 1) / align * align;
    ((void**)start)[-1] = base;
    return (void*)start;
}

static void free_aligned(void* p) {
    if (p) std::free(((void**)p)[-1]);
}

void* operator new(size_t size) {
    if (void* p = counted(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size) {
    return operator new(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return counted(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return counted(size);
}
void* operator new(size_t size, std::align_val_t alignment) {
    if (void* p = counted_aligned(size, alignment)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size, std::align_val_t alignment) {
    return operator new(size, alignment);
}
void* operator new(size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return counted_aligned(size, alignment);
}
void* operator new[](size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return counted_aligned(size, alignment);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    free_aligned(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    free_aligned(p);
}
void operator delete(void* p, size_t, std::align_val_t) noexcept {
    free_aligned(p);
}
void operator delete[](void* p, size_t, std::align_val_t) noexcept {
    free_aligned(p);
}
