// For --compact: the global table that the most inputs have, counted in
// constant memory however many inputs there are.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gif/layout.h"

struct table_candidate {
    std::uint64_t hash;
    int count;
    std::size_t entries;
    std::uint8_t table[layout::max_table_entries * layout::entry_size];
};

// A few candidates with a count each. A table met while all are taken
// lowers every count by one instead, so a table that more than a ninth of
// the inputs have is always among them.
constexpr int table_candidates = 8;
struct table_tally {
    table_candidate slots[table_candidates];
    int used = 0;
};

void count_table(table_tally& tally, const std::uint8_t* table, std::size_t entries);

// The candidate with the highest count (the earliest on a tie), null when
// no input had a global table.
const table_candidate* most_common_table(const table_tally& tally);
