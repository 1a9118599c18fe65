// Codes the rows of a frame's indices as one LZW stream. A large frame is
// coded in two parts at once, its last rows by a second encoder in a
// thread of its own: the first part ends with a clear code, so the second
// starts a table of its own, and its codes follow the first's bit for bit.
// Where the parts meet is fixed by the frame's size alone, so the stream
// is the same whether the parts are coded at once or one after the other.
#pragma once

#include <cstdint>
#include <vector>

#include "gif/lzw/code_sink.h"
#include "gif/lzw/lzw_encoder.h"
#include "gif/rebuild/offered_task.h"
#include "gif/rebuild/rebuild_room.h"
#include "gif/rebuild/side_thread.h"

// Gives rows y0 to y1 of the frame (counted from its top) to an encoder,
// with encoder_take; called from the thread that codes them.
struct row_source {
    void (*code)(void* context, std::int64_t y0, std::int64_t y1, lzw_encoder& e) = nullptr;
    void* context = nullptr;
};

// The first row the second encoder codes; height where it codes none.
std::int64_t second_part_row(std::int64_t width, std::int64_t height);

// The encoders and the thread that code a frame's rows, and where the
// second part's codes wait until the first's are written: kept by the
// caller from frame to frame, so that its room is made once.
struct row_coders {
    lzw_encoder& first;
    lzw_encoder& second;
    side_thread& side;
    room_vector<std::uint8_t>& second_codes;
    // Where set, the second part is offered there, to a thread that would
    // otherwise wait, rather than given to the side thread; the caller
    // codes it after the first unless that thread took it.
    offered_task* offer = nullptr;
};

// Codes the frame's rows into `out` and finishes its last sub-block (not
// the terminator).
void code_rows(const row_coders& c, code_sink& out, int code_size, std::int64_t width, std::int64_t height, row_source rows);
