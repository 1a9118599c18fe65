// Selections through the library: a file and the same bytes in memory give
// the same join, read as often as their selections need, or ahead of
// their turn; and what cannot be read twice is refused before anything is
// written.
#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "gif_writer.h"
#include "reeljoin/join.h"

namespace {

reeljoin::frame_range range(const char* text) {
    reeljoin::frame_range r;
    EXPECT_TRUE(reeljoin::parse_selection(text, r)) << text;
    return r;
}

TEST(selection_join, files_and_bytes_give_the_same_join) {
    testgif::gce_fields restore;
    restore.disposal = 3;
    restore.delay = 6;
    std::vector<std::uint8_t> clip = testgif::gif_builder()
                                         .header(9, 7, testgif::palette(4, 80))
                                         .image(testgif::picture(9, 7, 4, 81))
                                         .gce(restore)
                                         .image(testgif::picture(4, 3, 4, 82))
                                         .image(testgif::picture(5, 5, 4, 83))
                                         .trailer()
                                         .data();
    std::string path = ::testing::TempDir() + "reeljoin_selection_" + std::to_string(getpid()) + ".gif";
    testgif::write_file(path, clip);
    // The selections of each input in turn; a file whose selection starts
    // after its first frame is read ahead while the one before is copied,
    // which bytes in memory never are.
    const std::vector<std::vector<const char*>> joins = {
        {"#-1-0", "#-1-0"}, {"#2 #0-1", "#2 #0-1"}, {"#1-", "#1-"},
        {"", "#1-", "#2-", "#1"}, {"#1-", "#0-1", "#2", "#1-2"}, {"#2-0", "#1-", "#5-", "#1-"},
    };
    for (const std::vector<const char*>& selections : joins) {
        std::string trace;
        for (const char* t : selections) trace += std::string("[") + t + "] ";
        SCOPED_TRACE(trace);
        std::vector<reeljoin::input> files, bytes;
        for (const char* t : selections) {
            files.push_back(reeljoin::input::file(path));
            bytes.push_back(reeljoin::input::bytes(clip, "clip.gif"));
            std::istringstream words(t);
            for (std::string text; words >> text;) {
                files.back().select(range(text.c_str()));
                bytes.back().select(range(text.c_str()));
            }
        }
        reeljoin::settings s;
        s.quiet = true;
        s.keep_delays = true;
        std::vector<std::uint8_t> from_file, from_bytes;
        EXPECT_TRUE(reeljoin::join(files, reeljoin::output::bytes(from_file), s).written);
        EXPECT_TRUE(reeljoin::join(bytes, reeljoin::output::bytes(from_bytes), s).written);
        EXPECT_EQ(from_file, from_bytes);
        EXPECT_GT(from_file.size(), 100u);
    }
    std::remove(path.c_str());
}

TEST(selection_join, standard_input_read_twice_is_refused) {
    reeljoin::input in = reeljoin::input::file("-");
    in.select(range("#2")).select(range("#0"));
    std::vector<std::uint8_t> out;
    reeljoin::report r = reeljoin::join({in}, reeljoin::output::bytes(out));
    EXPECT_FALSE(r.written);
    EXPECT_EQ(r.cause, reeljoin::failure::cannot_select);
    EXPECT_TRUE(out.empty());
}

}  // namespace
