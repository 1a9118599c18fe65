#include "gif/lzw/lzw_decoder.h"

#include <cstring>

namespace {

// The registers of the decoder, held in locals while it takes a run of
// codes: the indices it writes could otherwise alias them.
struct registers {
    std::uint64_t acc;
    int bits, width;
    unsigned next;
    int prev;
    std::uint64_t given, prev_at, bit;

    explicit registers(const lzw_decoder& d)
        : acc(d.acc), bits(d.bits), width(d.width), next(d.next), prev(d.prev), given(d.given), prev_at(d.prev_at), bit(d.bit) {}
    void put_back(lzw_decoder& d) const {
        d.acc = acc;
        d.bits = bits;
        d.width = width;
        d.next = next;
        d.prev = prev;
        d.given = given;
        d.prev_at = prev_at;
        d.bit = bit;
    }
};

void clear_table(lzw_decoder& d) {
    d.width = d.code_size + 1;
    d.next = d.clear_code + 2;
    d.prev = -1;
}

// Copies n indices from `back` bytes before `to`, forwards: 16 at a time
// where the two are that far apart (the area's slack takes what the last
// copy writes beyond n), else one at a time, as a string that repeats
// itself is written.
inline void copy_back(std::uint8_t* to, std::uint64_t back, std::uint64_t n) {
    const std::uint8_t* from = to - back;
    if (back >= 16) {
        for (std::uint64_t k = 0; k < n; k += 16) std::memcpy(to + k, from + k, 16);
        return;
    }
    for (std::uint64_t k = 0; k < n; ++k) to[k] = from[k];
}

// Writes n indices of the string of entry e (len long) at index `given`,
// where it cannot be copied from where it was given before: from its end
// back through its prefixes. Kept out of line, so that the common case
// stays small enough to sit in the loop over codes.
[[gnu::noinline]] void walk_string(lzw_decoder& d, std::uint8_t* to, unsigned e, std::uint64_t len, std::uint64_t n) {
    for (std::uint64_t k = len; k-- > 0; e = d.prefix[e])
        if (k < n) to[k] = d.last[e];
}

// Writes n indices of the string of entry e (len long) at index `given`:
// copied from where it was given before, while that lies in the buffer,
// else walked.
inline void write_string(lzw_decoder& d, std::uint64_t given, unsigned e, std::uint64_t len, std::uint64_t n) {
    std::uint8_t* to = d.out + (given - d.out_base);
    if (len == 1) {
        *to = d.last[e];
        return;
    }
    std::uint64_t back = static_cast<std::uint32_t>(static_cast<std::uint32_t>(given) - d.given_at[e]);
    if (back > 0 && back <= given - d.out_base + d.behind)
        copy_back(to, back, n);
    else
        walk_string(d, to, e, len, n);
}

// Gives the string of entry e, cut at `want`: written where there is an
// output, else counted.
inline void put_string(lzw_decoder& d, registers& r, unsigned e) {
    std::uint64_t len = d.length[e], room = d.want - r.given, n = len < room ? len : room;
    d.used[d.first[e] >> 6] |= std::uint64_t{1} << (d.first[e] & 63);
    if (d.out) write_string(d, r.given, e, len, n);
    r.prev_at = r.given;
    r.given += n;
}

// Acts on one code; returns the stop it causes.
decode_stop take_code(lzw_decoder& d, registers& r, unsigned code) {
    if (code >= d.clear_code) {
        if (code == d.clear_code) {
            r.width = d.code_size + 1;
            r.next = d.clear_code + 2;
            r.prev = -1;
            return decode_stop::more;
        }
        if (code == d.clear_code + 1) return decode_stop::end_code;
    }
    if (r.prev < 0) {
        if (code > d.clear_code) return decode_stop::bad_code;  // no entry is made yet
        put_string(d, r, code);
        r.prev = static_cast<int>(code);
        return decode_stop::more;
    }
    unsigned prev = static_cast<unsigned>(r.prev);
    if (code > r.next || (code == r.next && r.next == lzw_table_size)) return decode_stop::bad_code;
    if (r.next < lzw_table_size) {
        // The entry about to be made: the previous string and the first
        // index of this code's string; where the code names that very
        // entry, its first index is the previous string's, set just before.
        unsigned e = r.next;
        d.prefix[e] = static_cast<std::uint16_t>(prev);
        d.first[e] = d.first[prev];
        d.last[e] = d.first[code];
        d.length[e] = static_cast<std::uint16_t>(d.length[prev] + 1);
        d.given_at[e] = static_cast<std::uint32_t>(r.prev_at);  // the previous string, then this code's first index
        if (++r.next == (1u << r.width) && r.width < lzw_max_width) ++r.width;
    }
    put_string(d, r, code);
    r.prev = static_cast<int>(code);
    return decode_stop::more;
}

}  // namespace

