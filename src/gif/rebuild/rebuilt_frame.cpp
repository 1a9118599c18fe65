#include "gif/rebuild/rebuilt_frame.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "gif/code_output.h"
#include "gif/layout.h"
#include "gif/lzw/run_code.h"
#include "gif/rebuild/reverse_spool.h"
#include "gif/rebuild/row_coding.h"

namespace {

using namespace layout;

constexpr int shortest_shown_delay = 2;  // shorter ones viewers show as 10

// The pixels of row y of a view from x0 to x1 into `row`, transparent
// beyond the view.
void copy_row(const picture_view& v, std::int64_t y, std::int64_t x0, std::int64_t x1, std::uint32_t* row) {
    std::int64_t from = std::max(x0, v.area.x0), to = std::min(x1, v.area.x1);
    if (y < v.area.y0 || y >= v.area.y1 || from >= to) {
        std::fill(row, row + (x1 - x0), 0u);
        return;
    }
    std::fill(row, row + (from - x0), 0u);
    std::size_t at = static_cast<std::size_t>((y - v.area.y0) * (v.area.x1 - v.area.x0) + (from - v.area.x0));
    if (v.indices)
        colours_of(v.indices + at, static_cast<std::size_t>(to - from), v.palette, row + (from - x0));
    else
        std::copy(v.pixels + at, v.pixels + at + (to - from), row + (from - x0));
    std::fill(row + (to - x0), row + (x1 - x0), 0u);
}

// Row y of the picture from x0 to x1.
void picture_row(const rebuilt_picture& p, std::int64_t y, std::int64_t x0, std::int64_t x1, std::uint32_t* row) {
    copy_row(p.pic, y, x0, x1, row);
    if (p.undo) journal_apply(*p.undo, y, x0, x1, row);
}

// Leaves (0) the pixels of a row that the output shows already, but not
// those from keep0 to keep1, which a clear frame empties first.
void leave_shown(std::uint32_t* row, const std::uint32_t* under, std::size_t n, std::size_t keep0, std::size_t keep1) {
    for (std::size_t i = 0; i < keep0; ++i)
        if (row[i] == under[i]) row[i] = 0;
    for (std::size_t i = keep1; i < n; ++i)
        if (row[i] == under[i]) row[i] = 0;
}

// A picture as it is to be drawn: its pixels in the region, what the
// output shows there, and the box a clear frame empties first. Boxes
// walked are always within the region.
struct drawing {
    const rebuilt_picture& p;
    box clear;

