#include "reference_walker.h"

namespace {

constexpr int max_width = 12;
constexpr int table_size = 4096;

void reset_width(reference_walker& w) {
    w.coded_size = w.code_size + 1;
    w.coded_mask = (1u << w.coded_size) - 1;
}

}  // namespace

int reference_take_code(reference_walker& w, int code) {
    if (code == w.clear_code) {
        w.coded_prev = -1;
        reset_width(w);
        w.table_ptr = w.end_info_code + 1;
        return 0;
    }
    if (code == w.end_info_code) return 1;
    if (w.coded_prev != -1 && w.table_ptr < table_size) {
        if (w.table_ptr == static_cast<int>(w.coded_mask) && w.coded_size < max_width) {
            ++w.coded_size;
            w.coded_mask = (1u << w.coded_size) - 1;
        }
        ++w.table_ptr;
    }
    w.coded_prev = code;
    return 0;
}

void reference_start(reference_walker& w, int code_size) {
    w.code_size = code_size;
    reset_width(w);
    w.clear_code = 1 << code_size;
    w.end_info_code = w.clear_code + 1;
    w.table_ptr = w.clear_code + 2;
    w.coded_prev = -1;
    w.temp_data = 0;
    w.data_bits = 0;
}

int reference_walk(reference_walker& w, const std::uint8_t* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        w.temp_data |= std::uint32_t{p[i]} << w.data_bits;
        w.data_bits += 8;
        while (w.data_bits >= w.coded_size) {
            int code = static_cast<int>(w.temp_data & w.coded_mask);
            w.temp_data >>= w.coded_size;
            w.data_bits -= w.coded_size;
            if (reference_take_code(w, code)) return 1;
        }
    }
    return 0;
}
