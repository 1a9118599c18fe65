#include "gif/rebuild/canvas_journal.h"

#include <algorithm>

void journal_seal(canvas_journal& j) {
    if (j.sealed) return;
    auto before = [](const journal_entry& a, const journal_entry& b) { return a.at < b.at; };
    // A frame that is not interlaced, with no disposal before it, changes pixels in order.
    if (!std::is_sorted(j.entries.begin(), j.entries.end(), before)) std::stable_sort(j.entries.begin(), j.entries.end(), before);
    auto last = std::unique(j.entries.begin(), j.entries.end(), [](const journal_entry& a, const journal_entry& b) { return a.at == b.at; });
    j.entries.erase(last, j.entries.end());
    // Where each row's entries start, so that a row is found at once.
    j.row_starts.clear();
    j.first_row = j.entries.empty() ? 0 : j.entries.front().at >> 16;
    for (std::size_t k = 0; k < j.entries.size(); ++k)
        while (j.first_row + static_cast<std::int64_t>(j.row_starts.size()) <= (j.entries[k].at >> 16))
            j.row_starts.push_back(static_cast<std::uint32_t>(k));
    j.row_starts.push_back(static_cast<std::uint32_t>(j.entries.size()));
    j.sealed = true;
}

void journal_apply(const canvas_journal& j, std::int64_t y, std::int64_t x0, std::int64_t x1, std::uint32_t* row) {
    std::int64_t r = y - j.first_row;
    if (r < 0 || r + 1 >= static_cast<std::int64_t>(j.row_starts.size())) return;
    for (std::uint32_t k = j.row_starts[r], end = j.row_starts[r + 1]; k < end; ++k) {
        std::int64_t x = j.entries[k].at & 0xFFFF;
        if (x >= x0 && x < x1) row[x - x0] = j.entries[k].was;
    }
}
