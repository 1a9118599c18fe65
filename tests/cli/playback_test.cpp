// Joins made with --fit or --center play as their inputs played alone, one
// after the other, each on its place of the canvas with nothing else
// visible: played by the test player over giflib's decoding, picture by
// picture and time by time.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>

#include "gif_decode.h"
#include "gif_play.h"
#include "gif_scan.h"
#include "program.h"

namespace {

using testgif::bytes;
using testgif::control;
using testgif::gif_builder;
using testgif::image_spec;
using testgif::picture;


image_spec at(image_spec im, int left, int top) {
    im.left = left;
    im.top = top;
    return im;
}

// Opaque at first, then partial frames with transparency, disposal 2 and 3.
bytes disposing() {
    return gif_builder()
        .header(8, 6, testgif::palette(4, 1))
        .gce(control(5)).image(picture(8, 6, 4, 2))
        .gce(control(7, 2, 0)).image(at(picture(3, 3, 4, 3), 2, 2))
        .gce(control(8, 3)).image(at(picture(4, 2, 4, 4), 4, 4))
        .gce(control(6, 2)).image(at(picture(2, 2, 4, 5), 0, 0))
        .trailer().data();
}

// Wider and lower, a transparent background, a local table and delays
// that viewers round up.
bytes transparent_wide() {
    return gif_builder()
        .header(12, 4, testgif::palette(16, 6))
        .gce(control(4, 1, 1)).image(picture(12, 4, 16, 7))
        .gce(control(0, 1, 2)).image(at(picture(5, 2, 4, 8, testgif::palette(4, 9)), 1, 1))
        .gce(control(1, 2, 0)).image(at(picture(6, 3, 16, 10), 6, 1))
        .trailer().data();
}

// Narrow and tall, no global table, a first frame that covers only part of
// the screen.
bytes partial_tall() {
    return gif_builder()
        .header(5, 9, {})
        .gce(control(6, 1, 0)).image(at(picture(3, 3, 4, 11, testgif::palette(4, 12)), 1, 1))
        .gce(control(9, 3)).image(picture(5, 9, 8, 13, testgif::palette(8, 14)))
        .gce(control(12)).image(at(picture(2, 7, 4, 15, testgif::palette(4, 16)), 3, 2))
        .trailer().data();
}

// An opaque first frame over the whole screen that is then taken away again.
bytes restoring() {
    return gif_builder()
        .header(8, 6, testgif::palette(4, 20))
        .gce(control(4, 3)).image(picture(8, 6, 4, 21))
        .gce(control(5)).image(at(picture(2, 2, 4, 22), 1, 1))
        .trailer().data();
}

// Interlaced frames, one reaching beyond the screen, one transparent and
// cleared afterwards.
bytes interlaced() {
    image_spec first = picture(9, 7, 4, 70), beyond = at(picture(6, 5, 4, 71), 5, 4), clears = at(picture(5, 5, 4, 72), 2, 1);
    first.interlace = beyond.interlace = clears.interlace = true;
    return gif_builder()
        .header(9, 7, testgif::palette(4, 73))
        .gce(control(5)).image(first)
        .gce(control(6, 2, 1)).image(clears)
        .gce(control(7, 1, 0)).image(beyond)
        .gce(control(8)).image(at(picture(2, 2, 4, 74), 0, 0))
        .trailer().data();
}

// A first frame larger than the screen, which browsers grow the canvas to,
// and a later one within it but beyond the screen.
bytes first_beyond() {
    return gif_builder()
        .header(6, 4, testgif::palette(4, 75))
        .gce(control(5)).image(picture(8, 6, 4, 76))
        .gce(control(6, 1, 0)).image(at(picture(3, 3, 4, 77), 5, 3))
        .trailer().data();
}

// A first frame larger than the screen whose last row and column are
// transparent: a picture drawn from it alone is smaller than the canvas
// browsers grow to it.
bytes first_beyond_clear_edge() {
    image_spec first = picture(8, 6, 4, 78);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x)
            if (x == 7 || y == 5) first.pixels[static_cast<std::size_t>(y * 8 + x)] = 0;
            else if (first.pixels[static_cast<std::size_t>(y * 8 + x)] == 0) first.pixels[static_cast<std::size_t>(y * 8 + x)] = 1;
    return gif_builder()
        .header(6, 4, testgif::palette(4, 79))
        .gce(control(5, 1, 0)).image(first)
        .gce(control(6)).image(at(picture(2, 2, 4, 80), 1, 1))
        .trailer().data();
}

