// The file pass on whole, odd and broken files, checked byte by byte where
// the layout matters and through an independent decoder everywhere else.
#include <gtest/gtest.h>

#include <functional>

#include "gif/gif.h"
#include "gif_decode.h"
#include "harness.h"

namespace {

using harness::cat;
using harness::run_pass;
using testgif::bytes;
using testgif::gif_builder;
using testgif::image_spec;
using testgif::picture;

testgif::gce_fields control(int disposal, bool transparent, int index) {
    testgif::gce_fields g;
    g.disposal = disposal;
    g.transparent = transparent;
    g.index = index;
    g.delay = 55;
    g.user_input = true;
    return g;
}

// What the output frame's control must say, given the input frame's own.
void expect_control(const testgif::frame& in, const testgif::frame& out) {
    bool own = in.disposal >= 0;
    int disposal = own && (in.disposal == 2 || in.disposal == 3) ? in.disposal : 1;
    EXPECT_EQ(out.disposal, disposal);
    EXPECT_EQ(out.transparent, own ? in.transparent : -1);
    EXPECT_FALSE(out.user_input);
    EXPECT_EQ(out.delay, loop_delay);
}

// A single-file pass of `file` plus a trailer, decoded, must show every
// input image with its own pixels, geometry and colours.
void expect_reframed(const bytes& file) {
    testgif::decoded in = testgif::decode_gif(file);
    ASSERT_TRUE(in.ok) << in.error;
    harness::pass_result r = run_pass(role_single, file);
    EXPECT_EQ(r.result, 1);
    testgif::decoded out = testgif::decode_gif(cat({r.out, {0x3B}}));
    ASSERT_TRUE(out.ok) << out.error;
    EXPECT_EQ(out.version, "GIF89a");
    EXPECT_EQ(out.loop_count, -1);
    EXPECT_EQ(out.global_colours, in.global_colours);
    ASSERT_EQ(out.frames.size(), in.frames.size());
    for (std::size_t i = 0; i < in.frames.size(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(i));
        const testgif::frame &a = in.frames[i], &b = out.frames[i];
        EXPECT_EQ(std::tie(a.left, a.top, a.width, a.height, a.interlace),
                  std::tie(b.left, b.top, b.width, b.height, b.interlace));
        EXPECT_TRUE(b.has_local);
        EXPECT_EQ(b.colours, a.colours);
        EXPECT_EQ(b.pixels, a.pixels);
        expect_control(a, b);
    }
}

struct file_case {
    const char* name;
    std::function<bytes()> make;
};
void PrintTo(const file_case& c, std::ostream* os) { *os << c.name; }

class reframed_files : public ::testing::TestWithParam<file_case> {};

TEST_P(reframed_files, frames_match_input) { expect_reframed(GetParam().make()); }

bytes interlaced_on_global_table() {
    image_spec b = picture(9, 7, 4, 2);
    b.interlace = true;
    b.left = 3;
    b.top = 1;
    return gif_builder()
        .header(12, 8, testgif::palette(4, 1), "87a")
        .image(picture(12, 8, 4, 1))
        .gce(control(2, true, 3))
        .image(b)
        .trailer()
        .data();
}

bytes local_tables() {
    return gif_builder()
        .header(40, 30, testgif::palette(256, 5))
        .gce(control(3, false, 9))
        .image(picture(40, 30, 2, 6, testgif::palette(2, 7)))
        .gce(control(0, true, 0))
        .image(picture(20, 10, 16, 8, testgif::palette(16, 9)))
        .image(picture(40, 30, 200, 10))
        .trailer()
        .data();
}

bytes extensions_between_images() {
    return gif_builder()
        .header(16, 16, testgif::palette(8, 11))
        .netscape_loop(3)
        .comment({"made by", "a test"})
        .image(picture(16, 16, 8, 12))
        .comment({})
        .application("XMPDataXMP ", {{1, 2, 3}, bytes(255, 7), {9}})
        .raw({0x21, 0x77, 3, 1, 2, 3, 2, 4, 5, 0})  // unknown label
        .image(picture(16, 16, 8, 13))
        .gce(control(4, true, 6))
        .image(picture(16, 16, 8, 14))
        .trailer()
        .data();
}

bytes no_global_table() {
    return gif_builder()
        .header(10, 10, {})
        .image(picture(10, 10, 4, 15, testgif::palette(4, 16)))
        .image(picture(10, 10, 64, 17, testgif::palette(64, 18)))
        .trailer()
        .data();
}

bytes odd_code_streams() {
    image_spec full = picture(256, 256, 256, 19);
    full.lzw.clear_when_full = false;  // deferred clear
    full.block_sizes = {1, 254, 17};
    image_spec tail = picture(30, 30, 4, 20);
    bytes data = testgif::sub_blocks(testgif::lzw_encode(tail.pixels, 2), {255}, false);
    data = cat({data, {1, 0}, {0}});  // a one-byte sub-block after the end code
    return gif_builder()
        .header(256, 256, testgif::palette(256, 21))
        .image(full)
        .image_raw(tail, data)
        .image(picture(30, 30, 4, 22))
        .trailer()
        .data();
}

INSTANTIATE_TEST_SUITE_P(files, reframed_files,
                         ::testing::Values(file_case{"interlaced_on_global_table", interlaced_on_global_table},
                                           file_case{"local_tables", local_tables},
                                           file_case{"extensions_between_images", extensions_between_images},
                                           file_case{"no_global_table", no_global_table},
                                           file_case{"odd_code_streams", odd_code_streams}),
                         [](const auto& info) { return std::string(info.param.name); });

// What each role writes before the first frame, and the delay it gives.
TEST(file_pass, roles) {
    bytes table = testgif::palette(4, 30);
    bytes file = gif_builder().header(5, 4, table, "87a").image(picture(5, 4, 4, 31)).trailer().data();
    bytes header(file.begin(), file.begin() + 13 + table.size());
    header[4] = '9';
    bytes loop = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0};
    struct {
        int role;
        bytes start;
        int delay;
    } cases[] = {{role_first, cat({header, loop}), 20}, {role_single, header, 20}, {4, {}, 20}, {role_last, {}, 80}};
    for (const auto& c : cases) {
        SCOPED_TRACE("role " + std::to_string(c.role));
        harness::pass_result r = run_pass(c.role, file);
        EXPECT_EQ(r.result, 1);
        ASSERT_GT(r.out.size(), c.start.size() + 8);
        EXPECT_EQ(bytes(r.out.begin(), r.out.begin() + c.start.size()), c.start);
        bytes control(r.out.begin() + c.start.size(), r.out.begin() + c.start.size() + 8);
        EXPECT_EQ(control, (bytes{0x21, 0xF9, 4, 4, static_cast<std::uint8_t>(c.delay), 0, 0, 0}));
    }
}

