// Image data of one colour index repeated, coded in constant memory: after a
// clear code the first code is the index itself, and every code after it
// names the entry the decoder is about to make, a run one pixel longer than
// the one before, so the run doubles as its own dictionary. Codes follow the
// decoder's width, and a clear starts over once the table is full.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gif/layout.h"
#include "gif/output.h"

// Packs codes into data sub-blocks and writes them to the output; counts
// their bytes instead where there is no output.
struct code_sink {
    output_stream* out = nullptr;  // where the sub-blocks go; none: they are counted
    std::uint64_t bytes = 0;  // sub-block bytes so far, length bytes included
    std::uint64_t limit = UINT64_MAX;  // when counting: stop once past this many
    std::uint32_t acc = 0;    // bits not yet written, least significant first
    int bits = 0;
    std::uint8_t block[1 + layout::max_sub_block] = {};
    std::size_t fill = 0;

    void put(unsigned code, int width);
    // Writes the last bits and the last sub-block (not the terminator).
    void finish();

private:
    void put_byte(std::uint8_t b);
    void end_block();
};

// Codes a clear, `pixels` pixels of `index` and the end code for a stream
// of minimum code size code_size whose decoder reads codes of `width` bits
// at this point (code_size + 1 at the start of a stream).
void encode_run(int code_size, int width, unsigned index, std::uint64_t pixels, code_sink& out);

// The sub-block bytes encode_run gives at the start of a stream, or some
// number above limit when they are more than limit; counting stops there, so
// that a vast run costs no more to weigh than a small one.
std::uint64_t run_size(int code_size, std::uint64_t pixels, std::uint64_t limit);
