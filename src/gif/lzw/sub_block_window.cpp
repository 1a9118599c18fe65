#include "gif/lzw/sub_block_window.h"

#include <cstring>

gather_stop gather(const std::uint8_t* buf, std::size_t pos, std::size_t end, sub_block_window& w, gathered& g,
                   std::size_t carry) {
    g.start = g.end = pos;
    g.blocks = 0;
    std::size_t fill = carry;
    while (g.blocks < window_blocks) {
        if (g.end == end) return gather_stop::need_input;
        std::size_t len = buf[g.end];
        if (len == 0) return gather_stop::terminator;
        if (end - g.end < 1 + len) return gather_stop::need_input;
        std::memcpy(w.bytes + fill, buf + g.end + 1, len);
        fill += len;
        g.end += 1 + len;
        g.input_end[g.blocks] = g.end;
        g.window_end[g.blocks] = fill;
        ++g.blocks;
    }
    return gather_stop::more;
}

std::size_t block_holding(const gathered& g, std::size_t at) {
    std::size_t j = 0;
    while (g.window_end[j] <= at) ++j;
    return g.input_end[j];
}
