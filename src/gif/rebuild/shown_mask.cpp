#include "gif/rebuild/shown_mask.h"

namespace {

std::size_t bit_of(const shown_mask& m, std::int64_t x, std::int64_t y) {
    return static_cast<std::size_t>((y - m.at.y0) * (m.at.x1 - m.at.x0) + (x - m.at.x0));
}

}  // namespace

void mask_from_canvas(shown_mask& m, const file_canvas& c) {
    m.at = c.held;
    m.outside = false;
    std::size_t n = c.pixels.size();
    m.bits.assign((n + 63) / 64, 0);
    for (std::size_t i = 0; i < n; ++i)
        if (c.pixels[i]) m.bits[i / 64] |= std::uint64_t{1} << (i % 64);
}

void mask_unknown(shown_mask& m) {
    m.at = box{};
    m.bits.clear();
    m.outside = true;
}

bool mask_drawn(const shown_mask& m, std::int64_t x, std::int64_t y) {
    if (!m.at.contains(box{x, y, x + 1, y + 1})) return m.outside;
    std::size_t i = bit_of(m, x, y);
    return m.bits[i / 64] >> (i % 64) & 1;
}
