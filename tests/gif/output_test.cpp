// Rewriting bytes already appended to the output: in the buffer, in a
// regular file after they were flushed, and refused on a pipe.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

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

TEST(output, flushed_bytes_of_a_pipe_stay) {
    int p[2];
    ASSERT_EQ(pipe(p), 0);
    output_to(p[1]);
    append("abc");
    flush_output();
    append("def");
    EXPECT_EQ(rewrite(0, "X"), 0);
    EXPECT_EQ(rewrite(4, "Y"), 1);
    ASSERT_EQ(close_output(), 1);
    EXPECT_EQ(read_all(p[0]), "abcdYf");
    close(p[0]);
}

}  // namespace
