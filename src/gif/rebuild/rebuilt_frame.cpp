#include "gif/rebuild/rebuilt_frame.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "gif/layout.h"
#include "gif/lzw/run_code.h"

namespace {

using namespace layout;

constexpr int shortest_shown_delay = 2;  // shorter ones viewers show as 10

// The picture's pixel at (x, y), transparent outside the region it is shown in.
std::uint32_t shown_pixel(const file_canvas& pic, const box& region, std::int64_t x, std::int64_t y) {
    return region.contains(box{x, y, x + 1, y + 1}) ? pixel_at(pic, x, y) : 0;
}

// The bounding boxes of a region's pixels: those drawn and those transparent.
struct extent {
    box drawn, clear;
};

void include_pixel(box& b, std::int64_t x, std::int64_t y) {
    if (b.empty()) {
        b = box{x, y, x + 1, y + 1};
        return;
    }
    b = box{std::min(b.x0, x), std::min(b.y0, y), std::max(b.x1, x + 1), std::max(b.y1, y + 1)};
}

// The pixels to draw, and those the output may show drawn that the picture
// has not. Beyond what the canvas holds the picture is transparent: where
// the output may show anything there, all of the region is cleared.
extent measure(const file_canvas& pic, const box& region, const shown_mask* shown) {
    extent e;
    box held = common(region, pic.held);
    if (shown && shown->outside && !pic.held.contains(region)) e.clear = region;
    for (std::int64_t y = held.y0; y < held.y1; ++y)
        for (std::int64_t x = held.x0; x < held.x1; ++x) {
            if (shown_pixel(pic, region, x, y))
                include_pixel(e.drawn, x, y);
            else if (shown && mask_drawn(*shown, x, y))
                include_pixel(e.clear, x, y);
        }
    return e;
}


// How the picture's colours are shared out among frames.
struct colour_groups {
    std::size_t colours = 0;
    std::size_t per_frame = 256;  // colours a frame takes
    bool transparent = false;     // frames leave some pixels as they are
    std::size_t frames() const { return colours == 0 ? 1 : (colours + per_frame - 1) / per_frame; }
};

colour_groups number_colours(const rebuild_tools& t, const file_canvas& pic, const box& region, const box& b) {
    colour_ids_clear(t.ids);
    colour_groups g;
    for (std::int64_t y = b.y0; y < b.y1; ++y)
        for (std::int64_t x = b.x0; x < b.x1; ++x) {
            std::uint32_t px = shown_pixel(pic, region, x, y);
            if (px)
                colour_id(t.ids, px);
            else
                g.transparent = true;
        }
    g.colours = t.ids.colours.size();
    if (g.colours > 256 || (g.transparent && g.colours == 256)) g.transparent = true;
    if (g.transparent) g.per_frame = 255;  // one index stays for the pixels left alone
    return g;
}

// The frame of group k draws the pixels of its colours.
box group_box(const rebuild_tools& t, const file_canvas& pic, const box& b, const colour_groups& g, std::size_t k) {
    if (g.frames() == 1) return b;
    box out;
    for (std::int64_t y = b.y0; y < b.y1; ++y)
        for (std::int64_t x = b.x0; x < b.x1; ++x) {
            std::uint32_t px = pixel_at(pic, x, y);
            if (px && colour_id(t.ids, px) / g.per_frame == k) include_pixel(out, x, y);
        }
    return out;
}

struct frame_plan {
    box b;                // on the file's screen
    std::size_t first, count;  // its colours' numbers
    bool transparent;
    int delay;
};

int bits_for(std::size_t entries) {
    int bits = 1;
    while ((std::size_t{1} << bits) < entries) ++bits;
    return bits;
}

// Control block, descriptor, local table and minimum code size.
std::size_t frame_head(const rebuild_tools& t, const frame_plan& f, const rebuilt_picture& p, std::uint8_t* head,
                       placed_frame& placed) {
    std::size_t entries = f.count + (f.transparent ? 1 : 0);
    int bits = bits_for(std::max<std::size_t>(entries, 2));
    std::memcpy(head, frame_control_template, frame_control_size);
    head[frame_control_packed] = static_cast<std::uint8_t>(disposal_keep << control_disposal_shift | (f.transparent ? control_transparent : 0));
    put_u16(head + frame_control_delay, f.delay);
    head[frame_control_index] = static_cast<std::uint8_t>(f.transparent ? f.count : 0);
    placed = {static_cast<int>(std::min<std::int64_t>(f.b.x0 + p.left_offset, max_position)),
              static_cast<int>(std::min<std::int64_t>(f.b.y0 + p.top_offset, max_position)),
              static_cast<int>(f.b.x1 - f.b.x0), static_cast<int>(f.b.y1 - f.b.y0), 0, std::max(bits, 2)};
    std::uint8_t* desc = head + frame_control_size;
    desc[0] = image_separator;
    put_u16(desc + 1 + image_left, placed.left);
    put_u16(desc + 1 + image_top, placed.top);
    put_u16(desc + 1 + image_width, placed.width);
    put_u16(desc + 1 + image_height, placed.height);
    desc[1 + image_packed] = static_cast<std::uint8_t>(table_flag | (bits - 1));
    std::uint8_t* table = desc + 1 + image_descriptor_size;
    std::size_t size = entry_size * (std::size_t{1} << bits);
    std::memset(table, 0, size);
    for (std::size_t i = 0; i < f.count; ++i) {
        std::uint32_t c = t.ids.colours[f.first + i];
        table[entry_size * i] = static_cast<std::uint8_t>(c >> 16);
        table[entry_size * i + 1] = static_cast<std::uint8_t>(c >> 8);
        table[entry_size * i + 2] = static_cast<std::uint8_t>(c);
    }
    table[size] = static_cast<std::uint8_t>(placed.code_size);
    return frame_control_size + 1 + image_descriptor_size + size + 1;
}

void write_frame(const rebuild_tools& t, const file_canvas& pic, const frame_plan& f, const rebuilt_picture& p) {
    std::uint8_t head[frame_control_size + 1 + image_descriptor_size + entry_size * max_table_entries + 1];
    placed_frame placed;
    std::size_t head_size = frame_head(t, f, p, head, placed);
    canvas_before_frame(t.canvas, placed, head);
    write_out(t.out, head, head_size);
    std::uint64_t data_at = output_position(t.out);
    code_sink sink;
    sink.out = &t.out;
    encoder_start(t.encoder, placed.code_size, sink);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(f.b.x1 - f.b.x0));
    const std::uint8_t left_alone = static_cast<std::uint8_t>(f.count);
    for (std::int64_t y = f.b.y0; y < f.b.y1; ++y) {
        for (std::int64_t x = f.b.x0; x < f.b.x1; ++x) {
            std::uint32_t px = shown_pixel(pic, p.region, x, y);
            std::uint32_t id = px ? colour_id(t.ids, px) : 0;
            bool mine = px && id >= f.first && id < f.first + f.count;
            row[static_cast<std::size_t>(x - f.b.x0)] = mine ? static_cast<std::uint8_t>(id - f.first) : left_alone;
        }
        encoder_take(t.encoder, row.data(), row.size());
    }
    encoder_finish(t.encoder);
    write_out(t.out, &block_terminator, 1);
    canvas_after_frame(t.canvas, placed, output_position(t.out) - data_at);
}

}  // namespace

