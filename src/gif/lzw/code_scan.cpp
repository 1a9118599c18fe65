#include "gif/lzw/code_scan.h"

#include <cstring>

namespace {

// Four codes of up to 12 bits fit one 64-bit load after a shift of up to 7
// bits: 4 * 12 + 7 = 55.
constexpr int codes_per_word = 4;
constexpr int words_per_step = 4;
constexpr std::size_t codes_per_step = codes_per_word * words_per_step;

std::uint64_t load_le64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = __builtin_bswap64(v);
#endif
    return v;
}

// The key repeated for four neighbouring codes of one word. A code is
// special when its compared bits, XORed with the key, are all zero; the
// borrow test below finds whether any of the four fields is zero. `ramp`
// holds the entry limits of the word's four codes, each field one more
// than the one below it; the next word's limits are `step` higher.
struct word_key {
    std::uint64_t lanes, keys, lows, highs, fields, ramp, step;
};

word_key repeat_key(const scan_key& k) {
    word_key wk{0, 0, 0, 0, 0, 0, 0};
    for (int i = 0; i < codes_per_word; ++i) {
        int at = i * k.width;
        wk.lanes |= std::uint64_t{k.mask} << at;
        wk.keys |= std::uint64_t{k.special} << at;
        wk.lows |= std::uint64_t{1} << at;
        wk.highs |= std::uint64_t{1} << (at + k.width - 1);
        wk.fields |= ((std::uint64_t{1} << k.width) - 1) << at;
        wk.ramp |= std::uint64_t{k.next + static_cast<std::uint32_t>(i)} << at;
    }
    wk.step = wk.lows * codes_per_word;
    return wk;
}

std::uint64_t codes_of_word(const std::uint8_t* p, std::size_t bit) { return load_le64(p + (bit >> 3)) >> (bit & 7); }

// Nonzero when one of the four codes x holds is special. A zero field
// borrows when one is subtracted, which sets its top bit; the lowest zero
// field gets no borrow from below, so the test is exact.
std::uint64_t word_has_special(std::uint64_t x, const word_key& wk) {
    x = (x ^ wk.keys) & wk.lanes;
    return (x - wk.lows) & ~x & wk.highs;
}

// Nonzero when one of the four codes x holds is above its limit in r:
// field by field, whether r - x borrows out of its top bit. The low bits
// are subtracted with each top bit set in r and clear in x, so no borrow
// crosses into the next field; the top bit of that difference is clear
// where the low bits borrowed.
std::uint64_t word_has_unmade(std::uint64_t x, std::uint64_t r, const word_key& wk) {
    x &= wk.fields;
    std::uint64_t low_diff = (r | wk.highs) - (x & ~wk.highs);
    return ((~r & x) | ~((r ^ x) | low_diff)) & wk.highs;
}


}  // namespace

scan_key make_scan_key(int width, int clear_code, bool limited, std::uint32_t next) {
    std::uint32_t code_mask = (1u << width) - 1;
    std::uint32_t ignored = (clear_code & 1) ? 0 : 1;  // the end code differs only in bit 0
    return scan_key{width, code_mask & ~ignored, static_cast<std::uint32_t>(clear_code), limited, next};
}

std::size_t find_special_each(const std::uint8_t* p, std::size_t bit, std::size_t n, const scan_key& key) {
    std::uint32_t limit = key.limited ? key.next : ~0u;
    for (std::size_t i = 0; i < n; ++i, limit += key.limited) {
        std::uint32_t code = code_at(p, bit + i * key.width, key.width);
        if ((code & key.mask) == key.special || code > limit) return i;
    }
    return n;
}

std::size_t find_special_scalar(const std::uint8_t* p, std::size_t bit, std::size_t n,
                                const scan_key& key) {
    if (n < codes_per_step) return find_special_each(p, bit, n, key);
    const word_key wk = repeat_key(key);
    const std::size_t word_bits = std::size_t(codes_per_word) * key.width;
    std::size_t i = 0;
    std::uint64_t ramp = wk.ramp;
    for (; i + codes_per_step <= n; i += codes_per_step) {
        std::size_t at = bit + i * key.width;
        std::uint64_t hit = 0;
        for (int j = 0; j < words_per_step; ++j) {
            std::uint64_t x = codes_of_word(p, at + j * word_bits);
            hit |= word_has_special(x, wk);
            if (key.limited) hit |= word_has_unmade(x, ramp, wk);
            ramp += wk.step;
        }
        if (hit) break;
    }
    scan_key rest = key;
    rest.next += static_cast<std::uint32_t>(i);
    return i + find_special_each(p, bit + i * key.width, n - i, rest);
}

namespace {

scan_function scan_of(scan_path path) {
    if (path == scan_path::avx2) return avx2_scan();
    if (path == scan_path::simd128) return simd128_scan();
    return find_special_scalar;
}

scan_path best_path() {
    if (avx2_scan()) return scan_path::avx2;
    return simd128_scan() ? scan_path::simd128 : scan_path::scalar;
}

scan_path current_path = best_path();
scan_function current_scan = scan_of(current_path);

}  // namespace

std::size_t find_special(const std::uint8_t* p, std::size_t bit, std::size_t n, const scan_key& key) {
    return current_scan(p, bit, n, key);
}

bool scan_path_available(scan_path path) { return scan_of(path) != nullptr; }

void select_scan_path(scan_path path) {
    current_path = path;
    current_scan = scan_of(path);
}

scan_path selected_scan_path() { return current_path; }
