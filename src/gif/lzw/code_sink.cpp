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

void code_sink::append(const std::uint8_t* b, std::size_t n, std::uint32_t last, int last_bits) {
    if (bits == 0) {
        put_bytes(b, n);
    } else {
        // Each byte moves up by the bits waiting here, a stage at a time.
        std::uint8_t stage[1024];
        unsigned carry = acc, shift = static_cast<unsigned>(bits);
        acc = 0;
        bits = 0;
        while (n > 0) {
            std::size_t k = std::min(n, sizeof stage);
            for (std::size_t i = 0; i < k; ++i) {
                stage[i] = static_cast<std::uint8_t>(b[i] << shift | carry);
                carry = b[i] >> (8 - shift);
            }
            put_bytes(stage, k);
            b += k;
            n -= k;
        }
        acc = carry;
        bits = static_cast<int>(shift);
    }
    if (last_bits > 0) put(last & ((1u << last_bits) - 1), last_bits);
}

void code_sink::finish() {
    if (bits > 0) put_byte(static_cast<std::uint8_t>(acc));
    bits = 0;
    acc = 0;
    end_block();
}