// Two frames whose last one is shown for `delay`.
bytes last_delay(int delay) {
    return gif_builder()
        .header(6, 6, testgif::palette(4, 17))
        .gce(control(5, 1, 0)).image(picture(6, 6, 4, 18))
        .gce(control(delay, 2, 0)).image(at(picture(3, 3, 4, 19), 3, 3))
        .trailer().data();
}

// A frame far outside the screen, before or after one that draws on it:
// no viewer shows the far one, and it must not stop the next file from
// starting on a clear canvas. (A first frame would grow the file's
// canvas to it; a transparent pixel comes first.)
bytes far_frame(bool far_first) {
    gif_builder g;
    g.header(7, 9, testgif::palette(4, 23));
    if (far_first) g.gce(control(4, 1, 0)).image(picture(1, 1, 2, 27)).gce(control(4)).image(at(picture(3, 2, 4, 24), 60000, 1300));
    g.gce(control(5)).image(at(picture(4, 8, 4, 25), 0, 1));
    if (!far_first) g.gce(control(6)).image(at(picture(3, 3, 4, 26), 36608, 8644));
    return g.trailer().data();
}

class playback : public program_test {
protected:
    void SetUp() override {
        program_test::SetUp();
        files = {{"disposing.gif", disposing()}, {"wide.gif", transparent_wide()}, {"tall.gif", partial_tall()},
                 {"restoring.gif", restoring()}, {"far_first.gif", far_frame(true)},
                 {"far_last.gif", far_frame(false)}, {"interlaced.gif", interlaced()},
                 {"first_beyond.gif", first_beyond()}, {"clear_edge.gif", first_beyond_clear_edge()}};
        for (int d : {0, 1, 2, 3, 4}) files["last" + std::to_string(d) + ".gif"] = last_delay(d);
        for (const auto& [name, file] : files) testgif::write_file(dir + "/" + name, file);
        testgif::write_file(dir + "/text.txt", {'n', 'o'});
    }

    // What the join of the named files should play: the GIFs among them.
    testgif::timeline expected(const std::vector<std::string>& names, const testgif::join_rules& rules,
                               const std::vector<bool>& cleared_after = {},
                               const std::vector<std::vector<int>>& picks = {}) {
        std::vector<testgif::decoded> gifs;
        for (const std::string& name : names)
            if (files.count(name)) gifs.push_back(testgif::decode_gif(files[name]));
        for (const testgif::decoded& g : gifs) EXPECT_TRUE(g.ok) << g.error;
        return testgif::expected_join(gifs, rules, cleared_after, picks);
    }

    testgif::decoded join(const std::string& args) {
        EXPECT_EQ(run("-s -o out.gif " + args), 0) << console;
        return testgif::decode_gif_file(dir + "/out.gif");
    }

    std::map<std::string, bytes> files;
};

struct join_case {
    const char* name;
    const char* options;
    std::vector<std::string> names;
};

TEST_F(playback, joins_play_as_their_inputs) {
    const join_case cases[] = {
        {"grow_shrink_grow", "--keep-delays --fit", {"disposing.gif", "wide.gif", "tall.gif", "disposing.gif"}},
        {"centred", "--keep-delays --center", {"tall.gif", "disposing.gif", "wide.gif", "tall.gif"}},
        {"options_after_names", "", {"wide.gif", "tall.gif", "--fit", "--keep-delays"}},
        {"inputs_that_fail", "--keep-delays --fit", {"wide.gif", "text.txt", "missing.gif", "disposing.gif"}},
        {"single_file", "--keep-delays --center", {"tall.gif", "missing.gif"}},
        {"same_file_twice", "--keep-delays --fit", {"disposing.gif", "disposing.gif"}},
        {"covered_then_restored", "--keep-delays --fit", {"disposing.gif", "restoring.gif"}},
        {"short_last_delays", "--keep-delays --fit", {"last0.gif", "last1.gif", "last4.gif", "tall.gif"}},
        {"frames_far_outside", "--keep-delays --fit", {"far_first.gif", "disposing.gif", "far_last.gif", "wide.gif"}},
        {"frames_far_outside_centred", "--keep-delays --center", {"far_last.gif", "wide.gif", "far_first.gif", "tall.gif"}},
        {"frames_beyond_their_screens", "--keep-delays --fit", {"interlaced.gif", "wide.gif", "interlaced.gif", "tall.gif"}},
        {"frames_beyond_their_screens_centred", "--keep-delays --center", {"tall.gif", "interlaced.gif", "wide.gif"}},
        {"first_frame_grows_its_file", "--keep-delays --fit", {"first_beyond.gif", "tall.gif", "first_beyond.gif"}},
        {"first_frame_grows_its_file_centred", "--keep-delays --center", {"tall.gif", "first_beyond.gif", "wide.gif"}},
    };
    for (const join_case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string args = c.options;
        for (const std::string& n : c.names) args += " " + n;
        testgif::decoded out = join(args);
        ASSERT_TRUE(out.ok) << out.error;
        bool centre = std::string(c.options).find("center") != std::string::npos;
        EXPECT_EQ(testgif::compare(expected(c.names, {centre}), testgif::play(out)), "");
    }
}

