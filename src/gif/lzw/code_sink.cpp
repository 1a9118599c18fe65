#include "gif/lzw/code_sink.h"

void code_sink::end_block() {
    if (fill == 0) return;
    bytes += 1 + fill;
    if (to.write) {
        block[0] = static_cast<std::uint8_t>(fill);
        to.write(to.context, block, 1 + fill);
    }
    fill = 0;
}

void code_sink::finish() {
    if (bits > 0) put_byte(static_cast<std::uint8_t>(acc));
    bits = 0;
    acc = 0;
    end_block();
}
