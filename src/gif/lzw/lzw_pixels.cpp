#include "gif/lzw/lzw_pixels.h"

#include <cstring>

namespace {

void clear_table(lzw_pixels& p) {
    p.width = p.code_size + 1;
    p.next = p.clear_code + 2;
    p.prev = -1;
}

void mark_used(lzw_pixels& p, unsigned index) { p.used[index >> 6] |= std::uint64_t{1} << (index & 63); }

// Acts on one code; returns the stop it causes.
pixels_stop take_code(lzw_pixels& p, unsigned code) {
    if (code == p.clear_code) {
        clear_table(p);
        return pixels_stop::none;
    }
    if (code == p.clear_code + 1) return pixels_stop::end_code;
    if (p.prev < 0) {
        if (code > p.clear_code) return pixels_stop::bad_code;  // no entry is made yet
        p.pixels += 1;
        mark_used(p, code);
        p.prev = static_cast<int>(code);
        return pixels_stop::none;
    }
    unsigned prev = static_cast<unsigned>(p.prev);
    if (code > p.next || (code == p.next && p.next == lzw_table_size)) return pixels_stop::bad_code;
    // A code for the entry about to be made is its previous string and
    // that string's first index again.
    unsigned start = code == p.next ? p.first[prev] : p.first[code];
    p.pixels += code == p.next ? p.length[prev] + 1u : p.length[code];
    mark_used(p, start);
    if (p.next < lzw_table_size) {
        p.length[p.next] = static_cast<std::uint16_t>(p.length[prev] + 1);
        p.first[p.next] = p.first[prev];
        if (++p.next == (1u << p.width) && p.width < lzw_max_width) ++p.width;
    }
    p.prev = static_cast<int>(code);
    return pixels_stop::none;
}

}  // namespace

void pixels_start(lzw_pixels& p, int code_size, std::uint64_t want) {
    p.code_size = code_size;
    p.clear_code = 1u << code_size;
    clear_table(p);
    p.acc = 0;
    p.bits = 0;
    p.want = want;
    p.pixels = 0;
    p.bit = 0;
    p.stop = want == 0 ? pixels_stop::full : pixels_stop::none;
    for (unsigned i = 0; i < p.clear_code; ++i) {
        p.length[i] = 1;
        p.first[i] = static_cast<std::uint16_t>(i);
    }
    std::memset(p.used, 0, sizeof p.used);
}

pixels_stop pixels_take(lzw_pixels& p, const std::uint8_t* bytes, std::size_t n) {
    for (std::size_t i = 0; i < n && p.stop == pixels_stop::none; ++i) {
        p.acc |= std::uint32_t{bytes[i]} << p.bits;
        p.bits += 8;
        while (p.bits >= p.width && p.stop == pixels_stop::none) {
            unsigned code = p.acc & ((1u << p.width) - 1);
            int width = p.width;
            p.stop = take_code(p, code);
            if (p.stop == pixels_stop::end_code || p.stop == pixels_stop::bad_code) break;
            p.acc >>= width;
            p.bits -= width;
            p.bit += static_cast<std::uint64_t>(width);
            if (p.pixels >= p.want) p.stop = pixels_stop::full;
        }
    }
    return p.stop;
}

int unused_index(const lzw_pixels& p) {
    for (unsigned i = 0; i < p.clear_code; ++i)
        if (!(p.used[i >> 6] >> (i & 63) & 1)) return static_cast<int>(i);
    return -1;
}
