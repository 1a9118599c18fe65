// Encodes colour indices as an LZW code stream, in constant memory: the
// strings made so far are found in a hash table of 5003 slots, each a
// prefix code with the index after it. A clear code starts the stream and
// comes again once the table is full; the end code closes it. Codes go to
// a code_sink, which packs them into data sub-blocks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gif/lzw/run_code.h"

constexpr std::size_t lzw_hash_slots = 5003;  // a prime above 4096, so probes spread

struct lzw_encoder {
    std::uint32_t key[lzw_hash_slots];    // prefix << 8 | index, plus one; 0: empty
    std::uint16_t code[lzw_hash_slots];   // the entry that string is
};

// Writes the stream for n indices, each below 2^code_size (code size 2 to
// 8), and finishes the sink's last sub-block (not its terminator).
void lzw_encode(lzw_encoder& e, int code_size, const std::uint8_t* indices, std::size_t n, code_sink& out);
