#include "gif/rebuild/rebuild_room.h"

#if defined(__linux__) && !defined(__EMSCRIPTEN__)
#include <sys/mman.h>
#endif

namespace {

constexpr std::size_t room_alignment = 64;

}  // namespace

#if defined(__linux__) && !defined(__EMSCRIPTEN__) && defined(MADV_HUGEPAGE)

// Maps twice the size and keeps the aligned half: only a block aligned to
// its size can be one huge page.
void* rebuild_block_new() {
    void* mapped = mmap(nullptr, 2 * rebuild_block_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return nullptr;
    auto start = reinterpret_cast<std::uintptr_t>(mapped);
    std::uintptr_t block = (start + rebuild_block_size - 1) & ~(std::uintptr_t{rebuild_block_size} - 1);
    if (block > start) munmap(mapped, block - start);
    std::uintptr_t end = start + 2 * rebuild_block_size, block_end = block + rebuild_block_size;
    if (end > block_end) munmap(reinterpret_cast<void*>(block_end), end - block_end);
    madvise(reinterpret_cast<void*>(block), rebuild_block_size, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(block);
}

void rebuild_block_free(void* block) { munmap(block, rebuild_block_size); }

#else

void* rebuild_block_new() { return nullptr; }
void rebuild_block_free(void*) {}

#endif

void* room_take(rebuild_room* room, std::size_t n) {
    if (!room || !room->at || n > room->size - room->used) return nullptr;
    void* p = room->at + room->used;
    room->used += (n + room_alignment - 1) / room_alignment * room_alignment;
    if (room->used > room->size) room->used = room->size;
    return p;
}

bool in_room(const rebuild_room* room, const void* p) {
    if (!room || !room->at) return false;
    auto at = reinterpret_cast<std::uintptr_t>(p), start = reinterpret_cast<std::uintptr_t>(room->at);
    return at >= start && at < start + room->size;
}
