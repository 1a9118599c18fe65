#include "gif/lzw/lzw_decoder.h"

#include <cstring>

namespace {

void clear_table(lzw_decoder& d) {
    d.width = d.code_size + 1;
    d.next = d.clear_code + 2;
    d.prev = -1;
}

// Writes the string of entry e at the output's end, n of its indices:
// copied from where it was given before, where that lies in the output
// area (forwards, a byte at a time where the two overlap), else from its
// end back through its prefixes.
void write_string(lzw_decoder& d, unsigned e, std::uint64_t len, std::uint64_t n) {
    std::uint8_t* to = d.out + (d.given - d.out_base);
    std::uint64_t back = static_cast<std::uint32_t>(static_cast<std::uint32_t>(d.given) - d.given_at[e]);
    if (e > d.clear_code + 1 && back > 0 && back <= d.given - d.out_base) {
        const std::uint8_t* from = to - back;
        if (back >= n)
            std::memcpy(to, from, n);
        else
            for (std::uint64_t k = 0; k < n; ++k) to[k] = from[k];
        return;
    }
    for (std::uint64_t k = len; k-- > 0; e = d.prefix[e])
        if (k < n) to[k] = d.last[e];
}

// Gives the string of entry e at the output's end, cut at `want`: written
// where there is an output, else counted.
void put_string(lzw_decoder& d, unsigned e) {
    std::uint64_t len = d.length[e], room = d.want - d.given, n = len < room ? len : room;
    d.used[d.first[e] >> 6] |= std::uint64_t{1} << (d.first[e] & 63);
    if (d.out) write_string(d, e, len, n);
    d.prev_at = d.given;
    d.given += n;
}

// Acts on one code; returns the stop it causes.
decode_stop take_code(lzw_decoder& d, unsigned code) {
    if (code == d.clear_code) {
        clear_table(d);
        return decode_stop::more;
    }
    if (code == d.clear_code + 1) return decode_stop::end_code;
    if (d.prev < 0) {
        if (code > d.clear_code) return decode_stop::bad_code;  // no entry is made yet
        put_string(d, code);
        d.prev = static_cast<int>(code);
        return decode_stop::more;
    }
    unsigned prev = static_cast<unsigned>(d.prev);
    if (code > d.next || (code == d.next && d.next == lzw_table_size)) return decode_stop::bad_code;
    if (d.next < lzw_table_size) {
        // The entry about to be made: the previous string and the first
        // index of this code's string; where the code names that very
        // entry, its first index is the previous string's, set just before.
        unsigned e = d.next;
        d.prefix[e] = static_cast<std::uint16_t>(prev);
        d.first[e] = d.first[prev];
        d.last[e] = d.first[code];
        d.length[e] = static_cast<std::uint16_t>(d.length[prev] + 1);
        d.given_at[e] = static_cast<std::uint32_t>(d.prev_at);  // the previous string, then this code's first index
        if (++d.next == (1u << d.width) && d.width < lzw_max_width) ++d.width;
    }
    put_string(d, code);
    d.prev = static_cast<int>(code);
    return decode_stop::more;
}

// Takes the codes whole in the bits read so far.
void take_codes(lzw_decoder& d) {
    while (d.bits >= d.width && d.stop == decode_stop::more) {
        unsigned code = d.acc & ((1u << d.width) - 1);
        int width = d.width;
        d.stop = take_code(d, code);
        if (d.stop != decode_stop::more) break;  // the code that stops it is not taken
        d.acc >>= width;
        d.bits -= width;
        d.bit += static_cast<std::uint64_t>(width);
        if (d.given >= d.want)
            d.stop = decode_stop::full;
        else if (d.given >= d.out_stop)
            d.stop = decode_stop::room;
    }
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
    }
}

void decoder_output(lzw_decoder& d, std::uint8_t* out, std::size_t room) {
    d.out = out;
    d.out_base = d.given;
    d.out_stop = d.given + room;
    if (d.stop == decode_stop::room) d.stop = decode_stop::more;
}

decode_stop decoder_take(lzw_decoder& d, const std::uint8_t* bytes, std::size_t n) {
    std::size_t i = 0;
    take_codes(d);  // codes left whole when the output area filled
    for (; i < n && d.stop == decode_stop::more; ++i) {
        d.acc |= std::uint32_t{bytes[i]} << d.bits;
        d.bits += 8;
        take_codes(d);
    }
    d.took = i;
    return d.stop;
}

int decoder_unused_index(const lzw_decoder& d) {
    for (unsigned i = 0; i < d.clear_code; ++i)
        if (!(d.used[i >> 6] >> (i & 63) & 1)) return static_cast<int>(i);
    return -1;
}
