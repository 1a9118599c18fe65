// Broken and hostile files: what the pass makes of each, checked between
// two intact files, and work that grows no faster than the input.
#include <gtest/gtest.h>

#include <functional>

#include "gif/gif.h"
#include "gif/output.h"
#include "gif/stream.h"
#include "gif_decode.h"
#include "gif_scan.h"
#include "harness.h"

namespace {

using harness::cat;
using testgif::bytes;
using testgif::gif_builder;
using testgif::image_spec;
using testgif::picture;

// The pictures the cases are made of, and the start of every case file.
const image_spec& pic(std::size_t i) {
    static const image_spec p[] = {picture(4, 4, 4, 110), picture(3, 5, 4, 111), picture(5, 2, 4, 112)};
    return p[i];
}
gif_builder start() { return gif_builder().header(5, 5, testgif::palette(4, 113)); }

bytes intact() {
    return gif_builder()
        .header(6, 4, testgif::palette(256, 114))
        .image(picture(6, 4, 100, 115))
        .image(picture(3, 3, 4, 116, testgif::palette(4, 117)))
        .trailer()
        .data();
}

bytes netscape(std::uint8_t block_size) {
    bytes b = {0x21, 0xFF, block_size};
    for (char c : std::string("NETSCAPE2.0x").substr(0, block_size)) b.push_back(static_cast<std::uint8_t>(c));
    return cat({b, {3, 1, 0, 0, 0}});
}

// The descriptor of pic(1), with packed byte `packed`, and nothing after.
bytes descriptor(std::uint8_t packed) { return {0x2C, 0, 0, 0, 0, 3, 0, 5, 0, packed}; }

bytes zero_size_image() {
    image_spec empty = pic(0);
    empty.width = empty.height = 0;
    return start().image_raw(empty, {2, 0x84, 0x02, 0}).image(pic(1)).trailer().data();  // clear, end
}

struct malformed_case {
    const char* name;
    std::function<bytes()> make;
    int result;                  // of the pass
    std::vector<int> frames;     // the pictures that become whole frames; -1: the zero-size image
    bool partial;                // then one frame with only part of its data
    std::uint8_t packed, index;  // the first frame's control block
};
void PrintTo(const malformed_case& c, std::ostream* os) { *os << c.name; }

class malformed_files : public ::testing::TestWithParam<malformed_case> {};

// The case file runs in a middle role between two intact files: its result,
// its frames and every intact frame after it must come out as stated, and
// giflib must read the joined output's block structure to the trailer.
TEST_P(malformed_files, result_and_frames) {
    const malformed_case& c = GetParam();
    const bytes good = intact();
    harness::join_result j = harness::run_passes({{role_first, good}, {1, c.make()}, {role_last, good}});
    EXPECT_EQ(j.results, (std::vector<int>{1, c.result, 1}));
    testgif::walked w = testgif::walk_gif(j.out);
    EXPECT_TRUE(w.ok) << w.error;
    testgif::scanned_file out = testgif::scan_gif(j.out);
    const std::size_t n = testgif::scan_gif(good).images.size(), mine = c.frames.size() + c.partial;
    ASSERT_EQ(out.images.size(), 2 * n + mine);
    EXPECT_EQ(w.images, static_cast<int>(out.images.size()));
    for (std::size_t k = 0; k < c.frames.size(); ++k) {
        SCOPED_TRACE("frame " + std::to_string(k));
        const testgif::scanned_image& im = out.images[n + k];
        EXPECT_TRUE(im.whole);
        if (c.frames[k] < 0) {  // decoders differ on images without pixels: check its bytes
            EXPECT_EQ(im.data, (bytes{2, 0x84, 0x02}));
            continue;
        }
        bytes alone = out.header;
        alone.insert(alone.end(), j.out.begin() + static_cast<long>(im.at - 8),
                     j.out.begin() + static_cast<long>(im.data_end));
        alone.push_back(0x3B);
        testgif::decoded d = testgif::decode_gif(alone);
        ASSERT_TRUE(d.ok) << d.error;
        EXPECT_EQ(d.frames[0].pixels, pic(static_cast<std::size_t>(c.frames[k])).pixels);
    }
    if (mine > 0) {
        const testgif::own_control& control = out.images[n].control;
        EXPECT_EQ(control.packed, c.packed);
        EXPECT_EQ(control.index, c.index);
    }
    testgif::decoded tail = testgif::decode_gif(cat({out.header, bytes(j.out.begin() + static_cast<long>(out.images[n + mine].at - 8), j.out.end())}));
    ASSERT_TRUE(tail.ok) << "the intact file after the case: " << tail.error;
    EXPECT_EQ(tail.frames.size(), n);
}

INSTANTIATE_TEST_SUITE_P(
    cases, malformed_files,
    ::testing::Values(
        // Graphic control extensions are chains of sub-blocks whatever their
        // block size says; the fields are taken from a first block of 4 or more.
        malformed_case{"control_block_of_3", [] { return start().raw({0x21, 0xF9, 3, 0x09, 10, 0, 0}).image(pic(0)).image(pic(1)).trailer().data(); },
                       1, {0, 1}, false, 0x04, 0},
        malformed_case{"control_block_of_6", [] { return start().raw({0x21, 0xF9, 6, 0x09, 10, 0, 5, 0xEE, 0xEE, 0}).image(pic(0)).image(pic(1)).trailer().data(); },
                       1, {0, 1}, false, 0x09, 5},
        malformed_case{"control_block_of_0", [] { return start().raw({0x21, 0xF9, 0}).image(pic(0)).image(pic(1)).trailer().data(); },
                       1, {0, 1}, false, 0x04, 0},
        malformed_case{"control_past_end", [] { return start().image(pic(0)).raw({0x21, 0xF9, 4, 0x09}).data(); },
                       1, {0}, false, 0x04, 0},
        malformed_case{"application_block_of_10", [] { return start().raw(netscape(10)).image(pic(0)).image(pic(1)).trailer().data(); },
                       1, {0, 1}, false, 0x04, 0},
        malformed_case{"application_block_of_12", [] { return start().raw(netscape(12)).image(pic(0)).image(pic(1)).trailer().data(); },
                       1, {0, 1}, false, 0x04, 0},
        malformed_case{"application_block_of_0", [] { return start().raw({0x21, 0xFF, 0}).image(pic(0)).image(pic(1)).trailer().data(); },
                       1, {0, 1}, false, 0x04, 0},
        malformed_case{"application_sub_block_past_end", [] { return start().image(pic(0)).raw({0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1}).data(); },
                       1, {0}, false, 0x04, 0},
        malformed_case{"comment_sub_block_past_end", [] { return start().image(pic(0)).raw({0x21, 0xFE, 0x40, 'a', 'b'}).data(); },
                       1, {0}, false, 0x04, 0},
        // Only whole sub-blocks are copied: the frame keeps none of this one.
        malformed_case{"image_sub_block_past_end", [] { return start().image(pic(0)).image_raw(pic(1), {200, 1, 2, 3, 4}).data(); },
                       1, {0}, true, 0x04, 0},
        malformed_case{"zero_byte_between_blocks", [] { return start().image(pic(0)).raw({0x00}).image(pic(1)).trailer().data(); },
                       1, {0}, false, 0x04, 0},
        malformed_case{"junk_between_blocks", [] { return start().image(pic(0)).raw({'j', 'u', 'n', 'k'}).image(pic(1)).trailer().data(); },
                       1, {0}, false, 0x04, 0},
        malformed_case{"junk_after_trailer", [] { return start().image(pic(0)).trailer().image(pic(1)).raw({0xFF, 0x00}).data(); },
                       1, {0}, false, 0x04, 0},
        malformed_case{"zero_size_image", zero_size_image, 1, {-1, 1}, false, 0x04, 0},
        // A header cut short is no GIF: nothing is written, and the next file
        // is read as if this one had not been named.
        malformed_case{"global_table_claimed_file_ends", [] { bytes b = start().data(); b.resize(15); return b; },
                       0, {}, false, 0, 0},
        malformed_case{"global_table_of_256_claimed_file_ends", [] { return cat({{'G', 'I', 'F', '8', '9', 'a', 5, 0, 5, 0, 0xF7, 0, 0}, bytes(500, 7)}); },
                       0, {}, false, 0, 0},
        // An image cut before its data begins is dropped, and the pass ends.
        malformed_case{"local_table_claimed_file_ends", [] { return start().image(pic(0)).raw(cat({descriptor(0x87), bytes(50, 1)})).data(); },
                       1, {0}, false, 0x04, 0},
        malformed_case{"descriptor_cut_short", [] { return start().image(pic(0)).raw({0x2C, 0, 0, 1}).data(); },
                       1, {0}, false, 0x04, 0},
        malformed_case{"no_code_size_byte", [] { return start().image(pic(0)).raw(descriptor(0)).data(); },
                       1, {0}, false, 0x04, 0},
        malformed_case{"no_data_after_code_size", [] { return start().image(pic(0)).raw(cat({descriptor(0), {2}})).data(); },
                       1, {0}, true, 0x04, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// A file made of one block repeated n times, between a fixed start and end.
struct flood_case {
    const char* name;
    bytes prefix, unit, suffix;
    std::size_t frames_per_unit, other_frames;
    std::size_t n = 1000000;
};
void PrintTo(const flood_case& c, std::ostream* os) { *os << c.name; }

class flood : public ::testing::TestWithParam<flood_case> {};

bytes flood_file(const flood_case& c, std::size_t n) {
    bytes b = c.prefix;
    b.reserve(b.size() + n * c.unit.size() + c.suffix.size());
    for (std::size_t i = 0; i < n; ++i) b.insert(b.end(), c.unit.begin(), c.unit.end());
    return cat({b, c.suffix});
}

// A million blocks are read once, in whole input blocks, and written in
// whole output buffers: the work done is what the file's size gives,
// however its blocks are cut. (How the time grows with the size is the
// bench's to measure.)
TEST_P(flood, work_follows_the_size) {
    const flood_case& c = GetParam();
    bytes file = flood_file(c, c.n);
    harness::join_result j = harness::run_passes({{role_single, file}});
    EXPECT_EQ(j.results[0], 1);
    // Counted by the scan: giflib grows its list of images one at a time,
    // which costs quadratic time where realloc cannot grow in place.
    EXPECT_EQ(testgif::scan_gif(j.out).images.size(), c.n * c.frames_per_unit + c.other_frames);
    EXPECT_LE(j.reads, file.size() / input_block_size + 2);
    EXPECT_LE(j.writes, j.out.size() / output_buffer_size + 2);
}

const bytes flood_start = gif_builder().header(5, 5, testgif::palette(4, 118)).data();
const bytes flood_end = gif_builder().image(pic(0)).trailer().data();

INSTANTIATE_TEST_SUITE_P(
    blocks, flood,
    ::testing::Values(
        flood_case{"empty_comments", flood_start, {0x21, 0xFE, 0}, flood_end, 0, 1},
        flood_case{"empty_control_blocks", flood_start, {0x21, 0xF9, 0}, flood_end, 0, 1},
        flood_case{"comment_of_one_byte_sub_blocks", cat({flood_start, {0x21, 0xFE}}), {1, 'x'}, cat({{0}, flood_end}), 0, 1},
        // Zero bytes at code size 8: code 0 again and again, the table fills
        // and no end code ever comes; every sub-block is copied.
        flood_case{"image_data_of_one_byte_sub_blocks", cat({flood_start, descriptor(0), {8}}), {1, 0}, {0, 0x3B}, 0, 1},
        flood_case{"tiny_images", flood_start,
                   gif_builder().image(picture(1, 1, 2, 119, testgif::palette(2, 120))).data(), {0x3B}, 1, 0, 200000}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