    // Calls f(y, colours) for each row of b, with the colours the frames
    // draw from b.x0 to b.x1, 0 where they leave the pixel: where the
    // output shows the same colour already, it is left, but not within
    // the clear box.
    template <typename F>
    void each_row(const box& b, F f) const {
        if (b.empty()) return;
        std::size_t n = static_cast<std::size_t>(b.x1 - b.x0);
        std::vector<std::uint32_t> row(n), under(p.under ? n : 0);
        const picture_view& v = p.pic;
        // Rows that are the picture's own, unchanged, are read where they lie.
        bool in_place = v.pixels && !p.under && !p.undo && b.x0 >= v.area.x0 && b.x1 <= v.area.x1;
        for (std::int64_t y = b.y0; y < b.y1; ++y) {
            if (in_place && y >= v.area.y0 && y < v.area.y1) {
                f(y, v.pixels + (y - v.area.y0) * (v.area.x1 - v.area.x0) + (b.x0 - v.area.x0));
                continue;
            }
            picture_row(p, y, b.x0, b.x1, row.data());
            if (p.under) {
                copy_row(*p.under, y, b.x0, b.x1, under.data());
                bool clear_row = y >= clear.y0 && y < clear.y1;
                std::int64_t keep0 = clear_row ? std::clamp(clear.x0, b.x0, b.x1) - b.x0 : 0;
                std::int64_t keep1 = clear_row ? std::clamp(clear.x1, b.x0, b.x1) - b.x0 : 0;
                leave_shown(row.data(), under.data(), n, static_cast<std::size_t>(keep0), static_cast<std::size_t>(keep1));
            }
            f(y, row.data());
        }
    }
};

// A bounding box grown a run of a row at a time.
struct box_builder {
    box b;
    void add_run(std::int64_t y, std::int64_t x0, std::int64_t x1) {
        if (x0 < x1) b = joined(b, box{x0, y, x1, y + 1});
    }
};

// The part of the region where pixels may be drawn or shown: beyond the
// pictures' boxes everything is transparent.
box live_part(const rebuilt_picture& p) {
    box b = p.pic.area;
    if (p.under) b = joined(b, p.under->area);
    if (p.shown) b = joined(b, p.shown->at);
    return common(p.region, b);
}

// Where the output may show pixels that the picture has not.
box clear_box(const rebuilt_picture& p) {
    box live = live_part(p), clear = p.owed;
    // Where the output may show anything beyond what is known, all of the region goes.
    if (p.shown && !p.under && p.shown->outside && !p.shown->at.contains(p.region)) clear = joined(clear, p.region);
    if (!p.under && (!p.shown || mask_blank(*p.shown))) return clear;  // the output shows nothing there
    box_builder out;
    std::size_t n = static_cast<std::size_t>(live.x1 - live.x0);
    std::vector<std::uint32_t> pic(n), under(n);
    for (std::int64_t y = live.y0; y < live.y1; ++y) {
        picture_row(p, y, live.x0, live.x1, pic.data());
        if (p.under) copy_row(*p.under, y, live.x0, live.x1, under.data());
        std::int64_t first = live.x1, last = live.x0;
        for (std::size_t i = 0; i < n; ++i) {
            if (pic[i]) continue;
            std::int64_t x = live.x0 + static_cast<std::int64_t>(i);
            if (p.under ? under[i] == 0 : !mask_drawn(*p.shown, x, y)) continue;
            first = std::min(first, x);
            last = x + 1;
        }
        out.add_run(y, first, last);
    }
    return joined(clear, out.b);
}

// How the picture's colours are shared out among frames.
struct colour_groups {
    std::size_t colours = 0;
    std::size_t per_frame = 256;  // colours a frame takes
    bool transparent = false;     // frames leave some pixels as they are
    std::size_t frames() const { return colours == 0 ? 1 : (colours + per_frame - 1) / per_frame; }
};

// Where no pixel is drawn, in a plane of colour numbers.
constexpr std::uint8_t no_colour = 0xFF;

// What the frames draw, found in one pass: the box of the pixels they draw,
// and their colours, numbered in the order met. Where a part has fewer
// colours than no_colour, its pixels' numbers are kept in a plane over the
// live part, so that coding need not look them up again; the lower rows'
// numbers are their own, lower_ids turns them into the picture's.
struct drawn_part {
    box b;
    colour_groups g;
    const std::uint8_t* plane = nullptr;
    box plane_at;
    std::int64_t cut = 0;  // the first of the lower rows
    std::uint8_t lower_ids[no_colour];
    // Where the picture is a view's indices, each index's number; the
    // colours numbered are then in the order of their indices.
    bool numbered_indices = false;
    std::uint8_t number_of[256];
    std::uint32_t colours[256];
};

// What a part of the picture's rows draws: its box, its pixels drawn, and
// its colours numbered in the order met, kept in the plane's rows while
// they are few enough.
struct found_rows {
    const drawing* d;
    box rows;
    colour_ids* ids;
    std::uint8_t* plane;  // the first row's, or null
    box_builder out;
    std::uint64_t drawn_pixels = 0;

