// What changes on a file's canvas while a journal is kept: each pixel's
// colour before its first change. A backward range needs two pictures at
// once, the one before a frame and the one after; the canvas holds the
// second, and the journal the few pixels of the first that differ. Where
// a frame changes much of what the journal watches, a copy of the first
// picture takes its place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "gif/canvas.h"

struct journal_entry {
    std::uint32_t at;   // y << 16 | x, on the file's screen
    std::uint32_t was;  // the colour before the change
};

inline std::uint32_t journal_key(std::int64_t x, std::int64_t y) {
    return static_cast<std::uint32_t>(y) << 16 | static_cast<std::uint32_t>(x);
}

struct canvas_journal {
    bool open = false;
    bool sealed = false;                 // entries in order, one a pixel
    box region;                          // what it watches: held pixels of the screen
    std::size_t most = 0;                // entries it takes before a copy replaces it
    std::vector<journal_entry> entries;
    std::int64_t first_row = 0;
    std::vector<std::uint32_t> row_starts;  // sealed: the first entry of each row from first_row on, and the end
    bool copied = false;                 // the copy replaced it
    box copy_at;
    std::vector<std::uint32_t> copy;     // the picture before, over copy_at
};

// Orders the entries and keeps the first change of each pixel.
void journal_seal(canvas_journal& j);

// Puts back, in a row of pixels x0 to x1 of row y, the colours the
// journal has for them (sealed).
void journal_apply(const canvas_journal& j, std::int64_t y, std::int64_t x0, std::int64_t x1, std::uint32_t* row);
