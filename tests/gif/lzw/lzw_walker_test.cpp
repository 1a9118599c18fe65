// The walker must stop exactly at the end-of-information code, which it can
// only do if it tracks every change of code width on the way there.
#include "gif/lzw/lzw_walker.h"
#include "gif/lzw/code_scan.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "gif_writer.h"

namespace {

using testgif::bytes;

// Walks the whole stream; returns how many bytes hold the codes up to the
// end code, or -1 if the walker never met it.
long end_offset(lzw_walker& w, const bytes& stream) {
    bytes padded = stream;
    padded.resize(stream.size() + scan_slack);
    lzw_stop s = lzw_walk(w, padded.data(), 0, stream.size() * 8);
    return s.ended ? static_cast<long>((s.bit + 7) / 8) : -1;
}

struct encoded_case {
    const char* name;
    int min_code_size;
    int width, height, colours;
    testgif::lzw_options opt;
};
void PrintTo(const encoded_case& c, std::ostream* os) { *os << c.name; }

class walker_on_encoded : public ::testing::TestWithParam<encoded_case> {};

// A real encoder's stream, whose end code is in its last byte: finding it
// there means every width change before it was followed.
TEST_P(walker_on_encoded, finds_end_code_in_last_byte) {
    const encoded_case& c = GetParam();
    bytes pixels = testgif::pattern(c.width, c.height, c.colours, 7);
    bytes stream = testgif::lzw_encode(pixels, c.min_code_size, c.opt);
    lzw_walker w;
    lzw_start(w, c.min_code_size);
    EXPECT_EQ(end_offset(w, stream), static_cast<long>(stream.size()));
    EXPECT_LE(w.table_ptr, lzw_table_size);
    EXPECT_LE(w.coded_size, lzw_max_width);
}

testgif::lzw_options deferred() {
    testgif::lzw_options o;
    o.clear_when_full = false;
    return o;
}
testgif::lzw_options clear_after(int n) {
    testgif::lzw_options o;
    o.clear_after = n;
    return o;
}
testgif::lzw_options no_leading_clear() {
    testgif::lzw_options o;
    o.leading_clear = false;
    return o;
}

INSTANTIATE_TEST_SUITE_P(
    streams, walker_on_encoded,
    ::testing::Values(encoded_case{"min2_small", 2, 8, 8, 4, {}},
                      encoded_case{"min2_fills_table", 2, 300, 300, 4, {}},
                      encoded_case{"min2_deferred_clear", 2, 300, 300, 4, deferred()},
                      encoded_case{"min4", 4, 120, 100, 16, {}},
                      encoded_case{"min8_fills_table", 8, 256, 256, 256, {}},
                      encoded_case{"min8_deferred_clear", 8, 256, 256, 256, deferred()},
                      encoded_case{"min8_clears_often", 8, 64, 64, 200, clear_after(37)},
                      encoded_case{"min8_no_leading_clear", 8, 64, 64, 256, no_leading_clear()},
                      encoded_case{"min11", 11, 200, 200, 2048, {}},
                      encoded_case{"min11_deferred", 11, 200, 200, 2048, deferred()}),
    [](const auto& info) { return std::string(info.param.name); });

// Hand-made code streams: (code, width) pairs, and what the walker must
// hold after them.
struct crafted_case {
    const char* name;
    int min_code_size;
    std::vector<std::pair<unsigned, int>> codes;
    int ends;  // 1: the last code is the end code
    int table_ptr, coded_size;
};
void PrintTo(const crafted_case& c, std::ostream* os) { *os << c.name; }

class walker_on_crafted : public ::testing::TestWithParam<crafted_case> {};

TEST_P(walker_on_crafted, registers_after_stream) {
    const crafted_case& c = GetParam();
    testgif::bit_packer packer;
    for (auto [code, width] : c.codes) packer.put(code, width);
    bytes stream = packer.finish();
    lzw_walker w;
    lzw_start(w, c.min_code_size);
    long at = end_offset(w, stream);
    EXPECT_EQ(at, c.ends ? static_cast<long>(stream.size()) : -1);
    EXPECT_EQ(w.table_ptr, c.table_ptr);
    EXPECT_EQ(w.coded_size, c.coded_size);
}

INSTANTIATE_TEST_SUITE_P(
    streams, walker_on_crafted,
    ::testing::Values(
        // Width 3 grows to 4 once entry 7 is made.
        crafted_case{"min2_grows_at_entry_7", 2, {{4, 3}, {0, 3}, {1, 3}, {2, 3}, {3, 4}, {5, 4}}, 1, 9, 4},
        // A clear code takes the width and the next entry back.
        crafted_case{"min2_clear_resets", 2, {{0, 3}, {1, 3}, {2, 3}, {4, 4}, {1, 3}, {5, 3}}, 1, 6, 3},
        // The code just after a clear makes no entry.
        crafted_case{"min2_first_code_no_entry", 2, {{4, 3}, {3, 3}, {4, 3}, {5, 3}}, 1, 6, 3},
        // A code at or above the next entry is a data code like any other.
        crafted_case{"min2_code_above_table", 2, {{0, 3}, {6, 3}, {7, 3}, {5, 4}}, 1, 8, 4},
        // Minimum code size 1: the first entry 4 is past what 2 bits name,
        // so the width never grows.
        crafted_case{"min1_width_stays", 1, {{2, 2}, {0, 2}, {1, 2}, {0, 2}, {1, 2}, {0, 2}, {3, 2}}, 1, 8, 2},
        // Minimum code size 0: 1-bit codes, the end code 2 cannot be read.
        crafted_case{"min0_never_ends", 0, {{1, 1}, {0, 1}, {0, 1}, {0, 1}, {0, 1}, {0, 1}, {0, 1}, {0, 1}}, 0, 9, 1},
        // No end code at all: the walker waits for more.
        crafted_case{"min8_no_end", 8, {{256, 9}, {65, 9}, {66, 9}}, 0, 259, 9}),
    [](const auto& info) { return std::string(info.param.name); });

// With the table full the width stays at 12 bits and data codes go on
// without entries until a clear; after it, codes are 9 bits again.
TEST(walker, full_table_then_clear) {
    testgif::bit_packer packer;
    packer.put(256, 9);
    lzw_walker w;
    lzw_start(w, 8);
    int width = 9;
    for (int entry = 257; entry <= 4096 + 10; ++entry) {  // 10 codes past full
        packer.put(65, width);
        if (entry >= 258 && entry < 4096 && entry == (1 << width) - 1 && width < 12) ++width;
    }
    packer.put(256, 12);
    packer.put(65, 9);
    packer.put(257, 9);
    bytes stream = packer.finish();
    EXPECT_EQ(end_offset(w, stream), static_cast<long>(stream.size()));
    EXPECT_EQ(w.table_ptr, 258);
    EXPECT_EQ(w.coded_size, 9);
}

}  // namespace