    static void find(void* context) {
        found_rows& f = *static_cast<found_rows*>(context);
        colour_ids_clear(*f.ids);
        std::int64_t n = f.rows.x1 - f.rows.x0;
        std::uint8_t* numbers = f.plane;
        f.d->each_row(f.rows, [&](std::int64_t y, const std::uint32_t* px) {
            std::int64_t first = 0, last = n;
            while (first < n && !px[first]) ++first;
            while (last > first && !px[last - 1]) --last;
            f.out.add_run(y, f.rows.x0 + first, f.rows.x0 + last);
            std::uint32_t seen = 0, id = no_colour;
            if (numbers) std::fill(numbers, numbers + first, no_colour);
            for (std::int64_t i = first; i < last; ++i) {
                if (px[i] != seen) id = (seen = px[i]) ? colour_id(*f.ids, seen) : no_colour;
                f.drawn_pixels += seen != 0;
                if (numbers) numbers[i] = static_cast<std::uint8_t>(id);
            }
            if (!numbers) return;
            std::fill(numbers + last, numbers + n, no_colour);
            numbers += n;
            if (f.ids->colours.size() >= no_colour) numbers = nullptr;  // too many to keep
        });
        if (!numbers) f.plane = nullptr;
    }
};

// A large picture is looked over in two parts at once, the lower rows by
// the side thread with colours of their own; numbering theirs after the
// upper rows' gives each colour the number one pass would.
drawn_part find_drawn(const rebuild_tools& t, const drawing& d) {
    box live = live_part(d.p);
    std::int64_t w = live.x1 - live.x0, cut = live.empty() ? 0 : live.y0 + second_part_row(w, live.y1 - live.y0);
    std::uint8_t* plane = live.empty() ? nullptr : plane_room(t.plane, static_cast<std::uint64_t>(w * (live.y1 - live.y0)));
    found_rows upper{&d, {live.x0, live.y0, live.x1, cut}, &t.ids, plane, {}, 0};
    found_rows lower{&d, {live.x0, cut, live.x1, live.y1}, &t.second_ids, plane ? plane + (cut - live.y0) * w : nullptr, {}, 0};
    bool parted = !live.empty() && cut < live.y1, beside = parted && t.coders.side.start(found_rows::find, &lower);
    found_rows::find(&upper);
    if (beside) t.coders.side.wait();
    if (parted && !beside) found_rows::find(&lower);
    drawn_part r;
    if (parted) {
        for (std::size_t k = 0; k < t.second_ids.colours.size(); ++k) {
            std::uint32_t id = colour_id(t.ids, t.second_ids.colours[k]);
            if (k < no_colour) r.lower_ids[k] = static_cast<std::uint8_t>(id);
        }
        upper.out.b = joined(upper.out.b, lower.out.b);
        upper.drawn_pixels += lower.drawn_pixels;
    }
    // A picture with nothing to draw still takes its time: one transparent pixel.
    const box& region = d.p.region;
    r.b = upper.out.b.empty() ? box{region.x0, region.y0, region.x0 + 1, region.y0 + 1} : upper.out.b;
    r.g.colours = t.ids.colours.size();
    r.g.transparent =
        upper.drawn_pixels < static_cast<std::uint64_t>((r.b.x1 - r.b.x0) * (r.b.y1 - r.b.y0)) || r.g.colours > 256;
    if (r.g.transparent) r.g.per_frame = 255;  // one index stays for the pixels left alone
    // One frame's indices are the numbers kept, where both parts kept theirs.
    if (upper.plane && (!parted || lower.plane) && r.g.frames() == 1 && !upper.out.b.empty()) {
        r.plane = plane;
        r.plane_at = live;
        r.cut = cut;
    }
    return r;
}

// Whether the picture's colours can be numbered by their indices alone:
// where it is a view's indices and nothing under it is known. No pixel is
// then looked up.
bool numbers_indices(const rebuilt_picture& p) { return p.pic.indices && p.pic.drawn && !p.under && !p.undo; }

// What a picture of indices draws: the box of its pixels of indices
// frames have drawn, their colours numbered in the order of the indices,
// and whether any pixel within the box is transparent. Nothing
// (numbered_indices false) where it draws no pixel.
drawn_part find_drawn_indices(const rebuilt_picture& p) {
    const picture_view& v = p.pic;
    drawn_part r;
    bool drawn[256];
    for (unsigned i = 0; i < 256; ++i) {
        drawn[i] = index_in_set(v.drawn, i);
        r.number_of[i] = static_cast<std::uint8_t>(r.g.colours);
        if (drawn[i]) r.colours[r.g.colours++] = v.palette[i];
    }
    box rows = common(p.region, v.area);
    std::int64_t n = rows.x1 - rows.x0, w = v.area.x1 - v.area.x0;
    auto row_of = [&](std::int64_t y, std::int64_t x) { return v.indices + (y - v.area.y0) * w + (x - v.area.x0); };
    box_builder out;
    for (std::int64_t y = rows.y0; y < rows.y1 && !rows.empty(); ++y) {
        const std::uint8_t* ix = row_of(y, rows.x0);
        std::int64_t first = 0, last = n;
        while (first < n && !drawn[ix[first]]) ++first;
        while (last > first && !drawn[ix[last - 1]]) --last;
        out.add_run(y, rows.x0 + first, rows.x0 + last);
    }
    r.b = out.b;
    int spare = 0;  // the index of transparent pixels: the others were drawn
    while (spare < 256 && v.palette[spare]) ++spare;
    if (r.b.empty() || spare == 256) return r;
    for (std::int64_t y = r.b.y0; y < r.b.y1 && !r.g.transparent; ++y)
        r.g.transparent = std::memchr(row_of(y, r.b.x0), spare, static_cast<std::size_t>(r.b.x1 - r.b.x0)) != nullptr;
    if (r.g.transparent) r.g.per_frame = 255;
    for (unsigned i = 0; i < 256; ++i)
        if (!drawn[i]) r.number_of[i] = static_cast<std::uint8_t>(r.g.colours);  // left alone
    r.numbered_indices = true;
    return r;
}

// The frame of group k draws the pixels of its colours.
box group_box(const rebuild_tools& t, const drawing& d, const box& b, const colour_groups& g, std::size_t k) {
    if (g.frames() == 1) return b;
    box out;
    std::size_t n = static_cast<std::size_t>(b.x1 - b.x0);
    d.each_row(b, [&](std::int64_t y, const std::uint32_t* px) {
        for (std::size_t i = 0; i < n; ++i) {
            std::int64_t x = b.x0 + static_cast<std::int64_t>(i);
            if (px[i] && colour_id(t.ids, px[i]) / g.per_frame == k) out = joined(out, box{x, y, x + 1, y + 1});
        }
    });
    return out;
}

struct frame_plan {
    box b;                // on the file's screen
    std::size_t first, count;  // its colours' numbers
    const std::uint32_t* colours;  // its table's, count of them
    bool transparent;
    int delay;
    int disposal;
};

int bits_for(std::size_t entries) {
    int bits = 1;
    while ((std::size_t{1} << bits) < entries) ++bits;
    return bits;
}

constexpr std::size_t most_head = frame_control_size + 1 + image_descriptor_size + entry_size * max_table_entries + 1;

// Control block, descriptor, local table and minimum code size.
std::size_t frame_head(const frame_plan& f, const rebuilt_picture& p, std::uint8_t* head,
                       placed_frame& placed) {
    std::size_t entries = f.count + (f.transparent ? 1 : 0);
    int bits = bits_for(std::max<std::size_t>(entries, 2));
    std::memcpy(head, frame_control_template, frame_control_size);
    head[frame_control_packed] = static_cast<std::uint8_t>(f.disposal << control_disposal_shift | (f.transparent ? control_transparent : 0));
    put_u16(head + frame_control_delay, f.delay);
    head[frame_control_index] = static_cast<std::uint8_t>(f.transparent ? f.count : 0);
    placed = {static_cast<int>(std::min<std::int64_t>(f.b.x0 + p.left_offset, max_position)),
              static_cast<int>(std::min<std::int64_t>(f.b.y0 + p.top_offset, max_position)),
              static_cast<int>(f.b.x1 - f.b.x0), static_cast<int>(f.b.y1 - f.b.y0), 0, std::max(bits, 2)};
    std::uint8_t* desc = head + frame_control_size;
    put_image_start(desc, placed.left, placed.top, placed.width, placed.height, static_cast<std::uint8_t>(table_flag | (bits - 1)));
    std::uint8_t* table = desc + 1 + image_descriptor_size;
    std::size_t size = entry_size * (std::size_t{1} << bits);
    std::memset(table, 0, size);
    for (std::size_t i = 0; i < f.count; ++i) {
        std::uint32_t c = f.colours[i];
        table[entry_size * i] = static_cast<std::uint8_t>(c >> 16);
        table[entry_size * i + 1] = static_cast<std::uint8_t>(c >> 8);
        table[entry_size * i + 2] = static_cast<std::uint8_t>(c);
    }
    table[size] = static_cast<std::uint8_t>(placed.code_size);
    return frame_control_size + 1 + image_descriptor_size + size + 1;
}

// The frame's rows as indices of its table, for code_rows: it may code
// two parts at once, so colours are only looked up here, never numbered.
struct frame_rows {
    const rebuild_tools& t;
    const drawing& d;
    const frame_plan& f;
    const drawn_part& drawn;

