// Paints a frame on its file's canvas as a viewer draws it: its image data
// decoded through a small buffer, each pixel not transparent drawn in its
// colour where it lies on the screen (interlaced rows in their places),
// an index beyond the table in black. Frames whose data viewers cannot
// decode draw nothing. A frame whose data gives too few pixels is
// completed as a copied frame is: where its pixels take every index and
// none is transparent, the rest are index 0.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gif/image_data.h"
#include "gif/lzw/lzw_decoder.h"
#include "gif/rebuild/file_canvas.h"

constexpr std::size_t paint_room = 16 * 1024;     // indices decoded at a time
constexpr std::size_t paint_history = 16 * 1024;  // the last ones, kept before the next for strings to be copied from

// Where a frame's indices are decoded: the area, and the history before it.
struct decode_buffer {
    std::uint8_t bytes[paint_history + paint_room + decoder_slack];
    std::uint8_t* area() { return bytes + paint_history; }
    void start(lzw_decoder& d) { decoder_output(d, area(), paint_room); }
    void next(lzw_decoder& d) { decoder_next_area(d, bytes, paint_history, paint_room); }
};

// The row on screen of stored row r of an interlaced frame h rows high:
// every 8th row from 0, then every 8th from 4, every 4th from 2, every 2nd from 1.
std::int64_t interlaced_row(std::int64_t r, std::int64_t h);

// The frame as its file gives it.
struct paint_frame {
    box rect;               // on the file's screen, before any move
    bool interlaced = false;
    const std::uint8_t* table = nullptr;  // entry_size bytes an entry
    std::size_t entries = 0;
    int transparent = -1;   // the index not drawn, -1: none
    int code_size = 0;
};

struct frame_painter {
    file_canvas* canvas = nullptr;
    paint_frame f;
    bool decoding = false;
    std::uint64_t data_bytes = 0;  // of its stream so far
    std::uint32_t colours[256];
    bool colours_taken = false;  // the canvas knows them, from the frame's first pixels on
    lzw_decoder decoder;
    decode_buffer buffer;
};

// Starts painting the frame. With a plane (of its pixels and
// decoder_slack bytes), the frame is decoded whole into it and drawn only
// at paint_end: until then the canvas is not touched.
void paint_start(frame_painter& p, file_canvas& c, const paint_frame& f, std::uint8_t* plane = nullptr);

// Takes the next n bytes of the frame's stream.
void paint_take(frame_painter& p, const std::uint8_t* bytes, std::size_t n);

// Draws what is left once the stream has ended.
void paint_end(frame_painter& p);

// The tap that paints as the image data is read.
data_tap paint_tap(frame_painter& p);