struct selection_case {
    const char* name;
    const char* args;                // options, names and selections
    std::vector<std::string> names;  // the inputs, in order
    std::vector<std::vector<int>> picks;  // the frames each plays, in order
};

// Selections play exactly the pictures their frames show alone, in their
// order, in single-file runs and in joins: forwards from any frame, with
// frames left out before frames that clear (disposal 2) or restore (3)
// what came before, backwards, several a file, on transparent screens and
// with local tables.
TEST_F(playback, selections_play_the_pictures_of_their_frames) {
    // Frames that repaint the whole screen between ones that change a
    // little, transparent where they leave it: a backward range keeps what
    // each frame changes, or a copy where it changes most of it.
    gif_builder repaint;
    repaint.header(40, 30, testgif::palette(16, 60));
    for (int k = 0; k < 8; ++k) {
        bool whole = k == 0 || k == 2 || k == 4;
        repaint.gce(control(3 + k, k == 3 || k == 6 ? 2 : 1, whole ? -1 : 0))
            .image(whole ? picture(40, 30, 16, 61 + k) : at(picture(6, 5, 16, 61 + k), 3 * k, k - 1));
    }
    files["repainting.gif"] = repaint.trailer().data();
    testgif::write_file(dir + "/repainting.gif", files["repainting.gif"]);
    // Frames whose streams are too long to be kept while they are painted
    // beside the run, and too large to be decoded whole before they are drawn.
    gif_builder noisy;
    noisy.header(1500, 1000, testgif::palette(256, 70));
    noisy.gce(control(3)).image(picture(1500, 1000, 256, 71));
    noisy.gce(control(4, 1, 5)).image(picture(1500, 1000, 256, 72));
    noisy.gce(control(5, 1, 5)).image(at(picture(30, 20, 256, 73), 7, 9));
    files["noisy.gif"] = noisy.trailer().data();
    ASSERT_GT(files["noisy.gif"].size(), 1150000u);  // over 512 KiB a frame
    testgif::write_file(dir + "/noisy.gif", files["noisy.gif"]);
    // One table of 256 colours: the file's canvas keeps indices, with one
    // no frame has drawn for its transparent pixels, until none is left.
    // Frame 1 draws the highest index, which frame 0 left spare, and is
    // cleared (disposal 2); frame 2, opaque, draws the next highest; frame
    // 3 draws every index, with holes where frame 0's pixels show
    // through, and is cleared; then 4 draws.
    gif_builder every;
    every.header(20, 16, testgif::palette(256, 90));
    every.gce(control(3, 1, 0)).image(at(picture(6, 4, 4, 91), 1, 1));
    image_spec top = at(picture(3, 3, 4, 92), 16, 12), all = picture(16, 16, 256, 93);
    top.min_code_size = all.min_code_size = 8;
    top.pixels = {255, 2, 255, 254, 1, 3, 255, 0, 255};
    for (std::size_t i = 0; i < all.pixels.size(); ++i) all.pixels[i] = static_cast<std::uint8_t>(i * 7);
    all.pixels[16 * 2 + 2] = all.pixels[16 * 3 + 4] = 200;  // 200 is frame 2's transparent index
    image_spec next = at(picture(2, 2, 4, 95), 0, 14);
    next.min_code_size = 8;
    next.pixels = {253, 253, 252, 253};
    every.gce(control(4, 2)).image(top).gce(control(7)).image(next).gce(control(5, 2, 200)).image(all);
    every.gce(control(6, 1, 5)).image(at(picture(5, 5, 8, 94), 12, 2));
    files["every_index.gif"] = every.trailer().data();
    testgif::write_file(dir + "/every_index.gif", files["every_index.gif"]);
    // A screen large enough for the rebuild's state and canvas to share a
    // block of memory, lent to the file read ahead.
    gif_builder large;
    large.header(640, 480, testgif::palette(256, 74));
    large.gce(control(3)).image(picture(640, 480, 256, 75));
    large.gce(control(4, 1, 5)).image(picture(640, 480, 256, 76));
    large.gce(control(5)).image(at(picture(30, 20, 256, 77), 7, 9));
    files["large.gif"] = large.trailer().data();
    testgif::write_file(dir + "/large.gif", files["large.gif"]);
    const selection_case cases[] = {
        {"large_screens", "--keep-delays large.gif '#1-' large.gif '#1-'", {"large.gif", "large.gif"}, {{1, 2}, {1, 2}}},
        {"every_index", "--keep-delays every_index.gif '#1' '#2' '#3' '#4' '#-1-0'", {"every_index.gif"},
         {{1, 2, 3, 4, 4, 3, 2, 1, 0}}},
        {"every_index_ahead", "--keep-delays every_index.gif '#0' every_index.gif '#2-'",
         {"every_index.gif", "every_index.gif"}, {{0}, {2, 3, 4}}},
        {"long_streams", "--keep-delays noisy.gif '#2' '#1'", {"noisy.gif"}, {{2, 1}}},
        {"backwards_repainting", "--keep-delays repainting.gif '#-1-0'", {"repainting.gif"}, {{7, 6, 5, 4, 3, 2, 1, 0}}},
        {"from_the_second", "--keep-delays disposing.gif '#1-'", {"disposing.gif"}, {{1, 2, 3}}},
        {"one_frame", "--keep-delays disposing.gif '#2'", {"disposing.gif"}, {{2}}},
        {"the_last", "--keep-delays disposing.gif '#-1'", {"disposing.gif"}, {{3}}},
        {"gap_over_a_clear", "--keep-delays disposing.gif '#0' '#2-3'", {"disposing.gif"}, {{0, 2, 3}}},
        {"gap_over_a_restore", "--keep-delays disposing.gif '#0-1' '#3'", {"disposing.gif"}, {{0, 1, 3}}},
        {"backwards", "--keep-delays disposing.gif '#-1-0'", {"disposing.gif"}, {{3, 2, 1, 0}}},
        {"back_and_forth", "--keep-delays disposing.gif '#3' '#1-2' '#0'", {"disposing.gif"}, {{3, 1, 2, 0}}},
        {"after_a_restore", "--keep-delays tall.gif '#1-'", {"tall.gif"}, {{1, 2}}},
        {"local_tables", "--keep-delays tall.gif '#2' '#0'", {"tall.gif"}, {{2, 0}}},
        {"transparent_screen", "--keep-delays wide.gif '#1-'", {"wide.gif"}, {{1, 2}}},
        {"run_delays", "-d 30 wide.gif '#2-1'", {"wide.gif"}, {{2, 1}}},
        {"fit_join", "--keep-delays --fit disposing.gif '#1-' wide.gif '#2' tall.gif '#-1-0'",
         {"disposing.gif", "wide.gif", "tall.gif"}, {{1, 2, 3}, {2}, {2, 1, 0}}},
        {"centred_join", "--keep-delays --center tall.gif '#1' disposing.gif '#-2-' wide.gif",
         {"tall.gif", "disposing.gif", "wide.gif"}, {{1}, {2, 3}, {}}},
        {"interlaced", "--keep-delays interlaced.gif '#2' '#1' '#3' '#0'", {"interlaced.gif"}, {{2, 1, 3, 0}}},
        {"interlaced_backwards", "--keep-delays interlaced.gif '#-1-1'", {"interlaced.gif"}, {{3, 2, 1}}},
        {"grown_screen", "--keep-delays first_beyond.gif '#-1' '#0'", {"first_beyond.gif"}, {{1, 0}}},
        {"grown_screen_drawn_smaller", "--keep-delays clear_edge.gif '#1'", {"clear_edge.gif"}, {{1}}},
        {"backwards_then_on", "--keep-delays disposing.gif '#2-1' '#3'", {"disposing.gif"}, {{2, 1, 3}}},
        {"backwards_to_the_second", "--keep-delays tall.gif '#-1-1' '#0'", {"tall.gif"}, {{2, 1, 0}}},
        {"forwards_then_back", "--keep-delays --fit disposing.gif disposing.gif '#-1-0'",
         {"disposing.gif", "disposing.gif"}, {{}, {3, 2, 1, 0}}},
        // Each file is read ahead while the one before is copied.
        {"read_ahead", "--keep-delays disposing.gif '#1-' disposing.gif '#1-' disposing.gif '#1'",
         {"disposing.gif", "disposing.gif", "disposing.gif"}, {{1, 2, 3}, {1, 2, 3}, {1}}},
    };
    for (const selection_case& c : cases) {
        SCOPED_TRACE(c.name);
        testgif::decoded out = join(c.args);
        ASSERT_TRUE(out.ok) << out.error;
        std::string args = c.args;
        testgif::join_rules rules{args.find("center") != std::string::npos, args.find("keep") != std::string::npos, 30, 80};
        if (rules.keep_delays) rules.run_delay = 20;
        if (c.names.size() == 1) rules.end_delay = rules.run_delay;  // a single file takes -d
        EXPECT_EQ(testgif::compare(expected(c.names, rules, {}, c.picks), testgif::play(out)), "");
    }
}

