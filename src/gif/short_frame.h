// Completes a frame whose image data gives fewer pixels than the frame
// holds: browsers refuse such a frame, and stop the animation there. The
// copied data stays as it is up to its last decodable code; then come a
// clear code and a run of one index, transparent where the frame's control
// block can say so, so that the canvas shows what it showed before where
// the frame has no pixels of its own.
#pragma once

#include <cstdint>

#include "gif/canvas.h"
#include "gif/image_data.h"

// The added codes may take this much more than the frame's own data: a
// few bytes that claim a vast frame must not grow the output by megabytes.
constexpr std::uint64_t completion_allowance = 16 * 1024;

struct frame_geometry {
    std::uint64_t pixels;      // width times height
    int code_size;             // the minimum code size
    std::uint64_t control_at;  // output position of the frame's control block
    std::uint64_t data_at;     // output position of its first data sub-block
};

// Called once the frame's image data and terminator have been written,
// with what its codes held: a frame whose data has its end code, and no
// code before it that names an entry not made, and could hold all its
// pixels is taken as whole without being read back. Returns 1 when pixels
// were added.
int complete_short_frame(canvas_state& c, const frame_geometry& f, const image_data_seen& seen);
