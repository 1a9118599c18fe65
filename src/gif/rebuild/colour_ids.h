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
};

void colour_ids_clear(colour_ids& m);

// The colour's number, given the next one where it is new.
std::uint32_t colour_id(colour_ids& m, std::uint32_t colour);
