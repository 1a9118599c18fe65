// A file read ahead of its turn gives the join it gives at its turn, and
// what was read ahead is given up wherever the file at its turn is not as
// it was then.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "gif/gif.h"
#include "gif/reading_ahead.h"
#include "gif/run.h"
#include "gif_writer.h"

namespace {

using testgif::bytes;

// An opaque first frame, then small ones, transparent and cleared or
// restored; `more` frames like the last after them.
bytes clip(int width, unsigned seed, unsigned picture_seed = 0, int more = 0) {
    unsigned p = picture_seed ? picture_seed : seed;
    testgif::image_spec small = testgif::picture(3, 2, 4, p + 1), other = testgif::picture(2, 3, 4, p + 2);
    small.left = 1;
    other.top = 2;
    testgif::gif_builder g;
    g.header(width, 5, testgif::palette(4, seed))
        .gce(testgif::control(3)).image(testgif::picture(width, 5, 4, p + 3))
        .gce(testgif::control(4, 2, 0)).image(small)
        .gce(testgif::control(5, 3, 0)).image(other);
    for (int k = 0; k <= more; ++k) g.gce(testgif::control(6)).image(small);
    return g.trailer().data();
}

std::vector<selection_range> from(std::int64_t first) {
    selection_range r;
    r.first = first;
    r.to_end = true;
    return {r};
}

struct two_files {
    std::string first_path = ::testing::TempDir() + "reeljoin_ahead_a_" + std::to_string(getpid()) + ".gif";
    std::string next_path = ::testing::TempDir() + "reeljoin_ahead_b_" + std::to_string(getpid()) + ".gif";
    ~two_files() {
        std::remove(first_path.c_str());
        std::remove(next_path.c_str());
    }
};

struct joined {
    bytes out;
    bool waited = false;  // a picture made ahead waited for the second file
};

// Joins the first file whole and the second from frame `first`. With
// `tell`, the run knows the second file and the role it was told before
// the first is read; `between` runs once the first is read.
joined join_two(const two_files& f, std::int64_t first, bool tell, int told_role = role_last,
                const bytes* between = nullptr, bool keep_delays = false) {
    auto r = std::make_unique<join_run>();
    joined j;
    output_to_memory(r->out, j.out);
    r->settings.verb = 0;
    r->warn = [](void*, const char*) {};  // a selection beyond the file's frames is warned of
    r->settings.keep_delays = keep_delays;
    std::vector<selection_range> ranges = from(first);
    if (tell) r->next = next_input{f.next_path, ranges, told_role};
    EXPECT_EQ(gif_read(*r, role_first, f.first_path.c_str()), 1);
    j.waited = ahead_waiting(*r);
    if (between) testgif::write_file(f.next_path, *between);
    r->next = next_input{};  // the second file is the last
    EXPECT_EQ(gif_read(*r, role_last, f.next_path.c_str(), &ranges), 1);
    close_output(r->out);
    return j;
}

TEST(reading_ahead, gives_the_join_the_file_gives_at_its_turn) {
    two_files f;
    testgif::write_file(f.first_path, clip(7, 10));
    testgif::write_file(f.next_path, clip(6, 20));
    for (bool keep : {false, true})
        for (std::int64_t first : {1, 2, 3}) {
            SCOPED_TRACE(std::to_string(first) + (keep ? " keeping delays" : ""));
            joined ahead = join_two(f, first, true, role_last, nullptr, keep);
            EXPECT_TRUE(ahead.waited);
            joined at_turn = join_two(f, first, false, role_last, nullptr, keep);
            EXPECT_FALSE(at_turn.waited);
            EXPECT_EQ(ahead.out, at_turn.out);
            EXPECT_GT(ahead.out.size(), 100u);
        }
}

TEST(reading_ahead, is_given_up_where_the_file_is_not_as_read) {
    two_files f;
    testgif::write_file(f.first_path, clip(7, 10));
    // Repainted: the same screen and table, other pictures, one more frame.
    bytes wider = clip(8, 20), recoloured = clip(6, 30), repainted = clip(6, 20, 40, 1);
    struct change_case {
        const char* name;
        int told_role;
        const bytes* rewritten;
        bool waits;  // a picture was made ahead, to be given up
    } cases[] = {
        {"another_role", 1, nullptr, true},
        {"another_screen", role_last, &wider, true},
        {"another_table", role_last, &recoloured, true},
        {"repainted", role_last, &repainted, true},
    };
    for (const change_case& c : cases) {
        SCOPED_TRACE(c.name);
        testgif::write_file(f.next_path, clip(6, 20));
        joined ahead = join_two(f, 1, true, c.told_role, c.rewritten);
        EXPECT_EQ(ahead.waited, c.waits);
        if (c.rewritten) testgif::write_file(f.next_path, *c.rewritten);
        joined at_turn = join_two(f, 1, false);
        EXPECT_EQ(ahead.out, at_turn.out);
    }
    // A file with fewer frames than its selection skips gives nothing to wait.
    testgif::write_file(f.next_path, clip(6, 20));
    joined beyond = join_two(f, 7, true);
    EXPECT_FALSE(beyond.waited);
    EXPECT_EQ(beyond.out, join_two(f, 7, false).out);
}

// A run may end while a picture made ahead waits for its file's turn, the
// job's run made in the room of the state lent to it: the end takes them
// apart in an order the sanitizer builds check.
TEST(reading_ahead, a_run_may_end_before_the_file_read_ahead) {
    two_files f;
    testgif::gif_builder large;
    large.header(640, 480, testgif::palette(256, 5));
    large.gce(testgif::control(3)).image(testgif::picture(640, 480, 256, 6));
    large.gce(testgif::control(4, 1, 5)).image(testgif::picture(640, 480, 256, 7));
    large.gce(testgif::control(5)).image(testgif::picture(640, 480, 256, 8));
    bytes clip = large.trailer().data();
    testgif::write_file(f.first_path, clip);
    testgif::write_file(f.next_path, clip);
    auto r = std::make_unique<join_run>();
    bytes out;
    output_to_memory(r->out, out);
    r->settings.verb = 0;
    std::vector<selection_range> ranges = from(1);
    r->next = next_input{f.next_path, ranges, role_last};
    EXPECT_EQ(gif_read(*r, role_first, f.first_path.c_str(), &ranges), 1);
    close_output(r->out);
    r.reset();
    EXPECT_GT(out.size(), clip.size() / 3);  // the first file's picture and its last frame
}

}  // namespace
