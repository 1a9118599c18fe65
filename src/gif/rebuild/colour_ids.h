// Numbers for the colours of a picture, in the order they are met: a hash
// table that grows with the colours it holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct colour_ids {
    std::vector<std::uint32_t> keys;  // a colour (never 0) or 0 for an empty slot
    std::vector<std::uint32_t> ids;
    std::vector<std::uint32_t> colours;  // the colour of each number
    std::uint32_t last_colour = 0, last_id = 0;  // neighbours are often alike
    // Colours met lately, each in the slot its low bits choose.
    static constexpr std::size_t recent_slots = 1024;
    std::uint32_t recent_colour[recent_slots];
    std::uint32_t recent_id[recent_slots];
};

void colour_ids_clear(colour_ids& m);

// The colour's number, given the next one where it is new.
std::uint32_t colour_id_slow(colour_ids& m, std::uint32_t colour, std::size_t recent);

inline std::size_t recent_slot(std::uint32_t colour) {
    return ((colour * 2654435761u) >> 20) & (colour_ids::recent_slots - 1);
}

inline std::uint32_t colour_id(colour_ids& m, std::uint32_t colour) {
    if (colour == m.last_colour) return m.last_id;
    std::size_t slot = recent_slot(colour);
    if (m.recent_colour[slot] != colour) return colour_id_slow(m, colour, slot);
    m.last_colour = colour;
    m.last_id = m.recent_id[slot];
    return m.last_id;
}

// The number of a colour already numbered, found without changing the
// table, so that several threads may look at once.
std::uint32_t colour_id_stored(const colour_ids& m, std::uint32_t colour);

inline std::uint32_t colour_id_of(const colour_ids& m, std::uint32_t colour) {
    std::size_t slot = recent_slot(colour);
    return m.recent_colour[slot] == colour ? m.recent_id[slot] : colour_id_stored(m, colour);
}
