// One byte a pixel for a frame's worth of indices: a frame decoded whole
// before it is drawn, or a rebuilt picture's colours numbered once for
// coding. The part asked for is faulted in at once, since it is written
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
    std::uint64_t pixels = 0;    // room made, beyond the slack
    std::uint64_t resident = 0;  // of it, faulted in
};

// Room for this many pixels and decoder_slack bytes beyond, faulted in;
// null where they are too many. Made for `likely` pixels where those are
// more (and not too many), so that a larger request soon after (a whole
// screen's picture after a smaller frame) finds the room made: making it
// again would fault in fresh memory and unmap the old under the other
// threads.
inline std::uint8_t* plane_room(index_plane& p, std::uint64_t pixels, std::uint64_t likely = 0) {
    if (pixels > most_plane_pixels) return nullptr;
    if (pixels > p.pixels) {
        std::uint64_t room = likely > pixels && likely <= most_plane_pixels ? likely : pixels;
        p.bytes.reset();  // the old room goes first: the two are never held at once
        p.bytes.reset(new std::uint8_t[static_cast<std::size_t>(room) + decoder_slack]);
        p.pixels = room;
        p.resident = 0;
    }
    if (pixels > p.resident) {
        fault_in(p.bytes.get(), static_cast<std::size_t>(pixels) + decoder_slack);
        p.resident = pixels;
    }
    return p.bytes.get();
}