// The frame control block packed byte and index, from the image's own
// control extension, as bytes: nothing else of it may leak through.
TEST(file_pass, frame_control_bytes) {
    struct {
        const char* name;
        std::vector<testgif::gce_fields> before;
        bool caption;  // a plain text extension after them takes the last
        std::uint8_t packed, index;
    } cases[] = {
        {"none", {}, false, 0x04, 0},
        {"transparent", {control(0, true, 5)}, false, 0x05, 5},
        {"restore_background", {control(2, false, 5)}, false, 0x08, 0},
        {"restore_previous", {control(3, true, 200)}, false, 0x0D, 200},
        {"undefined_disposal", {control(5, false, 0)}, false, 0x04, 0},
        {"last_wins", {control(2, true, 1), control(1, false, 7)}, false, 0x04, 0},
        {"caption_takes_it", {control(2, true, 1)}, true, 0x04, 0},
    };
    loop_delay = 300;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        gif_builder b;
        b.header(4, 4, testgif::palette(4, 40));
        for (const auto& g : c.before) b.gce(g);
        if (c.caption) b.plain_text("caption");
        b.image(picture(4, 4, 4, 41)).image(picture(4, 4, 4, 42));
        harness::pass_result r = run_pass(3, b.trailer().data());
        ASSERT_GT(r.out.size(), 8u);
        EXPECT_EQ(bytes(r.out.begin(), r.out.begin() + 8),
                  (bytes{0x21, 0xF9, 4, c.packed, 0x2C, 0x01, c.index, 0}));
        // The second image had no control of its own.
        testgif::decoded out = testgif::decode_gif(cat({run_pass(role_single, b.data()).out, {0x3B}}));
        ASSERT_EQ(out.frames.size(), 2u);
        EXPECT_EQ(out.frames[1].transparent, -1);
        EXPECT_EQ(out.frames[1].disposal, 1);
    }
    loop_delay = 20;
}

TEST(file_pass, odd_version_keeps_outer_bytes) {
    bytes file = gif_builder().header(2, 2, testgif::palette(2, 1), "xyz").image(picture(2, 2, 2, 1)).data();
    bytes out = run_pass(role_first, file).out;
    ASSERT_GE(out.size(), 6u);
    EXPECT_EQ(std::string(out.begin(), out.begin() + 6), "GIFx9z");
}

// An image in a file without a global table borrows the saved entries: the
// most recent table's, above them what an older, larger table left.
TEST(file_pass, borrowed_colours_come_from_saved_tables) {
    bytes big = testgif::palette(8, 50), small = testgif::palette(2, 51);
    run_pass(3, gif_builder().header(2, 2, big).image(picture(2, 2, 2, 1)).data());
    run_pass(3, gif_builder().header(2, 2, small).image(picture(2, 2, 2, 1)).data());
    bytes no_table = gif_builder().header(2, 2, {}).image(picture(2, 2, 2, 1)).data();
    no_table[10] = 0x02;  // size field 2 (8 entries) without the table flag
    testgif::decoded out = testgif::decode_gif(cat({run_pass(role_single, no_table).out, {0x3B}}));
    ASSERT_EQ(out.frames.size(), 1u);
    EXPECT_EQ(out.frames[0].colours, cat({small, bytes(big.begin() + 6, big.end())}));
}

