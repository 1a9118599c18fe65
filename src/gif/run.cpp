#include "gif/run.h"

#include <cstdio>
#include <new>

namespace {

// Screens from this size on get the block: below it, a rebuild's first
// pages cost little, and the block more memory than the limit allows.
constexpr std::uint64_t least_block_pixels = std::uint64_t{1} << 18;
constexpr std::size_t state_bytes = (sizeof(rebuild_state) + 63) / 64 * 64;

// The second coder's codes: at most three quarters of a byte a pixel.
std::uint64_t most_codes(std::uint64_t pixels) { return pixels * 3 / 4; }

}  // namespace

rebuild_ptr make_rebuild_state(std::uint64_t screen_pixels) {
    // The canvas's indices and the second coder's codes must fit beside the state.
    bool fits = state_bytes + screen_pixels + most_codes(screen_pixels) <= rebuild_block_size;
    void* block = screen_pixels >= least_block_pixels && fits ? rebuild_block_new() : nullptr;
    if (!block) return rebuild_ptr(new rebuild_state());
    fault_in(block, state_bytes);
    auto* b = ::new (block) rebuild_state();
    b->room.at = static_cast<std::uint8_t*>(block) + state_bytes;
    b->room.size = rebuild_block_size - state_bytes;
    b->canvas.pixels = room_vector<std::uint32_t>(room_allocator<std::uint32_t>(&b->room));
    b->canvas.indices = room_vector<std::uint8_t>(room_allocator<std::uint8_t>(&b->room));
    b->second_codes = room_vector<std::uint8_t>(room_allocator<std::uint8_t>(&b->room));
    return rebuild_ptr(b);
}

void* spare_room(rebuild_state& b, std::size_t n) {
    std::uint64_t pixels = static_cast<std::uint64_t>(b.canvas.width) * static_cast<std::uint64_t>(b.canvas.height);
    if (!b.room.at || b.room.size - b.room.used < n + most_codes(pixels)) return nullptr;
    return room_take(&b.room, n);
}

void rebuild_state_end::operator()(rebuild_state* b) const {
    if (!b->room.at) {
        delete b;
        return;
    }
    b->~rebuild_state();
    rebuild_block_free(b);
}

void run_message(join_run& r, const char* line) {
    if (r.say)
        r.say(r.say_context, line);
    else
        std::printf("%s\n", line);
}

void run_warning(join_run& r, const char* line) {
    if (r.warn)
        r.warn(r.say_context, line);
    else
        std::fprintf(stderr, "%s\n", line);
}
