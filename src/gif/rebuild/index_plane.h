// One byte a pixel for a frame's worth of indices: a frame decoded whole
// before it is drawn, or a rebuilt picture's colours numbered once for
// coding. Made at its largest and faulted in at once, since it is written
// whole: at most a quarter of the canvas a frame of its size has already.
// Frames beyond a million pixels do without.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "gif/lzw/lzw_decoder.h"
#include "gif/resident.h"

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
        std::size_t n = static_cast<std::size_t>(pixels) + decoder_slack;
        p.bytes.reset(new std::uint8_t[n]);
        fault_in(p.bytes.get(), n);
        p.pixels = pixels;
    }
    return p.bytes.get();
}
