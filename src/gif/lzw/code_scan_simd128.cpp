// The scan with WebAssembly's 128-bit vectors: eight codes of one width
// span at most 7 + 8 * 12 = 103 bits, so one 16-byte load holds all of
// them. A byte swizzle puts each code's bytes in a 32-bit lane; the lanes
// have no shifts of their own, so a multiply moves each code up to bit 8
// and one shift brings them all down. Eight codes then share 16-bit lanes
// and one set of tests takes them all. Eight codes advance the bit
// position by a whole number of bytes, so the swizzle and the multipliers
// stay the same for a whole run.
#include "gif/lzw/code_scan.h"

#if defined(__wasm_simd128__)

#include <wasm_simd128.h>

namespace {

constexpr int codes_per_group = 8;

struct group_layout {
    v128_t swizzle[2], scale[2];  // codes 0 to 3, then 4 to 7
};

group_layout layout_for(int width, unsigned phase) {
    alignas(16) std::uint8_t swizzle[2][16];
    alignas(16) std::uint32_t scale[2][4];
    for (int i = 0; i < codes_per_group; ++i) {
        unsigned at = phase + static_cast<unsigned>(i * width);
        int half = i / 4, lane = i % 4;
        scale[half][lane] = 1u << (8 - (at & 7));
        for (int b = 0; b < 4; ++b) swizzle[half][lane * 4 + b] = static_cast<std::uint8_t>((at >> 3) + b);
    }
    return {{wasm_v128_load(swizzle[0]), wasm_v128_load(swizzle[1])}, {wasm_v128_load(scale[0]), wasm_v128_load(scale[1])}};
}

// Codes 4h to 4h + 3 of the group, one to a 32-bit lane.
inline v128_t four_codes(v128_t bytes, const group_layout& gl, int h, v128_t fields) {
    v128_t lanes = wasm_i8x16_swizzle(bytes, gl.swizzle[h]);
    return wasm_v128_and(wasm_u32x4_shr(wasm_i32x4_mul(lanes, gl.scale[h]), 8), fields);
}

// Nonzero lanes where the group's eight codes are special.
inline v128_t special_lanes(const std::uint8_t* group, const group_layout& gl, v128_t fields, v128_t mask, v128_t special,
                            v128_t limits) {
    v128_t bytes = wasm_v128_load(group);
    v128_t codes = wasm_u16x8_narrow_i32x4(four_codes(bytes, gl, 0, fields), four_codes(bytes, gl, 1, fields));
    return wasm_v128_or(wasm_i16x8_eq(wasm_v128_and(codes, mask), special), wasm_u16x8_gt(codes, limits));
}

std::size_t find_special_simd128(const std::uint8_t* p, std::size_t bit, std::size_t n, const scan_key& key) {
    const std::uint8_t* base = p + (bit >> 3);
    const std::size_t stride = static_cast<std::size_t>(key.width);  // bytes per group
    const group_layout gl = layout_for(key.width, static_cast<unsigned>(bit & 7));
    const int top = (1 << key.width) - 1;
    const v128_t fields = wasm_i32x4_splat(top);
    const v128_t mask = wasm_i16x8_splat(static_cast<std::int16_t>(key.mask));
    const v128_t special = wasm_i16x8_splat(static_cast<std::int16_t>(key.special));
    // Without limits they stay at the largest code there is.
    v128_t limits = wasm_i16x8_splat(static_cast<std::int16_t>(top));
    v128_t rise = wasm_i16x8_splat(0);
    if (key.limited) {
        limits = wasm_i16x8_add(wasm_i16x8_splat(static_cast<std::int16_t>(key.next)), wasm_i16x8_make(0, 1, 2, 3, 4, 5, 6, 7));
        rise = wasm_i16x8_splat(codes_per_group);
    }
    const std::size_t groups = n / codes_per_group;
    std::size_t g = 0;
    for (; g + 2 <= groups; g += 2) {
        v128_t next = wasm_i16x8_add(limits, rise);
        v128_t any = wasm_v128_or(special_lanes(base + g * stride, gl, fields, mask, special, limits),
                                  special_lanes(base + (g + 1) * stride, gl, fields, mask, special, next));
        if (wasm_v128_any_true(any)) break;
        limits = wasm_i16x8_add(next, rise);
    }
    // The codes from the pair that holds a special one, or the last few.
    std::size_t done = g * codes_per_group;
    scan_key rest = key;
    rest.next += static_cast<std::uint32_t>(done);
    return done + find_special_each(p, bit + done * key.width, n - done, rest);
}

}  // namespace

scan_function simd128_scan() { return find_special_simd128; }

#else

scan_function simd128_scan() { return nullptr; }

#endif
