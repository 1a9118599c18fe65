// Packs codes into data sub-blocks: codes of any width, least significant
// bit first, into blocks of up to 255 bytes, each behind its length byte,
// handed whole to a writer as they fill. Without a writer it only counts
// their bytes. It knows nothing of files: the writer does.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gif/layout.h"

struct sub_block_writer {
    void (*write)(void* context, const std::uint8_t* block, std::size_t n) = nullptr;
    void* context = nullptr;
};

struct code_sink {
    sub_block_writer to;      // where the sub-blocks go; none: they are counted
    std::uint64_t bytes = 0;  // sub-block bytes so far, length bytes included
    std::uint64_t limit = UINT64_MAX;  // when counting: stop once past this many
    std::uint32_t acc = 0;    // bits not yet written, least significant first
    int bits = 0;
    std::uint8_t block[1 + layout::max_sub_block] = {};
    std::size_t fill = 0;

    bool counting() const { return to.write == nullptr; }
    void put(unsigned code, int width) {
        acc |= code << bits;
        for (bits += width; bits >= 8; bits -= 8, acc >>= 8) put_byte(static_cast<std::uint8_t>(acc));
    }
    // Takes n whole bytes of codes already packed; only while no bits are
    // waiting.
    void put_bytes(const std::uint8_t* b, std::size_t n);
    // Puts the codes another sink packed: its n whole bytes, then the
    // `last_bits` bits of `last` it had left.
    void append(const std::uint8_t* b, std::size_t n, std::uint32_t last, int last_bits);
    // Writes the last bits and the last sub-block (not the terminator).
    void finish();
    // Hands on the sub-block as far as it is filled, keeping the bits left.
    void end_block();

private:
    void put_byte(std::uint8_t b) {
        block[1 + fill++] = b;
        if (fill == layout::max_sub_block) end_block();
    }
};
