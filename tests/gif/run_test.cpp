// Joins keep nothing of each other: one after another with other settings,
// or at once in two threads, each gives the bytes it gives alone.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "gif/gif.h"
#include "gif/output_table.h"
#include "gif/run.h"
#include "gif_writer.h"

namespace {

using testgif::bytes;
using testgif::gif_builder;

struct files {
    std::string first, second;
};

// Two files whose colours and sizes differ, and whose second borrows the
// colours the first saved: what one run leaves would show in the next.
files write_inputs() {
    std::string dir = ::testing::TempDir() + "reeljoin_runs_" + std::to_string(getpid());
    files f{dir + "_a.gif", dir + "_b.gif"};
    testgif::write_file(f.first, gif_builder().header(8, 6, testgif::palette(16, 70)).image(testgif::picture(8, 6, 16, 71))
                                     .image(testgif::picture(4, 3, 16, 72)).trailer().data());
    bytes borrowing = gif_builder().header(12, 4, {}).image(testgif::picture(12, 4, 16, 73)).trailer().data();
    borrowing[10] = 0x03;  // a size field for 16 entries, and no table of its own
    testgif::write_file(f.second, borrowing);
    return f;
}

bytes join(const files& f, const join_settings& s) {
    auto run = std::make_unique<join_run>();
    join_run& r = *run;
    r.settings = s;
    r.settings.verb = 0;
    if (s.compact_tables) set_output_table(r.table, testgif::palette(16, 70).data(), 16);
    std::FILE* out = std::tmpfile();
    output_to(r.out, dup(fileno(out)));
    gif_read(r, role_first, f.first.c_str());
    gif_read(r, role_last, f.second.c_str());
    write_out(r.out, &layout::trailer, 1);
    close_output(r.out);
    bytes b = testgif::read_file("/proc/self/fd/" + std::to_string(fileno(out)));
    std::fclose(out);
    return b;
}

std::vector<join_settings> variants() {
    join_settings plain, fitted, slow;
    fitted.keep_delays = fitted.fit_canvas = fitted.center_frames = fitted.compact_tables = 1;
    slow.loop_delay = 7;
    slow.loop_end_delay = 300;
    slow.loop_mode = loop_none;
    return {plain, fitted, slow};
}

TEST(runs, keep_nothing_of_each_other) {
    files f = write_inputs();
    std::vector<join_settings> settings = variants();
    std::vector<bytes> alone;
    for (const join_settings& s : settings) alone.push_back(join(f, s));
    EXPECT_NE(alone[0], alone[1]);
    EXPECT_NE(alone[0], alone[2]);
    for (int round = 0; round < 2; ++round)
        for (std::size_t i = settings.size(); i-- > 0;) EXPECT_EQ(join(f, settings[i]), alone[i]) << "variant " << i;
    int wrong[2] = {0, 0};
    auto many = [&](int t) {
        for (int k = 0; k < 30; ++k) {
            std::size_t i = static_cast<std::size_t>((k + t) % 3);
            wrong[t] += join(f, settings[i]) != alone[i];
        }
    };
    std::thread one(many, 0), other(many, 1);
    one.join();
    other.join();
    EXPECT_EQ(wrong[0] + wrong[1], 0);
    std::remove(f.first.c_str());
    std::remove(f.second.c_str());
}

}  // namespace
