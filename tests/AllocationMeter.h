// An allocation meter for a test program: every operator new of the program that includes
// this (once) passes here, so a test can bound the heap a reader takes without timing it.
#pragma once

#include <malloc.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace {
std::atomic<std::size_t> gLive{0}, gPeak{0}, gTotal{0};

std::size_t UsableSize(void* p) {
#ifdef _WIN32
    return _msize(p);
#else
    return malloc_usable_size(p);
#endif
}

void* Counted(std::size_t n) {
    void* p = std::malloc(n == 0 ? 1 : n);
    if (p == nullptr) throw std::bad_alloc();
    const std::size_t size = UsableSize(p);
    const std::size_t live = gLive += size;
    gTotal += size;
    for (std::size_t peak = gPeak; live > peak && !gPeak.compare_exchange_weak(peak, live);) {
    }
    return p;
}
void Uncounted(void* p) noexcept {
    if (p == nullptr) return;
    gLive -= UsableSize(p);
    std::free(p);
}
}  // namespace

void* operator new(std::size_t n) { return Counted(n); }
void* operator new[](std::size_t n) { return Counted(n); }
void operator delete(void* p) noexcept { Uncounted(p); }
void operator delete[](void* p) noexcept { Uncounted(p); }
void operator delete(void* p, std::size_t) noexcept { Uncounted(p); }
void operator delete[](void* p, std::size_t) noexcept { Uncounted(p); }
// The library's temporary buffers (stable_sort) take the nothrow form; it must free alike.
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    try {
        return Counted(n);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
    try {
        return Counted(n);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* p, const std::nothrow_t&) noexcept { Uncounted(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Uncounted(p); }