// A minimum code size that cannot be walked: nothing of that image, and
// the pass ends there with the frames before it kept.
TEST(file_pass, code_size_12_ends_pass) {
    image_spec wide = picture(4, 4, 4, 60);
    wide.min_code_size = 12;
    bytes file = gif_builder()
                     .header(4, 4, testgif::palette(4, 61))
                     .image(picture(4, 4, 4, 62))
                     .image_raw(wide, {1, 0xFF, 0})
                     .image(picture(4, 4, 4, 63))
                     .trailer()
                     .data();
    harness::pass_result r = run_pass(role_single, file);
    EXPECT_EQ(r.result, 1);
    testgif::decoded out = testgif::decode_gif(cat({r.out, {0x3B}}));
    ASSERT_TRUE(out.ok) << out.error;
    EXPECT_EQ(out.frames.size(), 1u);
}

}  // namespace

namespace {

// Frames in a single-file output by its block structure alone: frame
// control block, descriptor, table, code size, sub-blocks, terminator.
// Returns -1 when any block is out of place or runs past the end.
int structural_frames(const bytes& out, std::size_t header_end) {
    std::size_t i = header_end;
    int frames = 0;
    auto fits = [&](std::size_t n) { return i + n <= out.size(); };
    while (fits(1) && out[i] == 0x21) {
        if (!fits(8 + 10) || out[i + 1] != 0xF9 || out[i + 8] != 0x2C || !(out[i + 17] & 0x80)) return -1;
        i += 8 + 10 + (3u << ((out[i + 17] & 7) + 1)) + 1;
        while (fits(1) && out[i] != 0) i += out[i] + 1;
        if (!fits(1)) return -1;
        ++i;
        ++frames;
    }
    return i == out.size() ? frames : -1;
}

// A file cut at every byte: before the header is whole it is not a GIF;
// after that, every image whose descriptor, table and code size byte were
// read becomes a frame (the last one possibly with part of its data), and
// the output, given a trailer, is a GIF an independent decoder reads.
TEST(file_pass, cut_at_every_byte) {
    image_spec local = picture(7, 9, 8, 71, testgif::palette(8, 72));
    local.interlace = true;
    local.block_sizes = {5};
    bytes file = gif_builder()
                     .header(8, 9, testgif::palette(4, 70))
                     .comment({"cut"})
                     .image(picture(8, 9, 4, 73))
                     .gce(control(2, true, 1))
                     .image(local)
                     .image(picture(3, 3, 4, 74))
                     .trailer()
                     .data();
    testgif::decoded whole = testgif::decode_gif(file);
    ASSERT_TRUE(whole.ok);
    // Where each image's code size byte sits: past it, the image is written.
    std::vector<std::size_t> code_size_ends, data_ends;
    for (std::size_t i = 0, seen = 0; seen < whole.frames.size(); ++seen) {
        while (file[i] != 0x2C) ++i;
        std::size_t table = (file[i + 9] & 0x80) ? 3u << ((file[i + 9] & 7) + 1) : 0;
        code_size_ends.push_back(i + 10 + table + 1);
        i += 10 + table + 1;
        while (file[i] != 0) i += file[i] + 1;
        data_ends.push_back(++i);
    }
    const std::size_t header_end = 13 + 12;
    for (std::size_t cut = 0; cut < file.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        harness::pass_result r = run_pass(role_single, bytes(file.begin(), file.begin() + cut));
        if (cut < header_end) {
            EXPECT_EQ(r.result, 0);
            EXPECT_TRUE(r.out.empty());
            continue;
        }
        EXPECT_EQ(r.result, 1);
        std::size_t frames = 0;
        while (frames < code_size_ends.size() && code_size_ends[frames] <= cut) ++frames;
        EXPECT_EQ(structural_frames(r.out, header_end), static_cast<int>(frames));
        // The decoder refuses a GIF without images, and a frame whose data
        // was cut short is short of pixels for it.
        if (frames == 0 || data_ends[frames - 1] > cut) continue;
        testgif::decoded out = testgif::decode_gif(cat({r.out, {0x3B}}));
        ASSERT_TRUE(out.ok) << out.error;
        ASSERT_EQ(out.frames.size(), frames);
        for (std::size_t i = 0; i < frames; ++i) EXPECT_EQ(out.frames[i].pixels, whole.frames[i].pixels);
    }
}

}  // namespace
