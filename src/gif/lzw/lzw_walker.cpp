#include "gif/lzw/lzw_walker.h"

#include <algorithm>

#include "gif/lzw/code_scan.h"

namespace {

void reset_width(lzw_walker& w) {
    w.coded_size = w.code_size + 1;
    w.coded_mask = (1u << w.coded_size) - 1;
}

void clear_table(lzw_walker& w) {
    w.coded_prev = -1;
    reset_width(w);
    w.table_ptr = w.end_info_code + 1;
}

// Codes of the current width that can come before the width changes: one
// entry per data code up to the one that fills the width (the first code
// after a clear makes no entry). Zero when the width can no longer change,
// at 12 bits or when the next entry is already past what the width names.
std::size_t codes_before_growth(const lzw_walker& w) {
    if (w.coded_size >= lzw_max_width || w.table_ptr > static_cast<int>(w.coded_mask)) return 0;
    std::size_t entries = w.coded_mask - static_cast<std::uint32_t>(w.table_ptr) + 1;
    return entries + (w.coded_prev == -1 ? 1 : 0);
}

// Books n data codes, the last of them `last`: each after another data code
// makes an entry, while the table has room, and the entry that fills the
// width widens it.
void take_data_codes(lzw_walker& w, std::size_t n, std::uint32_t last) {
    if (n == 0) return;
    std::size_t entries = n - (w.coded_prev == -1 ? 1 : 0);
    std::size_t room = static_cast<std::size_t>(lzw_table_size - w.table_ptr);
    bool grows = w.coded_size < lzw_max_width && w.table_ptr <= static_cast<int>(w.coded_mask) &&
                 w.table_ptr + entries > w.coded_mask;
    w.table_ptr += static_cast<int>(entries < room ? entries : room);
    w.coded_prev = static_cast<int>(last);
    if (grows) {
        ++w.coded_size;
        w.coded_mask = (1u << w.coded_size) - 1;
    }
}

}  // namespace

std::uint64_t lzw_most_pixels(int code_size, std::uint64_t data_bytes) {
    std::uint64_t codes = std::min<std::uint64_t>(data_bytes * 8 / (code_size + 1), std::uint64_t{1} << 40);
    std::uint64_t longest = lzw_table_size;
    return codes < 2 * longest ? codes * (codes + 1) / 2 : codes * longest;
}

void lzw_start(lzw_walker& w, int code_size) {
    w.code_size = code_size;
    w.clear_code = 1 << code_size;
    w.end_info_code = w.clear_code + 1;
    w.checks_entries = code_size >= 2;
    w.met_unmade = 0;
    clear_table(w);
}

lzw_stop lzw_walk(lzw_walker& w, const std::uint8_t* p, std::size_t bit, std::size_t end_bit) {
    for (;;) {
        const int width = w.coded_size;
        std::size_t n = (end_bit - bit) / width;
        if (n == 0) return {bit, 0};
        std::size_t run = codes_before_growth(w);
        if (run != 0 && run < n) n = run;
        // The entry the run's first code may name at most; each code after
        // it may name one more, up to the full table.
        bool limited = w.checks_entries && w.table_ptr < lzw_table_size;
        std::uint32_t next = static_cast<std::uint32_t>(w.table_ptr - (w.coded_prev == -1 ? 1 : 0));
        if (limited) n = std::min<std::size_t>(n, lzw_table_size - next);
        std::size_t k = find_special(p, bit, n, make_scan_key(width, w.clear_code, limited, next));
        if (k > 0) take_data_codes(w, k, code_at(p, bit + (k - 1) * width, width));
        bit += k * width;
        if (k == n) continue;
        std::uint32_t code = code_at(p, bit, width);
        bit += width;
        if (code == static_cast<std::uint32_t>(w.end_info_code)) return {bit, 1};
        if (code == static_cast<std::uint32_t>(w.clear_code)) {
            clear_table(w);
            continue;
        }
        w.met_unmade = 1;  // the rest is walked as codes, no longer tested
        w.checks_entries = false;
        take_data_codes(w, 1, code);
    }
}
