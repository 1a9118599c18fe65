// Rewriting bytes already appended to the output: in the buffer, in a
// regular file after they were flushed, and on a pipe until they are
// released, also when they are more than the buffer holds.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "gif/output.h"

namespace {

using bytes = std::string;

bytes read_all(int fd) {
    bytes all;
    char buf[4096];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;) all.append(buf, static_cast<std::size_t>(n));
    return all;
}

void append(output_stream& o, const bytes& b) { write_out(o, reinterpret_cast<const std::uint8_t*>(b.data()), b.size()); }

int rewrite(output_stream& o, std::uint64_t at, const bytes& b) {
    return rewrite_output(o, at, reinterpret_cast<const std::uint8_t*>(b.data()), b.size());
}

TEST(output, rewrites_in_the_buffer_and_in_a_regular_file) {
    auto stream = std::make_unique<output_stream>();
    output_stream& o = *stream;
    std::FILE* f = std::tmpfile();
    output_to(o, dup(fileno(f)));
    append(o, "abcdef");
    EXPECT_EQ(rewrite(o, 1, "XY"), 1);  // still in the buffer
    flush_output(o);
    append(o, "ghi");
    EXPECT_EQ(rewrite(o, 4, "PQR"), 1);  // straddles what was flushed and what waits
    EXPECT_EQ(rewrite(o, 8, "ZZ"), 0);   // reaches past the end
    EXPECT_EQ(output_position(o), 9u);
    ASSERT_EQ(close_output(o), 1);
    std::rewind(f);
    EXPECT_EQ(read_all(fileno(f)), "aXYdPQRhi");
    std::fclose(f);
}

TEST(output, released_bytes_of_a_pipe_stay) {
    auto stream = std::make_unique<output_stream>();
    output_stream& o = *stream;
    int p[2];
    ASSERT_EQ(pipe(p), 0);
    output_to(o, p[1]);
    append(o, "abc");
    release_output(o, 3);
    flush_output(o);
    append(o, "def");
    EXPECT_EQ(rewrite(o, 0, "X"), 0);
    EXPECT_EQ(rewrite(o, 2, "Y"), 0);
    EXPECT_EQ(rewrite(o, 3, "Z"), 1);
    ASSERT_EQ(close_output(o), 1);
    EXPECT_EQ(read_all(p[0]), "abcZef");
    close(p[0]);
}

// Held bytes beyond the buffer wait in the spool, where they are read,
// rewritten and cut as in a file, and go out in order.
TEST(output, a_pipe_holds_more_than_the_buffer) {
    auto stream = std::make_unique<output_stream>();
    output_stream& o = *stream;
    int p[2];
    ASSERT_EQ(pipe(p), 0);
    bytes got;
    std::thread reader([&] { got = read_all(p[0]); });
    output_to(o, p[1]);
    bytes want;
    for (int i = 0; want.size() < 3 * output_buffer_size; ++i) want += std::to_string(i) + ",";
    append(o, want.substr(0, 100));
    release_output(o, 50);
    append(o, want.substr(100));
    EXPECT_GT(o.spool.end, o.spool.start);  // the buffer could not hold it all
    EXPECT_EQ(rewrite(o, 40, "X"), 0);                  // released
    EXPECT_EQ(rewrite(o, 60, "QQ"), 1);
    want.replace(60, 2, "QQ");
    std::uint8_t back[2];
    ASSERT_EQ(read_back_output(o, 60, back, 2), 1);
    EXPECT_EQ(bytes(back, back + 2), "QQ");
    std::uint64_t cut = output_buffer_size + 1000;  // in the spool
    ASSERT_EQ(truncate_output(o, cut), 1);
    want.resize(cut);
    append(o, "end");
    want += "end";
    release_output(o, cut - 500);
    ASSERT_EQ(close_output(o), 1);
    reader.join();
    close(p[0]);
    EXPECT_EQ(got.size(), want.size());
    EXPECT_TRUE(got == want);
}

}  // namespace