    // From the numbers the look-over kept: each part's turned into indices.
    static void code_kept(const frame_rows& r, std::int64_t y0, std::int64_t y1, lzw_encoder& e) {
        const frame_plan& f = r.f;
        const drawn_part& k = r.drawn;
        std::size_t n = static_cast<std::size_t>(f.b.x1 - f.b.x0), w = static_cast<std::size_t>(k.plane_at.x1 - k.plane_at.x0);
        std::uint8_t upper[256], lower[256];
        for (unsigned i = 0; i < no_colour; ++i) {
            upper[i] = static_cast<std::uint8_t>(i);
            lower[i] = k.lower_ids[i];
        }
        upper[no_colour] = lower[no_colour] = static_cast<std::uint8_t>(f.count);  // left alone
        std::vector<std::uint8_t> row(n);
        for (std::int64_t y = f.b.y0 + y0; y < f.b.y0 + y1; ++y) {
            const std::uint8_t* kept = k.plane + static_cast<std::size_t>(y - k.plane_at.y0) * w + (f.b.x0 - k.plane_at.x0);
            const std::uint8_t* ids = y < k.cut ? upper : lower;
            for (std::size_t i = 0; i < n; ++i) row[i] = ids[kept[i]];
            encoder_take(e, row.data(), n);
        }
    }

