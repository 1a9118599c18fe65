// Decodes an LZW code stream into colour indices, in constant memory: the
// table is 4096 entries of prefix, last index, first index and length, and
// each string is written straight into its place in the output, from its
// end back. Without an output it only counts: how many indices the stream
// gives, which ones, and where it stops being decodable (browsers refuse a
// frame whose stream gives fewer pixels than it holds before its end code,
// its end, or a code that names an entry not made yet). It knows nothing
// of files or sub-blocks: it takes the stream's bytes in order, as many at
// a time as the caller has.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gif/lzw/lzw_walker.h"

enum class decode_stop {
    more,      // the stream has given fewer indices than wanted so far
    full,      // it has given all that were wanted
    room,      // its output area is full: give it another to go on
    end_code,  // the end-of-information code came first
    bad_code,  // a code named an entry not made yet
};

struct lzw_decoder {
    // Registers of the decoder.
    int code_size;
    int width;           // bits of the next code
    unsigned clear_code;
    unsigned next;       // number of the next table entry
    int prev;            // previous code, -1 at the start or after a clear
    std::uint32_t acc;   // bits read and not yet taken, least significant first
    int bits;
    // What it gave.
    std::uint8_t* out;   // where the indices go; none: they are counted
    std::uint64_t out_base;  // the index out[0] holds
    std::uint64_t behind;    // indices given just before out_base that lie before out[0]
    std::uint64_t out_stop;  // stop with `room` once this many are given
    std::uint64_t want;  // how many are wanted
    std::uint64_t given; // how many it has given
    std::uint64_t bit;   // stream bits before the code that stopped it, or all whole codes
    decode_stop stop;
    std::size_t took;    // bytes the last decoder_take took
    std::uint64_t used[4];  // indices its strings start with, a bit each: every index given
    // The table: entry e is the string of entry prefix[e], then last[e].
    std::uint16_t prefix[lzw_table_size];
    std::uint8_t last[lzw_table_size];
    std::uint8_t first[lzw_table_size];
    std::uint16_t length[lzw_table_size];
    // Where each entry's string was given, the low 32 bits of its first
    // index: while that lies in the output area, the string is copied from
    // there rather than followed through its prefixes.
    std::uint32_t given_at[lzw_table_size];
    std::uint64_t prev_at;  // where the previous code's string was given
};

// Resets for a stream of minimum code size 1 to 8 whose indices go to
// out (nullptr: counted only), `want` of them at most.
void decoder_start(lzw_decoder& d, int code_size, std::uint8_t* out, std::uint64_t want);

// Bytes an output area needs beyond its room: a string that starts within
// the room may reach into them, and strings are copied 16 bytes at a time.
constexpr std::size_t decoder_slack = lzw_table_size + 16;

// Gives the decoder an output area of room + decoder_slack bytes for the
// indices from the next one on: it stops with `room` once it has given room
// or more of them there, so a frame of any size decodes through a small
// buffer.
void decoder_output(lzw_decoder& d, std::uint8_t* out, std::size_t room);

// Goes on in the same buffer of history + room + decoder_slack bytes, its
// area at buffer + history: the last indices given (up to history of them)
// move before the area, so that later strings are copied from there
// rather than followed through the table.
void decoder_next_area(lzw_decoder& d, std::uint8_t* buffer, std::size_t history, std::size_t room);

// Takes the next n bytes of the stream; returns the stop, `more` while more
// can be taken. A string that reaches past `want` is cut there. After
// `room`, the bytes not yet taken are the last n - took.
decode_stop decoder_take(lzw_decoder& d, const std::uint8_t* bytes, std::size_t n);

// The lowest index below 2^code_size that the stream has not given, -1 if
// none.
int decoder_unused_index(const lzw_decoder& d);
