// Image data coded straight into the output: a code sink whose sub-blocks
// are written to an output stream.
#pragma once

#include "gif/lzw/code_sink.h"
#include "gif/output.h"

inline void write_sub_block(void* out, const std::uint8_t* block, std::size_t n) {
    write_out(*static_cast<output_stream*>(out), block, n);
}

inline code_sink sink_to(output_stream& out) {
    code_sink s;
    s.to = {write_sub_block, &out};
    return s;
}
