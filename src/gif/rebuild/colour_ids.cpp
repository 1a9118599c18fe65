#include "gif/rebuild/colour_ids.h"

#include <algorithm>

namespace {

std::size_t slot_of(const colour_ids& m, std::uint32_t colour) {
    std::size_t mask = m.keys.size() - 1, at = (colour * 2654435761u) & mask;
    while (m.keys[at] != 0 && m.keys[at] != colour) at = (at + 1) & mask;
    return at;
}

// Doubles the table once it is half full, so probes stay short.
void grow(colour_ids& m) {
    std::vector<std::uint32_t> keys(m.keys.empty() ? 1024 : 2 * m.keys.size(), 0), ids(keys.size());
    m.keys.swap(keys);
    m.ids.swap(ids);
    for (std::size_t i = 0; i < keys.size(); ++i)
        if (keys[i]) {
            std::size_t at = slot_of(m, keys[i]);
            m.keys[at] = keys[i];
            m.ids[at] = ids[i];
        }
}

}  // namespace

void colour_ids_clear(colour_ids& m) {
    m.keys.assign(1024, 0);
    m.ids.assign(1024, 0);
    m.colours.clear();
    m.last_colour = 0;
    std::fill_n(m.recent_colour, colour_ids::recent_slots, 0u);
}

std::uint32_t colour_id_slow(colour_ids& m, std::uint32_t colour, std::size_t slot) {
    if (2 * (m.colours.size() + 1) > m.keys.size()) grow(m);
    std::size_t at = slot_of(m, colour);
    if (m.keys[at] == 0) {
        m.keys[at] = colour;
        m.ids[at] = static_cast<std::uint32_t>(m.colours.size());
        m.colours.push_back(colour);
    }
    m.last_colour = colour;
    m.last_id = m.ids[at];
    m.recent_colour[slot] = colour;
    m.recent_id[slot] = m.last_id;
    return m.last_id;
}

std::uint32_t colour_id_stored(const colour_ids& m, std::uint32_t colour) { return m.ids[slot_of(m, colour)]; }
