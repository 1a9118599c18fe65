#include "gif_writer.h"

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <unordered_map>

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
    bytes done;
    done.swap(out_);
    return done;
}

namespace {

// The encoder's dictionary plus a mirror of the decoder's state, since the
// decoder makes each entry one code later than the encoder and its view
// decides the width of every code written.
class lzw_state {
public:
    lzw_state(int min_code_size) : min_(min_code_size), clear_(1u << min_code_size) { reset(); }

    void data(unsigned code) {
        out_.put(code, width_);
        if (!first_ && decoder_next_ < 4096) ++decoder_next_;
        first_ = false;
        if (decoder_next_ == (1u << width_) && width_ < 12) ++width_;
    }
    void clear() {
        out_.put(clear_, width_);
        reset();
    }
    void end() { out_.put(clear_ + 1, width_); }

    bool find(unsigned prefix, unsigned pixel, unsigned& code) const {
        auto it = dict_.find(prefix << 12 | pixel);
        if (it == dict_.end()) return false;
        code = it->second;
        return true;
    }
    bool add(unsigned prefix, unsigned pixel) {
        if (next_ >= 4096) return false;
        dict_[prefix << 12 | pixel] = next_++;
        return true;
    }
    bytes finish() { return out_.finish(); }

private:
    void reset() {
        dict_.clear();
        width_ = min_ + 1;
        next_ = decoder_next_ = clear_ + 2;
        first_ = true;
    }

    int min_;
    unsigned clear_;
    bit_packer out_;
    std::unordered_map<unsigned, unsigned> dict_;
    int width_ = 0;
    unsigned next_ = 0, decoder_next_ = 0;
    bool first_ = true;
};

// Entry count 2..256, a power of two, to the descriptor's size field; -1 for none.
int table_size_field(const bytes& table) {
    if (table.empty()) return -1;
    for (int n = 0; n < 8; ++n)
        if (table.size() == 3u << (n + 1)) return n;
    throw std::invalid_argument("colour table size must be 2..256 entries, a power of two");
}

void put16(bytes& out, int v) {
    out.push_back(v & 0xFF);
    out.push_back((v >> 8) & 0xFF);
}

void append(bytes& out, const bytes& b) { out.insert(out.end(), b.begin(), b.end()); }

}  // namespace

bytes lzw_encode(const bytes& pixels, int min_code_size, const lzw_options& opt) {
    if (min_code_size < 2 || min_code_size > 11)
        throw std::invalid_argument("minimum code size must be 2..11");
    lzw_state lzw(min_code_size);
    if (opt.leading_clear) lzw.clear();
    int since_clear = 0;
    bool have = false;
    unsigned cur = 0;
    for (std::uint8_t p : pixels) {
        if (p >> min_code_size) throw std::invalid_argument("pixel index too large for code size");
        unsigned code;
        if (!have) {
            cur = p;
            have = true;
        } else if (lzw.find(cur, p, code)) {
            cur = code;
        } else {
            lzw.data(cur);
            if (opt.clear_after > 0 && ++since_clear == opt.clear_after) {
                lzw.clear();
                since_clear = 0;
            } else if (!lzw.add(cur, p) && opt.clear_when_full) {
                lzw.clear();
                since_clear = 0;
            }
            cur = p;
        }
    }
    if (have) lzw.data(cur);
    if (opt.end_code) lzw.end();
    return lzw.finish();
}

bytes sub_blocks(const bytes& stream, const std::vector<std::size_t>& sizes, bool terminator) {
    if (sizes.empty()) throw std::invalid_argument("no block sizes");
    bytes out;
    std::size_t pos = 0;
    for (std::size_t i = 0; pos < stream.size(); ++i) {
        std::size_t n = sizes[i % sizes.size()];
        if (n < 1 || n > 255) throw std::invalid_argument("block size must be 1..255");
        if (n > stream.size() - pos) n = stream.size() - pos;
        out.push_back(static_cast<std::uint8_t>(n));
        out.insert(out.end(), stream.begin() + pos, stream.begin() + pos + n);
        pos += n;
    }
    if (terminator) out.push_back(0);
    return out;
}

