#include "gif/image_data.h"

#include <cstring>

#include "gif/lzw/code_scan.h"
#include "gif/layout.h"
#include "gif/lzw/lzw_walker.h"
#include "gif/stream.h"

namespace {

using layout::max_sub_block;

// Whole sub-blocks gathered from the input buffer, not yet written.
struct gathered {
    std::size_t start;  // input position of the first length byte
    std::size_t end;    // input position after the last payload byte
    std::size_t blocks;
    std::size_t input_end[window_blocks];   // input position after each sub-block
    std::size_t window_end[window_blocks];  // window size after each sub-block
};

enum class gather_stop { more, terminator, need_input };

// Copies the payloads of the whole sub-blocks waiting in the input buffer
// into the window after its first `carry` bytes. Stops at the zero length
// byte (left unread), when the window is full, or at a sub-block that has
// not been read whole yet.
gather_stop gather(const image_data_io& io, gathered& g, std::size_t carry) {
    g.start = g.end = io.in.pos;
    g.blocks = 0;
    std::size_t fill = carry;
    while (g.blocks < window_blocks) {
        if (g.end == io.in.end) return gather_stop::need_input;
        std::size_t len = io.in.buf[g.end];
        if (len == 0) return gather_stop::terminator;
        if (io.in.end - g.end < 1 + len) return gather_stop::need_input;
        std::memcpy(io.window.bytes + fill, io.in.buf + g.end + 1, len);
        fill += len;
        g.end += 1 + len;
        g.input_end[g.blocks] = g.end;
        g.window_end[g.blocks] = fill;
        ++g.blocks;
    }
    return gather_stop::more;
}

std::size_t window_fill(const gathered& g, std::size_t carry) {
    return g.blocks ? g.window_end[g.blocks - 1] : carry;
}

// Writes the gathered sub-blocks up to input position `to`, where writing,
// and takes them from the input.
void take_gathered(const image_data_io& io, const gathered& g, std::size_t to, bool writing, image_data_seen& seen) {
    if (writing) write_out(io.out, io.in.buf + g.start, to - g.start);
    seen.bytes += to - g.start;
    io.in.pos = to;
}

// The input position after the sub-block whose payload holds window byte at.
std::size_t block_holding(const gathered& g, std::size_t at) {
    std::size_t j = 0;
    while (g.window_end[j] <= at) ++j;
    return g.input_end[j];
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
        gather_stop stop = gather(io, g, carry);
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
