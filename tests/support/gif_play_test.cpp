// The player is the reference for how joins must play: check its rules on
// small files whose pictures can be written out by hand.
#include <gtest/gtest.h>

#include "gif_play.h"

namespace testgif {
namespace {

const bytes table = palette(16, 5);

// Rows split by '/': '.' transparent, 'k' opaque black, a hex digit an entry of `table`.
snapshot pic(const std::string& rows) {
    snapshot p{static_cast<int>(std::min(rows.find('/'), rows.size())), 0, {}};
    for (char c : rows) {
        std::size_t i = c == '.' || c == 'k' || c == '/' ? 0 : std::stoul(std::string(1, c), nullptr, 16) * 3;
        if (c != '/')
            p.pixels.push_back(c == '.' ? 0 : c == 'k' ? 0xFF000000u
                               : 0xFF000000u | table.at(i) << 16 | table.at(i + 1) << 8 | table.at(i + 2));
    }
    p.height = static_cast<int>(p.pixels.size()) / p.width;
    return p;
}

image_spec img(int left, int top, int width, int height, bytes pixels, bool interlace = false) {
    return {left, top, width, height, interlace, {}, std::move(pixels), 4, {}, {255}};
}

timeline played(gif_builder& g) { return play(decode_gif(g.trailer().data())); }

std::vector<int> times(const timeline& t) {
    std::vector<int> out;
    for (const shown& s : t) out.push_back(s.time);
    return out;
}

TEST(play, disposal_of_the_middle_frame_decides_what_the_last_one_shows) {
    const struct { int disposal; const char* last; } cases[] = {
        {0, "2213/2211"}, {1, "2213/2211"}, {4, "2213/2211"},
        {2, "..13/..11"},  // cleared to transparent, not to the background
        {3, "1113/1111"},  // what was there before frame 1, not the empty canvas
    };
    for (const auto& c : cases) {
        gif_builder g;
        g.header(4, 2, table).gce({1}).image(img(0, 0, 4, 2, bytes(8, 1)));
        g.gce({c.disposal}).image(img(0, 0, 2, 2, bytes(4, 2))).gce({}).image(img(3, 0, 1, 1, {3}));
        const timeline t = played(g);
        ASSERT_EQ(t.size(), 3u);
        EXPECT_EQ(t[1].pic, pic("2211/2211")) << c.disposal;
        EXPECT_EQ(t[2].pic, pic(c.last)) << c.disposal;
    }
}

TEST(play, transparency_colours_and_delays) {
    gif_builder g;
    g.header(4, 1, bytes(table.begin(), table.begin() + 12)).gce({0, false, false, 0, 0});
    g.image(img(0, 0, 4, 1, {1, 1, 1, 1})).gce({0, false, true, 2, 1}).image(img(0, 0, 4, 1, {2, 3, 2, 7}));
    g.gce({0, false, false, 2, 2}).image(img(0, 0, 2, 1, {2, 2}));  // index set, flag off: drawn
    image_spec local = img(2, 0, 1, 1, {9});
    local.local_table = table;
    g.gce({0, false, false, 0, 57}).image(local).image(img(3, 0, 1, 1, {0}));  // the last has no GCE
    const timeline t = played(g);
    ASSERT_EQ(t.size(), 5u);
    EXPECT_EQ(t[1].pic, pic("131k"));  // 7 is beyond the four-entry table
    EXPECT_EQ(t[3].pic, pic("229k"));
    EXPECT_EQ(times(t), (std::vector<int>{10, 10, 2, 57, 10}));
}

TEST(play, clips_to_the_canvas_and_unstores_interlaced_rows) {
    // Unclipped rows would wrap into the next one, and the clear with them.
    gif_builder g;
    g.header(3, 2, table).image(img(0, 0, 3, 2, bytes(6, 1))).gce({2}).image(img(2, 0, 3, 3, bytes(9, 2)));
    g.image(img(5, 5, 1, 1, {4})).image(img(0, 0, 1, 1, {3}));
    const timeline t = played(g);
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t[1].pic, pic("112/112"));
    EXPECT_EQ(t[3].pic, pic("31./11."));
    gif_builder i;  // stored rows 0..9 hold their own number
    i.header(1, 10, table).image(img(0, 0, 1, 10, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, true));
    EXPECT_EQ(played(i).at(0).pic, pic("0/5/3/6/2/7/4/8/1/9"));
}

TEST(timeline, merge_and_compare) {
    const snapshot a = pic("12"), b = pic("21");
    const timeline t{{a, 3}, {a, 4}, {b, 5}, {a, 1}};
    EXPECT_EQ(times(merge_repeats(t)), (std::vector<int>{7, 5, 1}));
    EXPECT_EQ(compare({{a, 7}, {b, 5}, {a, 1}}, t), "");
    const struct { timeline actual; const char* says; } cases[] = {
        {{{a, 7}, {b, 6}, {a, 1}}, "picture 1: shown for 6, expected 5"},
        {{{a, 7}, {pic("22"), 5}, {a, 1}}, "picture 1: pixel (1,0)"},
        {{{a, 7}, {pic("2/1"), 5}, {a, 1}}, "picture 1: size 1x2, expected 2x1"},
        {{{a, 7}, {b, 5}}, "2 pictures after merging repeats, expected 3"},
    };
    for (const auto& c : cases) EXPECT_NE(compare(t, c.actual).find(c.says), std::string::npos) << compare(t, c.actual);
}

}  // namespace
}  // namespace testgif
