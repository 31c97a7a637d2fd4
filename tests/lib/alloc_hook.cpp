// The allocation watch behind the no-allocation test and the TGA loader's memory
// test. Without a sanitizer the C allocator is interposed (forwarded to glibc's own)
// and operator new replaced; under AddressSanitizer, which owns malloc, its allocation
// hook watches instead, and sees only the requests that succeeded (one that fails
// makes the sanitizer report running out of memory and abort, which fails a test
// just as well).
#include "alloc_hook.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstddef>
#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define MARROWBY_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MARROWBY_ASAN 1
#endif
#endif

namespace {

std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
std::atomic<size_t> largest{0};

void noteAllocation(size_t size) {
    if (counting.load(std::memory_order_relaxed)) {
        allocations.fetch_add(1, std::memory_order_relaxed);
        size_t seen = largest.load(std::memory_order_relaxed);
        while (size > seen && !largest.compare_exchange_weak(seen, size)) {
        }
    }
}

void startCounting() {
    allocations = 0;
    largest = 0;
    counting = true;
}

} // namespace

#ifdef MARROWBY_ASAN
// The sanitizer runtime's allocation hooks (gcc ships no header declaring them).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*,
                                                                          size_t),
                                                         void (*onFree)(const volatile void*));

namespace {

void onMalloc(const volatile void*, size_t size) {
    noteAllocation(size);
}

void onFree(const volatile void*) {}

// Every allocation, new included, goes through the sanitizer's allocator.
const int hooksInstalled = __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree);

} // namespace

void startCountingAllocations() {
    (void)hooksInstalled;
    startCounting();
}

#else

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* p, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* p);

// glibc lets a program replace malloc, calloc, realloc and free together; all
// four forward to glibc's own, so memory from either side may be freed by the other.
void* malloc(size_t size) noexcept {
    noteAllocation(size);
    return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) noexcept {
    // A product past size_t is a request no allocator can meet: the largest there is.
    noteAllocation(size && count > SIZE_MAX / size ? SIZE_MAX : count * size);
    return __libc_calloc(count, size);
}

void* realloc(void* p, size_t size) noexcept {
    noteAllocation(size);
    return __libc_realloc(p, size);
}

void free(void* p) noexcept {
    __libc_free(p);
}

void* aligned_alloc(size_t alignment, size_t size) noexcept {
    noteAllocation(size);
    return __libc_memalign(alignment, size);
}

void* memalign(size_t alignment, size_t size) noexcept {
    noteAllocation(size);
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** out, size_t alignment, size_t size) noexcept {
    noteAllocation(size);
    void* p = __libc_memalign(alignment, size);
    if (!p) {
        return ENOMEM;
    }
    *out = p;
    return 0;
}
}

// operator new is counted through malloc above; replacing it here keeps that
// true whatever the C++ runtime's own new would call.
void* operator new(size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p) {
        throw std::bad_alloc();
    }
    return p;
}

void* operator new[](size_t size) {
    return operator new(size);
}

void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size ? size : 1);
}

void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size ? size : 1);
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

void startCountingAllocations() {
    startCounting();
}

#endif

long stopCountingAllocations() {
    counting = false;
    return allocations.load();
}

size_t largestAllocationRequest() {
    return largest.load();
}
