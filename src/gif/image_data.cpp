#include "gif/image_data.h"

#include <cstring>

#include "gif/lzw/code_scan.h"
#include "gif/layout.h"
#include "gif/lzw/lzw_walker.h"
#include "gif/lzw/sub_block_window.h"
#include "gif/stream.h"

namespace {

// Writes the gathered sub-blocks up to input position `to`, where writing,
// and takes them from the input.
void take_gathered(const image_data_io& io, const gathered& g, std::size_t to, bool writing, image_data_seen& seen) {
    if (writing) write_out(io.out, io.in.buf + g.start, to - g.start);
    seen.bytes += to - g.start;
    io.in.pos = to;
}

int end_image(const image_data_io& io, int complete, bool writing) {
    if (writing) write_out(io.out, &layout::block_terminator, 1);
    return complete;
}

// Makes the next sub-block wait whole in the input buffer. Returns 0, with
// the input all taken, when it ends first.
int fill_next_block(const image_data_io& io) {
    if (input_fill(io.in, 1) == 0) return 0;
    std::size_t need = 1 + std::size_t{io.in.buf[io.in.pos]};
    if (input_fill(io.in, need) >= need) return 1;
    io.in.pos = io.in.end;
    return 0;
}

// Follows the data sub-blocks to the end code or the terminator, writing
// them where `writing`.
int pass_image_data(const image_data_io& io, int code_size, bool writing, image_data_seen& seen) {
    lzw_walker walker;
    lzw_start(walker, code_size);
    std::size_t carry = 0, bit = 0;
    gathered g;
    seen = image_data_seen{};
    for (;;) {
        gather_stop stop = gather(io.in.buf, io.in.pos, io.in.end, io.window, g, carry);
        std::size_t fill = window_fill(g, carry);
        if (io.tap.take && fill > carry) io.tap.take(io.tap.context, io.window.bytes + carry, fill - carry);
        lzw_stop s = lzw_walk(walker, io.window.bytes, bit, fill * 8);
        seen.end_code = s.ended;
        seen.unmade_code = walker.met_unmade;
        if (s.ended) {
            // Everything up to the sub-block that holds the end code's last
            // bit goes out; the sub-blocks after it are dropped.
            take_gathered(io, g, block_holding(g, (s.bit - 1) >> 3), writing, seen);
            return end_image(io, skip_sub_blocks(io.in), writing);
        }
        take_gathered(io, g, g.end, writing, seen);
        carry = fill - (s.bit >> 3);
        std::memmove(io.window.bytes, io.window.bytes + (s.bit >> 3), carry);
        bit = s.bit & 7;
        if (stop == gather_stop::terminator) {
            ++io.in.pos;
            return end_image(io, 1, writing);
        }
        if (stop == gather_stop::need_input && !fill_next_block(io)) return end_image(io, 0, writing);
    }
}

}  // namespace

int image_data_copy(const image_data_io& io, int code_size, image_data_seen* seen) {
    image_data_seen own;
    return pass_image_data(io, code_size, true, seen ? *seen : own);
}

int image_data_skip(const image_data_io& io, int code_size, image_data_seen* seen) {
    image_data_seen own;
    return pass_image_data(io, code_size, false, seen ? *seen : own);
}