// Only what cannot be copied is rebuilt: after the first frame of a
// forward range, every frame is the input's own, and a selection of
// every frame is the plain join, byte for byte.
TEST_F(playback, selections_copy_what_they_can) {
    testgif::decoded in = testgif::decode_gif(files["disposing.gif"]);
    testgif::decoded out = join("--keep-delays disposing.gif '#1-'");
    ASSERT_TRUE(out.ok && out.frames.size() >= 2) << out.error;
    for (std::size_t k = 2; k <= 3; ++k) {
        const testgif::frame& copied = out.frames[out.frames.size() - 4 + k];
        EXPECT_EQ(copied.pixels, in.frames[k].pixels);
        EXPECT_EQ(copied.left, in.frames[k].left);
        EXPECT_EQ(copied.width, in.frames[k].width);
    }
    EXPECT_EQ(out.frames.size(), 4u);  // frame 1 rebuilt, a clear frame for its disposal, 2 and 3 copied
    // Sprites that each put back what was under them, on an empty screen:
    // the rebuilt first frame puts it back too, and the rest are copied.
    gif_builder g;
    g.header(12, 8, testgif::palette(4, 95));
    for (int k = 0; k < 5; ++k) g.gce(control(3 + k, 3)).image(at(picture(3, 3, 4, 96 + k), 2 * k, k));
    files["sprites.gif"] = g.trailer().data();
    testgif::write_file(dir + "/sprites.gif", files["sprites.gif"]);
    out = join("--keep-delays sprites.gif '#2-'");
    ASSERT_TRUE(out.ok) << out.error;
    EXPECT_EQ(testgif::compare(expected({"sprites.gif"}, {}, {}, {{2, 3, 4}}), testgif::play(out)), "");
    ASSERT_EQ(out.frames.size(), 3u);
    // The rebuilt frame draws the sprite alone: the screen was empty.
    EXPECT_EQ(out.frames[0].left, 4);
    EXPECT_EQ(out.frames[0].top, 2);
    EXPECT_EQ(out.frames[0].width * out.frames[0].height, 9);
    // Frames transparent at their edges, both kept: the rebuilt frame
    // draws the box of the pixels they drew, not of their rectangles.
    gif_builder edges;
    edges.header(12, 8, testgif::palette(4, 97));
    for (int k = 0; k < 2; ++k) {
        image_spec framed;
        framed.width = framed.height = 5;
        framed.pixels.assign(25, 0);
        for (int y = 1; y < 4; ++y)
            for (int x = 1; x < 4; ++x) framed.pixels[y * 5 + x] = static_cast<std::uint8_t>(1 + k);
        edges.gce(control(3 + k, 1, 0)).image(at(framed, 2 + 4 * k, 1 + k));
    }
    files["edges.gif"] = edges.trailer().data();
    testgif::write_file(dir + "/edges.gif", files["edges.gif"]);
    out = join("--keep-delays edges.gif '#1'");
    ASSERT_TRUE(out.ok) << out.error;
    EXPECT_EQ(testgif::compare(expected({"edges.gif"}, {}, {}, {{1}}), testgif::play(out)), "");
    ASSERT_EQ(out.frames.size(), 1u);
    EXPECT_EQ(out.frames[0].left, 3);
    EXPECT_EQ(out.frames[0].top, 2);
    EXPECT_EQ(out.frames[0].width, 7);
    EXPECT_EQ(out.frames[0].height, 4);
    ASSERT_EQ(run("-s -o plain.gif --fit wide.gif disposing.gif"), 0);
    ASSERT_EQ(run("-s -o all.gif --fit wide.gif '#0-' disposing.gif '#0-'"), 0);
    EXPECT_EQ(testgif::read_file(dir + "/all.gif"), testgif::read_file(dir + "/plain.gif"));
}

