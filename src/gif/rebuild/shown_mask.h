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

bool mask_drawn(const shown_mask& m, std::int64_t x, std::int64_t y);
