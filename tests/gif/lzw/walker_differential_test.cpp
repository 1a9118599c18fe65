// The run-at-a-time walker against the plain code-at-a-time counter of the
// test support, on random
// code streams: every minimum code size, clear and end codes anywhere, full
// tables left uncleared, codes that name entries not made yet, streams cut
// short, and sub-block boundaries anywhere. Both must stop at the same
// place with the same registers and find the same unmade entries, and
// the pass-through built on the fast one must copy the same bytes.
#include <gtest/gtest.h>

#include <random>

#include "gif/lzw/code_scan.h"
#include "gif/lzw/lzw_walker.h"
#include "gif_scan.h"
#include "gif_writer.h"
#include "harness.h"

namespace {

using testgif::bytes;

// How often the generator sends each kind of code.
struct code_mix {
    const char* name;
    double clear, end;   // chance of a clear or end code at each step
    int max_codes;       // stream length, drawn from 1 to this
    double unmade;       // chance of a code above the next entry; below 0, codes span the width
};
void PrintTo(const code_mix& m, std::ostream* os) { *os << m.name; }

const code_mix mixes[] = {
    {"clears_and_ends_often", 0.05, 0.01, 600, -1},
    {"rare_clears", 0.002, 0.0005, 9000, -1},
    {"no_clears_full_table", 0.0, 0.0002, 12000, -1},  // deferred clears: long runs at 12 bits
    {"random_codes_only", 0.0, 0.0, 3000, -1},           // specials only by chance
    {"late_unmade_entries", 0.001, 0.0002, 9000, 0.0005},  // decodable up to a code far in
};

// A data code for the counter's state: any code of its width, or one a
// decoder can take, or where the mix asks one above the next entry, often
// just above it.
unsigned random_code(std::mt19937& rng, const testgif::code_counter& w, const code_mix& mix) {
    unsigned top = (1u << w.width()) - 1;
    if (mix.unmade < 0) return std::uniform_int_distribution<unsigned>(0, top)(rng);
    unsigned limit = w.previous() < 0 ? w.clear_code() - 1 : std::min<unsigned>(static_cast<unsigned>(w.entries()), top);
    std::uniform_real_distribution<double> chance(0, 1);
    if (limit == top || chance(rng) >= mix.unmade) return std::uniform_int_distribution<unsigned>(0, limit)(rng);
    return chance(rng) < 0.5 ? limit + 1 : std::uniform_int_distribution<unsigned>(limit + 1, top)(rng);
}

// Codes at the width the code-at-a-time counter expects at each point, so
// the stream means to it exactly what the generator chose.
bytes random_stream(std::mt19937& rng, int code_size, const code_mix& mix) {
    std::uniform_real_distribution<double> chance(0, 1);
    int codes = std::uniform_int_distribution<int>(1, mix.max_codes)(rng);
    testgif::code_counter w(code_size);
    testgif::bit_packer packer;
    for (int i = 0; i < codes; ++i) {
        double r = chance(rng);
        unsigned code = r < mix.clear ? w.clear_code()
                        : r < mix.clear + mix.end
                            ? w.clear_code() + 1
                            : random_code(rng, w, mix);
        packer.put(code, w.width());
        w.code(code);  // codes after an end code are sent on
    }
    return packer.finish();
}

struct walk_outcome {
    long end_bytes;  // bytes up to the end code's last bit, -1 when none
    int table_ptr, coded_size, coded_prev;
    bool unmade;
};

walk_outcome walk_reference(const bytes& stream, int code_size) {
    testgif::code_counter w(code_size);
    long end = -1;
    for (std::size_t i = 0; i < stream.size() && end < 0; ++i)
        if (w.take(stream[i])) end = static_cast<long>(i + 1);
    return {end, w.entries(), w.width(), w.previous(), w.named_unmade()};
}

// Walks the stream in pieces that end at random bits, as the pass-through
// does when the sub-blocks it has gathered end mid-code.
walk_outcome walk_fast(const bytes& stream, int code_size, std::mt19937& rng) {
    bytes padded = stream;
    padded.resize(stream.size() + scan_slack, 0xFF);
    lzw_walker w;
    lzw_start(w, code_size);
    std::size_t total = stream.size() * 8, bit = 0, end = 0;
    std::uniform_int_distribution<std::size_t> step(0, 400);
    long end_bytes = -1;
    while (end < total && end_bytes < 0) {
        end = std::min(total, end + step(rng));
        lzw_stop s = lzw_walk(w, padded.data(), bit, end);
        bit = s.bit;
        if (s.ended) end_bytes = static_cast<long>((s.bit + 7) / 8);
    }
    return {end_bytes, w.table_ptr, w.coded_size, w.coded_prev, w.met_unmade == 1};
}

// The pass-through as it stands written the simple way: read a sub-block,
// write it, walk it; after the end code skip to the terminator.
harness::copy_result reference_copy(const bytes& in, int code_size) {
    testgif::code_counter w(code_size);
    harness::copy_result r{{}, 0, -1};
    std::size_t pos = 0;
    auto finish = [&](int result) {
        r.out.push_back(0);
        r.result = result;
        r.next = pos < in.size() ? in[pos] : -1;
        return r;
    };
    bool ended = false;
    for (;;) {
        if (pos >= in.size()) return finish(0);
        std::size_t len = in[pos];
        if (len == 0) return ++pos, finish(1);
        if (pos + 1 + len > in.size()) return pos = in.size(), finish(0);
        if (!ended) r.out.insert(r.out.end(), in.begin() + pos, in.begin() + pos + 1 + len);
        for (std::size_t i = 0; i < len && !ended; ++i) ended = w.take(in[pos + 1 + i]);
        pos += 1 + len;
    }
}

// Sub-block sizes drawn at random; many of one byte now and then.
std::vector<std::size_t> random_block_sizes(std::mt19937& rng) {
    std::vector<std::size_t> sizes;
    int kind = std::uniform_int_distribution<int>(0, 3)(rng);
    std::uniform_int_distribution<std::size_t> any(1, 255), tiny(1, 3);
    for (int i = 0; i < 40; ++i) sizes.push_back(kind == 0 ? 255 : kind == 1 ? tiny(rng) : any(rng));
    return sizes;
}

void walker_matches_reference(const code_mix& mix) {
    for (int code_size = 0; code_size <= lzw_max_code_size; ++code_size) {
        std::mt19937 rng(1000u * code_size + 17);
        for (int n = 0; n < 60; ++n) {
            bytes stream = random_stream(rng, code_size, mix);
            walk_outcome ref = walk_reference(stream, code_size);
            walk_outcome fast = walk_fast(stream, code_size, rng);
            SCOPED_TRACE(::testing::Message() << "code size " << code_size << " stream " << n);
            EXPECT_EQ(fast.end_bytes, ref.end_bytes);
            EXPECT_EQ(fast.table_ptr, ref.table_ptr);
            EXPECT_EQ(fast.coded_size, ref.coded_size);
            EXPECT_EQ(fast.coded_prev, ref.coded_prev);
            EXPECT_EQ(fast.unmade, ref.unmade);
        }
    }
}

void pass_through_matches_reference(const code_mix& mix) {
    for (int code_size = 0; code_size <= lzw_max_code_size; ++code_size) {
        std::mt19937 rng(7000u * code_size + 3);
        for (int n = 0; n < 15; ++n) {
            bytes stream = random_stream(rng, code_size, mix);
            bytes input = testgif::sub_blocks(stream, random_block_sizes(rng));
            input.insert(input.end(), {4, 9, 9, 9, 9, 0, 0x3B});  // a stray sub-block, then a trailer
            std::size_t cut = std::uniform_int_distribution<std::size_t>(0, input.size() + 8)(rng);
            if (cut < input.size()) input.resize(cut);
            harness::copy_result ref = reference_copy(input, code_size);
            harness::copy_result fast = harness::copy_image_data(input, code_size);
            SCOPED_TRACE(::testing::Message() << "code size " << code_size << " stream " << n);
            EXPECT_EQ(fast.out, ref.out);
            EXPECT_EQ(fast.result, ref.result);
            EXPECT_EQ(fast.next, ref.next);
        }
    }
}

// Each case runs on every scan path this processor has.
class walker_differential : public ::testing::TestWithParam<code_mix> {
protected:
    template <typename Check>
    void on_every_path(Check check) {
        scan_path saved = selected_scan_path();
        for (scan_path path : {scan_path::scalar, scan_path::avx2, scan_path::simd128}) {
            if (!scan_path_available(path)) continue;
            select_scan_path(path);
            SCOPED_TRACE(path == scan_path::avx2 ? "avx2 path" : path == scan_path::simd128 ? "simd128 path" : "scalar path");
            check();
        }
        select_scan_path(saved);
    }
};

TEST_P(walker_differential, fast_walker_matches_reference) {
    on_every_path([&] { walker_matches_reference(GetParam()); });
}

TEST_P(walker_differential, pass_through_matches_reference) {
    on_every_path([&] { pass_through_matches_reference(GetParam()); });
}

INSTANTIATE_TEST_SUITE_P(mixes, walker_differential, ::testing::ValuesIn(mixes),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
