// The output's global colour table with --compact, and whether a frame may
// use it instead of a table of its own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gif/layout.h"

// The table a run chose, held by the run.
struct chosen_table {
    std::uint8_t colours[layout::max_table_entries * layout::entry_size];
    std::size_t entries = 0;  // 0 when none is set
};

// Makes table (entries of red, green, blue) the output's global table.
void set_output_table(chosen_table& t, const std::uint8_t* table, std::size_t entries);
std::size_t output_table_entries(chosen_table& t);  // 0 when none is set
const std::uint8_t* output_table(chosen_table& t);

// 1 when a frame whose own table is `table` and whose pixels are indices
// below 2^code_size shows the same colours with the output's table: the
// same colour at every index it can use, and none where it had none.
int same_as_output_table(chosen_table& t, const std::uint8_t* table, std::size_t entries, int code_size);
