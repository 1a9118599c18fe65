// The scan with 256-bit vectors: eight codes of one width span at most
// 7 + 8 * 12 = 103 bits, so one 16-byte load holds all of them. A byte
// shuffle puts each code's bytes in a 32-bit lane, a per-lane shift and a
// mask take the code out, and one compare tests all eight. Eight codes
// advance the bit position by a whole number of bytes, so the shuffle and
// the shifts stay the same for a whole run.
#include "gif/code_scan.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))

#include <immintrin.h>

namespace {

constexpr int codes_per_group = 8;
constexpr int groups_per_step = 4;

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

// All-ones lanes where the group's codes are special.
__attribute__((target("avx2"))) inline __m256i special_lanes(const std::uint8_t* group,
                                                             const group_layout& gl, __m256i mask,
                                                             __m256i key) {
    __m256i bytes = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(group)));
    __m256i codes = _mm256_srlv_epi32(_mm256_shuffle_epi8(bytes, gl.shuffle), gl.shifts);
    return _mm256_cmpeq_epi32(_mm256_and_si256(codes, mask), key);
}

__attribute__((target("avx2"))) std::size_t find_special_avx2(const std::uint8_t* p, std::size_t bit,
                                                              std::size_t n, const scan_key& key) {
    const std::uint8_t* base = p + (bit >> 3);
    const std::size_t stride = static_cast<std::size_t>(key.width);  // bytes per group
    const group_layout gl = layout_for(key.width, static_cast<unsigned>(bit & 7));
    const __m256i mask = _mm256_set1_epi32(static_cast<int>(key.mask));
    const __m256i special = _mm256_set1_epi32(static_cast<int>(key.special));
    const std::size_t groups = n / codes_per_group;
    std::size_t g = 0;
    for (; g + groups_per_step <= groups; g += groups_per_step) {
        __m256i any = _mm256_setzero_si256();
        for (int j = 0; j < groups_per_step; ++j)
            any = _mm256_or_si256(any, special_lanes(base + (g + j) * stride, gl, mask, special));
        if (!_mm256_testz_si256(any, any)) break;
    }
    for (; g < groups; ++g) {
        int hits = _mm256_movemask_ps(_mm256_castsi256_ps(special_lanes(base + g * stride, gl, mask, special)));
        if (hits) return g * codes_per_group + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(hits)));
    }
    std::size_t done = groups * codes_per_group;
    return done + find_special_scalar(p, bit + done * key.width, n - done, key);
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
