// The WebAssembly build's vector scan against the code-by-code one, on
// random runs of codes of every width and phase, with and without limits,
// special codes planted at random places. Built with the WebAssembly
// build and run under Node by its tests; prints the first disagreement and
// exits 1, or prints how many runs agreed.
#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

#include "gif/lzw/code_scan.h"

namespace {

// The n codes of the given width, from bit `phase` on.
std::vector<std::uint8_t> pack(const std::vector<std::uint32_t>& codes, int width, unsigned phase) {
    std::vector<std::uint8_t> bytes((phase + codes.size() * width + 7) / 8 + scan_slack + 4, 0);
    for (std::size_t i = 0; i < codes.size(); ++i) {
        std::size_t at = phase + i * width;
        for (int b = 0; b < width; ++b)
            if (codes[i] >> b & 1) bytes[(at + b) / 8] |= static_cast<std::uint8_t>(1u << ((at + b) % 8));
    }
    return bytes;
}

}  // namespace

int main() {
    if (!scan_path_available(scan_path::simd128)) {
        std::puts("the vector scan is not in this build");
        return 1;
    }
    select_scan_path(scan_path::simd128);
    std::mt19937 rng(7);
    int runs = 0;
    for (int width = 2; width <= 12; ++width)
        for (unsigned phase = 0; phase < 8; ++phase)
            for (int k = 0; k < 40; ++k) {
                int code_size = width - 1 - static_cast<int>(rng() % 2);
                if (code_size < 1) code_size = 1;
                std::uint32_t clear = 1u << code_size;
                std::size_t n = rng() % 200;
                bool limited = rng() % 2;
                std::uint32_t next = clear + 2 + rng() % 8;
                if (limited && next + n >= (1u << width)) limited = false;
                // Ordinary codes; or each at the entry the decoder makes next, the
                // most it may name; then one special code planted somewhere.
                bool rising = limited && k % 2 == 0;
                std::vector<std::uint32_t> codes(n);
                for (std::size_t i = 0; i < n; ++i) codes[i] = rising ? next + i : clear + 2 + rng() % (next - clear - 1);
                if (n > 0 && k % 5 != 0) {
                    std::size_t at = rng() % n;
                    std::uint32_t planted[] = {clear, clear + 1, next + static_cast<std::uint32_t>(at) + 1};
                    codes[at] = std::min(planted[rng() % (limited ? 3 : 2)], (1u << width) - 1);
                }
                std::vector<std::uint8_t> run = pack(codes, width, phase);
                scan_key key = make_scan_key(width, static_cast<int>(clear), limited, next);
                std::size_t want = find_special_each(run.data(), phase, n, key);
                std::size_t got = find_special(run.data(), phase, n, key);
                ++runs;
                if (got != want) {
                    std::printf("width %d, phase %u, %zu codes, limited %d: the vector scan found %zu, code by code %zu\n", width,
                                phase, n, limited, got, want);
                    return 1;
                }
            }
    std::printf("%d runs agree\n", runs);
    return 0;
}
