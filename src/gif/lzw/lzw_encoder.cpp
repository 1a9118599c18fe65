#include "gif/lzw/lzw_encoder.h"

#include <cstring>

#include "gif/lzw/lzw_walker.h"

namespace {

void clear_slots(lzw_encoder& e) { std::memset(e.key, 0, sizeof e.key); }

// The slot that holds, or would hold, the string of `prefix` and `index`.
std::size_t slot_of(const lzw_encoder& e, std::uint32_t key) {
    std::size_t at = (key * 2654435761u) % lzw_hash_slots;
    while (e.key[at] != 0 && e.key[at] != key) at = at + 1 == lzw_hash_slots ? 0 : at + 1;
    return at;
}

}  // namespace

void lzw_encode(lzw_encoder& e, int code_size, const std::uint8_t* indices, std::size_t n, code_sink& out) {
    const unsigned clear = 1u << code_size, end = clear + 1;
    int width = code_size + 1;
    unsigned next = clear + 2;  // the entry the decoder makes next
    clear_slots(e);
    out.put(clear, width);
    if (n > 0) {
        unsigned prefix = indices[0];
        for (std::size_t i = 1; i < n; ++i) {
            std::uint32_t key = (std::uint32_t{prefix} << 8 | indices[i]) + 1;
            std::size_t at = slot_of(e, key);
            if (e.key[at] == key) {  // the string goes on
                prefix = e.code[at];
                continue;
            }
            out.put(prefix, width);
            if (next < lzw_table_size) {
                e.key[at] = key;
                e.code[at] = static_cast<std::uint16_t>(next);
                // The decoder widens its codes once it has made the entry
                // the current width cannot name.
                if (next++ == (1u << width) && width < lzw_max_width) ++width;
            } else {  // the table is full: start it again
                out.put(clear, width);
                clear_slots(e);
                width = code_size + 1;
                next = clear + 2;
            }
            prefix = indices[i];
        }
        out.put(prefix, width);
        // The code just written made an entry in the decoder, which may have
        // widened its codes for the next.
        if (next < lzw_table_size && next++ == (1u << width) && width < lzw_max_width) ++width;
    }
    out.put(end, width);
    out.finish();
}
