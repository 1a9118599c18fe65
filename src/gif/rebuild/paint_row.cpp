#include "gif/rebuild/paint_row.h"

#include <algorithm>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define REELJOIN_PAINT_AVX2 1
#endif

namespace {

// A select, not a branch: frames full of holes would make it miss.
void paint_each(std::uint32_t* out, const std::uint8_t* in, std::int64_t n, const std::uint32_t* colours,
                std::uint32_t transparent) {
    for (std::int64_t k = 0; k < n; ++k) {
        std::uint32_t keep = 0u - static_cast<std::uint32_t>(in[k] == transparent);
        out[k] = (out[k] & keep) | (colours[in[k]] & ~keep);
    }
}

void paint_index_each(std::uint8_t* out, const std::uint8_t* in, std::int64_t n, std::uint32_t transparent) {
    for (std::int64_t k = 0; k < n; ++k) out[k] = in[k] == transparent ? out[k] : in[k];
}

void replace_each(std::uint8_t* row, std::int64_t n, std::uint8_t from, std::uint8_t to) {
    for (std::int64_t k = 0; k < n; ++k) row[k] = row[k] == from ? to : row[k];
}

#ifdef REELJOIN_PAINT_AVX2
__attribute__((target("avx2"))) void paint_avx2(std::uint32_t* out, const std::uint8_t* in, std::int64_t n,
                                                const std::uint32_t* colours, std::uint32_t transparent) {
    const __m256i clear = _mm256_set1_epi32(static_cast<int>(transparent));
    std::int64_t k = 0;
    for (; k + 8 <= n; k += 8) {
        __m256i index = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + k)));
        __m256i colour = _mm256_i32gather_epi32(reinterpret_cast<const int*>(colours), index, 4);
        __m256i had = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(out + k));
        __m256i keep = _mm256_cmpeq_epi32(index, clear);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k), _mm256_blendv_epi8(colour, had, keep));
    }
    paint_each(out + k, in + k, n - k, colours, transparent);
}

__attribute__((target("avx2"))) void paint_index_avx2(std::uint8_t* out, const std::uint8_t* in, std::int64_t n,
                                                      std::uint32_t transparent) {
    const __m256i clear = _mm256_set1_epi8(static_cast<char>(transparent));
    std::int64_t k = 0;
    for (; k + 32 <= n; k += 32) {
        __m256i index = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + k));
        __m256i had = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(out + k));
        __m256i keep = _mm256_cmpeq_epi8(index, clear);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k), _mm256_blendv_epi8(index, had, keep));
    }
    paint_index_each(out + k, in + k, n - k, transparent);
}

__attribute__((target("avx2"))) void replace_avx2(std::uint8_t* row, std::int64_t n, std::uint8_t from, std::uint8_t to) {
    const __m256i was = _mm256_set1_epi8(static_cast<char>(from)), now = _mm256_set1_epi8(static_cast<char>(to));
    std::int64_t k = 0;
    for (; k + 32 <= n; k += 32) {
        __m256i index = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + k));
        __m256i hit = _mm256_cmpeq_epi8(index, was);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + k), _mm256_blendv_epi8(index, now, hit));
    }
    replace_each(row + k, n - k, from, to);
}

bool has_avx2() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}
#endif

}  // namespace

void paint_row(std::uint32_t* out, const std::uint8_t* in, std::int64_t n, const std::uint32_t* colours,
               std::uint32_t transparent) {
#ifdef REELJOIN_PAINT_AVX2
    if (has_avx2()) return paint_avx2(out, in, n, colours, transparent);
#endif
    paint_each(out, in, n, colours, transparent);
}

void paint_index_row(std::uint8_t* out, const std::uint8_t* in, std::int64_t n, std::uint32_t transparent) {
    if (transparent > 255) {  // every pixel drawn
        std::copy(in, in + n, out);
        return;
    }
#ifdef REELJOIN_PAINT_AVX2
    if (has_avx2()) return paint_index_avx2(out, in, n, transparent);
#endif
    paint_index_each(out, in, n, transparent);
}

void replace_index_row(std::uint8_t* row, std::int64_t n, std::uint8_t from, std::uint8_t to) {
#ifdef REELJOIN_PAINT_AVX2
    if (has_avx2()) return replace_avx2(row, n, from, to);
#endif
    replace_each(row, n, from, to);
}
