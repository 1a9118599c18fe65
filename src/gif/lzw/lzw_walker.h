// Follows an LZW code stream just far enough to find where it ends: tracks
// clear codes, the end-of-information code and the growth of the code
// width, and counts table entries without producing any pixels. It knows
// nothing of files or sub-blocks: it walks a contiguous run of stream bits.
//
// The width changes only when the entry just made is the last one the
// width can name, so between a clear code and the next width change the
// position of every code is known before any is read. The walker takes
// such runs whole and only looks for the first clear or end code in them,
// and for the first code that names an entry not made yet, which makes the
// rest of the stream undecodable; it is noted and the walk goes on.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int lzw_max_code_size = 11;  // larger minimum code sizes cannot be walked
constexpr int lzw_max_width = 12;
constexpr int lzw_table_size = 4096;

struct lzw_walker {
    int code_size;             // the minimum code size
    int coded_size;            // current code width in bits
    std::uint32_t coded_mask;  // 2^coded_size - 1
    int clear_code;
    int end_info_code;
    int table_ptr;             // number of the next table entry
    int coded_prev;            // previous code, -1 at the start or after a clear
    bool checks_entries;       // whether codes are still tested against the entries made
    int met_unmade;            // 1 once a code named an entry not made yet
};

// The most pixels that data_bytes of a stream of this minimum code size can
// give: n codes of at least code_size + 1 bits name at most n(n+1)/2 pixels
// (each code at most one pixel more than the one before it since the last
// clear) and at most lzw_table_size a code.
std::uint64_t lzw_most_pixels(int code_size, std::uint64_t data_bytes);

// Resets the registers for a new image; code_size is 0 to lzw_max_code_size.
// Codes that name entries not made yet are looked for from code size 2 on.
void lzw_start(lzw_walker& w, int code_size);

struct lzw_stop {
    std::size_t bit;  // just after the last code taken
    int ended;        // 1 when that code was the end-of-information code
};

// Takes the whole codes that lie in bits [bit, end_bit) of p, least
// significant bit first, and stops early after the end-of-information code.
// p must stay readable for scan_slack bytes past the byte that holds bit
// end_bit - 1; what those bytes hold does not matter.
lzw_stop lzw_walk(lzw_walker& w, const std::uint8_t* p, std::size_t bit, std::size_t end_bit);
