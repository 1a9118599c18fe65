// Image data of one colour index repeated, coded in constant memory: after a
// clear code the first code is the index itself, and every code after it
// names the entry the decoder is about to make, a run one pixel longer than
// the one before, so the run doubles as its own dictionary. Codes follow the
// decoder's width, and a clear starts over once the table is full.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gif/lzw/code_sink.h"

// Codes a clear, `pixels` pixels of `index` and the end code for a stream
// of minimum code size code_size whose decoder reads codes of `width` bits
// at this point (code_size + 1 at the start of a stream).
void encode_run(int code_size, int width, unsigned index, std::uint64_t pixels, code_sink& out);

// The sub-block bytes encode_run gives at the start of a stream, or some
// number above limit when they are more than limit; counting stops there, so
// that a vast run costs no more to weigh than a small one.
std::uint64_t run_size(int code_size, std::uint64_t pixels, std::uint64_t limit);
