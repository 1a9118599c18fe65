#include "gif/lzw/lzw_encoder.h"

#include <cstring>

#include "gif/lzw/lzw_walker.h"

namespace {

void clear_slots(lzw_encoder& e) { std::memset(e.key, 0, sizeof e.key); }

// The slot that holds, or would hold, the string of `prefix` and `index`.
std::size_t slot_of(const lzw_encoder& e, std::uint32_t key) {
    std::size_t at = (key * 2654435761u) >> 18;  // the top 14 bits
    while (e.key[at] != 0 && e.key[at] != key) at = (at + 1) & (lzw_hash_slots - 1);
    return at;
}

void start_table(lzw_encoder& e) {
    clear_slots(e);
    e.width = e.code_size + 1;
    e.next = (1u << e.code_size) + 2;
}

// The decoder makes an entry for each code after the first; it widens its
// codes once it has made the entry the current width cannot name.
void entry_made(lzw_encoder& e) {
    if (e.next++ == (1u << e.width) && e.width < lzw_max_width) ++e.width;
}

}  // namespace

void encoder_start(lzw_encoder& e, int code_size, code_sink& out) {
    e.out = &out;
    e.code_size = code_size;
    e.prefix = -1;
    start_table(e);
    out.put(1u << code_size, e.width);
}

void encoder_take(lzw_encoder& e, const std::uint8_t* indices, std::size_t n) {
    std::size_t i = 0;
    if (n > 0 && e.prefix < 0) e.prefix = indices[i++];
    unsigned prefix = static_cast<unsigned>(e.prefix);
    for (; i < n; ++i) {
        std::uint32_t key = (std::uint32_t{prefix} << 8 | indices[i]) + 1;
        std::size_t at = slot_of(e, key);
        if (e.key[at] == key) {  // the string goes on
            prefix = e.code[at];
            continue;
        }
        e.out->put(prefix, e.width);
        if (e.next < lzw_table_size) {
            e.key[at] = key;
            e.code[at] = static_cast<std::uint16_t>(e.next);
            entry_made(e);
        } else {  // the table is full: start it again
            e.out->put(1u << e.code_size, e.width);
            start_table(e);
        }
        prefix = indices[i];
    }
    if (e.prefix >= 0) e.prefix = static_cast<int>(prefix);
}

void encoder_finish(lzw_encoder& e) {
    if (e.prefix >= 0) {
        e.out->put(static_cast<unsigned>(e.prefix), e.width);
        // The code just written made an entry in the decoder, which may have
        // widened its codes for the next.
        if (e.next < lzw_table_size) entry_made(e);
    }
    e.out->put((1u << e.code_size) + 1, e.width);
    e.out->finish();
}