gif_builder& gif_builder::header(int width, int height, const bytes& global_table,
                                 const std::string& version, int background) {
    out_ = {'G', 'I', 'F'};
    out_.insert(out_.end(), version.begin(), version.end());
    put16(out_, width);
    put16(out_, height);
    int n = table_size_field(global_table);
    out_.push_back(n < 0 ? 0 : 0x80 | n << 4 | n);  // colour resolution mirrors the table size
    out_.push_back(background & 0xFF);
    out_.push_back(0);  // no aspect ratio
    append(out_, global_table);
    return *this;
}

gif_builder& gif_builder::gce(const gce_fields& g) {
    append(out_, {0x21, 0xF9, 0x04});
    out_.push_back((g.disposal & 7) << 2 | g.user_input << 1 | g.transparent);
    put16(out_, g.delay);
    append(out_, {static_cast<std::uint8_t>(g.index), 0x00});
    return *this;
}

gif_builder& gif_builder::comment(const std::vector<std::string>& chunks) {
    append(out_, {0x21, 0xFE});
    for (const auto& c : chunks) {
        if (c.empty() || c.size() > 255) throw std::invalid_argument("comment chunk must be 1..255 bytes");
        out_.push_back(static_cast<std::uint8_t>(c.size()));
        out_.insert(out_.end(), c.begin(), c.end());
    }
    out_.push_back(0);
    return *this;
}

gif_builder& gif_builder::application(const std::string& ident11, const std::vector<bytes>& blocks) {
    if (ident11.size() != 11) throw std::invalid_argument("application identifier must be 11 bytes");
    append(out_, {0x21, 0xFF, 0x0B});
    out_.insert(out_.end(), ident11.begin(), ident11.end());
    for (const auto& b : blocks) append(out_, sub_blocks(b, {255}, false));
    out_.push_back(0);
    return *this;
}

gif_builder& gif_builder::plain_text(const std::string& text) {
    // Grid at 0,0 of 8x8 pixels, 8x8 cells, foreground 1, background 0.
    append(out_, {0x21, 0x01, 0x0C, 0, 0, 0, 0, 8, 0, 8, 0, 8, 8, 1, 0});
    append(out_, sub_blocks(bytes(text.begin(), text.end())));
    return *this;
}

gif_builder& gif_builder::netscape_loop(int count) {
    return application("NETSCAPE2.0", {{1, static_cast<std::uint8_t>(count & 0xFF),
                                        static_cast<std::uint8_t>((count >> 8) & 0xFF)}});
}

void gif_builder::descriptor(const image_spec& im) {
    out_.push_back(0x2C);
    for (int v : {im.left, im.top, im.width, im.height}) put16(out_, v);
    int n = table_size_field(im.local_table);
    out_.push_back((n < 0 ? 0 : 0x80 | n) | (im.interlace ? 0x40 : 0));
    append(out_, im.local_table);
    out_.push_back(static_cast<std::uint8_t>(im.min_code_size));
}

gif_builder& gif_builder::image(const image_spec& im) {
    descriptor(im);
    append(out_, sub_blocks(lzw_encode(im.pixels, im.min_code_size, im.lzw), im.block_sizes));
    return *this;
}

gif_builder& gif_builder::image_raw(const image_spec& im, const bytes& data_after_min_code_size) {
    descriptor(im);
    append(out_, data_after_min_code_size);
    return *this;
}

gif_builder& gif_builder::raw(const bytes& b) {
    append(out_, b);
    return *this;
}

gif_builder& gif_builder::trailer() {
    out_.push_back(0x3B);
    return *this;
}

namespace {
// Small deterministic generator so that test data is the same on every run.
struct rng {
    std::uint32_t s;
    std::uint32_t next() {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return s;
    }
};
}  // namespace

bytes palette(int entries, unsigned seed) {
    rng r{seed * 2654435761u | 1};
    bytes out;
    for (int i = 0; i < entries; ++i) {
        std::uint32_t v = r.next();
        // The index in the top bits keeps neighbouring entries apart.
        out.push_back(static_cast<std::uint8_t>((i * 97 + (v & 0x1F)) & 0xFF));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
        out.push_back(static_cast<std::uint8_t>(v >> 16));
    }
    return out;
}

bytes pattern(int width, int height, int colours, unsigned seed) {
    rng r{seed * 2246822519u | 1};
    bytes out(static_cast<std::size_t>(width) * height);
    unsigned cur = 0;
    for (auto& p : out) {
        if (r.next() % 6 == 0) cur = r.next() % colours;
        p = static_cast<std::uint8_t>(cur);
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

}  // namespace testgif
