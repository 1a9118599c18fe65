#include "gif/blank_frame.h"

#include "gif/code_output.h"
#include "gif/layout.h"
#include "gif/output.h"
#include "gif/lzw/run_code.h"

namespace {

using namespace layout;

// As for completed frames: the blank data may take this much more than
// the frame's own data.
constexpr std::uint64_t blank_allowance = 16 * 1024;

}  // namespace

bool browsers_decode(int code_size) { return code_size >= 2 && code_size <= 8; }

blank_data make_blank(std::uint8_t* control) {
    unsigned index = control[frame_control_packed] & control_transparent ? control[frame_control_index] : 0;
    control[frame_control_packed] |= control_transparent;
    control[frame_control_index] = static_cast<std::uint8_t>(index);
    int code_size = 2;
    while ((1u << code_size) <= index) ++code_size;
    return {code_size, index};
}

bool blank_fits(const blank_data& b, std::uint64_t pixels, std::uint64_t data_bytes) {
    std::uint64_t allowed = data_bytes + blank_allowance;
    return run_size(b.code_size, pixels, allowed) <= allowed;
}

void write_blank_data(output_stream& o, const blank_data& b, std::uint64_t pixels) {
    code_sink sink = sink_to(o);
    encode_run(b.code_size, b.code_size + 1, b.index, pixels, sink);
    write_out(o, &block_terminator, 1);
}
