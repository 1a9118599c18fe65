// Rewriting bytes already appended to the output: in the buffer, in a
// regular file after they were flushed, and on a pipe until they are
// released, also when they are more than the buffer holds.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
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

void append(const bytes& b) { write_out(reinterpret_cast<const std::uint8_t*>(b.data()), b.size()); }

int rewrite(std::uint64_t at, const bytes& b) {
    return rewrite_output(at, reinterpret_cast<const std::uint8_t*>(b.data()), b.size());
}

TEST(output, rewrites_in_the_buffer_and_in_a_regular_file) {
    std::FILE* f = std::tmpfile();
    output_to(dup(fileno(f)));
    append("abcdef");
    EXPECT_EQ(rewrite(1, "XY"), 1);  // still in the buffer
    flush_output();
    append("ghi");
    EXPECT_EQ(rewrite(4, "PQR"), 1);  // straddles what was flushed and what waits
    EXPECT_EQ(rewrite(8, "ZZ"), 0);   // reaches past the end
    EXPECT_EQ(output_position(), 9u);
    ASSERT_EQ(close_output(), 1);
    std::rewind(f);
    EXPECT_EQ(read_all(fileno(f)), "aXYdPQRhi");
    std::fclose(f);
}

TEST(output, released_bytes_of_a_pipe_stay) {
    int p[2];
    ASSERT_EQ(pipe(p), 0);
    output_to(p[1]);
    append("abc");
    release_output(3);
    flush_output();
    append("def");
    EXPECT_EQ(rewrite(0, "X"), 0);
    EXPECT_EQ(rewrite(2, "Y"), 0);
    EXPECT_EQ(rewrite(3, "Z"), 1);
    ASSERT_EQ(close_output(), 1);
    EXPECT_EQ(read_all(p[0]), "abcZef");
    close(p[0]);
}

// Held bytes beyond the buffer wait in the spool, where they are read,
// rewritten and cut as in a file, and go out in order.
TEST(output, a_pipe_holds_more_than_the_buffer) {
    int p[2];
    ASSERT_EQ(pipe(p), 0);
    bytes got;
    std::thread reader([&] { got = read_all(p[0]); });
    output_to(p[1]);
    bytes want;
    for (int i = 0; want.size() < 3 * output_buffer_size; ++i) want += std::to_string(i) + ",";
    append(want.substr(0, 100));
    release_output(50);
    append(want.substr(100));
    EXPECT_GT(ofile.spool.end, ofile.spool.start);  // the buffer could not hold it all
    EXPECT_EQ(rewrite(40, "X"), 0);                  // released
    EXPECT_EQ(rewrite(60, "QQ"), 1);
    want.replace(60, 2, "QQ");
    std::uint8_t back[2];
    ASSERT_EQ(read_back_output(60, back, 2), 1);
    EXPECT_EQ(bytes(back, back + 2), "QQ");
    std::uint64_t cut = output_buffer_size + 1000;  // in the spool
    ASSERT_EQ(truncate_output(cut), 1);
    want.resize(cut);
    append("end");
    want += "end";
    release_output(cut - 500);
    ASSERT_EQ(close_output(), 1);
    reader.join();
    close(p[0]);
    EXPECT_EQ(got.size(), want.size());
    EXPECT_TRUE(got == want);
}

}  // namespace
