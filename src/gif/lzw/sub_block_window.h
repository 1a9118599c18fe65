// Reads data sub-blocks for the walker and the decoder: the payloads of up
// to window_blocks whole sub-blocks, taken from a buffer of read bytes,
// are laid end to end in the window, behind the few bytes whose bits the
// last walk left untaken, so that the codes are one contiguous stream. It
// knows nothing of files: it takes the bytes a reader has buffered.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gif/layout.h"
#include "gif/lzw/code_scan.h"

constexpr std::size_t window_blocks = 64;
constexpr std::size_t window_carry = 4;  // an untaken part-code spans at most 3 bytes
constexpr std::size_t window_size = window_carry + window_blocks * layout::max_sub_block + scan_slack;

struct sub_block_window {
    std::uint8_t bytes[window_size];
};

// Whole sub-blocks gathered from the buffer.
struct gathered {
    std::size_t start;  // buffer position of the first length byte
    std::size_t end;    // buffer position after the last payload byte
    std::size_t blocks;
    std::size_t input_end[window_blocks];   // buffer position after each sub-block
    std::size_t window_end[window_blocks];  // window size after each sub-block
};

enum class gather_stop {
    more,        // the window is full: more sub-blocks follow
    terminator,  // the zero length byte is next (left unread)
    need_input,  // the next sub-block is not in the buffer whole
};

// Copies the payloads of the whole sub-blocks in buf[pos, end) into the
// window after its first `carry` bytes.
gather_stop gather(const std::uint8_t* buf, std::size_t pos, std::size_t end, sub_block_window& w, gathered& g,
                   std::size_t carry);

// The window's size after the gathered sub-blocks.
inline std::size_t window_fill(const gathered& g, std::size_t carry) {
    return g.blocks ? g.window_end[g.blocks - 1] : carry;
}

// The buffer position after the sub-block whose payload holds window byte at.
std::size_t block_holding(const gathered& g, std::size_t at);
