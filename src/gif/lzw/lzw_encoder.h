// Encodes colour indices as an LZW code stream, in constant memory: the
// strings made so far are found in a hash table of 8192 slots, each a
// prefix code with the index after it and the entry they make. A clear
// code starts the stream and comes again once the table is full; the end
// code closes it. Codes go to a code_sink, which packs them into data
// sub-blocks. The indices may come a few at a time, a row as it is made.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gif/lzw/run_code.h"

constexpr int lzw_hash_bits = 13;
constexpr std::size_t lzw_hash_slots = std::size_t{1} << lzw_hash_bits;  // two for each entry
constexpr std::size_t lzw_stage_bytes = 1024;  // codes packed before they go to the sink

struct lzw_encoder {
    // Registers of the encoder.
    code_sink* out = nullptr;
    int code_size = 2;
    int width = 3;       // bits of the next code
    unsigned next = 0;   // the entry the decoder makes next
    int prefix = -1;     // the string so far, -1 before the first index
    // The table of strings made: each slot holds the mix of the entry a
    // string makes (bits 0 to 11) and its prefix's mix and index (bits 12
    // to 31); 0: empty (no entry's mix is 0).
    std::uint32_t slot[lzw_hash_slots];
};

// Starts a stream of indices below 2^code_size (code size 2 to 8).
void encoder_start(lzw_encoder& e, int code_size, code_sink& out);

// Starts the part of a stream that comes after another encoder's
// encoder_clear: as encoder_start, without the clear code.
void encoder_start_after_clear(lzw_encoder& e, int code_size, code_sink& out);

// Ends the string so far and puts a clear code: the indices after it
// start a new table, so another encoder may code them.
void encoder_clear(lzw_encoder& e);

// Ends the stream, but leaves the sink's last bits and sub-block open.
void encoder_close(lzw_encoder& e);

// Takes the next n indices of the stream.
void encoder_take(lzw_encoder& e, const std::uint8_t* indices, std::size_t n);

// Ends the stream and finishes the sink's last sub-block (not its terminator).
void encoder_finish(lzw_encoder& e);
