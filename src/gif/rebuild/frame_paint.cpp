#include "gif/rebuild/frame_paint.h"

#include <algorithm>

#include "gif/blank_frame.h"
#include "gif/layout.h"
#include "gif/lzw/run_code.h"
#include "gif/rebuild/paint_row.h"
#include "gif/short_frame.h"

namespace {

// Draws n decoded indices that start at column `col` of stored row `row`.
void draw_run(frame_painter& p, const std::uint8_t* idx, std::int64_t row, std::int64_t col, std::int64_t n) {
    const paint_frame& f = p.f;
    std::int64_t h = f.rect.y1 - f.rect.y0;
    std::int64_t y = f.rect.y0 + (f.interlaced ? interlaced_row(row, h) : row);
    std::int64_t x0 = std::max<std::int64_t>(f.rect.x0 + col, 0), x1 = std::min<std::int64_t>(f.rect.x0 + col + n, p.canvas->width);
    if (y >= p.canvas->height || x0 >= x1) return;
    box need{x0, y, x1, y + 1};
    if (!file_canvas_hold(*p.canvas, need, f.rect)) return;
    const std::uint8_t* in = idx + (x0 - (f.rect.x0 + col));
    std::uint32_t transparent = f.transparent < 0 ? 256u : static_cast<std::uint32_t>(f.transparent);
    if (p.canvas->indexed) {
        paint_index_row(index_ref(*p.canvas, x0, y), in, x1 - x0, transparent);
        return;
    }
    std::uint32_t* out = pixel_ref(*p.canvas, x0, y);
    if (!p.canvas->journal.open) {
        paint_row(out, in, x1 - x0, p.colours, transparent);
        return;
    }
    for (std::int64_t x = x0; x < x1; ++x, ++out, ++in) {
        if (static_cast<int>(*in) == f.transparent || *out == p.colours[*in]) continue;
        journal_note(*p.canvas, x, y, *out);
        *out = p.colours[*in];
    }
}

// Draws n indices, the first of them pixel `base` of the frame, all of
// them in `set` (a bit each).
void draw_area(frame_painter& p, const std::uint8_t* idx, std::uint64_t base, std::uint64_t n, const std::uint64_t* set) {
    if (!p.colours_taken) {  // the frame's first pixels: the canvas may have to change form
        file_canvas_take_colours(*p.canvas, p.colours);
        p.colours_taken = true;
    }
    file_canvas_will_draw(*p.canvas, set);
    std::int64_t w = p.f.rect.x1 - p.f.rect.x0;
    p.canvas->drawn_pixels += n;
    for (std::uint64_t k = 0; k < n;) {
        std::uint64_t at = base + k;
        std::int64_t row = static_cast<std::int64_t>(at / w), col = static_cast<std::int64_t>(at % w);
        std::int64_t run = std::min<std::int64_t>(w - col, static_cast<std::int64_t>(n - k));
        draw_run(p, idx + k, row, col, run);
        k += static_cast<std::uint64_t>(run);
    }
}

// Draws the indices the decoder has given into the area. Of the indices
// given, the transparent one is not drawn.
void flush(frame_painter& p) {
    std::uint64_t drawn[4];
    std::copy_n(p.decoder.used, 4, drawn);
    if (p.f.transparent >= 0) drawn[p.f.transparent >> 6] &= ~(std::uint64_t{1} << (p.f.transparent & 63));
    draw_area(p, p.decoder.out, p.decoder.out_base, p.decoder.given - p.decoder.out_base, drawn);
}

// Gives the pixels a copy of the frame would have added to its data;
// returns whether every pixel is given.
bool complete(frame_painter& p) {
    lzw_decoder& d = p.decoder;
    std::uint64_t missing = d.want - d.given, allowed = p.data_bytes + completion_allowance;
    bool own = p.f.transparent >= 0 && static_cast<unsigned>(p.f.transparent) < d.clear_code;
    if (missing == 0) return true;
    if (own || decoder_unused_index(d) >= 0 || run_size(d.code_size, missing, allowed) > allowed) return false;
    std::uint8_t* zeros = p.buffer.area();
    std::fill_n(zeros, paint_room, std::uint8_t{0});
    const std::uint64_t zero_only[4] = {1, 0, 0, 0};
    for (std::uint64_t at = d.given; at < d.want; at += paint_room)
        draw_area(p, zeros, at, std::min<std::uint64_t>(paint_room, d.want - at), zero_only);
    return true;
}

void take(void* context, const std::uint8_t* bytes, std::size_t n) {
    paint_take(*static_cast<frame_painter*>(context), bytes, n);
}

}  // namespace

std::int64_t interlaced_row(std::int64_t r, std::int64_t h) {
    const std::int64_t start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        std::int64_t rows = h > start[pass] ? (h - start[pass] + step[pass] - 1) / step[pass] : 0;
        if (r < rows) return start[pass] + r * step[pass];
        r -= rows;
    }
    return h;  // not reached for r < h
}

void paint_start(frame_painter& p, file_canvas& c, const paint_frame& f, std::uint8_t* plane) {
    p.canvas = &c;
    p.f = f;
    for (unsigned i = 0; i < 256; ++i) {
        const std::uint8_t* e = f.table + layout::entry_size * i;
        p.colours[i] = i < f.entries ? opaque_pixel | std::uint32_t{e[0]} << 16 | std::uint32_t{e[1]} << 8 | e[2]
                                     : opaque_pixel;  // beyond the table: black
    }
    std::uint64_t pixels = static_cast<std::uint64_t>((f.rect.x1 - f.rect.x0) * (f.rect.y1 - f.rect.y0));
    p.decoding = browsers_decode(f.code_size) && pixels > 0;
    p.data_bytes = 0;
    p.colours_taken = false;
    if (!p.decoding) return;
    decoder_start(p.decoder, f.code_size, nullptr, pixels);
    if (plane)
        decoder_output(p.decoder, plane, static_cast<std::size_t>(pixels));
    else
        p.buffer.start(p.decoder);
}

void paint_take(frame_painter& p, const std::uint8_t* bytes, std::size_t n) {
    p.data_bytes += n;
    while (p.decoding && (p.decoder.stop == decode_stop::more || p.decoder.stop == decode_stop::room)) {
        decode_stop s = decoder_take(p.decoder, bytes, n);
        bytes += p.decoder.took;
        n -= p.decoder.took;
        if (s != decode_stop::room) break;
        flush(p);
        p.buffer.next(p.decoder);
    }
}

void paint_end(frame_painter& p) {
    if (!p.decoding) return;
    flush(p);
    // A frame that leaves no pixel as it was leaves no transparent one.
    if (complete(p) && p.f.transparent < 0) file_canvas_covered(*p.canvas, on_screen(*p.canvas, p.f.rect));
    p.decoding = false;
}

data_tap paint_tap(frame_painter& p) { return {take, &p}; }
