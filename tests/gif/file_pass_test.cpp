// The file pass on whole, odd and broken files, checked byte by byte where
// the layout matters and through an independent decoder everywhere else.
#include <gtest/gtest.h>

#include <functional>

#include "gif/gif.h"
#include "gif_decode.h"
#include "gif_scan.h"
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
    EXPECT_EQ(out.delay, join_settings{}.loop_delay);
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
    join_settings slow;
    slow.loop_delay = 300;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        gif_builder b;
        b.header(4, 4, testgif::palette(4, 40));
        for (const auto& g : c.before) b.gce(g);
        if (c.caption) b.plain_text("caption");
        b.image(picture(4, 4, 4, 41)).image(picture(4, 4, 4, 42));
        harness::pass_result r = run_pass(3, b.trailer().data(), slow);
        ASSERT_GT(r.out.size(), 8u);
        EXPECT_EQ(bytes(r.out.begin(), r.out.begin() + 8),
                  (bytes{0x21, 0xF9, 4, c.packed, 0x2C, 0x01, c.index, 0}));
        // The second image had no control of its own.
        testgif::decoded out = testgif::decode_gif(cat({run_pass(role_single, b.data()).out, {0x3B}}));
        ASSERT_EQ(out.frames.size(), 2u);
        EXPECT_EQ(out.frames[1].transparent, -1);
        EXPECT_EQ(out.frames[1].disposal, 1);
    }
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
    bytes no_table = gif_builder().header(2, 2, {}).image(picture(2, 2, 2, 1)).data();
    no_table[10] = 0x02;  // size field 2 (8 entries) without the table flag
    harness::join_result j = harness::run_passes({{role_first, gif_builder().header(2, 2, big).image(picture(2, 2, 2, 1)).data()},
                                                  {3, gif_builder().header(2, 2, small).image(picture(2, 2, 2, 1)).data()},
                                                  {role_last, no_table}});
    testgif::decoded out = testgif::decode_gif(j.out);
    ASSERT_EQ(out.frames.size(), 3u);
    EXPECT_EQ(out.frames[2].colours, cat({small, bytes(big.begin() + 6, big.end())}));
    // A new run starts with no saved colours: entries the tables never set are black.
    out = testgif::decode_gif(cat({run_pass(role_single, no_table).out, {0x3B}}));
    ASSERT_EQ(out.frames.size(), 1u);
    EXPECT_EQ(out.frames[0].colours, bytes(24, 0));
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

using testgif::scanned_file;
using testgif::scanned_image;

// Where an image's data begins in its file: after the descriptor, the local
// table and the code size byte.
std::size_t data_start(const scanned_image& im) { return im.at + 10 + im.local_table.size() + 1; }

// The sub-blocks of `data` that lie wholly before `cut` when the data
// begins at `start`: what the pass can copy of an image cut short.
bytes whole_sub_blocks(const bytes& data, std::size_t start, std::size_t cut) {
    std::size_t keep = 0;
    for (std::size_t b = 0; b < data.size(); b += data[b] + 1u)
        if (start + b + data[b] + 1 <= cut) keep = b + data[b] + 1;
    return bytes(data.begin(), data.begin() + static_cast<long>(keep));
}

// One output frame on its own: the output's header, the frame, a trailer.
bytes alone(const scanned_file& out_scan, const bytes& out, std::size_t frame) {
    const scanned_image& im = out_scan.images[frame];
    bytes b = out_scan.header;
    b.insert(b.end(), out.begin() + static_cast<long>(im.at - 8), out.begin() + static_cast<long>(im.data_end));
    b.push_back(0x3B);
    return b;
}

struct sweep_case {
    const char* name;
    std::function<bytes()> make;
};
void PrintTo(const sweep_case& c, std::ostream* os) { *os << c.name; }

class truncation_sweep : public ::testing::TestWithParam<sweep_case> {};

