// Inputs that a reader gives on demand and outputs that a writer takes as
// they go: the same join as from and into bytes in memory, in every mode,
// a block at a time; a reader that fails ends its input there, and a
// writer that fails fails the join.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "gif_writer.h"
#include "reeljoin/join.h"

namespace {

using bytes = std::vector<std::uint8_t>;

struct reads {
    std::size_t calls = 0, most = 0;
    std::uint64_t failed_at = UINT64_MAX;  // where the first read that failed began
};

// A reader of `data` that gives up past `fail_at` bytes.
reeljoin::input reader_of(const bytes& data, const char* name, reads& seen, std::size_t fail_at = SIZE_MAX) {
    return reeljoin::input::reader(data.size(), [&data, &seen, fail_at](std::uint64_t at, std::uint8_t* into, std::size_t n) {
        ++seen.calls;
        seen.most = std::max(seen.most, n);
        if (at + n > fail_at) {
            seen.failed_at = std::min(seen.failed_at, at);
            return false;
        }
        std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(at), n, into);
        return true;
    }, name);
}

reeljoin::frame_range range(const char* text) {
    reeljoin::frame_range r;
    EXPECT_TRUE(reeljoin::parse_selection(text, r)) << text;
    return r;
}

bytes clip(int width, int height, unsigned seed) {
    testgif::gce_fields clear;
    clear.disposal = 2;
    clear.delay = 5;
    return testgif::gif_builder()
        .header(width, height, testgif::palette(8, seed))
        .image(testgif::picture(width, height, 8, seed + 1))
        .gce(clear)
        .image(testgif::picture(width / 2, height / 2, 8, seed + 2))
        .image(testgif::picture(width, height / 3, 8, seed + 3))
        .trailer()
        .data();
}

TEST(byte_io, readers_and_writers_join_as_bytes_do) {
    bytes small = clip(40, 30, 10), large = clip(1200, 900, 20);  // large spans several blocks
    struct mode {
        const char* what;
        bool fit, center, compact, keep;
        const char* selection;  // of the second input
    } modes[] = {
        {"default", false, false, false, false, ""},
        {"fit", true, false, false, true, "#1-"},
        {"center, compact", false, true, true, true, "#-1-0"},
        {"counted from the end, two passes", false, false, false, true, "#-1 #0-1"},
    };
    for (const mode& m : modes) {
        SCOPED_TRACE(m.what);
        reeljoin::settings s;
        s.fit = m.fit;
        s.center = m.center;
        s.compact = m.compact;
        s.keep_delays = m.keep;
        reads seen;
        std::vector<reeljoin::input> from_bytes{reeljoin::input::bytes(small, "small.gif"), reeljoin::input::bytes(large, "large.gif")};
        std::vector<reeljoin::input> from_reader{reader_of(small, "small.gif", seen), reader_of(large, "large.gif", seen)};
        std::string words = m.selection;
        for (std::size_t at = 0; at < words.size();) {
            std::size_t end = std::min(words.find(' ', at), words.size());
            std::string word = words.substr(at, end - at);
            from_bytes[1].select(range(word.c_str()));
            from_reader[1].select(range(word.c_str()));
            at = end + 1;
        }
        bytes want, got;
        std::size_t blocks = 0;
        reeljoin::report a = reeljoin::join(from_bytes, reeljoin::output::bytes(want), s);
        reeljoin::report b = reeljoin::join(from_reader, reeljoin::output::writer([&](const std::uint8_t* p, std::size_t n) {
            got.insert(got.end(), p, p + n);
            ++blocks;
            return true;
        }), s);
        ASSERT_TRUE(a.written);
        ASSERT_TRUE(b.written);
        EXPECT_EQ(got, want);
        EXPECT_EQ(b.messages, a.messages);
        EXPECT_LE(seen.most, std::size_t{128 * 1024});  // a block at a time, never the whole input
        EXPECT_GT(seen.calls, large.size() / (128 * 1024));
        EXPECT_GT(large.size(), std::size_t{2 * 128 * 1024});
        EXPECT_GE(blocks, 1u);
    }
}

TEST(byte_io, a_failing_reader_ends_its_input_and_a_failing_writer_the_join) {
    bytes data = clip(900, 700, 30);  // several blocks
    reads seen;
    reeljoin::settings s;
    s.quiet = true;
    bytes got, want;
    // The reader fails on the block that reaches its last bytes: the input
    // ends where that block starts, as a file whose read fails.
    reeljoin::report r = reeljoin::join({reader_of(data, "clip.gif", seen, data.size() - 100)}, reeljoin::output::bytes(got), s);
    ASSERT_LT(seen.failed_at, data.size());
    ASSERT_GT(seen.failed_at, 0u) << data.size();
    bytes head(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(seen.failed_at));
    ASSERT_TRUE(reeljoin::join({reeljoin::input::bytes(head, "clip.gif")}, reeljoin::output::bytes(want), s).written);
    EXPECT_TRUE(r.written);
    EXPECT_EQ(got, want);

    reeljoin::report refused = reeljoin::join({reeljoin::input::bytes(data, "clip.gif")},
                                              reeljoin::output::writer([](const std::uint8_t*, std::size_t) { return false; }, "page"), s);
    EXPECT_FALSE(refused.written);
    EXPECT_EQ(refused.cause, reeljoin::failure::cannot_write_output);
    EXPECT_EQ(refused.messages.back(), "Unable to write output file: page");
}

}  // namespace
