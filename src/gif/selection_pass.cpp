#include "gif/selection_pass.h"

#include <algorithm>

#include "gif/image_data.h"
#include "gif/layout.h"
#include "gif/rebuild/frame_paint.h"
#include "gif/rebuild/painting_behind.h"
#include "gif/rebuild/rebuilt_frame.h"
#include "gif/rebuild/reverse_spool.h"

namespace {

using namespace layout;

int disposal_of(const frame_control& own) {
    return own.present ? (own.packed & control_disposal) >> control_disposal_shift : 0;
}

// The span the next frame falls in, null when it falls in none.
const frame_span* span_of(pass_state& s) {
    while (s.span < s.spans.size() && s.frame > s.spans[s.span].last) ++s.span;
    return s.span < s.spans.size() && s.frame >= s.spans[s.span].first ? &s.spans[s.span] : nullptr;
}

// The part of a frame's rectangle where painting it may have changed the
// canvas: frames draw only where the canvas holds pixels, and it never shrinks.
box drawn_part(const file_canvas& c, const box& rect) { return common(on_screen(c, rect), c.held); }

box on_output(const pass_state& s, const box& b) {
    return {b.x0 + s.left_offset, b.y0 + s.top_offset, b.x1 + s.left_offset, b.y1 + s.top_offset};
}

rebuild_tools tools(join_run& r, output_stream* spool = nullptr) {
    rebuild_state& b = r.rebuild();
    return {r.canvas, r.out, {b.encoder, b.second_encoder, r.side, b.second_codes, b.offer}, b.ids, b.second_ids, b.plane, spool};
}

paint_frame frame_of(const image_head& h, const frame_control& own, const box& rect) {
    paint_frame f;
    f.rect = rect;
    f.interlaced = h.interlaced;
    f.table = h.table;
    f.entries = h.table_size / entry_size;
    f.transparent = own.present && (own.packed & control_transparent) ? own.index : -1;
    f.code_size = h.code_size;
    return f;
}

// The frame painted behind is done: what it drew is known.
void finish_behind(join_run& r, pass_state& s) {
    if (!s.behind) return;
    rebuild_state& b = r.rebuild();
    behind_wait(b.behind, r.side);
    s.behind = false;
    s.unsynced = joined(s.unsynced, drawn_part(b.canvas, s.behind_rect));
}

// What comes before a frame is drawn: the disposal of the frame before,
// and what the canvas shows before it where that is kept.
void before_drawing(join_run& r, pass_state& s, const frame_control& own, const box& rect, bool paint, bool steps_out) {
    file_canvas& c = r.rebuild().canvas;
    if (paint) file_canvas_dispose(c, s.pending.rect, s.pending.disposal);
    s.pending = paint ? pending_disposal{rect, disposal_of(own)} : pending_disposal{};
    if (steps_out) mask_from_canvas(s.shown, c);  // it shows what the file has so far
    if (paint && disposal_of(own) == disposal_restore) file_canvas_save(c, rect);
}

// Whether the file alone shows nothing in the region before the frame in
// `rect`, which restores what was under it (file_canvas_save kept that).
bool blank_before(const file_canvas& c, const box& region, const box& rect) {
    picture_view under{c.saved_at, c.saved.data()}, now = view_of(c);
    box live = common(region, c.held);
    for (std::int64_t y = live.y0; y < live.y1; ++y)
        for (std::int64_t x = live.x0; x < live.x1; ++x) {
            bool in_rect = x >= rect.x0 && x < rect.x1 && y >= rect.y0 && y < rect.y1;
            if (view_pixel(in_rect ? under : now, x, y)) return false;
        }
    return true;
}

// Writes the file canvas's picture in place of the image. A frame that
// clears its rectangle leaves the clear owed to the next frame, which may
// clear more; one that restores what was before it leaves the output out
// of step, showing its picture, unless both the output and the file alone
// show nothing there before it: then the rebuilt frame restores too.
void write_rebuilt(join_run& r, pass_state& s, int delay, int disposal, const box& rect) {
    file_canvas& c = r.rebuild().canvas;
    box shown = drawn_part(c, rect);
    rebuilt_picture p;
    p.pic = view_of(c);
    p.shown = &s.shown;
    p.owed = s.owed;
    p.region = on_screen(c, joined(joined(s.unsynced, shown), s.owed));
    p.delay = delay;
    p.left_offset = s.left_offset;
    p.top_offset = s.top_offset;
    p.restore = disposal == disposal_restore && mask_blank(s.shown) && blank_before(c, p.region, shown);
    rebuild_state& b = r.rebuild();
    if (s.ahead) spool_open(b.spool, b.spool_memory);
    picture_written w = write_picture(tools(r, s.ahead ? &b.spool : nullptr), p);
    s.written = joined(s.written, w.drawn);
    s.in_step = disposal != disposal_restore || w.restores;
    s.unsynced = s.in_step ? box{} : shown;
    s.owed = disposal == disposal_clear ? shown : box{};
    if (!s.in_step) mask_from_canvas(s.shown, c);
}

// Within a backward range, before frame k's disposal-free picture is
// painted: keeps the picture of frame k - 1 where frame k may change it,
// in a journal of the pixels that change.
void keep_previous(join_run& r, pass_state& s, const box& rect) {
    s.previous_rect = joined(s.pending.rect, rect);
    journal_open(r.rebuild().canvas, s.previous_rect);
}

// Spools the picture of frame k - 1 as drawn over that of frame k, now on the canvas.
void spool_previous(join_run& r, pass_state& s) {
    file_canvas& c = r.rebuild().canvas;
    spool_open(r.rebuild().spool, r.rebuild().spool_memory);
    picture_view under = view_of(c);
    journal_picture before = journal_view(c);
    rebuilt_picture p;
    p.pic = before.view;
    p.undo = before.undo;
    p.under = &under;
    // Pixels beyond the part held before this frame grew the canvas were
    // transparent: the journal watched the part held then.
    p.region = joined(c.journal.region, drawn_part(c, s.previous_rect));
    p.delay = s.previous_delay;
    p.left_offset = s.left_offset;
    p.top_offset = s.top_offset;
    s.written = joined(s.written, write_picture(tools(r, &r.rebuild().spool), p).drawn);
    journal_close(c);
}

// The last frame of a backward range is painted: its picture goes out,
// then the spooled ones, last first. The output then shows the range's
// first picture.
void write_backward_range(join_run& r, pass_state& s, int delay, const box& rect) {
    write_rebuilt(r, s, delay, disposal_keep, rect);
    write_spooled(r.rebuild().spool, r.canvas, r.out);
    s.in_step = false;
    s.unsynced = s.reversed;
    s.shown = s.after_reversal;
    s.owed = box{};
    s.reversed = box{};
    s.range_open = false;
}

}  // namespace

