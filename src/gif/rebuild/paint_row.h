// Draws a run of a frame's indices on a row of its canvas: each pixel
// takes its index's colour, but keeps what it had where the index is the
// transparent one. With AVX2, eight pixels at a time (the colours looked
// up in one gather); the processor's copy is chosen when first used.
#pragma once

#include <cstdint>

// `transparent` above 255: none is. colours holds 256 entries.
void paint_row(std::uint32_t* out, const std::uint8_t* in, std::int64_t n, const std::uint32_t* colours,
               std::uint32_t transparent);

// The same on a canvas of indices: each pixel takes its index, but keeps
// what it had where the index is the transparent one.
void paint_index_row(std::uint8_t* out, const std::uint8_t* in, std::int64_t n, std::uint32_t transparent);

// Turns every `from` in a row of indices into `to`.
void replace_index_row(std::uint8_t* row, std::int64_t n, std::uint8_t from, std::uint8_t to);
