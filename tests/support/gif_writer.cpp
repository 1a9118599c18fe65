#include "gif_writer.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <unordered_map>
#include <utility>

namespace testgif {

void bit_packer::put(unsigned code, int width) {
    acc_ |= (code & ((1u << width) - 1)) << bits_;
    bits_ += width;
    for (; bits_ >= 8; bits_ -= 8, acc_ >>= 8) out_.push_back(acc_ & 0xFF);
}

bytes bit_packer::finish() {
    if (bits_ > 0) out_.push_back(acc_ & 0xFF);
    acc_ = 0;
    bits_ = 0;
    return std::exchange(out_, {});
}

bytes lzw_encode(const bytes& pixels, int min_code_size, const lzw_options& opt) {
    if (min_code_size < 2 || min_code_size > 11)
        throw std::invalid_argument("minimum code size must be 2..11");
    const unsigned clear = 1u << min_code_size;
    bit_packer out;
    std::unordered_map<unsigned, unsigned> dict;  // (prefix code << 12 | pixel) -> code
    // The decoder makes each entry one code later than the encoder, and its
    // count of entries decides the width, so both counts are kept.
    unsigned next = 0, decoder_next = 0;
    int width = 0, since_clear = 0;
    bool first = true;
    auto reset = [&] {
        dict.clear();
        next = decoder_next = clear + 2;
        width = min_code_size + 1;
        first = true;
        since_clear = 0;
    };
    auto send = [&](unsigned code) {
        out.put(code, width);
        if (code == clear) return reset();
        if (code == clear + 1) return;
        if (!first && decoder_next < 4096) ++decoder_next;
        first = false;
        if (decoder_next == (1u << width) && width < 12) ++width;
    };
    reset();
    if (opt.leading_clear) send(clear);
    unsigned cur = 0;
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        unsigned p = pixels[i];
        if (p >= clear) throw std::invalid_argument("pixel index too large for code size");
        auto it = dict.find(cur << 12 | p);
        if (i == 0) {
            cur = p;
        } else if (it != dict.end()) {
            cur = it->second;
        } else {
            send(cur);
            if (opt.clear_after > 0 && ++since_clear == opt.clear_after) send(clear);
            else if (next < 4096) dict[cur << 12 | p] = next++;
            else if (opt.clear_when_full) send(clear);
            cur = p;
        }
    }
    if (!pixels.empty()) send(cur);
    if (opt.end_code) send(clear + 1);
    return out.finish();
}

bytes sub_blocks(const bytes& stream, const std::vector<std::size_t>& sizes, bool terminator) {
    if (sizes.empty()) throw std::invalid_argument("no block sizes");
    bytes out;
    for (std::size_t i = 0, pos = 0; pos < stream.size(); ++i) {
        std::size_t n = sizes[i % sizes.size()];
        if (n < 1 || n > 255) throw std::invalid_argument("block size must be 1..255");
        n = std::min(n, stream.size() - pos);
        out.push_back(static_cast<std::uint8_t>(n));
        out.insert(out.end(), stream.begin() + pos, stream.begin() + pos + n);
        pos += n;
    }
    if (terminator) out.push_back(0);
    return out;
}

bytes stream_of(const bytes& blocks) {
    bytes s;
    for (std::size_t at = 0; at < blocks.size() && blocks[at] != 0; at += 1 + std::size_t{blocks[at]}) {
        std::size_t end = std::min(blocks.size(), at + 1 + blocks[at]);
        s.insert(s.end(), blocks.begin() + static_cast<std::ptrdiff_t>(at + 1), blocks.begin() + static_cast<std::ptrdiff_t>(end));
    }
    return s;
}

namespace {

// Entry count 2..256, a power of two, to the descriptor's size field; -1 for none.
int table_size_field(const bytes& table) {
    if (table.empty()) return -1;
    for (int n = 0; n < 8; ++n)
        if (table.size() == 3u << (n + 1)) return n;
    throw std::invalid_argument("colour table size must be 2..256 entries, a power of two");
}

void put16(bytes& out, int v) { out.insert(out.end(), {std::uint8_t(v & 0xFF), std::uint8_t(v >> 8 & 0xFF)}); }

void append(bytes& out, const bytes& b) { out.insert(out.end(), b.begin(), b.end()); }

}  // namespace

gif_builder& gif_builder::header(int width, int height, const bytes& global_table,
                                 const std::string& version, int background) {
    out_ = {'G', 'I', 'F'};
    out_.insert(out_.end(), version.begin(), version.end());
    put16(out_, width);
    put16(out_, height);
    int n = table_size_field(global_table);
    // Colour resolution mirrors the table size; no aspect ratio.
    append(out_, {std::uint8_t(n < 0 ? 0 : 0x80 | n << 4 | n), std::uint8_t(background), 0});
    return raw(global_table);
}

