// The join's canvas as a viewer builds it, as far as the program must know
// it: its size, the region that frames drawn since it was last clear may
// have covered, and the last frame written, whose control block a clear
// frame takes its time from. With fit_canvas, a file whose first frame
// would show what earlier files left is preceded by a clear frame.
#pragma once

#include <cstdint>

#include "gif/layout.h"
#include "gif/output.h"

// A region of the canvas, [x0, x1) x [y0, y1).
struct box {
    std::int64_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool empty() const { return x0 >= x1 || y0 >= y1; }
    bool contains(const box& b) const { return x0 <= b.x0 && y0 <= b.y0 && x1 >= b.x1 && y1 >= b.y1; }
};

// The smallest box that holds both, and the part both hold.
inline box joined(const box& a, const box& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    return {a.x0 < b.x0 ? a.x0 : b.x0, a.y0 < b.y0 ? a.y0 : b.y0, a.x1 > b.x1 ? a.x1 : b.x1, a.y1 > b.y1 ? a.y1 : b.y1};
}
inline box common(const box& a, const box& b) {
    box c{a.x0 > b.x0 ? a.x0 : b.x0, a.y0 > b.y0 ? a.y0 : b.y0, a.x1 < b.x1 ? a.x1 : b.x1, a.y1 < b.y1 ? a.y1 : b.y1};
    return c.empty() ? box{} : c;
}

struct last_frame {
    bool present = false;
    bool covers_earlier = false;  // a file's first frame that hides, uncleared, what earlier files drew
    std::uint64_t at = 0;  // output position of its control block
    std::uint8_t control[layout::frame_control_size];
};

// The canvas as a run keeps it.
struct canvas_state {
    output_stream* out = nullptr;  // the run's output
    bool fit = false;              // the run's fit_canvas
    int width = 0, height = 0;
    std::uint64_t screen_at = 0;   // output position of the header's screen descriptor
    box drawn;                    // what the frames since the last clear may have drawn
    std::uint64_t drawn_data = 0;  // their image data bytes
    bool file_start = false;      // the next frame is a file's first
    last_frame last;
};

// A frame as it goes out: its position on the canvas (after any move) and
// what bounds the pixels it can draw.
struct placed_frame {
    int left, top, width, height;
    int interlaced;
    int code_size;
};

// The header is written, its screen descriptor at output position
// screen_at: the canvas has this size and nothing on it.
// `fit` is the run's fit_canvas.
void canvas_open(canvas_state& c, output_stream& out, bool fit, int width, int height, std::uint64_t screen_at);

// With fit_canvas, makes the canvas as large as a file's screen, rewriting
// the size in the header already written, where the output still allows.
void canvas_include(canvas_state& c, int width, int height);
int canvas_width(canvas_state& c);
int canvas_height(canvas_state& c);

// A file begins: its first frame must not show anything of earlier files.
void canvas_next_file(canvas_state& c);

// Called just before a frame's control block is written, with its 8 bytes.
// Writes a clear frame first when earlier files drew something the frame
// would not cover, and takes that frame's time out of the last frame's.
void canvas_before_frame(canvas_state& c, const placed_frame& f, const std::uint8_t* control);

// The part of the frame that data_bytes of its image data can draw.
box frame_reach(const placed_frame& f, std::uint64_t data_bytes);

// Writes a clear frame over `area` (not empty, on the canvas), its time
// taken out of the last frame's, which keeps its picture until then.
void canvas_clear(canvas_state& c, const box& area);

// Called once the frame's image data, data_bytes of it, has been copied.
void canvas_after_frame(canvas_state& c, const placed_frame& f, std::uint64_t data_bytes);

// Whether the last frame written is a file's first that earlier files' drawing
// was left under, uncleared, because the frame hides it all.
int canvas_last_covers_earlier(canvas_state& c);

// Makes the last frame written show its pixels of `index` as transparent,
// where the output still allows.
void canvas_make_last_transparent(canvas_state& c, int index);

// Gives the last frame written a new delay, where the output still allows.
void retime_last_frame(canvas_state& c, int delay);