    // From the view's indices, each turned into its number, a part of a
    // row at a time on the stack: the second thread then takes no memory
    // from the heap, whose first use there costs more than its coding.
    static void code_indices(const frame_rows& r, std::int64_t y0, std::int64_t y1, lzw_encoder& e) {
        const picture_view& v = r.d.p.pic;
        const box& b = r.f.b;
        std::size_t n = static_cast<std::size_t>(b.x1 - b.x0);
        std::int64_t w = v.area.x1 - v.area.x0;
        std::uint8_t part[2048];
        for (std::int64_t y = b.y0 + y0; y < b.y0 + y1; ++y) {
            const std::uint8_t* ix = v.indices + (y - v.area.y0) * w + (b.x0 - v.area.x0);
            for (std::size_t at = 0; at < n; at += sizeof part) {
                std::size_t k = std::min(sizeof part, n - at);
                for (std::size_t i = 0; i < k; ++i) part[i] = r.drawn.number_of[ix[at + i]];
                encoder_take(e, part, k);
            }
        }
    }

    static void code(void* context, std::int64_t y0, std::int64_t y1, lzw_encoder& e) {
        const frame_rows& r = *static_cast<const frame_rows*>(context);
        if (r.drawn.numbered_indices) return code_indices(r, y0, y1, e);
        if (r.drawn.plane) return code_kept(r, y0, y1, e);
        const frame_plan& f = r.f;
        std::size_t n = static_cast<std::size_t>(f.b.x1 - f.b.x0);
        std::vector<std::uint8_t> row(n);
        const std::uint8_t left_alone = static_cast<std::uint8_t>(f.count);
        auto index_of = [&](std::uint32_t colour) {
            std::uint32_t id = colour ? colour_id_of(r.t.ids, colour) - static_cast<std::uint32_t>(f.first) : UINT32_MAX;
            return id < f.count ? static_cast<std::uint8_t>(id) : left_alone;
        };
        r.d.each_row(box{f.b.x0, f.b.y0 + y0, f.b.x1, f.b.y0 + y1}, [&](std::int64_t, const std::uint32_t* px) {
            // Neighbours are often alike, or one of the last two colours.
            std::uint32_t last = 0, other = 0;
            std::uint8_t index = left_alone, other_index = left_alone;
            for (std::size_t i = 0; i < n; ++i) {
                if (px[i] != last) {
                    std::uint32_t c = px[i];
                    std::uint8_t k = c == other ? other_index : index_of(c);
                    other = last;
                    other_index = index;
                    last = c;
                    index = k;
                }
                row[i] = index;
            }
            encoder_take(e, row.data(), n);
        });
    }
};

void encode_rows(const rebuild_tools& t, const drawing& d, const frame_plan& f, const drawn_part& drawn, output_stream& out,
                 int code_size) {
    code_sink sink = sink_to(out);
    frame_rows rows{t, d, f, drawn};
    code_rows(t.coders, sink, code_size, f.b.x1 - f.b.x0, f.b.y1 - f.b.y0, {frame_rows::code, &rows});
    write_out(out, &block_terminator, 1);
}

void write_frame(const rebuild_tools& t, const drawing& d, const frame_plan& f, const drawn_part& drawn) {
    std::uint8_t head[most_head];
    placed_frame placed;
    std::size_t head_size = frame_head(f, d.p, head, placed);
    if (t.spool) {
        std::uint64_t at = spool_frame_begin(*t.spool, placed);
        write_out(*t.spool, head, head_size);
        encode_rows(t, d, f, drawn, *t.spool, placed.code_size);
        spool_frame_end(*t.spool, at);
        return;
    }
    canvas_before_frame(t.canvas, placed, head);
    write_out(t.out, head, head_size);
    std::uint64_t data_at = output_position(t.out);
    encode_rows(t, d, f, drawn, t.out, placed.code_size);
    canvas_after_frame(t.canvas, placed, output_position(t.out) - data_at);
}

box moved(const rebuilt_picture& p, const box& b) {
    return {b.x0 + p.left_offset, b.y0 + p.top_offset, b.x1 + p.left_offset, b.y1 + p.top_offset};
}

}  // namespace

