// Which pixels of a file's screen the output may show drawn while it
// shows otherwise than the file alone: a bit a pixel over the part of the
// screen the file's canvas holds, and one value for the rest. A rebuilt
// frame needs a clear frame only where the output may show a pixel that
// its picture has not.
#pragma once

#include <cstdint>
#include <vector>

#include "gif/rebuild/file_canvas.h"

struct shown_mask {
    box at;
    std::vector<std::uint64_t> bits;  // at's pixels row by row, 1: may be drawn
    bool outside = false;             // what every pixel outside `at` may be
};

// The output shows what the canvas holds now.
void mask_from_canvas(shown_mask& m, const file_canvas& c);

// The output may show anything anywhere.
void mask_unknown(shown_mask& m);

inline bool mask_drawn(const shown_mask& m, std::int64_t x, std::int64_t y) {
    if (x < m.at.x0 || x >= m.at.x1 || y < m.at.y0 || y >= m.at.y1) return m.outside;
    std::size_t i = static_cast<std::size_t>((y - m.at.y0) * (m.at.x1 - m.at.x0) + (x - m.at.x0));
    return m.bits[i / 64] >> (i % 64) & 1;
}

// Whether the mask says nothing may be drawn anywhere.
inline bool mask_blank(const shown_mask& m) { return !m.outside && m.at.empty(); }
