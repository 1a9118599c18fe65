#include "gif/rebuild/file_canvas.h"

#include <algorithm>
#include <cstdint>

#include "gif/layout.h"
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
void reserve_pixels(std::vector<std::uint32_t>& pixels, std::size_t n) {
    if (n <= pixels.capacity()) return;
    pixels.reserve(n);
    fault_in(pixels.data(), n * sizeof(std::uint32_t));
}

void hold_exactly(file_canvas& c, const box& b) {
    if (c.held.empty()) {  // the first pixels: in the memory the last file's canvas had, where it is enough
        reserve_pixels(c.pixels, area(b));
        c.pixels.assign(area(b), 0);
        c.held = b;
        return;
    }
    std::vector<std::uint32_t> grown(area(b), 0);
    std::int64_t w = b.x1 - b.x0;
    for (std::int64_t y = c.held.y0; y < c.held.y1; ++y)
        std::copy_n(c.pixels.begin() + (y - c.held.y0) * (c.held.x1 - c.held.x0), c.held.x1 - c.held.x0,
                    grown.begin() + (y - b.y0) * w + (c.held.x0 - b.x0));
    c.pixels.swap(grown);
    c.held = b;
}

}  // namespace

void file_canvas_open(file_canvas& c, int width, int height) {
    std::vector<std::uint32_t> memory;
    memory.swap(c.pixels);
    c = file_canvas{};
    memory.clear();
    c.pixels.swap(memory);
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
    std::size_t k = 0;
    for (std::int64_t y = at.y0; y < at.y1; ++y)
        for (std::int64_t x = at.x0; x < at.x1; ++x) into[k++] = c.pixels[pixel_index(c, x, y)];
    return {at, into.data()};
}

void journal_open(file_canvas& c, const box& region) {
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

void file_canvas_save(file_canvas& c, const box& rect) { c.saved_at = file_canvas_copy(c, rect, c.saved).area; }

void file_canvas_dispose(file_canvas& c, const box& rect, int disposal) {
    if (disposal != layout::disposal_clear && disposal != layout::disposal_restore) return;
    box b = common(on_screen(c, rect), c.held);
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
