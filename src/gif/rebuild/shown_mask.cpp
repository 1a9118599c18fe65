#include "gif/rebuild/shown_mask.h"

void mask_from_canvas(shown_mask& m, const file_canvas& c) {
    m.at = c.held;
    m.outside = false;
    std::size_t n = c.indexed ? c.indices.size() : c.pixels.size();
    m.bits.assign((n + 63) / 64, 0);
    bool any = false;
    for (std::size_t i = 0; i < n; ++i)
        if (c.indexed ? c.indices[i] != c.spare : c.pixels[i] != 0) {
            m.bits[i / 64] |= std::uint64_t{1} << (i % 64);
            any = true;
        }
    if (!any) m = shown_mask{};  // nothing drawn anywhere
}

void mask_unknown(shown_mask& m) {
    m.at = box{};
    m.bits.clear();
    m.outside = true;
}
