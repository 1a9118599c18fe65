// The pass-through copies sub-blocks whole, up to the one that holds the
// end-of-information code, and always leaves a single terminator behind.
#include "gif/image_data.h"

#include <gtest/gtest.h>

#include "harness.h"

namespace {

using harness::cat;
using testgif::bytes;

const bytes stream = testgif::lzw_encode(testgif::pattern(16, 16, 4, 3), 2);
const bytes blocks = testgif::sub_blocks(stream, {9});          // with terminator
const bytes open_blocks = testgif::sub_blocks(stream, {9}, false);
const bytes no_end = testgif::sub_blocks(
    testgif::lzw_encode(testgif::pattern(16, 16, 4, 3), 2, {true, false, true, 0}), {9});
const bytes trailer = {0x3B};

struct copy_case {
    const char* name;
    bytes input, expected;
    int result, next;
};
void PrintTo(const copy_case& c, std::ostream* os) { *os << c.name; }

class image_data_cases : public ::testing::TestWithParam<copy_case> {};

TEST_P(image_data_cases, output_result_and_position) {
    const copy_case& c = GetParam();
    harness::copy_result r = harness::copy_image_data(c.input, 2);
    EXPECT_EQ(r.out, c.expected);
    EXPECT_EQ(r.result, c.result);
    EXPECT_EQ(r.next, c.next);
}

bytes with_tail_in_last_block() {
    bytes s = stream;
    s.push_back(0xAA);  // bytes after the end code, inside its sub-block
    s.push_back(0xBB);
    return testgif::sub_blocks(s, {255});
}

INSTANTIATE_TEST_SUITE_P(
    streams, image_data_cases,
    ::testing::Values(
        copy_case{"well_formed", cat({blocks, trailer}), blocks, 1, 0x3B},
        copy_case{"bytes_after_end_code_in_its_block", cat({with_tail_in_last_block(), trailer}),
                  with_tail_in_last_block(), 1, 0x3B},
        copy_case{"sub_blocks_after_end_code", cat({open_blocks, {1, 0}, {3, 1, 2, 3}, {0}, trailer}),
                  blocks, 1, 0x3B},
        copy_case{"no_end_code", cat({no_end, trailer}), no_end, 1, 0x3B},
        copy_case{"input_ends_after_end_code_block", open_blocks, blocks, 0, -1},
        copy_case{"input_ends_while_skipping", cat({open_blocks, {5, 1, 2}}), blocks, 0, -1},
        copy_case{"input_ends_inside_sub_block", bytes(blocks.begin(), blocks.begin() + 25),
                  cat({bytes(blocks.begin(), blocks.begin() + 20), {0}}), 0, -1},
        copy_case{"input_ends_at_length_byte", bytes(blocks.begin(), blocks.begin() + 20),
                  cat({bytes(blocks.begin(), blocks.begin() + 20), {0}}), 0, -1},
        copy_case{"no_input", {}, {0}, 0, -1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
