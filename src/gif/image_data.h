// Copies one image's compressed data from the input to the output.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gif/lzw/code_scan.h"
#include "gif/lzw/sub_block_window.h"
#include "gif/layout.h"
#include "gif/output.h"
#include "gif/stream.h"

// Where the stream's bytes go as well, in order, as they are read: to a
// decoder that paints the frame, where one is given.
struct data_tap {
    void (*take)(void* context, const std::uint8_t* bytes, std::size_t n) = nullptr;
    void* context = nullptr;
};

// What the copy reads from, writes to and works in: the run's.
struct image_data_io {
    input_stream& in;
    output_stream& out;
    sub_block_window& window;
    data_tap tap = {};
};

// Copies the data sub-blocks, byte for byte, up to and including the one
// that holds the end-of-information code, then writes a single zero
// terminator; sub-blocks after that code are skipped. A stream without the
// code ends at its own terminator. When the input ends early, the whole
// sub-blocks read so far are kept and the terminator is written all the
// same. code_size is the minimum code size, 0 to lzw_max_code_size.
// Returns 1 when the image data was read to its terminator, 0 when the
// input ended first; fills *seen, where given, with what the codes held.
struct image_data_seen {
    int end_code = 0;     // the end-of-information code came
    int unmade_code = 0;  // a code before it named a table entry not made yet
    std::uint64_t bytes = 0;  // sub-block bytes copied, length bytes included
};
int image_data_copy(const image_data_io& io, int code_size, image_data_seen* seen = nullptr);

// Reads the image data as image_data_copy does, and writes nothing.
int image_data_skip(const image_data_io& io, int code_size, image_data_seen* seen = nullptr);
