#include "gif/frame.h"

#include <algorithm>
#include <cstring>

#include "gif/blank_frame.h"
#include "gif/canvas.h"
#include "gif/run.h"
#include "gif/gif.h"
#include "gif/image_data.h"
#include "gif/layout.h"
#include "gif/lzw/lzw_walker.h"
#include "gif/output_table.h"
#include "gif/rebuild/cropped_frame.h"
#include "gif/short_frame.h"
#include "gif/stream.h"

namespace {

using namespace layout;

// Where the pieces of a frame are assembled in the shared buffer.
constexpr std::size_t separator_at = frame_control_size;
constexpr std::size_t descriptor_at = separator_at + 1;
constexpr std::size_t table_at = descriptor_at + image_descriptor_size;

void fill_saved_table(join_run& r, std::uint8_t* out, std::size_t entries) {
    for (std::size_t j = 0; j < entries; ++j) {
        out[entry_size * j] = r.saved.red[j];
        out[entry_size * j + 1] = r.saved.grn[j];
        out[entry_size * j + 2] = r.saved.blu[j];
    }
}

// Reads the image's descriptor and colour table into the buffer, giving
// an image without a local table its file's global one (or the saved
// entries). Returns the number of buffer bytes used from table_at, 0 when
// the input ended.
std::size_t read_descriptor_and_table(join_run& r, const screen_info& screen) {
    std::uint8_t* desc = r.data + descriptor_at;
    if (!read_exact(r.in, desc, image_descriptor_size)) return 0;
    std::uint8_t packed = desc[image_packed];
    if (packed & table_flag) {
        std::size_t size = entry_size * table_entries(packed);
        return read_exact(r.in, r.data + table_at, size) ? size : 0;
    }
    desc[image_packed] = static_cast<std::uint8_t>(
        table_flag | (packed & image_kept_bits) | screen.size_field);
    fill_saved_table(r, r.data + table_at, screen.glob_color_size);
    return entry_size * screen.glob_color_size;
}

// Moves the frame by its file's offset on the canvas. A position beyond 16
// bits becomes the largest there is: the frame lay outside its own file's
// screen and stays outside the canvas.
int moved(int position, int offset) { return std::min(position + offset, max_position); }

placed_frame place_frame(std::uint8_t* desc, const screen_info& screen, int code_size) {
    placed_frame f{get_u16(desc + image_left), get_u16(desc + image_top), get_u16(desc + image_width),
                   get_u16(desc + image_height), desc[image_packed] & image_interlace, code_size};
    if (screen.left_offset || screen.top_offset) {
        f.left = moved(f.left, screen.left_offset);
        f.top = moved(f.top, screen.top_offset);
        put_u16(desc + image_left, f.left);
        put_u16(desc + image_top, f.top);
    }
    return f;
}

}  // namespace

void save_global_table(join_run& r, const std::uint8_t* table, std::size_t entries) {
    for (std::size_t j = 0; j < entries; ++j) {
        r.saved.red[j] = table[entry_size * j];
        r.saved.grn[j] = table[entry_size * j + 1];
        r.saved.blu[j] = table[entry_size * j + 2];
    }
}

void build_frame_control(std::uint8_t* out, int delay, const frame_control& own) {
    std::memcpy(out, frame_control_template, frame_control_size);
    put_u16(out + frame_control_delay, delay);
    if (!own.present) return;
    int disposal = (own.packed & control_disposal) >> control_disposal_shift;
    if (disposal != disposal_clear && disposal != disposal_restore) disposal = disposal_keep;
    std::uint8_t transparent = own.packed & control_transparent;
    out[frame_control_packed] =
        static_cast<std::uint8_t>((disposal << control_disposal_shift) | transparent);
    out[frame_control_index] = transparent ? own.index : 0;
}