// The file cut at every byte, joined between two intact files. Before the
// screen descriptor and global table are whole the file is not a GIF and
// adds nothing; after that, every image whose code size byte was read is
// a frame: whole when the cut left its sub-blocks up to the end code, else
// (at most one, the last) with the pixels of the sub-blocks wholly before
// the cut and, after them, pixels of the index its control block makes
// transparent. Every output has giflib's assent to its block structure,
// and every frame decodes on its own (giflib refuses a frame short of
// pixels, as browsers do) to the pixels and colours of the image it came
// from, as far as the cut left them.
TEST_P(truncation_sweep, every_cut_between_intact_files) {
    const bytes file = GetParam().make();
    const bytes intact = gif_builder()
                             .header(6, 4, testgif::palette(256, 80))
                             .image(picture(6, 4, 100, 81))
                             .image(picture(3, 3, 4, 82, testgif::palette(4, 83)))
                             .trailer()
                             .data();
    const scanned_file full = testgif::scan_gif(file), intact_scan = testgif::scan_gif(intact);
    const testgif::decoded whole = testgif::decode_gif(file), intact_decoded = testgif::decode_gif(intact);
    ASSERT_TRUE(whole.ok && intact_decoded.ok);
    ASSERT_EQ(full.images.size(), whole.frames.size());
    const std::size_t n_intact = intact_scan.images.size();

    for (std::size_t cut = 0; cut <= file.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        harness::join_result j =
            harness::run_passes({{role_first, intact}, {1, bytes(file.begin(), file.begin() + static_cast<long>(cut))},
                                 {role_last, intact}});
        bool is_gif = cut >= full.header.size();
        EXPECT_EQ(j.results, (std::vector<int>{1, is_gif, 1}));

        std::size_t frames = 0;  // of the cut file
        while (is_gif && frames < full.images.size() && data_start(full.images[frames]) <= cut) ++frames;
        scanned_file out = testgif::scan_gif(j.out);
        ASSERT_EQ(out.images.size(), 2 * n_intact + frames);
        testgif::walked w = testgif::walk_gif(j.out);
        EXPECT_TRUE(w.ok) << w.error;
        EXPECT_EQ(w.images, static_cast<int>(out.images.size()));
        EXPECT_EQ(w.controls, w.images);

        for (std::size_t f = 0; f < out.images.size(); ++f) {
            SCOPED_TRACE("output frame " + std::to_string(f));
            bool from_cut = f >= n_intact && f < n_intact + frames;
            std::size_t i = f < n_intact ? f : from_cut ? f - n_intact : f - n_intact - frames;
            const scanned_image& src = from_cut ? full.images[i] : intact_scan.images[i];
            const testgif::frame& pic = from_cut ? whole.frames[i] : intact_decoded.frames[i];
            bool complete = !from_cut || data_start(src) + src.data.size() <= cut;
            EXPECT_TRUE(complete || f + 1 == n_intact + frames) << "only the last frame may be partly copied";
            const scanned_image& got = out.images[f];
            EXPECT_EQ(bytes(got.descriptor.begin(), got.descriptor.begin() + 8),
                      bytes(src.descriptor.begin(), src.descriptor.begin() + 8));
            if (complete) {
                EXPECT_EQ(got.data, src.data);
            }
            testgif::decoded d = testgif::decode_gif(alone(out, j.out, f));
            ASSERT_TRUE(d.ok) << d.error;
            ASSERT_EQ(d.frames.size(), 1u);
            const bytes& shown = d.frames[0].pixels;
            std::size_t have = complete ? pic.pixels.size()
                                        : testgif::decode_pixels(whole_sub_blocks(src.data, data_start(src), cut),
                                                                 src.code_size, pic.pixels.size()).size();
            ASSERT_EQ(shown.size(), pic.pixels.size());
            EXPECT_TRUE(std::equal(pic.pixels.begin(), pic.pixels.begin() + static_cast<long>(have), shown.begin()));
            for (std::size_t p = have; p < shown.size(); ++p) ASSERT_EQ(shown[p], d.frames[0].transparent);
            EXPECT_EQ(d.frames[0].colours, pic.colours);
        }
    }
}

bytes one_image() {
    return gif_builder().header(6, 5, testgif::palette(16, 90)).image(picture(6, 5, 16, 91)).trailer().data();
}

bytes several_images() {
    return gif_builder()
        .header(9, 7, testgif::palette(8, 92))
        .image(picture(9, 7, 8, 93))
        .image(picture(4, 4, 8, 94))
        .image(picture(2, 6, 8, 95))
        .trailer()
        .data();
}

bytes local_and_global_tables() {
    image_spec local = picture(5, 5, 8, 96, testgif::palette(8, 97));
    local.block_sizes = {7};
    return gif_builder()
        .header(5, 5, testgif::palette(4, 98))
        .image(local)
        .image(picture(5, 5, 4, 99))
        .image(picture(4, 3, 2, 100, testgif::palette(2, 101)))
        .trailer()
        .data();
}

bytes local_tables_only() {
    return gif_builder()
        .header(5, 5, {})
        .image(picture(5, 5, 16, 102, testgif::palette(16, 103)))
        .image(picture(5, 5, 2, 104, testgif::palette(2, 105)))
        .trailer()
        .data();
}

bytes extensions_and_interlace() {
    image_spec local = picture(7, 9, 8, 71, testgif::palette(8, 72));
    local.interlace = true;
    local.block_sizes = {5};
    return gif_builder()
        .header(8, 9, testgif::palette(4, 70))
        .comment({"cut"})
        .image(picture(8, 9, 4, 73))
        .gce(control(2, true, 1))
        .application("XMPDataXMP ", {{1, 2, 3}})
        .image(local)
        .plain_text("caption")
        .image(picture(3, 3, 4, 74))
        .trailer()
        .data();
}

bytes interlaced() {
    image_spec a = picture(6, 10, 4, 106), b = picture(3, 5, 16, 107, testgif::palette(16, 108));
    a.interlace = b.interlace = true;
    return gif_builder().header(6, 10, testgif::palette(4, 109)).image(a).image(b).trailer().data();
}

INSTANTIATE_TEST_SUITE_P(files, truncation_sweep,
                         ::testing::Values(sweep_case{"one_image", one_image},
                                           sweep_case{"several_images", several_images},
                                           sweep_case{"local_and_global_tables", local_and_global_tables},
                                           sweep_case{"local_tables_only", local_tables_only},
                                           sweep_case{"extensions_and_interlace", extensions_and_interlace},
                                           sweep_case{"interlaced", interlaced}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
