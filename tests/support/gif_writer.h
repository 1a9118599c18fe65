// Builds GIF files byte by byte for tests, with a real LZW encoder, so that
// tests can make both ordinary files and deliberately odd ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace testgif {

using bytes = std::vector<std::uint8_t>;

// Packs codes least significant bit first, as GIF does.
class bit_packer {
public:
    void put(unsigned code, int width);
    bytes finish();  // flushes a partial byte and hands the stream over

private:
    bytes out_;
    std::uint32_t acc_ = 0;
    int bits_ = 0;
};

struct lzw_options {
    bool leading_clear = true;    // a clear code before the first data code
    bool end_code = true;         // an end-of-information code after the last
    bool clear_when_full = true;  // false: once all 4096 entries are in use, keep
                                  // sending 12-bit codes without new entries or a clear
    int clear_after = 0;          // > 0: also clear after every this many data codes
};

// Longest-match LZW over `pixels`, minimum code size 2..11. The code width
// follows the decoder: after an entry is made, when the next free entry equals
// 1 << width and width < 12, width grows by one; a clear resets it.
bytes lzw_encode(const bytes& pixels, int min_code_size, const lzw_options& opt = {});

// Splits a code stream into data sub-blocks, using `sizes` (each 1..255) in
// turn and cycling; appends the zero-length terminator when asked.
bytes sub_blocks(const bytes& stream, const std::vector<std::size_t>& sizes = {255},
                 bool terminator = true);

// The code stream of data sub-blocks without their length bytes, up to a
// terminator or the end (a last block cut short gives what it holds).
bytes stream_of(const bytes& blocks);

struct gce_fields { int disposal = 0; bool user_input = false; bool transparent = false; int index = 0; int delay = 0; };

// A frame shown for `delay` hundredths, with this disposal, and this index
// transparent (none where negative).
gce_fields control(int delay, int disposal = 1, int transparent = -1);

struct image_spec {
    int left = 0, top = 0, width = 1, height = 1;
    bool interlace = false;  // sets the flag only; pixels are taken in the given order
    bytes local_table;       // rgb triples, 2..256 entries, a power of two; empty: none
    bytes pixels;            // width*height indices (not checked, so short data can be made)
    int min_code_size = 8;
    lzw_options lzw;
    std::vector<std::size_t> block_sizes = {255};
};

class gif_builder {
public:
    // Signature, version, screen descriptor and global table (empty: none).
    gif_builder& header(int width, int height, const bytes& global_table,
                        const std::string& version = "89a", int background = 0);
    gif_builder& gce(const gce_fields& g);
    // One sub-block per chunk. No chunks gives an empty comment, which giflib
    // 5.2.1 refuses to read although it is well formed.
    gif_builder& comment(const std::vector<std::string>& chunks);
    gif_builder& application(const std::string& ident11, const std::vector<bytes>& blocks);
    gif_builder& plain_text(const std::string& text);
    gif_builder& netscape_loop(int count);
    gif_builder& image(const image_spec& im);
    // Descriptor, table and minimum code size byte as image(), then `data` verbatim.
    gif_builder& image_raw(const image_spec& im, const bytes& data_after_min_code_size);
    gif_builder& raw(const bytes& b);
    gif_builder& trailer();
    const bytes& data() const { return out_; }

private:
    void descriptor(const image_spec& im);
    bytes out_;
};

bytes palette(int entries, unsigned seed);                         // distinct-ish rgb triples
bytes pattern(int width, int height, int colours, unsigned seed);  // runs mixed with noise
// An image of pattern() pixels with the smallest code size that fits them.
image_spec picture(int width, int height, int colours, unsigned seed, bytes local_table = {});
void write_file(const std::string& path, const bytes& b);
bytes read_file(const std::string& path);

}  // namespace testgif
