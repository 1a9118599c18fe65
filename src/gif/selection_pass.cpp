#include "gif/selection_pass.h"

#include <algorithm>

#include "gif/image_data.h"
#include "gif/layout.h"
#include "gif/rebuild/frame_paint.h"
#include "gif/rebuild/rebuilt_frame.h"

namespace {

using namespace layout;


int disposal_of(const frame_control& own) {
    return own.present ? (own.packed & control_disposal) >> control_disposal_shift : 0;
}

bool selected(pass_state& s) {
    while (s.span < s.spans.size() && s.frame > s.spans[s.span].last) ++s.span;
    return s.span < s.spans.size() && s.frame >= s.spans[s.span].first;
}

// Starts painting the image on the file's canvas; returns the tap that
// paints its data as it is read.
data_tap start_painting(join_run& r, const image_head& h, const frame_control& own, const box& rect) {
    file_canvas& c = r.rebuild.canvas;
    if (disposal_of(own) == disposal_restore) file_canvas_save(c, rect);
    paint_frame f;
    f.rect = rect;
    f.interlaced = h.interlaced;
    f.table = h.table;
    f.entries = h.table_size / entry_size;
    f.transparent = own.present && (own.packed & control_transparent) ? own.index : -1;
    f.code_size = h.code_size;
    paint_start(r.rebuild.painter, c, f);
    return paint_tap(r.rebuild.painter);
}

// The part of a frame's rectangle where painting it may have changed the
// canvas: frames draw only where the canvas holds pixels, and it never shrinks.
box drawn_part(const file_canvas& c, const box& rect) { return common(on_screen(c, rect), c.held); }

box on_output(const pass_state& s, const box& b) {
    return {b.x0 + s.left_offset, b.y0 + s.top_offset, b.x1 + s.left_offset, b.y1 + s.top_offset};
}

// Writes the file canvas's picture in place of the image. A frame that
// clears its rectangle leaves the clear owed to the next frame, which may
// clear more; one that restores what was before it leaves the output out
// of step, showing its picture.
void write_rebuilt(join_run& r, pass_state& s, int delay, int disposal, const box& rect) {
    file_canvas& c = r.rebuild.canvas;
    box shown = drawn_part(c, rect);
    rebuilt_picture p;
    p.shown = &s.shown;
    p.owed = s.owed;
    p.region = on_screen(c, joined(joined(s.unsynced, shown), s.owed));
    p.delay = delay;
    p.left_offset = s.left_offset;
    p.top_offset = s.top_offset;
    s.written = joined(s.written, write_picture({r.canvas, r.out, r.rebuild.encoder, r.rebuild.ids}, c, p));
    s.in_step = disposal != disposal_restore;
    s.unsynced = s.in_step ? box{} : shown;
    s.owed = disposal == disposal_clear ? shown : box{};
    if (!s.in_step) mask_from_canvas(s.shown, c);
}

}  // namespace

void pass_begin(join_run& r, pass_state& s, const screen_info& screen, bool redraw_all) {
    file_canvas_open(r.rebuild.canvas, screen.width, screen.height);
    s.left_offset = screen.left_offset;
    s.top_offset = screen.top_offset;
    s.span = 0;
    s.frame = 0;
    s.paint_before = s.spans.empty() ? 0 : s.spans.back().first;
    s.in_step = !redraw_all;
    s.unsynced = redraw_all ? on_screen(r.rebuild.canvas, s.written) : box{};
    s.owed = box{};
    s.shown = shown_mask{};
    if (redraw_all) mask_unknown(s.shown);
}

bool pass_done(const pass_state& s) {
    return !s.spans.empty() && s.frame > s.spans.back().last;
}

int pass_image(join_run& r, pass_state& s, int delay, const frame_control& own, const screen_info& screen) {
    image_head h;
    if (!read_image_head(r, screen, h)) return 0;
    bool take = selected(s);
    bool paint = !s.spans.empty() && (s.frame < s.paint_before || !s.in_step);
    ++s.frame;
    box rect{h.left, h.top, std::int64_t{h.left} + h.width, std::int64_t{h.top} + h.height};
    if (!take && paint && s.in_step) mask_from_canvas(s.shown, r.rebuild.canvas);  // steps out: it shows what the file has
    data_tap tap = paint ? start_painting(r, h, own, rect) : data_tap{};
    int result;
    if (take && s.in_step) {
        if (!s.owed.empty()) canvas_clear(r.canvas, on_output(s, s.owed));
        s.owed = box{};
        std::uint64_t at = output_position(r.out);
        result = write_image(r, delay, own, screen, h, tap);
        placed_frame f{h.left, h.top, h.width, h.height, h.interlaced, h.code_size};
        s.written = joined(s.written, on_screen(r.rebuild.canvas, frame_reach(f, output_position(r.out) - at)));
    } else {
        image_data_io io = r.io();
        io.tap = tap;
        result = image_data_skip(io, h.code_size);
    }
    if (paint) paint_end(r.rebuild.painter);
    int disposal = disposal_of(own);
    if (take && !s.in_step) {
        write_rebuilt(r, s, delay, disposal, rect);
    } else if (!take && paint) {
        s.in_step = false;
        s.unsynced = joined(s.unsynced, drawn_part(r.rebuild.canvas, rect));
    }
    if (paint) file_canvas_dispose(r.rebuild.canvas, rect, disposal);
    s.short_of_room |= r.rebuild.canvas.short_of_room;
    return result;
}
