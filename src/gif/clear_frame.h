// A frame of the program's own that clears a rectangle of the canvas: fully
// transparent, so it changes nothing while it is shown, and disposed of by
// clearing its rectangle to transparent. It is written in constant memory
// whatever its size.
#pragma once

#include <cstdint>

#include "gif/output.h"

struct clear_area {
    int left, top, width, height;  // on the canvas; each fits 16 bits, width and height > 0
};

// The bytes write_clear_frame writes for an area of that many pixels, or
// some number above limit when they are more.
std::uint64_t clear_frame_size(std::uint64_t pixels, std::uint64_t limit);

// Writes the frame: control block with the delay, descriptor, a table of
// two entries and image data that gives every pixel the transparent index.
void write_clear_frame(output_stream& o, const clear_area& area, int delay);
