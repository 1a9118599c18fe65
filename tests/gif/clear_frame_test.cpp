// The clear frame: giflib decodes it to the transparent index over its
// whole area, and it takes the bytes it says it takes, around the points
// where its code stream grows a bit wider or starts its table over.
#include <gtest/gtest.h>

#include <memory>
#include <unistd.h>

#include <cstdio>

#include "gif/clear_frame.h"
#include "gif/output.h"
#include "gif_decode.h"
#include "harness.h"

namespace {

using testgif::bytes;

bytes written_clear_frame(const clear_area& area, int delay) {
    std::FILE* f = std::tmpfile();
    auto out = std::make_unique<output_stream>();
    output_to(*out, dup(fileno(f)));
    write_clear_frame(*out, area, delay);
    close_output(*out);
    std::fseek(f, 0, SEEK_END);
    bytes b(static_cast<std::size_t>(std::ftell(f)));
    std::rewind(f);
    EXPECT_EQ(std::fread(b.data(), 1, b.size(), f), b.size());
    std::fclose(f);
    return b;
}

TEST(clear_frame, decodes_to_transparent_pixels) {
    // A table of 4096 entries holds runs of 1 to 4091 pixels, 4091 x 2046 in all.
    const clear_area areas[] = {{0, 0, 1, 1},    {3, 2, 2, 1},       {0, 0, 3, 1},       {5, 0, 1, 7},
                                {0, 0, 160, 120}, {0, 0, 2, 1023},    {0, 0, 4091, 2046}, {0, 0, 4092, 2046},
                                {0, 0, 3000, 3000}};
    for (const clear_area& a : areas) {
        SCOPED_TRACE(std::to_string(a.width) + "x" + std::to_string(a.height));
        std::uint64_t pixels = std::uint64_t(a.width) * a.height;
        bytes frame = written_clear_frame(a, 7);
        EXPECT_EQ(frame.size(), clear_frame_size(pixels, UINT64_MAX));
        bytes file = testgif::gif_builder().header(a.left + a.width, a.top + a.height, {}).raw(frame).trailer().data();
        testgif::decoded d = testgif::decode_gif(file);
        ASSERT_TRUE(d.ok) << d.error;
        ASSERT_EQ(d.frames.size(), 1u);
        const testgif::frame& f = d.frames[0];
        EXPECT_EQ(std::tie(f.left, f.top, f.width, f.height), std::tie(a.left, a.top, a.width, a.height));
        EXPECT_EQ(std::tie(f.delay, f.disposal, f.transparent), std::make_tuple(7, 2, 0));
        EXPECT_EQ(f.pixels, bytes(pixels, 0));
    }
}

}  // namespace
