#include "gif/rebuild/reverse_spool.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "gif/layout.h"

namespace {

struct frame_head {
    std::int32_t place[6];  // left, top, width, height, interlaced, code size
    std::uint32_t size;     // bytes after this head: control block to terminator
};

struct item_tail {
    std::uint64_t start;
    std::int64_t clear[4];
    std::uint64_t frames;
};

template <typename T>
void put(output_stream& s, const T& v) {
    std::uint8_t bytes[sizeof(T)];
    std::memcpy(bytes, &v, sizeof v);
    write_out(s, bytes, sizeof bytes);
}

template <typename T>
bool get(output_stream& s, std::uint64_t at, T& v) {
    std::uint8_t bytes[sizeof(T)];
    if (!read_back_output(s, at, bytes, sizeof bytes)) return false;
    std::memcpy(&v, bytes, sizeof v);
    return true;
}

// Copies the spooled frame at `at` to the output and moves `at` to the
// next; returns false when the spool cannot be read.
bool copy_frame(output_stream& s, std::uint64_t& at, canvas_state& c, output_stream& out) {
    frame_head h{};
    std::uint8_t chunk[16 * 1024];
    if (!get(s, at, h) || h.size < layout::frame_control_size) return false;
    at += sizeof h;
    placed_frame f{h.place[0], h.place[1], h.place[2], h.place[3], h.place[4], h.place[5]};
    if (!read_back_output(s, at, chunk, layout::frame_control_size)) return false;
    canvas_before_frame(c, f, chunk);
    std::uint64_t data_at = output_position(out);
    for (std::uint64_t done = 0; done < h.size;) {
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof chunk, h.size - done));
        if (!read_back_output(s, at + done, chunk, n)) return false;
        write_out(out, chunk, n);
        done += n;
    }
    canvas_after_frame(c, f, output_position(out) - data_at);
    at += h.size;
    return true;
}

}  // namespace

void spool_open(output_stream& s, std::vector<std::uint8_t>& fallback) {
    if (s.fd >= 0 || s.memory) return;
    s.capacity = 32 * 1024;  // a picture or two: the file holds the rest
    int fd = open_unnamed_file();
    if (fd >= 0)
        output_to(s, fd);
    else
        output_to_memory(s, fallback);
}

void spool_done(output_stream& s) {
    if (s.fd < 0 && !s.memory) return;
    truncate_output(s, 0);
    close_output(s);
}

std::uint64_t spool_frame_begin(output_stream& s, const placed_frame& f) {
    std::uint64_t at = output_position(s);
    put(s, frame_head{{f.left, f.top, f.width, f.height, f.interlaced, f.code_size}, 0});
    return at;
}

void spool_frame_end(output_stream& s, std::uint64_t begun_at) {
    frame_head h{};
    get(s, begun_at, h);
    h.size = static_cast<std::uint32_t>(output_position(s) - begun_at - sizeof h);
    std::uint8_t bytes[sizeof h];
    std::memcpy(bytes, &h, sizeof h);
    rewrite_output(s, begun_at, bytes, sizeof bytes);
}

void spool_item_end(output_stream& s, std::uint64_t item_at, const box& clear, std::size_t frames) {
    put(s, item_tail{item_at, {clear.x0, clear.y0, clear.x1, clear.y1}, frames});
}

void write_spooled(output_stream& s, canvas_state& c, output_stream& out) {
    for (std::uint64_t end = output_position(s); end >= sizeof(item_tail);) {
        item_tail t{};
        if (!get(s, end - sizeof t, t)) break;
        box clear{t.clear[0], t.clear[1], t.clear[2], t.clear[3]};
        if (!clear.empty()) canvas_clear(c, clear);
        std::uint64_t at = t.start;
        for (std::uint64_t k = 0; k < t.frames && copy_frame(s, at, c, out); ++k) {
        }
        end = t.start;
    }
    truncate_output(s, 0);
}