// A backward range draws each picture over the one after it: only what
// differs, here a dot that moves over a background it restores.
TEST_F(playback, backwards_draws_only_what_differs) {
    gif_builder g;
    g.header(40, 30, testgif::palette(4, 90)).gce(control(5)).image(picture(40, 30, 4, 91));
    for (int k = 0; k < 6; ++k) g.gce(control(4, 3)).image(at(picture(3, 3, 4, 92 + k), 2 + 6 * k, 3 + 4 * k));
    files["dot.gif"] = g.trailer().data();
    testgif::write_file(dir + "/dot.gif", files["dot.gif"]);
    testgif::decoded out = join("--keep-delays dot.gif '#-1-1'");
    ASSERT_TRUE(out.ok) << out.error;
    EXPECT_EQ(testgif::compare(expected({"dot.gif"}, {}, {}, {{6, 5, 4, 3, 2, 1}}), testgif::play(out)), "");
    ASSERT_EQ(out.frames.size(), 6u);
    for (std::size_t k = 1; k < out.frames.size(); ++k) EXPECT_LE(out.frames[k].width * out.frames[k].height, 9 * 8) << k;
}

// A picture of more colours than one frame can have is drawn by several,
// 255 colours each, the first ones shown for 2 hundredths of its time.
TEST_F(playback, pictures_of_many_colours_take_several_frames) {
    image_spec top = picture(32, 16, 256, 80, testgif::palette(256, 81)), bottom = at(picture(32, 8, 256, 82, testgif::palette(256, 83)), 0, 8);
    for (std::size_t i = 0; i < top.pixels.size(); ++i) top.pixels[i] = static_cast<std::uint8_t>(i);
    for (std::size_t i = 0; i < bottom.pixels.size(); ++i) bottom.pixels[i] = static_cast<std::uint8_t>(i);
    files["colours.gif"] = gif_builder().header(32, 16, {}).gce(control(5)).image(top).gce(control(9)).image(bottom).trailer().data();
    testgif::write_file(dir + "/colours.gif", files["colours.gif"]);
    testgif::decoded out = join("--keep-delays colours.gif '#1'");
    ASSERT_TRUE(out.ok) << out.error;
    testgif::timeline want = expected({"colours.gif"}, {}, {}, {{1}}), got = testgif::play(out);
    ASSERT_EQ(got.size(), 3u);  // 512 colours: 255, 255 and 2
    EXPECT_EQ(got.back().pic, want.back().pic);
    EXPECT_EQ(got[0].time, 2);
    EXPECT_EQ(got[1].time, 2);
    EXPECT_EQ(got[0].time + got[1].time + got[2].time, 9);
}