box write_picture(const rebuild_tools& t, const file_canvas& pic, const rebuilt_picture& p) {
    extent e = measure(pic, p.region, p.shown);
    box clear = joined(e.clear, p.owed);
    if (!clear.empty())
        canvas_clear(t.canvas, box{clear.x0 + p.left_offset, clear.y0 + p.top_offset, clear.x1 + p.left_offset,
                                   clear.y1 + p.top_offset});
    // A picture with nothing to draw still takes its time: one transparent pixel.
    box b = e.drawn.empty() ? box{p.region.x0, p.region.y0, p.region.x0 + 1, p.region.y0 + 1} : e.drawn;
    colour_groups g = number_colours(t, pic, p.region, b);
    std::size_t frames = g.frames();
    for (std::size_t k = 0; k < frames; ++k) {
        frame_plan f;
        f.b = group_box(t, pic, b, g, k);
        f.first = k * g.per_frame;
        f.count = std::min(g.per_frame, g.colours - std::min(g.colours, f.first));
        f.transparent = g.transparent;
        int rest = p.delay - shortest_shown_delay * static_cast<int>(frames - 1);
        f.delay = k + 1 < frames ? shortest_shown_delay : (rest >= shortest_shown_delay ? rest : p.delay);
        write_frame(t, pic, f, p);
    }
    return b;
}
