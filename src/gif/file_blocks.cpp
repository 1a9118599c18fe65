#include "gif/file_blocks.h"

#include <algorithm>
#include <cstring>

#include "gif/layout.h"
#include "gif/screen_scan.h"
#include "gif/stream.h"

namespace {

using namespace layout;

constexpr std::size_t header_size = signature_size + version_size + screen_size;

// The size the file shows alone: browsers grow its screen to its first
// image where that reaches beyond it. The image is looked for in the bytes
// that wait after the header, without taking them. Only --fit and
// selections need it: a pipe is not read ahead otherwise.
void grow_to_first_image(join_run& r, int width, int height, screen_info& screen) {
    std::size_t waiting = input_fill(r.in, first_image_window);
    int right, bottom;
    bool found = first_image_extent(r.in.buf + r.in.pos, waiting, right, bottom);
    screen.width = found ? std::min(max_position, std::max(width, right)) : width;
    screen.height = found ? std::min(max_position, std::max(height, bottom)) : height;
}

// Skips one extension after its introducer. A graphic control extension
// leaves its fields for the next image; a plain text extension takes them
// for itself. Every extension is a chain of sub-blocks, which also carries
// the pass over labels it does not know. Returns 0 when the input ended.
int skip_extension(join_run& r, frame_control& pending) {
    int label = read_byte(r.in);
    if (label < 0) return 0;
    if (label == label_plain_text) pending = frame_control{};
    if (label != label_graphic_control) return skip_sub_blocks(r.in);
    int len = read_byte(r.in);
    if (len <= 0) return len == 0;
    if (!read_exact(r.in, r.data, static_cast<std::size_t>(len))) return 0;
    if (static_cast<std::size_t>(len) >= control_data_size)
        pending = frame_control{1, r.data[control_packed], r.data[control_index], get_u16(r.data + control_delay)};
    return skip_sub_blocks(r.in);
}

}  // namespace

int read_file_header(join_run& r, screen_info& screen, bool grows, std::size_t& table_size) {
    if (!read_exact(r.in, r.data, signature_size) || std::memcmp(r.data, "GIF", signature_size) != 0)
        return 0;
    if (!read_exact(r.in, r.data + signature_size, header_size - signature_size)) return 0;
    const std::uint8_t* screen_desc = r.data + signature_size + version_size;
    std::uint8_t packed = screen_desc[screen_packed];
    screen.size_field = packed & table_size_field;
    screen.glob_color_size = table_entries(packed);
    table_size = (packed & table_flag) ? entry_size * screen.glob_color_size : 0;
    if (!read_exact(r.in, r.data + header_size, table_size)) return 0;
    if (table_size) save_global_table(r, r.data + header_size, screen.glob_color_size);
    int width = get_u16(screen_desc + screen_width), height = get_u16(screen_desc + screen_height);
    screen.width = width;
    screen.height = height;
    if (grows) grow_to_first_image(r, width, height, screen);
    return 1;
}

int run_delay_of(const join_run& r, int role) {
    return role == role_last ? r.settings.loop_end_delay : r.settings.loop_delay;
}

int read_block(join_run& r, int role, const screen_info& screen, pass_state* pass, block_place& at) {
    int introducer = read_byte(r.in);
    if (introducer == extension) return skip_extension(r, at.pending);
    if (introducer != image_separator) return 0;  // trailer, end of input, or a byte that starts no block
    if (pass && pass_done(*pass)) return 0;
    int delay = r.settings.keep_delays ? at.pending.delay : run_delay_of(r, role);
    std::uint64_t before = output_position(r.out);
    int go_on = pass ? pass_image(r, *pass, delay, at.pending, screen) : reframe_image(r, delay, at.pending, screen);
    if (output_position(r.out) > before && at.frames.count++ == 0) at.frames.first_delay = delay;
    at.pending = frame_control{};
    return go_on;
}
