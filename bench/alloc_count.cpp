// The C library's allocator, replaced by thin wrappers that count and hand on to
// its own entry points. glibc lets a program replace malloc this way, and every
// allocation of the process (operator new, fopen's buffer, strdup) goes through
// these, so nothing escapes the count.
#include "alloc_count.h"

#include <cerrno>
#include <cstddef>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* block);
}

namespace {

bool counting = false;
long allocations = 0;

inline void Count() {
    if (counting) ++allocations;
}

}  // namespace

namespace alloccount {

void Start() {
    allocations = 0;
    counting = true;
}

long Stop() {
    counting = false;
    return allocations;
}

}  // namespace alloccount

extern "C" {

void* malloc(size_t size) {
    Count();
    return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) {
    Count();
    return __libc_calloc(count, size);
}

void* realloc(void* block, size_t size) {
    Count();
    return __libc_realloc(block, size);
}

void* memalign(size_t alignment, size_t size) {
    Count();
    return __libc_memalign(alignment, size);
}

void* aligned_alloc(size_t alignment, size_t size) {
    Count();
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** out, size_t alignment, size_t size) {
    Count();
    void* block = __libc_memalign(alignment, size);
    if (block == nullptr) return ENOMEM;
    *out = block;
    return 0;
}

void free(void* block) { __libc_free(block); }

}  // extern "C"
