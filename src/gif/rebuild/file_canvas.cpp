#include "gif/rebuild/file_canvas.h"

#include <algorithm>
#include <cstdint>

#include "gif/layout.h"
#include "gif/rebuild/paint_row.h"
#include "gif/resident.h"

namespace {

// Any canvas up to this size is held at once; beyond it, only as far as
// the pixels given so far could reach (an interlaced frame's first rows
// spread over eight times its height).
constexpr std::uint64_t free_pixels = 4u << 20;
constexpr std::uint64_t spread = 8;

std::uint64_t area(const box& b) { return b.empty() ? 0 : static_cast<std::uint64_t>((b.x1 - b.x0) * (b.y1 - b.y0)); }


bool affordable(const file_canvas& c, const box& b) {
    return area(b) <= std::max(free_pixels, spread * c.drawn_pixels);
}

// Makes room for n pixels, its pages faulted in with one call where the
// system can: one fault at a time costs twice as much.
template <typename V>
void reserve_pixels(V& pixels, std::size_t n) {
    if (n <= pixels.capacity()) return;
    pixels.reserve(n);
    fault_in(pixels.data(), n * sizeof(typename V::value_type));
}

// Makes `pixels`, held over `held`, hold `b` instead; new pixels are `blank`.
template <typename V>
void hold_in(V& pixels, const box& held, const box& b, typename V::value_type blank) {
    if (held.empty()) {  // the first pixels: in the memory the last file's canvas had, where it is enough
        reserve_pixels(pixels, area(b));
        pixels.assign(area(b), blank);
        return;
    }
    V grown(area(b), blank, pixels.get_allocator());
    std::int64_t w = b.x1 - b.x0;
    for (std::int64_t y = held.y0; y < held.y1; ++y)
        std::copy_n(pixels.begin() + (y - held.y0) * (held.x1 - held.x0), held.x1 - held.x0,
                    grown.begin() + (y - b.y0) * w + (held.x0 - b.x0));
    pixels.swap(grown);
}

void hold_exactly(file_canvas& c, const box& b) {
    if (c.indexed) {
        hold_in(c.indices, c.held, b, c.spare);
        c.spare_at = joined(c.spare_at, b);
    } else
        hold_in(c.pixels, c.held, b, 0u);
    c.held = b;
}

constexpr int most_spare_moves = 8;  // each rewrites the canvas

}  // namespace

void file_canvas_take_colours(file_canvas& c, const std::uint32_t* colours) {
    if (c.held.empty()) {  // nothing drawn yet: a new table, where no journal keeps colours
        c.indexed = !c.journal.open;
        std::copy_n(colours, 256, c.table);
        std::copy_n(colours, 256, c.palette);
        c.spare = 255;
        c.palette[c.spare] = 0;
        c.spare_moves = 0;
        std::fill_n(c.drawn_set, 4, 0);
        return;
    }
    if (c.indexed && !std::equal(colours, colours + 256, c.table)) file_canvas_to_colours(c);
}

void file_canvas_will_draw(file_canvas& c, const std::uint64_t* set) {
    if (!c.indexed) return;
    for (int w = 0; w < 4; ++w) c.drawn_set[w] |= set[w];
    if (!index_in_set(set, c.spare)) return;
    int spare = 255;
    while (spare >= 0 && index_in_set(c.drawn_set, static_cast<unsigned>(spare))) --spare;
    if (spare < 0 || ++c.spare_moves > most_spare_moves) return file_canvas_to_colours(c);
    const box& b = c.spare_at;
    for (std::int64_t y = b.y0; y < b.y1; ++y)
        replace_index_row(index_ref(c, b.x0, y), b.x1 - b.x0, c.spare, static_cast<std::uint8_t>(spare));
    c.palette[c.spare] = c.table[c.spare];
    c.spare = static_cast<std::uint8_t>(spare);
    c.palette[c.spare] = 0;
}

void file_canvas_covered(file_canvas& c, const box& b) {
    if (c.indexed && b.contains(c.spare_at)) c.spare_at = box{};
}

void file_canvas_to_colours(file_canvas& c) {
    if (!c.indexed) return;
    c.indexed = false;
    std::size_t n = c.indices.size();
    reserve_pixels(c.pixels, n);
    c.pixels.resize(n);
    colours_of(c.indices.data(), n, c.palette, c.pixels.data());
    decltype(c.indices)(c.indices.get_allocator()).swap(c.indices);  // never both at once for long
}

void file_canvas_open(file_canvas& c, int width, int height) {
    decltype(c.pixels) memory;
    decltype(c.indices) index_memory;
    memory.swap(c.pixels);
    index_memory.swap(c.indices);
    c = file_canvas{};
    memory.clear();
    index_memory.clear();
    c.pixels.swap(memory);
    c.indices.swap(index_memory);
    c.width = width;
    c.height = height;
}

