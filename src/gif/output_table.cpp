#include "gif/output_table.h"

#include <algorithm>
#include <cstring>

#include "gif/layout.h"

namespace {

std::uint8_t chosen[layout::max_table_entries * layout::entry_size];
std::size_t chosen_entries = 0;

}  // namespace

void set_output_table(const std::uint8_t* table, std::size_t entries) {
    chosen_entries = std::min(entries, layout::max_table_entries);
    if (chosen_entries) std::memcpy(chosen, table, layout::entry_size * chosen_entries);
}

std::size_t output_table_entries() { return chosen_entries; }
const std::uint8_t* output_table() { return chosen; }

int same_as_output_table(const std::uint8_t* table, std::size_t entries, int code_size) {
    std::size_t indices = std::size_t{1} << code_size;  // what the pixels can be
    std::size_t usable = std::min(entries, indices);
    if (chosen_entries == 0 || std::min(chosen_entries, indices) != usable) return 0;
    return std::memcmp(table, chosen, layout::entry_size * usable) == 0;
}
