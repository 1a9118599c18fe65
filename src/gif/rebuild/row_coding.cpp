#include "gif/rebuild/row_coding.h"

#include <algorithm>
#include <exception>
#include <vector>

namespace {

constexpr std::uint64_t least_parted = std::uint64_t{1} << 16;  // pixels: smaller frames are coded whole
// Pixels the second part takes at most: its codes are held in memory
// until the first part's are written.
constexpr std::uint64_t most_second = std::uint64_t{1} << 19;

struct second_part {
    lzw_encoder& e;
    row_source rows;
    int code_size;
    std::int64_t y0, y1;
    room_vector<std::uint8_t>& bytes;
    code_sink sink;
    std::exception_ptr failed;
};

void keep_block(void* context, const std::uint8_t* block, std::size_t n) {
    auto& bytes = *static_cast<room_vector<std::uint8_t>*>(context);
    bytes.insert(bytes.end(), block + 1, block + n);  // without its length byte
}

void code_second(void* context) {
    second_part& s = *static_cast<second_part*>(context);
    try {
        s.sink.to = {keep_block, &s.bytes};
        encoder_start_after_clear(s.e, s.code_size, s.sink);
        s.rows.code(s.rows.context, s.y0, s.y1, s.e);
        encoder_close(s.e);
        s.sink.end_block();
    } catch (...) {
        s.failed = std::current_exception();
    }
}

// The second part, coded on another thread: given to the side thread, or
// offered. It is waited for, or taken back, however the first part is left.
struct elsewhere {
    side_thread* side = nullptr;
    offered_task* offer = nullptr;
    // Returns once the part is coded elsewhere; false where it is the caller's to code.
    bool done() {
        bool coded = side || (offer && !offer->take_back());
        if (side) side->wait();
        side = nullptr;
        offer = nullptr;
        return coded;
    }
    ~elsewhere() { done(); }
};

}  // namespace

// The second part takes two fifths of the rows: its coder starts later,
// woken for it, or after its own work (a picture read ahead, whose run's
// thread comes to help once done copying), and halves left it last.
std::int64_t second_part_row(std::int64_t width, std::int64_t height) {
    if (width <= 0 || height < 2 || static_cast<std::uint64_t>(width * height) < least_parted) return height;
    std::int64_t rows = std::min<std::int64_t>(height * 2 / 5, static_cast<std::int64_t>(most_second) / width);
    return rows < 1 ? height : height - rows;
}

void code_rows(const row_coders& c, code_sink& out, int code_size, std::int64_t width, std::int64_t height, row_source rows) {
    std::int64_t cut = second_part_row(width, height);
    encoder_start(c.first, code_size, out);
    if (cut == height) {
        rows.code(rows.context, 0, height, c.first);
        encoder_finish(c.first);
        return;
    }
    second_part s{c.second, rows, code_size, cut, height, c.second_codes, {}, {}};
    s.bytes.clear();
    // Room for the most its codes can take, made at once: pages it never
    // writes cost nothing, and the codes are never copied as it grows.
    std::uint64_t pixels = static_cast<std::uint64_t>(width * (height - cut));
    s.bytes.reserve(static_cast<std::size_t>(pixels + pixels / 2 + 64));
    elsewhere second;
    if (c.offer) {
        c.offer->offer(code_second, &s);
        second.offer = c.offer;
    } else if (c.side.start(code_second, &s)) {
        second.side = &c.side;
    }
    rows.code(rows.context, 0, cut, c.first);
    encoder_clear(c.first);
    if (!second.done()) code_second(&s);
    if (s.failed) std::rethrow_exception(s.failed);
    out.append(s.bytes.data(), s.bytes.size(), s.sink.acc, s.sink.bits);
    out.finish();
}