void pass_begin(join_run& r, pass_state& s, const screen_info& screen, bool redraw_all) {
    file_canvas_open(r.rebuild(static_cast<std::uint64_t>(screen.width) * screen.height).canvas, screen.width, screen.height);
    r.side.prepare();  // ready before a frame needs it
    redraw_all = redraw_all && !s.written.empty();  // earlier passes may have drawn nothing
    s.left_offset = screen.left_offset;
    s.top_offset = screen.top_offset;
    s.span = 0;
    s.frame = 0;
    s.paint_before = 0;
    for (const frame_span& f : s.spans) s.paint_before = std::max(s.paint_before, f.backwards ? f.last + 1 : f.first);
    s.in_step = !redraw_all;
    s.unsynced = redraw_all ? on_screen(r.rebuild().canvas, s.written) : box{};
    s.owed = box{};
    s.shown = shown_mask{};
    s.pending = pending_disposal{};
    s.only_painted = 0;
    s.reversed = box{};
    s.range_open = false;
    s.released = false;
    if (redraw_all) mask_unknown(s.shown);
}

void pass_end(join_run& r, pass_state& s) {
    if (s.released) return;
    finish_behind(r, s);
    s.short_of_room |= r.rebuild().canvas.short_of_room;
    if (s.range_open) write_backward_range(r, s, s.previous_delay, s.pending.rect);
}

bool pass_done(const pass_state& s) {
    return !s.spans.empty() && s.frame > s.spans.back().last;
}

