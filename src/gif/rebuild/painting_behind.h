// A frame that is only painted, never shown, can be painted by the side
// thread while the run reads on: its stream is kept in memory as it is
// read, and painted from there once it has ended. Meanwhile the next
// frame is decoded whole, into a plane of its own, and drawn once the
// canvas is done. Where the stream is too long to keep, the frame is
// painted as it is read.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <vector>

#include "gif/image_data.h"
#include "gif/rebuild/frame_paint.h"
#include "gif/rebuild/side_thread.h"

constexpr std::size_t most_kept_stream = 512 * 1024;  // bytes of a frame's stream kept

struct painting_behind {
    std::unique_ptr<frame_painter> painter;  // made for the first frame painted behind
    std::vector<std::uint8_t> stream;  // the frame's stream while it is kept
    bool keeping = false;  // the stream is kept, not yet painted
    bool running = false;  // the side thread paints it
    std::exception_ptr failed;
};

// Starts a frame to be painted behind; its data go to the tap.
data_tap behind_start(painting_behind& b, file_canvas& c, const paint_frame& f);

// Its stream has ended: the side thread paints it, or this thread where
// there is none.
void behind_paint(painting_behind& b, side_thread& side);

// Returns once it is painted; rethrows what stopped it.
void behind_wait(painting_behind& b, side_thread& side);
