#include "gif_scan.h"

#include <algorithm>

namespace testgif {

code_counter::code_counter(int min_code_size)
    : clear_(1u << min_code_size), min_(min_code_size), width_(min_code_size + 1),
      next_(static_cast<int>(clear_) + 2) {}

bool code_counter::take(std::uint8_t byte) {
    if (ended_) return true;
    acc_ |= std::uint32_t{byte} << bits_;
    bits_ += 8;
    while (!ended_ && bits_ >= width_) {
        unsigned c = acc_ & ((1u << width_) - 1);
        acc_ >>= width_;
        bits_ -= width_;
        code(c);
    }
    return ended_;
}

// A decoder adds an entry for every data code that follows another; the
// width grows once the next entry no longer fits, up to 12 bits, and the
// table stops growing at 4096 entries until a clear code comes.
void code_counter::code(unsigned c) {
    if (c == clear_) {
        width_ = min_ + 1;
        next_ = static_cast<int>(clear_) + 2;
        prev_ = -1;
    } else if (c == clear_ + 1) {
        ended_ = true;
    } else {
        unsigned limit = prev_ < 0 ? clear_ + 1 : static_cast<unsigned>(next_);
        if (min_ >= 2 && c > limit) unmade_ = true;
        if (prev_ >= 0 && next_ < 4096) {
            ++next_;
            if (next_ == (1 << width_) && width_ < 12) ++width_;
        }
        prev_ = static_cast<int>(c);
    }
}

namespace {

std::size_t table_bytes(std::uint8_t packed) { return 3u << ((packed & 7) + 1); }

// A cursor over the file that refuses to run past its end.
struct cursor {
    const bytes& f;
    std::size_t pos = 0;
    bool has(std::size_t n) const { return f.size() - pos >= n; }
    int next() { return has(1) ? f[pos++] : -1; }
    bytes take(std::size_t n) {
        bytes b(f.begin() + static_cast<long>(pos), f.begin() + static_cast<long>(pos + n));
        pos += n;
        return b;
    }
};

// Skips sub-blocks up to their zero length byte; false when the file ends first.
bool skip_chain(cursor& c) {
    for (;;) {
        int len = c.next();
        if (len < 0) return false;
        if (len == 0) return true;
        if (!c.has(static_cast<std::size_t>(len))) return false;
        c.pos += static_cast<std::size_t>(len);
    }
}

// An extension after its introducer: every label is followed by a chain
// of sub-blocks. Returns false when the file ends inside it.
bool extension(cursor& c, own_control& pending) {
    int label = c.next();
    if (label < 0) return false;
    if (label == 0x01) pending = own_control{};  // a caption takes the control before it
    if (label != 0xF9) return skip_chain(c);
    int len = c.next();
    if (len < 0) return false;
    if (len == 0) return true;
    if (!c.has(static_cast<std::size_t>(len))) return false;
    if (len >= 4) pending = own_control{true, c.f[c.pos], c.f[c.pos + 3], c.f[c.pos + 1] | c.f[c.pos + 2] << 8};
    c.pos += static_cast<std::size_t>(len);
    return skip_chain(c);
}

// The image after its separator. Returns false when the pass stops in it
// (with the image recorded when its data had begun).
bool image(cursor& c, const own_control& pending, std::vector<scanned_image>& images) {
    scanned_image im;
    im.at = c.pos - 1;
    if (!c.has(9)) return false;
    im.descriptor = c.take(9);
    if (im.descriptor[8] & 0x80) {
        std::size_t n = table_bytes(im.descriptor[8]);
        if (!c.has(n)) return false;
        im.local_table = c.take(n);
    }
    im.code_size = c.next();
    if (im.code_size < 0 || im.code_size > max_min_code_size) return false;
    im.control = pending;
    code_counter codes(im.code_size);
    bool go_on = true;
    for (;;) {
        int len = c.next();
        if (len <= 0) {  // the stream's own terminator, or the end of the file
            im.whole = len == 0;
            go_on = len == 0;
            break;
        }
        std::size_t n = static_cast<std::size_t>(len);
        if (!c.has(n)) {  // a sub-block cut short is not copied
            c.pos = c.f.size();
            go_on = false;
            break;
        }
        im.data.push_back(static_cast<std::uint8_t>(len));
        bool ended = false;
        for (std::size_t i = 0; i < n; ++i) {
            im.data.push_back(c.f[c.pos + i]);
            ended = ended || codes.take(c.f[c.pos + i]);
        }
        c.pos += n;
        im.unmade_code = codes.named_unmade();
        if (ended) {
            im.whole = im.end_code = true;
            go_on = skip_chain(c);
            break;
        }
    }
    im.data_end = c.pos;
    images.push_back(std::move(im));
    return go_on;
}

}  // namespace

scanned_file scan_gif(const bytes& file) {
    scanned_file s;
    cursor c{file};
    if (!c.has(13) || file[0] != 'G' || file[1] != 'I' || file[2] != 'F') return s;
    c.pos = 13;
    std::uint8_t packed = file[10];
    s.size_field = packed & 7;
    if (packed & 0x80) {
        if (!c.has(table_bytes(packed))) return s;
        s.global_table = c.take(table_bytes(packed));
    }
    s.is_gif = true;
    s.header.assign(file.begin(), file.begin() + static_cast<long>(c.pos));
    own_control pending;
    for (bool go_on = true; go_on;) {
        s.end = c.pos;
        int introducer = c.next();
        if (introducer == 0x21) {
            go_on = extension(c, pending);
        } else if (introducer == 0x2C) {
            go_on = image(c, pending, s.images);
            pending = own_control{};
        } else {
            go_on = false;
        }
    }
    s.end = std::min(c.pos, file.size());
    return s;
}

namespace {

void append(bytes& out, const bytes& b) { out.insert(out.end(), b.begin(), b.end()); }

bytes frame_control(int delay, const own_control& own) {
    std::uint8_t packed = 0x04, index = 0;
    if (own.present) {
        int disposal = own.packed >> 2 & 7;
        if (disposal != 2 && disposal != 3) disposal = 1;
        bool transparent = own.packed & 1;
        packed = static_cast<std::uint8_t>(disposal << 2 | transparent);
        index = transparent ? own.index : 0;
    }
    unsigned d = static_cast<unsigned>(delay);
    return {0x21, 0xF9, 0x04, packed, std::uint8_t(d & 0xFF), std::uint8_t(d >> 8 & 0xFF), index, 0x00};
}

}  // namespace

bytes expected_pass(const scanned_file& file, int role, int delay, saved_colours& saved) {
    bytes out;
    if (!file.is_gif) return out;
    saved.resize(768);
    std::copy(file.global_table.begin(), file.global_table.end(), saved.begin());
    if (role == 0 || role == -2) {
        bytes header = file.header;
        header[4] = '9';
        append(out, header);
    }
    if (role == 0)
        append(out, {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0});
    std::size_t screen_entries = 2u << file.size_field;
    for (const scanned_image& im : file.images) {
        append(out, frame_control(delay, im.control));
        out.push_back(0x2C);
        bytes descriptor = im.descriptor;
        if (im.local_table.empty())
            descriptor[8] = static_cast<std::uint8_t>(0x80 | (descriptor[8] & 0x78) | file.size_field);
        append(out, descriptor);
        if (im.local_table.empty())
            out.insert(out.end(), saved.begin(), saved.begin() + static_cast<long>(3 * screen_entries));
        else
            append(out, im.local_table);
        out.push_back(static_cast<std::uint8_t>(im.code_size));
        append(out, im.data);
        out.push_back(0x00);
    }
    return out;
}

std::size_t first_difference(const bytes& a, const bytes& b) {
    std::size_t n = std::min(a.size(), b.size());
    return static_cast<std::size_t>(std::mismatch(a.begin(), a.begin() + static_cast<long>(n), b.begin()).first -
                                    a.begin());
}

}  // namespace testgif