bool pass_release(pass_state& s) {
    if (s.released) return true;
    if (!s.last_pass || s.spans.empty() || !s.in_step || s.behind || s.range_open || !s.owed.empty()) return false;
    const frame_span& last = s.spans.back();
    s.released = !last.backwards && s.frame >= last.first && s.frame >= s.paint_before;
    return s.released;
}

int pass_image(join_run& r, pass_state& s, int delay, const frame_control& own, const screen_info& screen) {
    image_head h;
    if (!read_image_head(r, screen, h)) return 0;
    if (s.released) {
        ++s.frame;
        return write_image(r, delay, own, screen, h, {});
    }
    file_canvas& c = r.rebuild().canvas;
    const frame_span* span = span_of(s);
    bool take = span != nullptr, backwards = take && span->backwards;
    bool range_start = backwards && s.frame == span->first, range_end = backwards && s.frame == span->last;
    bool deferred = backwards && !range_end;  // painted now, written once the range ends
    bool paint = !s.spans.empty() && (s.frame < s.paint_before || !s.in_step);
    ++s.frame;
    box rect{h.left, h.top, std::int64_t{h.left} + h.width, std::int64_t{h.top} + h.height};
    bool steps_out = paint && s.in_step && (!take || deferred);
    rebuild_state& b = r.rebuild();
    // While the frame before is painted behind, this one is decoded whole
    // and drawn once that is done; a frame only painted is painted behind,
    // but for the pass's first: where one frame comes before the picture,
    // the memory the two frames take at once costs more than painting
    // them one after the other. The plane is made for the screen: the
    // picture after it is looked over in it.
    std::uint64_t pixels = static_cast<std::uint64_t>(h.width) * h.height;
    std::uint64_t screen_pixels = static_cast<std::uint64_t>(c.width) * c.height;
    std::uint8_t* plane = paint && s.behind && !backwards ? plane_room(b.plane, pixels, screen_pixels) : nullptr;
    if (!plane) {
        finish_behind(r, s);
        if (backwards && !range_start) keep_previous(r, s, rect);
        before_drawing(r, s, own, rect, paint, steps_out);
    }
    bool behind = paint && !take && !plane && !c.journal.open && s.only_painted > 0;
    if (paint && !take) ++s.only_painted;
    data_tap tap;
    if (behind)
        tap = behind_start(b.behind, c, frame_of(h, own, rect));
    else if (paint) {
        paint_start(b.painter, c, frame_of(h, own, rect), plane);
        tap = paint_tap(b.painter);
    }
    int result;
    if (take && s.in_step && !deferred) {
        if (!s.owed.empty()) canvas_clear(r.canvas, on_output(s, s.owed));
        s.owed = box{};
        std::uint64_t at = output_position(r.out);
        result = write_image(r, delay, own, screen, h, tap);
        placed_frame f{h.left, h.top, h.width, h.height, h.interlaced, h.code_size};
        s.written = joined(s.written, on_screen(c, frame_reach(f, output_position(r.out) - at)));
    } else {
        image_data_io io = r.io();
        io.tap = tap;
        result = image_data_skip(io, h.code_size);
    }
    if (plane) {
        finish_behind(r, s);
        before_drawing(r, s, own, rect, paint, steps_out);
    }
    if (behind) behind_paint(b.behind, r.side);
    if (paint && !behind) paint_end(b.painter);
    if (backwards) {
        if (!range_start) spool_previous(r, s);
        if (range_start) mask_from_canvas(s.after_reversal, c);
        s.range_open = true;
        s.reversed = joined(s.reversed, drawn_part(c, rect));
        s.previous_delay = delay;
    }
    if (range_end) {
        write_backward_range(r, s, delay, rect);
    } else if (take && !s.in_step && !deferred) {
        write_rebuilt(r, s, delay, disposal_of(own), rect);
    } else if (paint && (!take || deferred)) {
        s.in_step = false;
        if (behind) s.behind_rect = rect;  // what it drew is known once it is painted
        else s.unsynced = joined(s.unsynced, drawn_part(c, rect));
    }
    s.behind = behind;
    if (!behind) s.short_of_room |= c.short_of_room;
    return result;
}
