#include "gif/output_table.h"

#include <algorithm>
#include <cstring>

#include "gif/layout.h"

void set_output_table(chosen_table& t, const std::uint8_t* table, std::size_t entries) {
    t.entries = std::min(entries, layout::max_table_entries);
    if (t.entries) std::memcpy(t.colours, table, layout::entry_size * t.entries);
}

std::size_t output_table_entries(chosen_table& t) { return t.entries; }
const std::uint8_t* output_table(chosen_table& t) { return t.colours; }

int same_as_output_table(chosen_table& t, const std::uint8_t* table, std::size_t entries, int code_size) {
    std::size_t indices = std::size_t{1} << code_size;  // what the pixels can be
    std::size_t usable = std::min(entries, indices);
    if (t.entries == 0 || std::min(t.entries, indices) != usable) return 0;
    return std::memcmp(table, t.colours, layout::entry_size * usable) == 0;
}
