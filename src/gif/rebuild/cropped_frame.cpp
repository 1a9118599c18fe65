#include "gif/rebuild/cropped_frame.h"

#include <algorithm>

#include "gif/code_output.h"
#include "gif/layout.h"
#include "gif/short_frame.h"

namespace {

// The stored row just given whole goes out where it stays on the screen.
void end_row(frame_crop& c) {
    std::int64_t shown = c.interlaced ? interlaced_row(c.rows_done, c.height) : c.rows_done;
    if (shown < c.keep_height) {
        encoder_take(*c.encoder, c.row.data(), c.row.size());
        c.kept_rows += 1;
    }
    ++c.rows_done;
    c.col = 0;
}

// Gives n indices of the frame, in stored order.
void give(frame_crop& c, const std::uint8_t* idx, std::uint64_t n) {
    while (n > 0 && c.rows_done < c.height) {
        std::int64_t run = std::min<std::int64_t>(c.width - c.col, static_cast<std::int64_t>(n));
        if (c.col < c.keep_width) {
            std::int64_t kept = std::min(run, c.keep_width - c.col);
            std::copy_n(idx, kept, c.row.begin() + c.col);
        }
        c.col += run;
        idx += run;
        n -= static_cast<std::uint64_t>(run);
        if (c.col == c.width) end_row(c);
    }
}

void flush(frame_crop& c) { give(c, c.decoder.out, c.decoder.given - c.decoder.out_base); }

void take(void* context, const std::uint8_t* bytes, std::size_t n) {
    frame_crop& c = *static_cast<frame_crop*>(context);
    if (c.also.take) c.also.take(c.also.context, bytes, n);
    c.data_bytes += n;
    lzw_decoder& d = c.decoder;
    while (d.stop == decode_stop::more || d.stop == decode_stop::room) {
        decode_stop s = decoder_take(d, bytes, n);
        bytes += d.took;
        n -= d.took;
        if (s != decode_stop::room) break;
        flush(c);
        c.buffer.next(d);
    }
}

}  // namespace

void crop_start(frame_crop& c, lzw_encoder& e, output_stream& out, int code_size, std::int64_t width,
                std::int64_t height, std::int64_t keep_width, std::int64_t keep_height, bool interlaced, data_tap also) {
    c.width = width;
    c.height = height;
    c.keep_width = keep_width;
    c.keep_height = keep_height;
    c.interlaced = interlaced;
    c.data_bytes = 0;
    c.rows_done = 0;
    c.kept_rows = 0;
    c.col = 0;
    c.row.assign(static_cast<std::size_t>(keep_width), 0);
    c.also = also;
    c.encoder = &e;
    c.sink = sink_to(out);
    c.out = &out;
    encoder_start(e, code_size, c.sink);
    decoder_start(c.decoder, code_size, nullptr, static_cast<std::uint64_t>(width * height));
    c.buffer.start(c.decoder);
}

data_tap crop_tap(frame_crop& c) { return {take, &c}; }

void crop_end(frame_crop& c, int own_transparent, int& made_transparent) {
    flush(c);
    lzw_decoder& d = c.decoder;
    made_transparent = -1;
    std::uint64_t missing = static_cast<std::uint64_t>((c.keep_height - c.kept_rows) * c.keep_width);
    std::uint64_t allowed = c.data_bytes + completion_allowance;
    if (d.given < d.want && run_size(d.code_size, missing, allowed) <= allowed) {
        int index = own_transparent >= 0 && static_cast<unsigned>(own_transparent) < d.clear_code ? own_transparent : -1;
        if (index < 0) made_transparent = index = decoder_unused_index(d);
        std::uint8_t* filled = c.buffer.area();
        std::fill_n(filled, paint_room, static_cast<std::uint8_t>(std::max(index, 0)));
        // Only the rows that stay are coded; the others are passed over whole.
        while (c.rows_done < c.height) {
            std::int64_t shown = c.interlaced ? interlaced_row(c.rows_done, c.height) : c.rows_done;
            if (shown < c.keep_height || c.col > 0) {
                give(c, filled, static_cast<std::uint64_t>(std::min<std::int64_t>(c.width - c.col, paint_room)));
            } else {
                ++c.rows_done;
            }
        }
    }
    encoder_finish(*c.encoder);
    write_out(*c.out, &layout::block_terminator, 1);
}