void decoder_start(lzw_decoder& d, int code_size, std::uint8_t* out, std::uint64_t want) {
    d.code_size = code_size;
    d.clear_code = 1u << code_size;
    clear_table(d);
    d.acc = 0;
    d.bits = 0;
    d.out = out;
    d.out_base = 0;
    d.behind = 0;
    d.out_stop = UINT64_MAX;
    d.want = want;
    d.given = 0;
    d.prev_at = 0;
    d.bit = 0;
    d.stop = want == 0 ? decode_stop::full : decode_stop::more;
    for (std::uint64_t& word : d.used) word = 0;
    for (unsigned i = 0; i < d.clear_code; ++i) {
        d.prefix[i] = 0;
        d.last[i] = d.first[i] = static_cast<std::uint8_t>(i);
        d.length[i] = 1;
        d.given_at[i] = 0;
    }
}

void decoder_output(lzw_decoder& d, std::uint8_t* out, std::size_t room) {
    d.out = out;
    d.out_base = d.given;
    d.behind = 0;
    d.out_stop = d.given + room;
    if (d.stop == decode_stop::room) d.stop = decode_stop::more;
}

void decoder_next_area(lzw_decoder& d, std::uint8_t* buffer, std::size_t history, std::size_t room) {
    std::uint8_t* area = buffer + history;
    std::uint64_t given = d.given - d.out_base, have = given + d.behind;
    std::size_t keep = static_cast<std::size_t>(have < history ? have : history);
    std::memmove(area - keep, d.out + given - keep, keep);
    decoder_output(d, area, room);
    d.behind = keep;
}

decode_stop decoder_take(lzw_decoder& d, const std::uint8_t* bytes, std::size_t n) {
    std::size_t i = 0;
    registers r(d);
    while (d.stop == decode_stop::more) {
        if (r.bits < r.width) {  // bytes in: four at a time while there are so many
            if (n - i >= 4) {
                r.acc |= std::uint64_t{std::uint32_t{bytes[i]} | std::uint32_t{bytes[i + 1]} << 8 |
                                       std::uint32_t{bytes[i + 2]} << 16 | std::uint32_t{bytes[i + 3]} << 24}
                         << r.bits;
                r.bits += 32;
                i += 4;
            } else {
                for (; i < n && r.bits < r.width; r.bits += 8) r.acc |= std::uint64_t{bytes[i++]} << r.bits;
            }
            if (r.bits < r.width) break;
        }
        unsigned code = static_cast<unsigned>(r.acc) & ((1u << r.width) - 1);
        int width = r.width;
        d.stop = take_code(d, r, code);
        if (d.stop != decode_stop::more) break;  // the code that stops it is not taken
        r.acc >>= width;
        r.bits -= width;
        r.bit += static_cast<std::uint64_t>(width);
        if (r.given >= d.want)
            d.stop = decode_stop::full;
        else if (r.given >= d.out_stop)
            d.stop = decode_stop::room;
    }
    r.put_back(d);
    d.took = i;
    return d.stop;
}

int decoder_unused_index(const lzw_decoder& d) {
    for (unsigned i = 0; i < d.clear_code; ++i)
        if (!(d.used[i >> 6] >> (i & 63) & 1)) return static_cast<int>(i);
    return -1;
}
