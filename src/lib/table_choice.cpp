#include "lib/table_choice.h"

#include <cstring>

namespace {

std::uint64_t fnv1a(const std::uint8_t* p, std::size_t n) {
    std::uint64_t h = 14695981039346656037ull;
    for (std::size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

}  // namespace

void count_table(table_tally& tally, const std::uint8_t* table, std::size_t entries) {
    std::size_t size = layout::entry_size * entries;
    std::uint64_t hash = fnv1a(table, size);
    for (int i = 0; i < tally.used; ++i) {
        table_candidate& c = tally.slots[i];
        if (c.hash == hash && c.entries == entries && std::memcmp(c.table, table, size) == 0) {
            ++c.count;
            return;
        }
    }
    if (tally.used < table_candidates) {
        table_candidate& c = tally.slots[tally.used++];
        c.hash = hash;
        c.count = 1;
        c.entries = entries;
        std::memcpy(c.table, table, size);
        return;
    }
    int kept = 0;
    for (int i = 0; i < tally.used; ++i)
        if (--tally.slots[i].count > 0) tally.slots[kept++] = tally.slots[i];
    tally.used = kept;
}

const table_candidate* most_common_table(const table_tally& tally) {
    const table_candidate* best = nullptr;
    for (int i = 0; i < tally.used; ++i)
        if (!best || tally.slots[i].count > best->count) best = &tally.slots[i];
    return best;
}
