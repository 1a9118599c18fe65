// Memory made resident with one call, where the system can: on some
// machines a page fault costs ten times what one call costs a page, and a
// rebuilt frame's buffers are written whole soon after they are made.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

#include <sys/mman.h>

// Faults in the whole pages of [p, p + n). A hint: where it fails, the
// pages fault in as they are first written.
inline void fault_in(void* p, std::size_t n) {
#ifdef MADV_POPULATE_WRITE
    std::uintptr_t page = 4096, from = reinterpret_cast<std::uintptr_t>(p);
    std::uintptr_t start = (from + page - 1) & ~(page - 1), end = (from + n) & ~(page - 1);
    if (start < end) madvise(reinterpret_cast<void*>(start), end - start, MADV_POPULATE_WRITE);
#else
    (void)p;
    (void)n;
#endif
}

// Room for an object that is written whole as it is made (zeroed buffers),
// faulted in at once: for a class's own operator new.
inline void* resident_new(std::size_t n) {
    void* p = ::operator new(n);
    fault_in(p, n);
    return p;
}
