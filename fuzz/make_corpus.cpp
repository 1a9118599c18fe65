// Writes the fuzz target's seed corpus: make_corpus DIR. Small files, each
// a different shape of GIF, whole or deliberately broken, made with the
// tests' own writer.
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "gif_writer.h"

using namespace testgif;

namespace {

bytes cut(bytes b, std::size_t keep) {
    b.resize(keep);
    return b;
}

bytes with(bytes b, const bytes& tail) {
    b.insert(b.end(), tail.begin(), tail.end());
    return b;
}

image_spec sized(int w, int h, int colours, unsigned seed, int code_size) {
    image_spec im = picture(w, h, colours, seed);
    im.min_code_size = code_size;
    return im;
}

bytes one_image() { return gif_builder().header(4, 4, palette(4, 1)).image(picture(4, 4, 4, 2)).trailer().data(); }

bytes two_images_87a() {
    return gif_builder()
        .header(6, 5, palette(8, 3), "87a")
        .image(picture(6, 5, 8, 4))
        .image(picture(3, 2, 8, 5))
        .trailer()
        .data();
}

bytes local_tables() {
    return gif_builder()
        .header(8, 8, {})
        .image(picture(8, 8, 2, 6, palette(2, 7)))
        .image(picture(5, 7, 16, 8, palette(16, 9)))
        .image(picture(3, 3, 4, 10))  // neither table: borrows the saved colours
        .trailer()
        .data();
}

bytes interlaced() {
    image_spec im = picture(7, 11, 4, 11);
    im.interlace = true;
    image_spec local = picture(4, 9, 8, 12, palette(8, 13));
    local.interlace = true;
    return gif_builder().header(7, 11, palette(4, 14)).image(im).image(local).trailer().data();
}

bytes extensions() {
    return gif_builder()
        .header(5, 5, palette(4, 15))
        .netscape_loop(0)
        .comment({"seed", "corpus"})
        .application("XMPDataXMP ", {{1, 2, 3}, {4}})
        .gce({2, false, true, 1, 10})
        .image(picture(5, 5, 4, 16))
        .comment({})
        .plain_text("hi")
        .raw({0x21, 0x77, 2, 9, 9, 0})  // a label nobody knows
        .image(picture(5, 5, 4, 17))
        .trailer()
        .data();
}

bytes controls() {
    gif_builder g;
    g.header(3, 3, palette(4, 18));
    for (int d = 0; d < 4; ++d) {
        g.gce({d, d == 1, d % 2 == 1, 3 * d, 5 * d});
        g.image(picture(3, 3, 4, 19 + static_cast<unsigned>(d)));
    }
    return g.trailer().data();
}

bytes control_sizes() {
    return gif_builder()
        .header(3, 3, palette(4, 25))
        .raw({0x21, 0xF9, 0x03, 0x05, 0x10, 0x00, 0x00})        // block of 3
        .image(picture(3, 3, 4, 26))
        .raw({0x21, 0xF9, 0x06, 0x09, 0x10, 0x00, 0x02, 7, 7, 0x00})  // block of 6
        .image(picture(3, 3, 4, 27))
        .raw({0x21, 0xF9, 0x00})                                // no block at all
        .raw({0x21, 0xFF, 0x0A, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', 3, 1, 0, 0, 0})
        .image(picture(3, 3, 4, 28))
        .trailer()
        .data();
}

bytes code_sizes() {
    gif_builder g;
    g.header(4, 4, palette(2, 29));
    for (int size : {2, 3, 5, 8}) g.image(sized(4, 4, 2, 30 + size, size));
    return g.trailer().data();
}

bytes wide_codes() {
    gif_builder g;
    g.header(4, 4, palette(2, 40));
    for (int size : {9, 10, 11}) g.image(sized(4, 4, 2, 40 + size, size));
    return g.trailer().data();
}

bytes odd_code_sizes() {
    image_spec im = picture(2, 2, 2, 50);
    gif_builder g;
    g.header(2, 2, palette(2, 51));
    im.min_code_size = 0;
    g.image_raw(im, {2, 0x00, 0x01, 0});
    im.min_code_size = 1;
    g.image_raw(im, {2, 0x32, 0x0F, 0});
    im.min_code_size = 12;
    g.image_raw(im, {1, 0xFF, 0});
    return g.image(picture(2, 2, 2, 52)).trailer().data();
}

bytes odd_streams() {
    image_spec no_clear = picture(6, 6, 4, 53);
    no_clear.lzw.leading_clear = false;
    image_spec no_end = picture(6, 6, 4, 54);
    no_end.lzw.end_code = false;
    image_spec clears = picture(6, 6, 4, 55);
    clears.lzw.clear_after = 5;
    image_spec tail = picture(6, 6, 4, 56);
    bytes data = sub_blocks(lzw_encode(tail.pixels, tail.min_code_size), {255}, false);
    data = with(data, {2, 0xAA, 0xBB, 0});  // a sub-block after the end code
    return gif_builder()
        .header(6, 6, palette(4, 57))
        .image(no_clear)
        .image(no_end)
        .image(clears)
        .image_raw(tail, data)
        .trailer()
        .data();
}

bytes one_byte_blocks() {
    image_spec im = picture(9, 9, 8, 58);
    im.block_sizes = {1};
    return gif_builder().header(9, 9, palette(8, 59)).image(im).trailer().data();
}

// Enough 12-bit codes to fill the table, then more without a clear.
bytes full_table() {
    image_spec im = picture(64, 64, 256, 60);
    std::uint32_t s = 12345;
    for (auto& p : im.pixels) {
        s = s * 1103515245u + 12345u;
        p = static_cast<std::uint8_t>(s >> 16);
    }
    im.lzw.clear_when_full = false;
    return gif_builder().header(64, 64, palette(256, 61)).image(im).trailer().data();
}

// Minimum code size 0: 1-bit codes, so a few hundred bytes fill the table.
bytes full_table_1_bit() {
    image_spec im = picture(2, 2, 2, 71);
    im.min_code_size = 0;
    return gif_builder().header(2, 2, palette(2, 72)).image_raw(im, sub_blocks(bytes(600, 0))).trailer().data();
}

bytes truncated_in_data() { return cut(two_images_87a(), two_images_87a().size() - 9); }
bytes truncated_in_table() { return cut(one_image(), 17); }
bytes no_trailer() { bytes b = two_images_87a(); return cut(b, b.size() - 1); }
bytes junk_after_trailer() { return with(one_image(), {0x2C, 0x00, 0x21, 0xFE, 0xFF}); }

bytes junk_between() {
    return gif_builder().header(4, 4, palette(4, 62)).image(picture(4, 4, 4, 63)).raw({0x00, 0x55}).image(picture(4, 4, 4, 64)).trailer().data();
}

bytes zero_size_image() {
    image_spec im = picture(2, 2, 2, 65);
    im.width = im.height = 0;
    im.pixels.clear();
    return gif_builder().header(2, 2, palette(2, 66)).image(im).image(picture(2, 2, 2, 67)).trailer().data();
}

bytes header_only() { return gif_builder().header(1, 1, palette(2, 68)).trailer().data(); }

bytes sub_block_past_end() {
    return with(gif_builder().header(3, 3, palette(4, 69)).image(picture(3, 3, 4, 70)).data(),
                {0x21, 0xFE, 0x40, 'x', 'y'});
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::printf("usage: make_corpus DIR\n");
        return 1;
    }
    const std::vector<std::pair<const char*, std::function<bytes()>>> seeds = {
        {"one_image", one_image},
        {"two_images_87a", two_images_87a},
        {"local_tables", local_tables},
        {"interlaced", interlaced},
        {"extensions", extensions},
        {"controls", controls},
        {"control_sizes", control_sizes},
        {"code_sizes", code_sizes},
        {"wide_codes", wide_codes},
        {"odd_code_sizes", odd_code_sizes},
        {"odd_streams", odd_streams},
        {"one_byte_blocks", one_byte_blocks},
        {"full_table", full_table},
        {"full_table_1_bit", full_table_1_bit},
        {"truncated_in_data", truncated_in_data},
        {"truncated_in_table", truncated_in_table},
        {"no_trailer", no_trailer},
        {"junk_after_trailer", junk_after_trailer},
        {"junk_between", junk_between},
        {"zero_size_image", zero_size_image},
        {"header_only", header_only},
        {"sub_block_past_end", sub_block_past_end},
    };
    for (const auto& s : seeds) {
        bytes b = s.second();
        write_file(std::string(argv[1]) + "/" + s.first + ".gif", b);
        std::printf("%s.gif: %zu bytes\n", s.first, b.size());
    }
    return 0;
}