namespace {

// Takes a frame that browsers cannot decode out of the input and gives it
// blank data instead: first its data is read past, to know what the blank
// data may take. A frame whose blank data would take more shrinks to one
// pixel at its place.
struct blanked {
    int result;  // of reading the image data
    blank_data run;
    std::uint64_t pixels;
};

blanked read_past_frame(const image_data_io& io, int code_size, std::uint8_t* control, std::uint8_t* desc, bool unseen) {
    image_data_seen seen;
    int result = image_data_skip(io, code_size, &seen);
    blank_data b = make_blank(control);
    std::uint64_t pixels = std::uint64_t(get_u16(desc + image_width)) * get_u16(desc + image_height);
    if (unseen) {  // it draws nothing that shows, and must clear nothing either
        control[frame_control_packed] = static_cast<std::uint8_t>(
            (control[frame_control_packed] & ~control_disposal) | disposal_keep << control_disposal_shift);
    }
    if (unseen || !blank_fits(b, pixels, seen.bytes)) {
        put_u16(desc + image_width, 1);
        put_u16(desc + image_height, 1);
        pixels = 1;
    }
    return {result, b, pixels};
}

// With fit_canvas, a frame that reaches beyond its file's screen is cut to
// it: a larger canvas would show what alone stays hidden.
struct cut_to_screen {
    bool cut = false;
    bool nothing_left = false;  // it lies wholly beyond the screen
    std::int64_t width = 0, height = 0;
};

cut_to_screen cut_of(join_run& r, const image_head& h, const screen_info& screen, bool copied) {
    cut_to_screen c;
    if (!r.settings.fit_canvas || !copied || (h.left + h.width <= screen.width && h.top + h.height <= screen.height)) return c;
    c.cut = true;
    c.width = std::max(0, std::min(h.width, screen.width - h.left));
    c.height = std::max(0, std::min(h.height, screen.height - h.top));
    c.nothing_left = c.width == 0 || c.height == 0;
    if (!c.nothing_left) {
        put_u16(r.data + descriptor_at + image_width, static_cast<int>(c.width));
        put_u16(r.data + descriptor_at + image_height, static_cast<int>(c.height));
    }
    return c;
}

// Writes the data of a frame cut to its screen.
int write_cut_data(join_run& r, image_data_io& io, const image_head& h, const cut_to_screen& cut, const frame_control& own) {
    std::unique_ptr<frame_crop>& made = r.rebuild().crop;
    if (!made) made = std::make_unique<frame_crop>();
    frame_crop& c = *made;
    crop_start(c, r.rebuild().encoder, r.out, h.code_size, h.width, h.height, cut.width, cut.height, h.interlaced, io.tap);
    io.tap = crop_tap(c);
    int result = image_data_skip(io, h.code_size);
    int made_transparent;
    crop_end(c, own.present && (own.packed & control_transparent) ? own.index : -1, made_transparent);
    if (made_transparent >= 0) canvas_make_last_transparent(r.canvas, made_transparent);
    return result;
}

}  // namespace

int read_image_head(join_run& r, const screen_info& screen, image_head& h) {
    h.table_size = read_descriptor_and_table(r, screen);
    if (h.table_size == 0) return 0;
    h.code_size = read_byte(r.in);
    if (h.code_size < 0 || h.code_size > lzw_max_code_size) return 0;
    const std::uint8_t* desc = r.data + descriptor_at;
    h.left = get_u16(desc + image_left);
    h.top = get_u16(desc + image_top);
    h.width = get_u16(desc + image_width);
    h.height = get_u16(desc + image_height);
    h.interlaced = (desc[image_packed] & image_interlace) != 0;
    h.table = r.data + table_at;
    return 1;
}

int write_image(join_run& r, int delay, const frame_control& own, const screen_info& screen, image_head& h,
                data_tap tap) {
    std::size_t table_size = h.table_size;
    int code_size = h.code_size;
    build_frame_control(r.data, delay, own);
    blanked blank{};
    bool copied = browsers_decode(code_size);
    cut_to_screen cut = cut_of(r, h, screen, copied);
    image_data_io io = r.io();
    io.tap = tap;
    if (!copied || cut.nothing_left) {
        blank = read_past_frame(io, code_size, r.data, r.data + descriptor_at, cut.nothing_left);
        code_size = blank.run.code_size;
        copied = false;
    }

    if (r.settings.compact_tables && same_as_output_table(r.table, r.data + table_at, table_size / entry_size, code_size)) {
        r.data[descriptor_at + image_packed] &= static_cast<std::uint8_t>(~(table_flag | table_size_field));
        table_size = 0;  // the output's global table stands for it
    }
    placed_frame placed = place_frame(r.data + descriptor_at, screen, code_size);
    canvas_before_frame(r.canvas, placed, r.data);
    r.data[separator_at] = image_separator;
    std::size_t end = table_at + table_size;
    r.data[end] = static_cast<std::uint8_t>(code_size);
    std::uint64_t control_at = output_position(r.out);
    write_out(r.out, r.data, end + 1);
    std::uint64_t data_at = output_position(r.out);
    int result = blank.result;
    if (copied && cut.cut) {
        result = write_cut_data(r, io, h, cut, own);
    } else if (copied) {
        image_data_seen seen;
        result = image_data_copy(io, code_size, &seen);
        complete_short_frame(r.canvas, {std::uint64_t(placed.width) * std::uint64_t(placed.height), code_size, control_at, data_at},
                             seen);
    } else {
        write_blank_data(r.out, blank.run, blank.pixels);
    }
    canvas_after_frame(r.canvas, placed, output_position(r.out) - data_at);
    return result;
}

int reframe_image(join_run& r, int delay, const frame_control& own, const screen_info& screen) {
    image_head h;
    return read_image_head(r, screen, h) && write_image(r, delay, own, screen, h, {});
}
