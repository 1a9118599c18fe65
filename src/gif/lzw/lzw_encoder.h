// Encodes colour indices as an LZW code stream, in constant memory: the
// strings made so far are found in a hash table of 16384 slots, each a
// prefix code with the index after it and the entry they make. A clear
// code starts the stream and comes again once the table is full; the end
// code closes it. Codes go to a code_sink, which packs them into data
// sub-blocks. The indices may come a few at a time, a row as it is made.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gif/lzw/run_code.h"

constexpr int lzw_hash_bits = 14;
constexpr std::size_t lzw_hash_slots = std::size_t{1} << lzw_hash_bits;  // four for each entry, so probes stay short
constexpr std::size_t lzw_stage_bytes = 1024;  // codes packed before they go to the sink

struct lzw_encoder {
    // Registers of the encoder.
    code_sink* out = nullptr;
    int code_size = 2;
    int width = 3;       // bits of the next code
    unsigned next = 0;   // the entry the decoder makes next
    int prefix = -1;     // the string so far, -1 before the first index
    // The table of strings made: each slot holds the entry a string makes
    // (bits 0 to 11), its prefix code and index (prefix << 8 | index, bits
    // 12 to 31) and the entry's mix (above); 0: empty (no entry is 0).
    std::uint64_t slot[lzw_hash_slots];
};

// Starts a stream of indices below 2^code_size (code size 2 to 8).
void encoder_start(lzw_encoder& e, int code_size, code_sink& out);

// Takes the next n indices of the stream.
void encoder_take(lzw_encoder& e, const std::uint8_t* indices, std::size_t n);

// Ends the stream and finishes the sink's last sub-block (not its terminator).
void encoder_finish(lzw_encoder& e);
