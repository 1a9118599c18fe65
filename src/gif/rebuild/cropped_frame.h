// A frame that reaches beyond its file's screen, cut to the screen: alone
// it shows only its part there, and a larger canvas must not show more.
// Its image data is decoded through a small buffer and its rows, cut,
// coded again with its own table and code size; an interlaced frame keeps
// its interlacing, as the rows that stay come in the order a frame of the
// new height stores them. Pixels its data does not give are completed as
// a copied frame's are.
#pragma once

#include <cstdint>
#include <vector>

#include "gif/image_data.h"
#include "gif/lzw/lzw_decoder.h"
#include "gif/lzw/lzw_encoder.h"
#include "gif/lzw/run_code.h"
#include "gif/rebuild/frame_paint.h"

struct frame_crop {
    std::int64_t width = 0, height = 0;  // the frame's
    std::int64_t keep_width = 0, keep_height = 0;  // what stays, from its top left
    bool interlaced = false;
    std::uint64_t data_bytes = 0;
    std::int64_t rows_done = 0;      // stored rows given whole
    std::int64_t kept_rows = 0;      // of them, rows that stay
    std::vector<std::uint8_t> row;   // the stored row being given, cut
    std::int64_t col = 0;            // its pixels given so far
    data_tap also;                   // where the stream's bytes go as well
    lzw_encoder* encoder = nullptr;
    code_sink sink;
    output_stream* out = nullptr;
    lzw_decoder decoder;
    decode_buffer buffer;
};

// Starts the cut frame's data on `out`, after its code size byte.
void crop_start(frame_crop& c, lzw_encoder& e, output_stream& out, int code_size, std::int64_t width,
                std::int64_t height, std::int64_t keep_width, std::int64_t keep_height, bool interlaced, data_tap also);

data_tap crop_tap(frame_crop& c);

// Ends the data once the frame's stream has ended. Where its data gave
// too few pixels (and coding the rest takes no more than a copied frame's
// completion may), the rest take its own transparent index where a code can
// name it, else the lowest index none of its pixels takes (returned in
// `made_transparent`, for its control block to call transparent), else 0.
void crop_end(frame_crop& c, int own_transparent, int& made_transparent);
