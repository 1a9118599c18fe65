// Follows an LZW code stream as a decoder does, without making pixels: how
// many it gives, which colour indices they take, and where the stream stops
// being decodable. Browsers refuse a frame whose stream gives fewer pixels
// than the frame holds before its end code, its end, or a code that names
// an entry not made yet; this finds such frames and where they can be
// completed. It knows nothing of files or sub-blocks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gif/lzw/lzw_walker.h"

enum class pixels_stop {
    none,      // the stream has given fewer pixels than wanted so far
    full,      // it has given all the pixels wanted
    end_code,  // the end-of-information code came first
    bad_code,  // a code named an entry not made yet
};

struct lzw_pixels {
    // Registers of the decoder.
    int code_size;
    int width;          // bits of the next code
    unsigned clear_code;
    unsigned next;      // number of the next table entry
    int prev;           // previous code, -1 at the start or after a clear
    std::uint32_t acc;  // bits read and not yet taken, least significant first
    int bits;
    // What the stream gave.
    std::uint64_t want;
    std::uint64_t pixels;
    std::uint64_t bit;  // stream bits before the code that stopped it, or all whole codes
    pixels_stop stop;
    // Per table entry: its length and the index it starts with.
    std::uint16_t length[lzw_table_size];
    std::uint16_t first[lzw_table_size];
    std::uint64_t used[lzw_table_size / 64];  // indices the pixels take, a bit each
};

// Resets for a stream of the given minimum code size (0 to
// lzw_max_code_size) of a frame of `want` pixels.
void pixels_start(lzw_pixels& p, int code_size, std::uint64_t want);

// Takes the next n bytes of the stream; returns the stop, none while more
// can be taken.
pixels_stop pixels_take(lzw_pixels& p, const std::uint8_t* bytes, std::size_t n);

// The lowest index below 2^code_size that no pixel takes, -1 if none.
int unused_index(const lzw_pixels& p);
