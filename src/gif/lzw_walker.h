// Follows an LZW code stream just far enough to find where it ends: reads
// codes of the current width, tracks clear codes, the end-of-information
// code and the growth of the code width, and counts table entries without
// producing any pixels. It knows nothing of files or sub-blocks: it is fed
// the stream's bytes in pieces of any size.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int lzw_max_code_size = 11;  // larger minimum code sizes cannot be walked
constexpr int lzw_max_width = 12;
constexpr int lzw_table_size = 4096;

struct lzw_walker {
    int code_size;           // the minimum code size
    int coded_size;          // current code width in bits
    std::uint32_t coded_mask;  // 2^coded_size - 1
    int clear_code;
    int end_info_code;
    int table_ptr;           // number of the next table entry
    int coded_prev;          // previous code, -1 at the start or after a clear
    std::uint32_t temp_data;   // bit accumulator, least significant bit first
    int data_bits;           // bits pending in temp_data
};

// Resets the registers for a new image; code_size is 0 to lzw_max_code_size.
void lzw_start(lzw_walker& w, int code_size);

// Takes the codes in the next n bytes of the stream. Returns 1 as soon as
// the end-of-information code has been read (the bytes after it are not
// looked at), else 0 and the walker waits for more bytes.
int lzw_walk(lzw_walker& w, const std::uint8_t* p, std::size_t n);
