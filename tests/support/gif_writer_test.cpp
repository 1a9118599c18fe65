// Every other test trusts the writer, so check it against giflib.
#include <gtest/gtest.h>

#include "gif_decode.h"

namespace testgif {
namespace {

TEST(bit_packer, packs_least_significant_bit_first) {
    struct step { unsigned code; int width; };
    const struct { std::vector<step> codes; bytes want; } cases[] = {
        {{{4, 3}, {1, 3}, {6, 3}, {6, 3}}, {0x8C, 0x0D}},  // partial last byte flushed
        {{{0xABC, 12}, {0x5, 4}}, {0xBC, 0x5A}},
        {{{0x1FF, 9}, {0, 7}}, {0xFF, 0x01}},
        {{{0x7, 2}}, {0x03}},                              // bits above the width dropped
    };
    for (const auto& c : cases) {
        bit_packer p;
        for (const auto& s : c.codes) p.put(s.code, s.width);
        EXPECT_EQ(p.finish(), c.want);
    }
}

TEST(lzw_encode, matches_known_streams) {
    // A 10x10 four-colour picture and the stream a standard encoder makes for it.
    bytes picture;
    for (const char* row : {"1111122222", "1111122222", "1111122222", "1110000222", "1110000222",
                            "2220000111", "2220000111", "2222211111", "2222211111", "2222211111"})
        for (const char* c = row; *c; ++c) picture.push_back(static_cast<std::uint8_t>(*c - '0'));
    // giflib refuses minimum code sizes above 8, so size 11 is checked by hand:
    // every code is 12 bits; clear 2048, end 2049, first new entry 2050.
    const struct { bytes pixels; int min_code_size; bytes want; } cases[] = {
        {picture, 2, {0x8C, 0x2D, 0x99, 0x87, 0x2A, 0x1C, 0xDC, 0x33, 0xA0, 0x02, 0x75,
                      0xEC, 0x95, 0xFA, 0xA8, 0xDE, 0x60, 0x8C, 0x04, 0x91, 0x4C, 0x01}},
        {{0, 1, 2}, 11, {0x00, 0x08, 0x00, 0x01, 0x20, 0x00, 0x01, 0x08}},  // 2048 0 1 2 2049
        {{0, 0, 0}, 11, {0x00, 0x08, 0x00, 0x02, 0x18, 0x80}},              // 2048 0 2050 2049
    };
    for (const auto& c : cases) EXPECT_EQ(lzw_encode(c.pixels, c.min_code_size), c.want);
}

TEST(sub_blocks, cycles_sizes_and_terminates) {
    EXPECT_EQ(sub_blocks({1, 2, 3, 4, 5, 6}, {2, 1}), (bytes{2, 1, 2, 1, 3, 2, 4, 5, 1, 6, 0}));
    EXPECT_EQ(sub_blocks({}, {255}), bytes{0});
    EXPECT_EQ(sub_blocks({9, 9}, {255}, false), (bytes{2, 9, 9}));
}

struct round_trip {
    const char* name;
    int width, height, colours, min_code_size;
    lzw_options lzw;
    std::vector<std::size_t> blocks;
    bool interlace, local;
};

lzw_options opts(bool full_clear, int clear_after, bool lead = true, bool end = true) {
    return {lead, end, full_clear, clear_after};
}

const round_trip cases[] = {
    {"min2", 16, 16, 4, 2, {}, {255}, false, false},
    {"min4", 30, 20, 16, 4, {}, {255}, false, false},
    {"min8", 64, 64, 256, 8, {}, {255}, false, false},
    {"min8_few_colours", 40, 40, 5, 8, {}, {255}, false, false},
    {"deferred_clear_min8", 256, 256, 256, 8, opts(false, 0), {255}, false, false},
    {"deferred_clear_min2", 200, 200, 4, 2, opts(false, 0), {255}, false, false},
    {"full_clear_large", 256, 256, 256, 8, {}, {255}, false, false},
    {"clear_after_1", 20, 20, 16, 4, opts(true, 1), {255}, false, false},
    {"clear_after_7", 50, 50, 256, 8, opts(true, 7), {255}, false, false},
    {"clear_after_300_deferred", 256, 256, 256, 8, opts(false, 300), {255}, false, false},
    {"no_leading_clear_no_end", 40, 40, 16, 4, opts(true, 0, false, false), {255}, false, false},
    {"blocks_1", 20, 20, 16, 4, {}, {1}, false, false},
    {"blocks_7", 30, 30, 32, 5, {}, {7}, false, false},
    {"blocks_mixed", 60, 60, 256, 8, {}, {1, 7, 255}, false, false},
    {"interlaced_local", 17, 13, 8, 3, {}, {255}, true, true},
};

void PrintTo(const round_trip& c, std::ostream* os) { *os << c.name; }

class writer_round_trip : public ::testing::TestWithParam<round_trip> {};

TEST_P(writer_round_trip, giflib_reads_back_what_was_written) {
    const round_trip& c = GetParam();
    const bytes global = palette(256, 1), local = palette(c.colours <= 8 ? 8 : 256, 2);
    image_spec im;
    im.left = 3;
    im.top = 2;
    im.width = c.width;
    im.height = c.height;
    im.interlace = c.interlace;
    im.pixels = pattern(c.width, c.height, c.colours, 7);
    im.min_code_size = c.min_code_size;
    im.lzw = c.lzw;
    im.block_sizes = c.blocks;
    if (c.local) im.local_table = local;

    gif_builder g;
    g.header(c.width + 3, c.height + 2, global).netscape_loop(7).comment({"made by", "a test"});
    g.application("XYZWTEST1.0", {{1, 2, 3}, bytes(300, 9)}).gce({2, true, true, 5, 42});
    g.plain_text("skipped").image(im).comment({"after the image"}).trailer();

    decoded d = decode_gif(g.data());
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.version, "GIF89a");
    EXPECT_EQ(std::vector<int>({d.width, d.height}), std::vector<int>({c.width + 3, c.height + 2}));
    EXPECT_EQ(d.global_colours, global);
    EXPECT_EQ(d.loop_count, 7);
    ASSERT_EQ(d.frames.size(), 1u);
    const frame& f = d.frames[0];
    EXPECT_EQ(f.pixels, im.pixels);
    EXPECT_EQ(f.colours, c.local ? local : global);
    EXPECT_EQ(f.has_local, c.local);
    EXPECT_EQ(f.interlace, c.interlace);
    EXPECT_EQ(std::vector<int>({f.left, f.top, f.width, f.height}),
              std::vector<int>({3, 2, c.width, c.height}));
    EXPECT_EQ(std::vector<int>({f.delay, f.disposal, f.transparent, f.user_input}),
              std::vector<int>({42, 2, 5, 1}));
}

INSTANTIATE_TEST_SUITE_P(cases, writer_round_trip, ::testing::ValuesIn(cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(lzw_encode, options_change_the_stream) {
    // The options must really reach the code stream, not just decode the same.
    const bytes px = pattern(256, 256, 256, 3);
    const bytes plain = lzw_encode(px, 8);
    EXPECT_NE(lzw_encode(px, 8, opts(false, 0)), plain);
    EXPECT_NE(lzw_encode(px, 8, opts(true, 50)), plain);
    // A leading clear is code 256 in 9 bits; without it the first pixel comes first.
    EXPECT_EQ(std::vector<int>({plain[0], plain[1] & 1}), std::vector<int>({0, 1}));
    const bytes bare = lzw_encode(px, 8, opts(true, 0, false, false));
    EXPECT_EQ(bare[0], px[0]);
    EXPECT_LT(bare.size(), plain.size());
}

TEST(gif_builder, frames_keep_their_own_settings) {
    const bytes global = palette(4, 3), local = palette(16, 4);
    image_spec a, b;
    a.width = b.width = 4;
    a.height = b.height = 2;
    a.pixels = {0, 1, 2, 3, 3, 2, 1, 0};
    b.pixels = {15, 14, 13, 12, 0, 0, 0, 0};
    a.min_code_size = 2;
    b.min_code_size = 4;
    b.local_table = local;
    gif_builder g;
    // Of two control blocks before one image, the last counts, as for viewers.
    g.header(4, 2, global, "87a").gce({3, false, true, 7, 55}).gce({1, true, false, 0, 10}).image(a).image(b).trailer();

    decoded d = decode_gif(g.data());
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.version, "GIF87a");
    EXPECT_EQ(d.loop_count, -1);
    ASSERT_EQ(d.frames.size(), 2u);
    const frame& f = d.frames[0];
    EXPECT_EQ(std::vector<int>({f.delay, f.disposal, f.transparent, f.user_input}),
              std::vector<int>({10, 1, -1, 1}));
    EXPECT_EQ(std::vector<int>({d.frames[1].delay, d.frames[1].disposal, d.frames[1].transparent}),
              std::vector<int>({-1, -1, -1}));
    EXPECT_EQ(d.frames[0].colours, global);
    EXPECT_EQ(d.frames[1].colours, local);
    EXPECT_EQ(d.frames[1].pixels, b.pixels);
}

TEST(decode_gif, reports_broken_files) {
    image_spec im;
    im.width = im.height = 8;
    im.pixels = pattern(8, 8, 4, 1);
    gif_builder g;
    g.header(8, 8, palette(4, 1)).image_raw(im, sub_blocks({0xFF, 0xFF, 0xFF}));  // codes past the table
    for (const bytes& file : {bytes{'G', 'I', 'F'}, bytes{'P', 'N', 'G', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0},
                              g.data()}) {
        decoded d = decode_gif(file);
        EXPECT_FALSE(d.ok);
        EXPECT_FALSE(d.error.empty());
    }
    EXPECT_FALSE(decode_gif_file("/nonexistent/x.gif").ok);
}

}  // namespace
}  // namespace testgif
