// Finds the first clear or end-of-information code in a run of codes of one
// width, or the first code that names a table entry not made yet. Within
// such a run the bit position of every code is known in advance, and each
// data code makes one entry, so codes are taken out and tested
// independently, several at a time.
#pragma once

#include <cstddef>
#include <cstdint>

// Bytes past the last code's byte that a scan may load; their contents
// never change the result.
constexpr std::size_t scan_slack = 16;

// What to look for in codes of one width.
struct scan_key {
    int width;              // code width in bits, 1 to 12
    std::uint32_t mask;     // bits of a code that are compared
    std::uint32_t special;  // a code c is special when (c & mask) == special
    // When `limited`, code i of the run is also special when it is above
    // next + i, the entry the decoder makes after it; next + i stays within
    // the width for every code of the run.
    bool limited;
    std::uint32_t next;
};

// The key for codes of the given width: the clear code and the one above
// it (the end-of-information code) when clear_code is even, else the clear
// code alone (minimum code size 0, whose end code cannot be read). Codes
// above their entry are looked for when `limited`, from `next` on.
scan_key make_scan_key(int width, int clear_code, bool limited = false, std::uint32_t next = 0);

// The code of the given width that starts at bit `bit` of p, least
// significant bit first.
inline std::uint32_t code_at(const std::uint8_t* p, std::size_t bit, int width) {
    std::uint64_t v = 0;
    for (int i = 0; i < 4; ++i) v |= std::uint64_t{p[(bit >> 3) + i]} << (8 * i);
    return static_cast<std::uint32_t>(v >> (bit & 7)) & ((1u << width) - 1);
}

// Index of the first special code among the n codes that start at bit `bit`
// of p, or n when there is none. Runs on the fastest path the processor has.
std::size_t find_special(const std::uint8_t* p, std::size_t bit, std::size_t n, const scan_key& key);

// The ways to scan: plain 64-bit arithmetic, which runs anywhere, 256-bit
// vectors on x86-64 processors that have AVX2, and WebAssembly's 128-bit
// vectors where the program is built with them. The path is chosen when
// the program starts; tests and benchmarks may choose one themselves.
enum class scan_path { scalar, avx2, simd128 };
bool scan_path_available(scan_path path);
void select_scan_path(scan_path path);  // path must be available
scan_path selected_scan_path();

using scan_function = std::size_t (*)(const std::uint8_t*, std::size_t, std::size_t, const scan_key&);
std::size_t find_special_each(const std::uint8_t* p, std::size_t bit, std::size_t n, const scan_key& key);  // code by code
std::size_t find_special_scalar(const std::uint8_t* p, std::size_t bit, std::size_t n, const scan_key& key);
// nullptr where the processor or the compiler lacks AVX2.
scan_function avx2_scan();
// nullptr where the program is not built for WebAssembly with its vectors.
scan_function simd128_scan();
