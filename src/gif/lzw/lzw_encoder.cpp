#include "gif/lzw/lzw_encoder.h"

#include <cstring>

#include "gif/lzw/lzw_walker.h"

namespace {

constexpr int entry_bits = 12;
constexpr std::uint32_t entry_mask = (1u << entry_bits) - 1;
constexpr std::size_t slot_mask = lzw_hash_slots - 1;

// The table knows an entry by its mix, the entry times an odd number
// modulo 4096: one to one, so a string is still its prefix's mix and its
// index, and consecutive entries lie far apart. A string's slot is its
// prefix's mix (12 bits) with its index's spread (13 bits) laid over it:
// one lookup leads to the next through a mask and an exclusive or, and
// only a code written out is turned back from its mix.
constexpr std::uint32_t mix_factor = 2531, unmix_factor = 971;  // 2531 * 971 = 1 modulo 4096
static_assert(mix_factor * unmix_factor % lzw_table_size == 1, "unmixing undoes mixing");
std::uint32_t mix_of(std::uint32_t code) { return code * mix_factor & entry_mask; }
std::uint32_t code_of(std::uint32_t mix) { return mix * unmix_factor & entry_mask; }
std::uint32_t spread_of(std::uint32_t index) { return (index * 0x85EBCA77u) >> (32 - lzw_hash_bits); }

void start_table(lzw_encoder& e) {
    std::memset(e.slot, 0, sizeof e.slot);
    e.width = e.code_size + 1;
    e.next = (1u << e.code_size) + 2;
}

// The decoder makes an entry for each code after the first; it widens its
// codes once it has made the entry the current width cannot name.
void entry_made(lzw_encoder& e) {
    if (e.next++ == (1u << e.width) && e.width < lzw_max_width) ++e.width;
}

// Codes packed into whole bytes, a word at a time, before they go to the
// sink: the loop writes past its end by up to 8 bytes.
struct packed_codes {
    std::uint64_t acc;
    int bits;
    std::uint8_t* at;
    std::uint8_t* const start;
};

void flush_packed(packed_codes& p, code_sink& out) {
    out.put_bytes(p.start, static_cast<std::size_t>(p.at - p.start));
    p.at = p.start;
}

}  // namespace

void encoder_start_after_clear(lzw_encoder& e, int code_size, code_sink& out) {
    e.out = &out;
    e.code_size = code_size;
    e.prefix = -1;
    start_table(e);
}

void encoder_start(lzw_encoder& e, int code_size, code_sink& out) {
    encoder_start_after_clear(e, code_size, out);
    out.put(1u << code_size, e.width);
}

// The codes' registers stay in locals through the loop: the bytes it
// writes could otherwise alias them.
void encoder_take(lzw_encoder& e, const std::uint8_t* indices, std::size_t n) {
    std::size_t i = 0;
    if (n > 0 && e.prefix < 0) e.prefix = indices[i++];
    if (e.prefix < 0) return;
    std::uint8_t stage[lzw_stage_bytes + 16];
    packed_codes p{e.out->acc, e.out->bits, stage, stage};
    e.out->acc = 0;
    e.out->bits = 0;
    std::uint32_t* const slots = e.slot;
    std::uint32_t mix = mix_of(static_cast<std::uint32_t>(e.prefix));  // of the string so far
    std::uint32_t next = e.next;
    int width = e.width;
    for (; i < n; ++i) {
        std::uint32_t index = indices[i], key = mix << 8 | index;
        std::size_t at = mix ^ spread_of(index);  // below lzw_hash_slots
        std::uint32_t s = slots[at];
        while (s != 0 && s >> entry_bits != key) s = slots[at = (at + 1) & slot_mask];
        if (s != 0) {  // the string goes on
            mix = s & entry_mask;
            continue;
        }
        // It ends: its code goes out, and its entry with this index is made.
        p.acc |= std::uint64_t{code_of(mix)} << p.bits;
        p.bits += width;
        std::memcpy(p.at, &p.acc, sizeof p.acc);
        int whole = p.bits >> 3;
        p.at += whole;
        p.acc >>= whole * 8;
        p.bits &= 7;
        if (next < lzw_table_size) {
            slots[at] = key << entry_bits | mix_of(next);
            if (next++ == (1u << width) && width < lzw_max_width) ++width;
        } else {  // the table is full: start it again
            flush_packed(p, *e.out);
            e.out->acc = static_cast<std::uint32_t>(p.acc);
            e.out->bits = p.bits;
            e.out->put(1u << e.code_size, width);
            start_table(e);
            next = e.next;
            width = e.width;
            p.acc = e.out->acc;
            p.bits = e.out->bits;
            e.out->acc = 0;
            e.out->bits = 0;
        }
        mix = mix_of(index);
        if (p.at - stage >= static_cast<std::ptrdiff_t>(lzw_stage_bytes)) flush_packed(p, *e.out);
    }
    flush_packed(p, *e.out);
    e.out->acc = static_cast<std::uint32_t>(p.acc);
    e.out->bits = p.bits;
    e.prefix = static_cast<int>(code_of(mix));
    e.next = next;
    e.width = width;
}

namespace {

// Puts the string so far, then `code` at the width the decoder reads it.
void end_string(lzw_encoder& e, unsigned code) {
    if (e.prefix >= 0) {
        e.out->put(static_cast<unsigned>(e.prefix), e.width);
        // The code just written made an entry in the decoder, which may have
        // widened its codes for the next.
        if (e.next < lzw_table_size) entry_made(e);
    }
    e.out->put(code, e.width);
    e.prefix = -1;
}

}  // namespace

void encoder_clear(lzw_encoder& e) {
    end_string(e, 1u << e.code_size);
    start_table(e);
}

void encoder_close(lzw_encoder& e) { end_string(e, (1u << e.code_size) + 1); }

void encoder_finish(lzw_encoder& e) {
    encoder_close(e);
    e.out->finish();
}
