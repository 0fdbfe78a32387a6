// Replaces the global operator new/delete of the test program with counting versions.
#include "live_bytes.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace {

std::atomic<std::int64_t> g_liveBytes{0};
// Each block carries its size in front, at an offset that keeps the block suitably aligned.
constexpr std::size_t kHeaderBytes = alignof(std::max_align_t);

void* allocate(std::size_t size) noexcept {
    void* block = std::malloc(size + kHeaderBytes);
    if (!block)
        return nullptr;
    *static_cast<std::size_t*>(block) = size;
    g_liveBytes += static_cast<std::int64_t>(size);
    return static_cast<char*>(block) + kHeaderBytes;
}

void release(void* pointer) noexcept {
    if (!pointer)
        return;
    void* block = static_cast<char*>(pointer) - kHeaderBytes;
    g_liveBytes -= static_cast<std::int64_t>(*static_cast<std::size_t*>(block));
    std::free(block);
}

} // namespace

namespace tavrel::test {
std::int64_t liveHeapBytes() {
    return g_liveBytes.load();
}
} // namespace tavrel::test

void* operator new(std::size_t size) {
    if (void* p = allocate(size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void operator delete(void* p) noexcept {
    release(p);
}
void operator delete[](void* p) noexcept {
    release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    release(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    release(p);
}