// Without --keep-delays the frames take -d and -e, and the clear frames
// still take their time out of the frame before them.
TEST_F(playback, fit_with_the_run_delays) {
    testgif::decoded out = join("-d 30 --fit disposing.gif tall.gif wide.gif");
    ASSERT_TRUE(out.ok) << out.error;
    testgif::join_rules rules{false, false, 30, 80};
    EXPECT_EQ(testgif::compare(expected({"disposing.gif", "tall.gif", "wide.gif"}, rules), testgif::play(out)), "");
}

// A last frame shown for 2 or 3 hundredths cannot give the clear frame 2
// of its own and keep 2 itself: its picture stays 2 hundredths longer.
TEST_F(playback, last_frame_too_short_to_share) {
    for (int d : {2, 3}) {
        SCOPED_TRACE(d);
        std::string name = "last" + std::to_string(d) + ".gif";
        testgif::decoded out = join("--keep-delays --fit " + name + " tall.gif");
        ASSERT_TRUE(out.ok) << out.error;
        testgif::timeline as_alone = expected({name, "tall.gif"}, {}), want = expected({name, "tall.gif"}, {}, {true});
        EXPECT_EQ(testgif::compare(want, testgif::play(out)), "");
        EXPECT_NE(testgif::compare(as_alone, testgif::play(out)), "");
    }
}

