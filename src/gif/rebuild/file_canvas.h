// The canvas of one file as it plays alone, for rebuilding frames: every
// pixel the file's frames have drawn on its screen, in colour. It holds
// only the part of the screen that frames have drawn, and grows with what
// their image data really gives, never with what a header claims.
//
// While every frame drawn takes its colours from one table, the pixels
// are kept as that table's indices, a byte each, and an index no frame
// has drawn stands for a transparent pixel: a quarter of the memory, and
// frames drawn without looking colours up. A frame of other colours, one
// that leaves no index spare, a journal or a frame that restores what it
// covered turns the canvas into colours for the rest of the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "gif/canvas.h"
#include "gif/rebuild/canvas_journal.h"
#include "gif/rebuild/rebuild_room.h"

// A pixel is 0 where the screen is transparent, else 0xFF000000 | r<<16 | g<<8 | b.
constexpr std::uint32_t opaque_pixel = 0xFF000000u;

struct file_canvas {
    int width = 0, height = 0;        // the file's screen
    box held;                         // the part of it whose pixels are kept
    room_vector<std::uint32_t> pixels;  // held's, row by row, in colour
    bool indexed = false;               // held's are kept in `indices` instead
    room_vector<std::uint8_t> indices;
    std::uint32_t table[256];           // the colours the frames take
    std::uint32_t palette[256];         // the colour of each index: the table's, but the spare's is 0
    std::uint8_t spare = 0;             // the index kept for transparent pixels
    box spare_at;                       // where pixels of it may lie
    int spare_moves = 0;                // times a frame took it, and another was found
    std::uint64_t drawn_set[4];         // the indices frames may have drawn, a bit each
    std::uint64_t drawn_pixels = 0;   // pixels the file's image data has given so far
    bool short_of_room = false;       // a pixel fell where the canvas could not grow
    // What a frame that restores its rectangle put back afterwards.
    box saved_at;
    std::vector<std::uint32_t> saved;
    canvas_journal journal;
};

// A new file: its screen, nothing drawn.
void file_canvas_open(file_canvas& c, int width, int height);

// The part of a rectangle on the screen.
box on_screen(const file_canvas& c, box b);

// Makes the canvas hold `need` (on the screen), growing towards `toward`
// where that costs little. Returns false where it may not grow so far:
// beyond a few million pixels it grows only as the image data given so
// far could cover it.
bool file_canvas_hold(file_canvas& c, const box& need, const box& toward);

// Where pixel (x, y) of the held part is kept.
inline std::size_t pixel_index(const file_canvas& c, std::int64_t x, std::int64_t y) {
    return static_cast<std::size_t>((y - c.held.y0) * (c.held.x1 - c.held.x0) + (x - c.held.x0));
}
inline std::uint32_t* pixel_ref(file_canvas& c, std::int64_t x, std::int64_t y) { return &c.pixels[pixel_index(c, x, y)]; }
inline std::uint8_t* index_ref(file_canvas& c, std::int64_t x, std::int64_t y) { return &c.indices[pixel_index(c, x, y)]; }

// Whether index i is in a set of indices, a bit each.
inline bool index_in_set(const std::uint64_t* set, unsigned i) { return set[i >> 6] >> (i & 63) & 1; }

// A frame with these 256 colours is about to be drawn: the canvas keeps
// indices where it can go on doing so, and turns into colours otherwise.
void file_canvas_take_colours(file_canvas& c, const std::uint32_t* colours);

// Indices of the set (a bit each) are about to be drawn: the spare index
// must be another.
void file_canvas_will_draw(file_canvas& c, const std::uint64_t* set);

// Every pixel of `b` (on the screen) has just been drawn, none left transparent.
void file_canvas_covered(file_canvas& c, const box& b);

// The canvas in colour from now on.
void file_canvas_to_colours(file_canvas& c);

// A picture's pixels over a box of the screen, row by row, in colour or
// as indices of a palette; transparent beyond it.
struct picture_view {
    box area;
    const std::uint32_t* pixels = nullptr;
    const std::uint8_t* indices = nullptr;   // instead of pixels
    const std::uint32_t* palette = nullptr;  // their colours
    const std::uint64_t* drawn = nullptr;    // the indices frames may have drawn, a bit each; the others are transparent
};

// The colours of n indices.
inline void colours_of(const std::uint8_t* indices, std::size_t n, const std::uint32_t* palette, std::uint32_t* out) {
    for (std::size_t k = 0; k < n; ++k) out[k] = palette[indices[k]];
}

inline picture_view view_of(const file_canvas& c) {
    if (c.indexed) return {c.held, nullptr, c.indices.data(), c.palette, c.drawn_set};
    return {c.held, c.pixels.data()};
}

inline std::uint32_t view_pixel(const picture_view& v, std::int64_t x, std::int64_t y) {
    if (x < v.area.x0 || x >= v.area.x1 || y < v.area.y0 || y >= v.area.y1) return 0;
    std::size_t k = static_cast<std::size_t>((y - v.area.y0) * (v.area.x1 - v.area.x0) + (x - v.area.x0));
    return v.indices ? v.palette[v.indices[k]] : v.pixels[k];
}

// Starts a journal of the changes to come, which frames and disposals may
// make within `region`: the picture now can then still be seen.
void journal_open(file_canvas& c, const box& region);

// The copy that replaces a journal grown too large.
void journal_give_way(file_canvas& c);

// Pixel (x, y), of colour `was`, is about to change.
inline void journal_note(file_canvas& c, std::int64_t x, std::int64_t y, std::uint32_t was) {
    canvas_journal& j = c.journal;
    if (!j.open) return;
    if (j.entries.size() >= j.most) return journal_give_way(c);
    j.entries.push_back({journal_key(x, y), was});
}

// The picture as it was when the journal was opened: the canvas with the
// journal's pixels put back (`undo`), or its copy.
struct journal_picture {
    picture_view view;
    const canvas_journal* undo = nullptr;
};
journal_picture journal_view(file_canvas& c);

void journal_close(file_canvas& c);

// Copies the pixels of `b` (held, on the screen) into `into`; the view shows them.
picture_view file_canvas_copy(const file_canvas& c, const box& b, std::vector<std::uint32_t>& into);

// Before a frame that restores its rectangle is drawn: keeps what the
// rectangle holds now.
void file_canvas_save(file_canvas& c, const box& rect);

// After a frame is shown: disposal 2 clears its rectangle, 3 puts back
// what file_canvas_save kept; the others leave it.
void file_canvas_dispose(file_canvas& c, const box& rect, int disposal);
