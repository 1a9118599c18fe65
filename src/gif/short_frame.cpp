#include "gif/short_frame.h"

#include "gif/code_output.h"
#include "gif/canvas.h"
#include "gif/layout.h"
#include "gif/lzw/lzw_decoder.h"
#include "gif/lzw/lzw_walker.h"
#include "gif/output.h"
#include "gif/lzw/run_code.h"

namespace {

using namespace layout;

// Where the stream's byte `index` lies in the output: the sub-block that
// holds it and the byte itself.
struct stream_place {
    std::uint64_t length_at;  // the sub-block's length byte
    std::uint64_t byte_at;    // the byte; at the terminator when index is past the data
    std::size_t before;       // bytes of that sub-block before it
};

// Reads the frame's data back from the output into the counter, up to its
// terminator at end or until the counter stops. Returns 0 when the output
// cannot be read back.
int count_pixels(canvas_state& c, const frame_geometry& f, std::uint64_t end, lzw_decoder& p) {
    std::uint8_t block[max_sub_block];
    for (std::uint64_t at = f.data_at; at < end && p.stop == decode_stop::more;) {
        std::uint8_t len;
        if (!read_back_output(*c.out, at, &len, 1) || !read_back_output(*c.out, at + 1, block, len)) return 0;
        decoder_take(p, block, len);
        at += 1 + std::uint64_t{len};
    }
    return 1;
}

int find_byte(canvas_state& c, const frame_geometry& f, std::uint64_t end, std::uint64_t index, stream_place& place) {
    std::uint64_t at = f.data_at, base = 0;
    for (; at < end; ) {
        std::uint8_t len;
        if (!read_back_output(*c.out, at, &len, 1)) return 0;
        if (index < base + len) {
            place = {at, at + 1 + (index - base), static_cast<std::size_t>(index - base)};
            return 1;
        }
        base += len;
        at += 1 + std::uint64_t{len};
    }
    place = {end, end, 0};
    return 1;
}

// Cuts the output just before the stream's byte at `place`, which is kept
// aside in `kept`: its low bits go on in the next byte written. Returns 0
// when the output can no longer be changed there.
int cut_stream(canvas_state& c, const stream_place& place, std::uint64_t end, std::uint8_t& kept) {
    kept = 0;
    if (place.byte_at < end && !read_back_output(*c.out, place.byte_at, &kept, 1)) return 0;
    if (place.before == 0) return truncate_output(*c.out, place.length_at);
    std::uint8_t len = static_cast<std::uint8_t>(place.before);
    return rewrite_output(*c.out, place.length_at, &len, 1) && truncate_output(*c.out, place.byte_at);
}

// The index the added pixels take: the frame's transparent index when it
// has one a code can name, else the lowest index none of its pixels takes,
// which its control block is then made to call transparent. A frame whose
// pixels take every index a code can name gets opaque pixels of index 0,
// and so does a file's first frame that earlier files' drawing was left
// under (transparent, it would show them): opaque pixels of that index.
// -1 when the control block can no longer be read.
int added_index(canvas_state& c, const frame_geometry& f, const lzw_decoder& p, bool& set_transparent) {
    std::uint8_t control[frame_control_size];
    set_transparent = false;
    if (!read_back_output(*c.out, f.control_at, control, frame_control_size)) return -1;
    if (control[frame_control_packed] & control_transparent && control[frame_control_index] < p.clear_code)
        return control[frame_control_index];
    int index = decoder_unused_index(p);
    set_transparent = index >= 0 && !canvas_last_covers_earlier(c);
    return index >= 0 ? index : 0;
}

}  // namespace

int complete_short_frame(canvas_state& c, const frame_geometry& f, const image_data_seen& seen) {
    std::uint64_t end = output_position(*c.out) - 1;  // the terminator
    std::uint64_t data_bytes = end - f.data_at;
    if (f.pixels == 0 || f.code_size < 2) return 0;
    if (seen.end_code && !seen.unmade_code && lzw_most_pixels(f.code_size, data_bytes) >= f.pixels) return 0;
    static_assert(sizeof(lzw_decoder) < 64 * 1024, "the counter lives on the stack");
    lzw_decoder p;
    decoder_start(p, f.code_size, nullptr, f.pixels);
    if (!count_pixels(c, f, end, p) || p.stop == decode_stop::full) return 0;
    std::uint64_t missing = f.pixels - p.given;
    if (run_size(f.code_size, missing, data_bytes + completion_allowance) > data_bytes + completion_allowance) return 0;

    bool set_transparent;
    int index = added_index(c, f, p, set_transparent);
    stream_place place;
    std::uint8_t kept;
    if (index < 0 || !find_byte(c, f, end, p.bit / 8, place) || !cut_stream(c, place, end, kept)) return 0;
    if (set_transparent) canvas_make_last_transparent(c, index);
    code_sink sink = sink_to(*c.out);
    sink.bits = static_cast<int>(p.bit % 8);
    sink.acc = kept & ((1u << sink.bits) - 1);
    encode_run(f.code_size, p.width, static_cast<unsigned>(index), missing, sink);
    write_out(*c.out, &block_terminator, 1);
    return 1;
}
