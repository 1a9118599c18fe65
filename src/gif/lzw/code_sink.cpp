#include "gif/lzw/code_sink.h"

#include <algorithm>
#include <cstring>

void code_sink::end_block() {
    if (fill == 0) return;
    bytes += 1 + fill;
    if (to.write) {
        block[0] = static_cast<std::uint8_t>(fill);
        to.write(to.context, block, 1 + fill);
    }
    fill = 0;
}

void code_sink::put_bytes(const std::uint8_t* b, std::size_t n) {
    while (n > 0) {
        std::size_t k = std::min(n, layout::max_sub_block - fill);
        std::memcpy(block + 1 + fill, b, k);
        fill += k;
        b += k;
        n -= k;
        if (fill == layout::max_sub_block) end_block();
    }
}

void code_sink::finish() {
    if (bits > 0) put_byte(static_cast<std::uint8_t>(acc));
    bits = 0;
    acc = 0;
    end_block();
}
