// The join's canvas as a viewer builds it, as far as the program must know
// it: its size, the region that frames drawn since it was last clear may
// have covered, and the last frame written, whose control block a clear
// frame takes its time from. With fit_canvas, a file whose first frame
// would show what earlier files left is preceded by a clear frame.
#pragma once

#include <cstdint>

// A frame as it goes out: its position on the canvas (after any move) and
// what bounds the pixels it can draw.
struct placed_frame {
    int left, top, width, height;
    int interlaced;
    int code_size;
};

// The header is written, its screen descriptor at output position
// screen_at: the canvas has this size and nothing on it.
void canvas_open(int width, int height, std::uint64_t screen_at);

// With fit_canvas, makes the canvas as large as a file's screen, rewriting
// the size in the header already written, where the output still allows.
void canvas_include(int width, int height);
int canvas_width();
int canvas_height();

// A file begins: its first frame must not show anything of earlier files.
void canvas_next_file();

// Called just before a frame's control block is written, with its 8 bytes.
// Writes a clear frame first when earlier files drew something the frame
// would not cover, and takes that frame's time out of the last frame's.
void canvas_before_frame(const placed_frame& f, const std::uint8_t* control);

// Called once the frame's image data, data_bytes of it, has been copied.
void canvas_after_frame(const placed_frame& f, std::uint64_t data_bytes);

// Whether the last frame written is a file's first that earlier files' drawing
// was left under, uncleared, because the frame hides it all.
int canvas_last_covers_earlier();

// Makes the last frame written show its pixels of `index` as transparent,
// where the output still allows.
void canvas_make_last_transparent(int index);

// Gives the last frame written a new delay, where the output still allows.
void retime_last_frame(int delay);
