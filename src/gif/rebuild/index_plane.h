// One byte a pixel for a frame's worth of indices: a frame decoded whole
// before it is drawn, or a rebuilt picture's colours numbered once for
// coding. Made at its largest, not filled: pages never written cost
// nothing. Frames beyond a million pixels do without.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "gif/lzw/lzw_decoder.h"

constexpr std::uint64_t most_plane_pixels = std::uint64_t{1} << 20;

struct index_plane {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::uint64_t pixels = 0;
};

// Room for this many pixels and decoder_slack bytes beyond; null where
// they are too many.
inline std::uint8_t* plane_room(index_plane& p, std::uint64_t pixels) {
    if (pixels > most_plane_pixels) return nullptr;
    if (pixels > p.pixels) {
        p.bytes.reset(new std::uint8_t[static_cast<std::size_t>(pixels) + decoder_slack]);
        p.pixels = pixels;
    }
    return p.bytes.get();
}