// A first frame that is opaque and covers what the file before drew needs
// no clear frame: a sequence of whole pictures gains no frames.
TEST_F(playback, covering_first_frames_need_no_clear) {
    testgif::decoded out = join("--keep-delays --fit disposing.gif disposing.gif disposing.gif");
    ASSERT_TRUE(out.ok) << out.error;
    EXPECT_EQ(out.frames.size(), 12u);
    out = join("--keep-delays --fit wide.gif wide.gif");
    ASSERT_TRUE(out.ok) << out.error;
    EXPECT_EQ(out.frames.size(), 7u);  // the second starts transparent: one clear frame
}

// What the program adds stays small next to what it read, whatever the
// headers and descriptors claim: a frame that claims 65535 x 65535 pixels
// with a few bytes of data is cleared by a frame as small, and two pixels
// at opposite corners of such a screen, which only a clear frame of
// megabytes could clear, are left.
TEST_F(playback, claims_of_vast_areas_stay_small) {
    image_spec vast = picture(4, 4, 4, 30);
    vast.width = vast.height = 65535;
    image_spec dot = picture(1, 1, 4, 31);
    files["vast.gif"] = gif_builder().header(65535, 65535, testgif::palette(4, 32)).gce(control(5)).image(vast).trailer().data();
    files["corners.gif"] = gif_builder().header(65535, 65535, testgif::palette(4, 33))
                               .image(dot).image(at(dot, 65534, 65534)).trailer().data();
    for (const char* name : {"vast.gif", "corners.gif"}) {
        SCOPED_TRACE(name);
        testgif::write_file(dir + "/" + name, files[name]);
        ASSERT_EQ(run(std::string("-s --keep-delays --fit ") + name + " wide.gif"), 0);
        bytes out = testgif::read_file(dir + "/out.gif");
        EXPECT_LT(out.size(), files[name].size() + files["wide.gif"].size() + 1024);
        testgif::walked w = testgif::walk_gif(out);
        EXPECT_TRUE(w.ok) << w.error;
    }
}

// A frame that centring would move past 65535 is written at 65535: it lay
// outside its own file's screen and stays outside the canvas.
TEST_F(playback, centring_never_overflows_16_bits) {
    files["long.gif"] = gif_builder().header(65535, 1, testgif::palette(4, 34)).image(picture(4, 1, 4, 35)).trailer().data();
    files["astray.gif"] = gif_builder().header(4, 4, testgif::palette(4, 36))
                              .image(picture(4, 4, 4, 37)).image(at(picture(2, 2, 4, 38), 65533, 1)).trailer().data();
    for (const char* name : {"long.gif", "astray.gif"}) testgif::write_file(dir + "/" + name, files[name]);
    ASSERT_EQ(run("-s --center long.gif astray.gif"), 0);
    testgif::scanned_file out = testgif::scan_gif(testgif::read_file(dir + "/out.gif"));
    std::vector<int> lefts;
    for (const auto& im : out.images) lefts.push_back(im.descriptor[0] | im.descriptor[1] << 8);
    EXPECT_EQ(lefts, (std::vector<int>{0, 0, 32765, 65535}));  // the second is the clear frame
}

