#include "gif/clear_frame.h"

#include <cstring>

#include "gif/code_output.h"
#include "gif/layout.h"
#include "gif/output.h"
#include "gif/lzw/run_code.h"

namespace {

using namespace layout;

constexpr int run_code_size = 2;  // the smallest a GIF allows

// Control block, descriptor with a two-entry table and the minimum code
// size: everything before the data sub-blocks.
constexpr std::size_t head_size = frame_control_size + 1 + image_descriptor_size + 2 * entry_size + 1;

}  // namespace

std::uint64_t clear_frame_size(std::uint64_t pixels, std::uint64_t limit) {
    return head_size + run_size(run_code_size, pixels, limit) + 1;
}

void write_clear_frame(output_stream& o, const clear_area& area, int delay) {
    std::uint8_t head[head_size] = {};
    std::memcpy(head, frame_control_template, frame_control_size);
    head[frame_control_packed] = disposal_clear << control_disposal_shift | control_transparent;
    put_u16(head + frame_control_delay, delay);
    // A local table of two entries, both black.
    put_image_start(head + frame_control_size, area.left, area.top, area.width, area.height, table_flag);
    head[head_size - 1] = run_code_size;
    write_out(o, head, head_size);
    code_sink sink = sink_to(o);
    encode_run(run_code_size, run_code_size + 1, 0, std::uint64_t(area.width) * std::uint64_t(area.height), sink);
    write_out(o, &block_terminator, 1);
}
