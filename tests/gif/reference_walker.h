// A plain code-at-a-time walker, kept as the yardstick for the program's
// run-at-a-time one: it takes one byte into a bit accumulator, then every
// whole code in it, and acts on each code by itself.
#pragma once

#include <cstddef>
#include <cstdint>

struct reference_walker {
    int code_size, coded_size;
    std::uint32_t coded_mask;
    int clear_code, end_info_code, table_ptr, coded_prev;
    std::uint32_t temp_data;  // bit accumulator
    int data_bits;            // bits pending in temp_data
};

void reference_start(reference_walker& w, int code_size);

// Acts on one code. Returns 1 for the end-of-information code.
int reference_take_code(reference_walker& w, int code);

// Takes the codes completed by the next n bytes. Returns 1 as soon as the
// end-of-information code has been read, else 0.
int reference_walk(reference_walker& w, const std::uint8_t* p, std::size_t n);
