// The scan with 256-bit vectors: eight codes of one width span at most
// 7 + 8 * 12 = 103 bits, so one 16-byte load holds all of them. A byte
// shuffle puts each code's bytes in a 32-bit lane, a per-lane shift and a
// mask take the code out, and one compare tests all eight. Eight codes
// advance the bit position by a whole number of bytes, so the shuffle and
// the shifts stay the same for a whole run.
#include "gif/lzw/code_scan.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))

#include <immintrin.h>

namespace {

constexpr int codes_per_group = 8;
constexpr int groups_per_step = 4;  // two pairs

struct group_layout {
    __m256i shuffle, shifts;
};

__attribute__((target("avx2"))) group_layout layout_for(int width, unsigned phase) {
    alignas(32) std::uint8_t shuffle[32];
    alignas(32) std::uint32_t shifts[codes_per_group];
    for (int i = 0; i < codes_per_group; ++i) {
        unsigned at = phase + static_cast<unsigned>(i * width);
        shifts[i] = at & 7;
        int lane = (i % 4) * 4 + (i / 4) * 16;  // both 128-bit halves hold the same 16 bytes
        for (int b = 0; b < 4; ++b) shuffle[lane + b] = static_cast<std::uint8_t>((at >> 3) + b);
    }
    return {_mm256_load_si256(reinterpret_cast<const __m256i*>(shuffle)),
            _mm256_load_si256(reinterpret_cast<const __m256i*>(shifts))};
}

// The group's eight codes, one to a 32-bit lane, with the bits above them
// that the shift leaves.
__attribute__((target("avx2"))) inline __m256i group_codes(const std::uint8_t* group, const group_layout& gl) {
    __m256i bytes = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(group)));
    return _mm256_srlv_epi32(_mm256_shuffle_epi8(bytes, gl.shuffle), gl.shifts);
}

// What codes are tested against: the clear and end codes, and the limits
// of the codes. For one group, in 32-bit lanes, the limits rise by eight
// to the next group; for a pair of groups packed into 16-bit lanes (a
// group's first four codes, the next group's first four, then the last
// four of each), by sixteen to the next pair. Without limits they stay at
// the largest code there is.
struct scan_vectors {
    __m256i fields, mask, special, limits, rise;
    __m256i mask16, special16, limits16, rise16;
};

__attribute__((target("avx2"))) scan_vectors vectors_for(const scan_key& key) {
    int top = (1 << key.width) - 1;
    scan_vectors v;
    v.fields = _mm256_set1_epi32(top);
    v.mask = _mm256_set1_epi32(static_cast<int>(key.mask));
    v.special = _mm256_set1_epi32(static_cast<int>(key.special));
    v.mask16 = _mm256_set1_epi16(static_cast<short>(key.mask));
    v.special16 = _mm256_set1_epi16(static_cast<short>(key.special));
    v.limits = v.fields;
    v.limits16 = _mm256_set1_epi16(static_cast<short>(top));
    v.rise = v.rise16 = _mm256_setzero_si256();
    if (key.limited) {
        v.limits = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(key.next)), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
        v.rise = _mm256_set1_epi32(codes_per_group);
        v.limits16 = _mm256_add_epi16(_mm256_set1_epi16(static_cast<short>(key.next)),
                                      _mm256_setr_epi16(0, 1, 2, 3, 8, 9, 10, 11, 4, 5, 6, 7, 12, 13, 14, 15));
        v.rise16 = _mm256_set1_epi16(2 * codes_per_group);
    }
    return v;
}

// All-ones lanes where the group's codes are special.
__attribute__((target("avx2"))) inline __m256i special_lanes(const std::uint8_t* group, const group_layout& gl,
                                                             const scan_vectors& v, __m256i limits) {
    __m256i codes = _mm256_and_si256(group_codes(group, gl), v.fields);
    __m256i found = _mm256_cmpeq_epi32(_mm256_and_si256(codes, v.mask), v.special);
    return _mm256_or_si256(found, _mm256_cmpgt_epi32(codes, limits));
}

// Nonzero lanes where the codes of two neighbouring groups are special:
// codes of up to 12 bits fit 16-bit lanes, so one set of tests takes both.
__attribute__((target("avx2"))) inline __m256i special_pair(const std::uint8_t* group, std::size_t stride,
                                                            const group_layout& gl, const scan_vectors& v,
                                                            __m256i limits16) {
    __m256i a = _mm256_and_si256(group_codes(group, gl), v.fields);
    __m256i b = _mm256_and_si256(group_codes(group + stride, gl), v.fields);
    __m256i codes = _mm256_packus_epi32(a, b);
    __m256i found = _mm256_cmpeq_epi16(_mm256_and_si256(codes, v.mask16), v.special16);
    return _mm256_or_si256(found, _mm256_cmpgt_epi16(codes, limits16));
}

__attribute__((target("avx2"))) std::size_t find_special_avx2(const std::uint8_t* p, std::size_t bit,
                                                              std::size_t n, const scan_key& key) {
    const std::uint8_t* base = p + (bit >> 3);
    const std::size_t stride = static_cast<std::size_t>(key.width);  // bytes per group
    const group_layout gl = layout_for(key.width, static_cast<unsigned>(bit & 7));
    const scan_vectors v = vectors_for(key);
    __m256i limits = v.limits, limits16 = v.limits16;
    const std::size_t groups = n / codes_per_group;
    std::size_t g = 0;
    for (; g + groups_per_step <= groups; g += groups_per_step) {
        __m256i any = special_pair(base + g * stride, stride, gl, v, limits16);
        __m256i next16 = _mm256_add_epi16(limits16, v.rise16);
        any = _mm256_or_si256(any, special_pair(base + (g + 2) * stride, stride, gl, v, next16));
        if (!_mm256_testz_si256(any, any)) break;
        limits16 = _mm256_add_epi16(next16, v.rise16);
        for (int j = 0; j < groups_per_step; ++j) limits = _mm256_add_epi32(limits, v.rise);
    }
    for (; g < groups; ++g) {
        int hits = _mm256_movemask_ps(_mm256_castsi256_ps(special_lanes(base + g * stride, gl, v, limits)));
        if (hits) return g * codes_per_group + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(hits)));
        limits = _mm256_add_epi32(limits, v.rise);
    }
    std::size_t done = groups * codes_per_group;
    scan_key rest = key;
    rest.next += static_cast<std::uint32_t>(done);
    return done + find_special_each(p, bit + done * key.width, n - done, rest);
}

}  // namespace

namespace {

// Also runs from static initialisation, which may come before the
// compiler's own start-up code has read the processor's features.
bool cpu_has_avx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

}  // namespace

scan_function avx2_scan() {
    static const bool has_avx2 = cpu_has_avx2();
    return has_avx2 ? find_special_avx2 : nullptr;
}

#else

scan_function avx2_scan() { return nullptr; }

#endif
