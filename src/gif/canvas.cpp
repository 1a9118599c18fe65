#include "gif/canvas.h"

#include <algorithm>
#include <cstring>

#include "gif/clear_frame.h"
#include "gif/layout.h"
#include "gif/lzw/lzw_walker.h"
#include "gif/output.h"

namespace {

using namespace layout;

// Viewers show delays of 0 and 1 hundredth as 10; from 2 on, as they are.
constexpr int shortest_shown_delay = 2;
constexpr int slow_shown_delay = 10;
// The clear frame's own time, taken out of the frame before it.
constexpr int clear_delay = shortest_shown_delay;
// A clear frame may take this much more than the image data it clears
// after: a few bytes of data that claim a vast area must not make the
// output grow by megabytes.
constexpr std::uint64_t clear_allowance = 16 * 1024;


// The part of the frame's rectangle, `height` rows of it, that a canvas
// could show. It is cut at the largest canvas there can be, not at this
// one: the canvas may still grow, and a frame that reaches beyond its own
// file's screen may be seen there later.
box shown_part(const placed_frame& f, std::int64_t height) {
    box b{f.left, f.top, std::int64_t{f.left} + f.width, f.top + height};
    b.x1 = std::min<std::int64_t>(b.x1, max_position);
    b.y1 = std::min<std::int64_t>(b.y1, max_position);
    return b;
}

// Rows of the frame that data_bytes of image data can reach; an interlaced
// frame spreads its first rows over eight times the height.
std::int64_t reachable_rows(const placed_frame& f, std::uint64_t data_bytes) {
    if (f.width == 0) return 0;
    std::uint64_t pixels = lzw_most_pixels(f.code_size, data_bytes);
    std::uint64_t rows = (pixels + f.width - 1) / f.width;
    if (f.interlaced) rows *= 8;
    return static_cast<std::int64_t>(std::min<std::uint64_t>(rows, f.height));
}

// The first frame of a file hides everything earlier files drew when it
// is opaque, covers it all and does not put it back afterwards.
bool hides_drawn(canvas_state& c, const placed_frame& f, const std::uint8_t* control) {
    std::uint8_t packed = control[frame_control_packed];
    int disposal = (packed & control_disposal) >> control_disposal_shift;
    return !(packed & control_transparent) && disposal != disposal_restore &&
           shown_part(f, f.height).contains(c.drawn);
}

// Takes the clear frame's time out of the last frame, which keeps its
// picture on the canvas (disposal 1) until the clear frame clears it. A
// frame shown for less than twice the clear frame's time keeps its own.
void make_room_for_clear(canvas_state& c) {
    if (!c.last.present) return;
    std::uint8_t* control = c.last.control;
    control[frame_control_packed] = static_cast<std::uint8_t>(
        (control[frame_control_packed] & ~control_disposal) | disposal_keep << control_disposal_shift);
    int delay = get_u16(control + frame_control_delay);
    int shown = delay < shortest_shown_delay ? slow_shown_delay : delay;
    if (shown >= 2 * clear_delay) put_u16(control + frame_control_delay, shown - clear_delay);
    rewrite_output(*c.out, c.last.at, control, frame_control_size);
}

bool affordable(canvas_state& c, const box& d) {
    std::uint64_t pixels = static_cast<std::uint64_t>((d.x1 - d.x0) * (d.y1 - d.y0));
    std::uint64_t allowed = c.drawn_data + clear_allowance;
    return clear_frame_size(pixels, allowed) <= allowed;
}

// Clears what the frames since the last clear may have drawn. Where that
// region is too large to clear whole (a frame far outside every screen
// stretches it to what no viewer shows), the part on the canvas as it is
// now is cleared: that is what the next file could show.
void clear_drawn(canvas_state& c) {
    box d = c.drawn;
    if (!affordable(c, d)) {
        d.x1 = std::min<std::int64_t>(d.x1, c.width);
        d.y1 = std::min<std::int64_t>(d.y1, c.height);
    }
    if (!d.empty() && affordable(c, d)) canvas_clear(c, d);
    c.drawn = box{};
    c.drawn_data = 0;
}

}  // namespace

box frame_reach(const placed_frame& f, std::uint64_t data_bytes) { return shown_part(f, reachable_rows(f, data_bytes)); }

void canvas_clear(canvas_state& c, const box& area) {
    make_room_for_clear(c);
    write_clear_frame(*c.out, {static_cast<int>(area.x0), static_cast<int>(area.y0), static_cast<int>(area.x1 - area.x0),
                               static_cast<int>(area.y1 - area.y0)},
                      clear_delay);
}

void canvas_open(canvas_state& c, output_stream& out, bool fit, int width, int height, std::uint64_t screen_at) {
    c = canvas_state{};
    c.out = &out;
    c.fit = fit;
    c.width = width;
    c.height = height;
    c.screen_at = screen_at;
}

void canvas_include(canvas_state& c, int width, int height) {
    if (width <= c.width && height <= c.height) return;
    std::uint8_t size[screen_height + 2];
    put_u16(size + screen_width, std::max(width, c.width));
    put_u16(size + screen_height, std::max(height, c.height));
    if (!rewrite_output(*c.out, c.screen_at, size, sizeof size)) return;
    c.width = get_u16(size + screen_width);
    c.height = get_u16(size + screen_height);
}

int canvas_width(canvas_state& c) { return c.width; }
int canvas_height(canvas_state& c) { return c.height; }

void canvas_next_file(canvas_state& c) { c.file_start = true; }

void canvas_before_frame(canvas_state& c, const placed_frame& f, const std::uint8_t* control) {
    bool covers = false;
    if (c.file_start && c.fit && !c.drawn.empty()) {
        covers = hides_drawn(c, f, control);
        if (!covers) clear_drawn(c);
    }
    c.file_start = false;
    c.last.covers_earlier = covers;
    c.last.present = true;
    c.last.at = output_position(*c.out);
    std::memcpy(c.last.control, control, frame_control_size);
    release_output(*c.out, c.last.at);  // nothing before this frame changes again
}

void canvas_after_frame(canvas_state& c, const placed_frame& f, std::uint64_t data_bytes) {
    if (!c.fit) return;
    box b = frame_reach(f, data_bytes);
    if (b.empty()) return;
    box& d = c.drawn;
    d = d.empty() ? b : box{std::min(d.x0, b.x0), std::min(d.y0, b.y0), std::max(d.x1, b.x1), std::max(d.y1, b.y1)};
    c.drawn_data += data_bytes;
}

int canvas_last_covers_earlier(canvas_state& c) { return c.last.present && c.last.covers_earlier; }

void canvas_make_last_transparent(canvas_state& c, int index) {
    if (!c.last.present) return;
    c.last.control[frame_control_packed] |= control_transparent;
    c.last.control[frame_control_index] = static_cast<std::uint8_t>(index);
    rewrite_output(*c.out, c.last.at, c.last.control, frame_control_size);
}

void retime_last_frame(canvas_state& c, int delay) {
    if (!c.last.present) return;
    put_u16(c.last.control + frame_control_delay, delay);
    rewrite_output(*c.out, c.last.at + frame_control_delay, c.last.control + frame_control_delay, 2);
}
