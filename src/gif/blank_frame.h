// A frame whose minimum code size browsers do not take (below 2 or above
// 8) is refused whole, and the animation stops there. Such a frame goes
// out with its control block, descriptor and table, but its data becomes a
// run of one transparent index: it shows nothing, and the canvas stays as
// it was under it.
#pragma once

#include <cstdint>

#include "gif/output.h"

// Whether browsers decode frames of this minimum code size.
bool browsers_decode(int code_size);

struct blank_data {
    int code_size;   // the blank data's minimum code size
    unsigned index;  // the one index its pixels take
};

// Makes the frame's control block (its 8 bytes) call an index transparent:
// its own transparent index where it has one, else 0. Returns that index
// and the smallest code size that can name it.
blank_data make_blank(std::uint8_t* control);

// Whether `pixels` of blank data fit the allowance of a frame whose own
// data took data_bytes.
bool blank_fits(const blank_data& b, std::uint64_t pixels, std::uint64_t data_bytes);

// Writes `pixels` of blank data and the terminator.
void write_blank_data(output_stream& o, const blank_data& b, std::uint64_t pixels);