picture_written write_picture(const rebuild_tools& t, const rebuilt_picture& p) {
    drawing d{p, clear_box(p)};
    std::uint64_t item = t.spool ? output_position(*t.spool) : 0;
    if (!t.spool && !d.clear.empty()) canvas_clear(t.canvas, moved(p, d.clear));
    drawn_part drawn = numbers_indices(p) ? find_drawn_indices(p) : drawn_part{};
    if (!drawn.numbered_indices) drawn = find_drawn(t, d);
    const box& b = drawn.b;
    const colour_groups& g = drawn.g;
    std::size_t frames = g.frames();
    for (std::size_t k = 0; k < frames; ++k) {
        frame_plan f;
        f.b = group_box(t, d, b, g, k);
        f.first = k * g.per_frame;
        f.count = std::min(g.per_frame, g.colours - std::min(g.colours, f.first));
        f.colours = drawn.numbered_indices ? drawn.colours : t.ids.colours.data() + f.first;
        f.transparent = g.transparent;
        int rest = p.delay - shortest_shown_delay * static_cast<int>(frames - 1);
        f.delay = k + 1 < frames ? shortest_shown_delay : (rest >= shortest_shown_delay ? rest : p.delay);
        f.disposal = p.restore && frames == 1 ? disposal_restore : disposal_keep;
        write_frame(t, d, f, drawn);
    }
    if (t.spool) spool_item_end(*t.spool, item, d.clear.empty() ? box{} : moved(p, d.clear), frames);
    return {b, p.restore && frames == 1};
}
