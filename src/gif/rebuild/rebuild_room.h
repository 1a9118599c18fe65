// Room for a rebuild's state and the buffers it keeps (the canvas, the
// second coder's codes), in one block of 2 MiB aligned so that the system
// may back it with a single huge page. Where a page fault costs tens of
// microseconds, as in some virtual machines, the 150 or so pages that a
// 640x480 rebuild writes first cost more than a millisecond, and the block
// a tenth of that. Buffers take the room in turn and give it back only
// with the whole block: it serves what a run keeps, and a buffer that does
// not fit any more is made as any other. One thread at a time takes room.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr std::size_t rebuild_block_size = std::size_t{2} << 20;

struct rebuild_room {
    std::uint8_t* at = nullptr;  // none: buffers are made as any other
    std::size_t size = 0;
    std::size_t used = 0;
};

// A block of rebuild_block_size bytes aligned to its size, advised for a
// huge page; null where none can be mapped.
void* rebuild_block_new();
void rebuild_block_free(void* block);

// n bytes of the room, null where they do not fit; whether p lies in it.
void* room_take(rebuild_room* room, std::size_t n);
bool in_room(const rebuild_room* room, const void* p);

template <typename T>
struct room_allocator {
    using value_type = T;
    // The room goes with the buffer it holds.
    using propagate_on_container_move_assignment = std::true_type;
    using propagate_on_container_swap = std::true_type;
    using propagate_on_container_copy_assignment = std::true_type;

    rebuild_room* room = nullptr;

    room_allocator() = default;
    explicit room_allocator(rebuild_room* r) : room(r) {}
    template <typename U>
    room_allocator(const room_allocator<U>& other) : room(other.room) {}

    T* allocate(std::size_t n) {
        if (void* p = room_take(room, n * sizeof(T))) return static_cast<T*>(p);
        return static_cast<T*>(::operator new(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t) {
        if (!in_room(room, p)) ::operator delete(p);
    }
    template <typename U>
    bool operator==(const room_allocator<U>& other) const { return room == other.room; }
    template <typename U>
    bool operator!=(const room_allocator<U>& other) const { return room != other.room; }
};

template <typename T>
using room_vector = std::vector<T, room_allocator<T>>;