box on_screen(const file_canvas& c, box b) {
    b.x0 = std::max<std::int64_t>(b.x0, 0);
    b.y0 = std::max<std::int64_t>(b.y0, 0);
    b.x1 = std::min<std::int64_t>(b.x1, c.width);
    b.y1 = std::min<std::int64_t>(b.y1, c.height);
    return b.empty() ? box{} : b;
}

bool file_canvas_hold(file_canvas& c, const box& need, const box& toward) {
    if (need.empty() || c.held.contains(need)) return true;
    box least = joined(c.held, need), most = joined(least, on_screen(c, toward));
    if (affordable(c, most)) {
        hold_exactly(c, most);
        return true;
    }
    if (!affordable(c, least)) {
        c.short_of_room = true;
        return false;
    }
    // Grows by rows, at least doubling, so that a tall frame given row by
    // row is not copied once a row.
    box b = least;
    std::int64_t rows = std::max<std::int64_t>(b.y1 - b.y0, 2 * (c.held.y1 - c.held.y0));
    if (b.y1 == need.y1) b.y1 = std::min(most.y1, b.y0 + rows);
    while (!affordable(c, b) && b.y1 > least.y1) b.y1 = least.y1 + (b.y1 - least.y1) / 2;
    hold_exactly(c, b);
    return true;
}

picture_view file_canvas_copy(const file_canvas& c, const box& b, std::vector<std::uint32_t>& into) {
    box at = common(on_screen(c, b), c.held);
    into.resize(area(at));
    const picture_view now = view_of(c);
    std::size_t k = 0;
    for (std::int64_t y = at.y0; y < at.y1; ++y)
        for (std::int64_t x = at.x0; x < at.x1; ++x) into[k++] = view_pixel(now, x, y);
    return {at, into.data()};
}

void journal_open(file_canvas& c, const box& region) {
    file_canvas_to_colours(c);  // the journal keeps colours
    canvas_journal& j = c.journal;
    j.open = true;
    j.sealed = j.copied = false;
    j.region = common(on_screen(c, region), c.held);
    j.entries.clear();
    // A copy of the region takes 4 bytes a pixel, an entry 8: beyond an
    // eighth of its pixels the journal gives way.
    j.most = std::max<std::uint64_t>(area(j.region) / 8, 64);
    // Room for all of them at once: pages never written cost nothing, and
    // the entries are never copied as they grow.
    j.entries.reserve(j.most);
    j.copy.clear();
}

void journal_give_way(file_canvas& c) {
    canvas_journal& j = c.journal;
    file_canvas_copy(c, j.region, j.copy);
    j.copy_at = j.region;
    for (auto e = j.entries.rbegin(); e != j.entries.rend(); ++e) {  // the first change of a pixel last
        std::int64_t x = e->at & 0xFFFF, y = e->at >> 16;
        if (x >= j.copy_at.x0 && x < j.copy_at.x1 && y >= j.copy_at.y0 && y < j.copy_at.y1)
            j.copy[static_cast<std::size_t>((y - j.copy_at.y0) * (j.copy_at.x1 - j.copy_at.x0) + (x - j.copy_at.x0))] = e->was;
    }
    j.entries.clear();
    j.entries.shrink_to_fit();
    j.open = false;
    j.copied = true;
}

journal_picture journal_view(file_canvas& c) {
    canvas_journal& j = c.journal;
    if (j.copied) return {{j.copy_at, j.copy.data()}, nullptr};
    journal_seal(j);
    return {view_of(c), &j};
}

void journal_close(file_canvas& c) {
    canvas_journal& j = c.journal;
    j.open = j.copied = false;
    j.entries.clear();
    j.copy.clear();
}

void file_canvas_save(file_canvas& c, const box& rect) {
    file_canvas_to_colours(c);  // what is put back is in colour
    c.saved_at = file_canvas_copy(c, rect, c.saved).area;
}

void file_canvas_dispose(file_canvas& c, const box& rect, int disposal) {
    if (disposal != layout::disposal_clear && disposal != layout::disposal_restore) return;
    box b = common(on_screen(c, rect), c.held);
    if (c.indexed && disposal == layout::disposal_clear) {  // no journal is kept on indices
        for (std::int64_t y = b.y0; y < b.y1; ++y) std::fill_n(index_ref(c, b.x0, y), b.x1 - b.x0, c.spare);
        c.spare_at = joined(c.spare_at, b);
        return;
    }
    file_canvas_to_colours(c);
    for (std::int64_t y = b.y0; y < b.y1; ++y)
        for (std::int64_t x = b.x0; x < b.x1; ++x) {
            // Pixels the canvas did not hold when the frame came were transparent.
            bool restore = disposal == layout::disposal_restore;
            std::uint32_t* px = pixel_ref(c, x, y);
            std::uint32_t now = restore ? view_pixel({c.saved_at, c.saved.data()}, x, y) : 0;
            if (*px != now) journal_note(c, x, y, *px);
            *px = now;
        }
    if (disposal == layout::disposal_restore) {
        c.saved.clear();
        c.saved.shrink_to_fit();
        c.saved_at = box{};
    }
}