gif_builder& gif_builder::gce(const gce_fields& g) {
    append(out_, {0x21, 0xF9, 0x04, std::uint8_t((g.disposal & 7) << 2 | g.user_input << 1 | g.transparent)});
    put16(out_, g.delay);
    return raw({std::uint8_t(g.index), 0x00});
}

gif_builder& gif_builder::comment(const std::vector<std::string>& chunks) {
    append(out_, {0x21, 0xFE});
    for (const auto& c : chunks) {
        if (c.empty() || c.size() > 255) throw std::invalid_argument("comment chunk must be 1..255 bytes");
        out_.push_back(static_cast<std::uint8_t>(c.size()));
        out_.insert(out_.end(), c.begin(), c.end());
    }
    return raw({0});
}

gif_builder& gif_builder::application(const std::string& ident11, const std::vector<bytes>& blocks) {
    if (ident11.size() != 11) throw std::invalid_argument("application identifier must be 11 bytes");
    append(out_, {0x21, 0xFF, 0x0B});
    out_.insert(out_.end(), ident11.begin(), ident11.end());
    for (const auto& b : blocks) append(out_, sub_blocks(b, {255}, false));
    return raw({0});
}

gif_builder& gif_builder::plain_text(const std::string& text) {
    // Grid at 0,0 of 8x8 pixels, 8x8 cells, foreground 1, background 0.
    append(out_, {0x21, 0x01, 0x0C, 0, 0, 0, 0, 8, 0, 8, 0, 8, 8, 1, 0});
    return raw(sub_blocks(bytes(text.begin(), text.end())));
}

gif_builder& gif_builder::netscape_loop(int count) {
    return application("NETSCAPE2.0", {{1, std::uint8_t(count & 0xFF), std::uint8_t(count >> 8 & 0xFF)}});
}

void gif_builder::descriptor(const image_spec& im) {
    out_.push_back(0x2C);
    for (int v : {im.left, im.top, im.width, im.height}) put16(out_, v);
    int n = table_size_field(im.local_table);
    out_.push_back(std::uint8_t((n < 0 ? 0 : 0x80 | n) | (im.interlace ? 0x40 : 0)));
    append(out_, im.local_table);
    out_.push_back(std::uint8_t(im.min_code_size));
}

gif_builder& gif_builder::image(const image_spec& im) {
    return image_raw(im, sub_blocks(lzw_encode(im.pixels, im.min_code_size, im.lzw), im.block_sizes));
}

gif_builder& gif_builder::image_raw(const image_spec& im, const bytes& data_after_min_code_size) {
    descriptor(im);
    return raw(data_after_min_code_size);
}

gif_builder& gif_builder::raw(const bytes& b) {
    append(out_, b);
    return *this;
}

gif_builder& gif_builder::trailer() { return raw({0x3B}); }

namespace {
// Xorshift, so that test data is the same on every run and platform.
std::uint32_t next_random(std::uint32_t& s) {
    s ^= s << 13;
    s ^= s >> 17;
    return s ^= s << 5;
}
}  // namespace

gce_fields control(int delay, int disposal, int transparent) {
    gce_fields g;
    g.delay = delay;
    g.disposal = disposal;
    g.transparent = transparent >= 0;
    g.index = transparent >= 0 ? transparent : 0;
    return g;
}

bytes palette(int entries, unsigned seed) {
    std::uint32_t s = seed * 2654435761u | 1;
    bytes out;
    for (int i = 0; i < entries; ++i) {
        std::uint32_t v = next_random(s);
        // Red steps with the index, which keeps neighbouring entries apart.
        append(out, {std::uint8_t(i * 97 + (v & 0x1F)), std::uint8_t(v >> 8), std::uint8_t(v >> 16)});
    }
    return out;
}

bytes pattern(int width, int height, int colours, unsigned seed) {
    std::uint32_t s = seed * 2246822519u | 1;
    bytes out(static_cast<std::size_t>(width) * height);
    std::uint8_t cur = 0;
    for (auto& p : out) {
        if (next_random(s) % 6 == 0) cur = std::uint8_t(next_random(s) % colours);
        p = cur;
    }
    return out;
}

void write_file(const std::string& path, const bytes& b) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    if (!f) throw std::runtime_error("cannot write " + path);
}

bytes read_file(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) throw std::runtime_error("cannot read " + path);
    return bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

image_spec picture(int width, int height, int colours, unsigned seed, bytes local_table) {
    image_spec im;
    im.width = width;
    im.height = height;
    im.pixels = pattern(width, height, colours, seed);
    im.local_table = std::move(local_table);
    while ((1 << im.min_code_size) >= 2 * colours && im.min_code_size > 2) --im.min_code_size;
    return im;
}

}  // namespace testgif
