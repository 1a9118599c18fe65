// Plays a decoded GIF the way viewers show it: one canvas snapshot per frame,
// with the time it stays on screen, so that tests can check that a joined file
// plays like its inputs did.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gif_decode.h"

namespace testgif {

// A canvas as shown. A pixel is 0 when transparent, else 0xFF000000 | r<<16 | g<<8 | b,
// so transparent pixels compare equal whatever colour they once had.
struct snapshot {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;  // row by row, top to bottom
};

bool operator==(const snapshot& a, const snapshot& b);
inline bool operator!=(const snapshot& a, const snapshot& b) { return !(a == b); }

struct shown {
    snapshot pic;
    int time = 0;  // hundredths of a second, after rounding (delays 0 and 1 show as 10)
};

using timeline = std::vector<shown>;

// One pass through the frames, without looping. The canvas is the logical
// screen, grown to the first frame where that reaches beyond it, as
// browsers grow it, and starts transparent. Each frame draws its non-transparent pixels,
// clipped to the canvas, is shown for its delay and then disposed of: 2 clears
// its rectangle, 3 restores what the rectangle held before, anything else
// leaves it. An index beyond the colour table draws opaque black; a frame
// without a graphic control extension has delay 0 and no transparency.
timeline play(const decoded& gif);

// Consecutive equal pictures become one, shown for the sum of their times.
timeline merge_repeats(timeline t);

// How the program places and times the inputs of a join made with --fit or
// --center.
struct join_rules {
    bool centre = false;      // --center: each input in the middle of the canvas, else at its top left
    bool keep_delays = true;  // false: every frame gets run_delay, the last input's end_delay
    int run_delay = 20, end_delay = 80;
};

// What a join of the decoded inputs should play: each alone, one after the
// other, on a canvas as large as the largest screen, its frames shown only
// on its own screen's place there. A still (one image without a delay) shows for the run
// delay, the end delay when last; an input that a clear frame follows
// (cleared_after[i]) and whose last frame shows for 2 or 3 hundredths,
// too short to give 2 to the clear frame, shows it 2 longer.
// picks[i], where given and not empty, are the frames of input i that
// play, in their order: the pictures those frames show alone.
timeline expected_join(std::vector<decoded> inputs, const join_rules& rules,
                       const std::vector<bool>& cleared_after = {}, const std::vector<std::vector<int>>& picks = {});

// Compares after merging repeats. Returns "" when equal, else a short account
// of the first difference: index, times, sizes or the first differing pixel.
std::string compare(const timeline& expected, const timeline& actual);

}  // namespace testgif
