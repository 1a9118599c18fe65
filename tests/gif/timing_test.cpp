// The delays frames are given when they keep their own.
#include <gtest/gtest.h>

#include "gif/gif.h"
#include "gif_decode.h"
#include "harness.h"

namespace {

using testgif::bytes;
using testgif::gif_builder;
using testgif::picture;

testgif::gce_fields delay_of(int hundredths) {
    testgif::gce_fields g;
    g.delay = hundredths;
    return g;
}

gif_builder screen() { return gif_builder().header(4, 3, testgif::palette(4, 1)); }

struct keep_case {
    const char* name;
    bytes file;
    int role;
    std::vector<int> delays;
};

// With loop_delay 20 and loop_end_delay 80.
std::vector<keep_case> keep_cases() {
    bytes animation = screen()
                          .gce(delay_of(7)).image(picture(4, 3, 4, 2))
                          .gce(delay_of(0)).image(picture(4, 3, 4, 3))
                          .gce(delay_of(1)).image(picture(2, 2, 4, 4))
                          .image(picture(4, 3, 4, 5))  // no control extension
                          .trailer().data();
    bytes captioned = screen()
                          .gce(delay_of(9)).plain_text("x")  // the control is the caption's
                          .image(picture(4, 3, 4, 6))
                          .gce(delay_of(12)).image(picture(4, 3, 4, 7))
                          .trailer().data();
    bytes still_zero = screen().gce(delay_of(0)).image(picture(4, 3, 4, 8)).trailer().data();
    bytes still_own = screen().gce(delay_of(50)).image(picture(4, 3, 4, 9)).trailer().data();
    bytes still_bare = screen().image(picture(4, 3, 4, 10)).trailer().data();
    return {
        {"animation_keeps_all_its_own", animation, 1, {7, 0, 1, 0}},
        {"last_animation_keeps_its_own", animation, role_last, {7, 0, 1, 0}},
        {"control_taken_by_a_caption", captioned, 1, {0, 12}},
        {"still_without_delay_gets_the_run_delay", still_zero, 1, {20}},
        {"last_still_gets_the_last_delay", still_bare, role_last, {80}},
        {"single_still_gets_the_frame_delay", still_bare, role_single, {20}},
        {"still_with_its_own_delay_keeps_it", still_own, role_last, {50}},
    };
}

TEST(keep_delays, frames_keep_their_own) {
    join_settings keep;
    keep.keep_delays = 1;
    for (const keep_case& c : keep_cases()) {
        SCOPED_TRACE(c.name);
        bytes header = c.role == role_first || c.role == role_single ? bytes{} : screen().data();
        harness::pass_result r = harness::run_pass(c.role, c.file, keep);
        testgif::decoded d = testgif::decode_gif(harness::cat({header, r.out, {0x3B}}));
        ASSERT_TRUE(d.ok) << d.error;
        std::vector<int> delays;
        for (const auto& f : d.frames) delays.push_back(f.delay);
        EXPECT_EQ(delays, c.delays);
    }
}

}  // namespace