// --compact leaves a frame without a table of its own exactly where the
// output's global table holds its colours at every index its pixels can
// take, and changes no picture: the join plays as the same join without it.
TEST_F(playback, compact_drops_only_tables_the_global_one_stands_for) {
    const bytes shared = testgif::palette(16, 40), other = testgif::palette(16, 41);
    bytes changed = shared, longer = shared, full = shared, rest = testgif::palette(240, 52);
    changed[3 * 5 + 1] ^= 1;
    longer.insert(longer.end(), other.begin(), other.end());
    full.insert(full.end(), rest.begin(), rest.end());
    const bytes prefix(shared.begin(), shared.begin() + 3 * 8);
    image_spec prefix_wide = picture(4, 3, 8, 45, prefix);
    prefix_wide.min_code_size = 4;  // its pixels could name entries 8 to 15, which it has not
    struct {
        const char* name;
        bytes file;
        std::vector<bool> own_tables;  // of its frames, in the output
    } cases[] = {
        {"global.gif", gif_builder().header(4, 3, shared).image(picture(4, 3, 16, 42)).image(picture(2, 2, 16, 43)).trailer().data(),
         {false, false}},
        {"global_again.gif", gif_builder().header(4, 3, shared).image(picture(4, 3, 16, 44)).trailer().data(), {false}},
        {"locals.gif", gif_builder().header(4, 3, other)
                           .image(picture(4, 3, 16, 46, shared))  // the same table as its own
                           .image(picture(4, 3, 8, 47, prefix))   // a prefix, and pixels below 8
                           .image(prefix_wide)
                           .image(picture(4, 3, 16, 48, changed))
                           .image(picture(4, 3, 32, 49, longer))
                           .image(picture(4, 3, 16, 53, full))  // 256 entries, pixels below 16
                           .image(picture(4, 3, 16, 50))  // the file's own global table
                           .trailer().data(),
         {false, false, true, true, true, false, true}},
        {"no_global.gif", gif_builder().header(4, 3, {}).image(picture(4, 3, 16, 51, shared)).trailer().data(), {false}},
    };
    std::string names;
    std::vector<bool> own_tables;
    for (const auto& c : cases) {
        files[c.name] = c.file;
        testgif::write_file(dir + "/" + c.name, c.file);
        names += std::string(" ") + c.name;
        own_tables.insert(own_tables.end(), c.own_tables.begin(), c.own_tables.end());
    }
    for (const char* mode : {"", "--keep-delays --center "}) {
        SCOPED_TRACE(mode);
        testgif::decoded whole = join(mode + names), compact = join(std::string(mode) + "--compact" + names);
        ASSERT_TRUE(whole.ok && compact.ok) << whole.error << compact.error;
        EXPECT_EQ(compact.global_colours, shared);
        EXPECT_EQ(testgif::compare(testgif::play(whole), testgif::play(compact)), "");
        std::vector<bool> tables;
        for (const testgif::frame& f : compact.frames) tables.push_back(f.has_local);
        EXPECT_EQ(tables, own_tables);  // no clear frames: every first frame covers the screen
    }
}

}  // namespace

namespace {

// An animation cut short anywhere (a download that stopped), or with a
// frame whose data is short or missing, between two intact files: every
// frame of the join is whole, so giflib decodes all of it (it refuses a
// frame short of pixels, as browsers do), and it plays as its inputs do,
// the damaged frame with the pixels its data gives and, where it has
// none, what the canvas showed before. In the default mode and with
// --keep-delays --center.
TEST_F(playback, damaged_inputs_leave_every_frame_whole) {
    const bytes clip = partial_tall(), wide = transparent_wide();
    std::vector<bytes> damaged;
    std::size_t first_image = testgif::scan_gif(clip).images[0].at;
    for (std::size_t cut = first_image; cut < clip.size(); ++cut) damaged.emplace_back(clip.begin(), clip.begin() + cut);
    // Frames of 6 x 5 with no pixel data, with a few pixels and no end code,
    // with one pixel, then a code for an entry not made yet, then the end
    // code (clear, 1, 7, end in 3-bit codes); and whole frames of minimum
    // code sizes that browsers refuse, which must show nothing.
    std::vector<bytes> images;
    for (bytes data : {bytes{0}, bytes{2, 0x4C, 0x00, 0}, bytes{2, 0xCC, 0x0B, 0}}) {
        images.push_back({0x2C, 0, 0, 0, 0, 6, 0, 5, 0, 0, 2});
        images.back().insert(images.back().end(), data.begin(), data.end());
    }
    for (int code_size : {9, 11}) {
        image_spec refused = picture(6, 5, 2, 62);
        refused.min_code_size = code_size;
        images.push_back(gif_builder().image(refused).data());
    }
    for (const bytes& image : images)
        damaged.push_back(gif_builder().header(6, 5, testgif::palette(4, 60)).gce(control(4, 1, 0)).raw(image)
                              .image(picture(6, 5, 4, 61)).trailer().data());
    testgif::write_file(dir + "/wide.gif", wide);
    for (std::size_t i = 0; i < damaged.size(); ++i) {
        SCOPED_TRACE("damaged input " + std::to_string(i) + " of " + std::to_string(damaged.size()));
        testgif::write_file(dir + "/cut.gif", damaged[i]);
        for (const char* mode : {"", "--keep-delays --center"}) {
            SCOPED_TRACE(mode);
            testgif::decoded out = join(std::string(mode) + " wide.gif cut.gif disposing.gif");
            ASSERT_TRUE(out.ok) << out.error;
            if (!*mode) continue;
            std::vector<testgif::decoded> ins = {testgif::decode_gif(wide), testgif::decode_damaged_gif(damaged[i]),
                                                 testgif::decode_gif(files["disposing.gif"])};
            EXPECT_EQ(testgif::compare(testgif::expected_join(ins, {true}), testgif::play(out)), "");
        }
    }
}

}  // namespace
