// Byte layouts of the blocks the file pass reads and writes. Multi-byte
// numbers are 16-bit little-endian. A colour table whose size field is N
// holds 2^(N+1) entries of red, green and blue.
#pragma once

#include <cstddef>
#include <cstdint>

namespace layout {

// Block introducers and extension labels.
constexpr std::uint8_t extension = 0x21;
constexpr std::uint8_t image_separator = 0x2C;
constexpr std::uint8_t trailer = 0x3B;
constexpr std::uint8_t label_plain_text = 0x01;
constexpr std::uint8_t label_graphic_control = 0xF9;

// Signature "GIF" and version "87a"/"89a" (the version is not checked).
constexpr std::size_t signature_size = 3;
constexpr std::size_t version_size = 3;
constexpr std::size_t version_digit = 1;  // the byte that becomes '9' in the output

// Logical screen descriptor: width (2), height (2), packed, background, aspect.
constexpr std::size_t screen_size = 7;
constexpr std::size_t screen_width = 0;
constexpr std::size_t screen_height = 2;
constexpr std::size_t screen_packed = 4;

// Packed bytes of the screen and image descriptors.
constexpr std::uint8_t table_flag = 0x80;        // a colour table follows
constexpr std::uint8_t table_size_field = 0x07;  // its N
constexpr std::uint8_t image_kept_bits = 0x78;   // interlace, sort and reserved bits

constexpr std::size_t max_table_entries = 256;
constexpr std::size_t entry_size = 3;

inline std::size_t table_entries(std::uint8_t packed) {
    return std::size_t{2} << (packed & table_size_field);
}

// Image descriptor after its separator: left, top, width, height (2 each), packed.
constexpr std::size_t image_descriptor_size = 9;
constexpr std::size_t image_left = 0;
constexpr std::size_t image_top = 2;
constexpr std::size_t image_width = 4;
constexpr std::size_t image_height = 6;
constexpr std::size_t image_packed = 8;
constexpr std::uint8_t image_interlace = 0x40;
constexpr int max_position = 0xFFFF;  // positions and sizes are 16 bits

// Graphic control extension, first sub-block: packed, delay (2), transparent index.
constexpr std::size_t control_data_size = 4;
constexpr std::size_t control_packed = 0;
constexpr std::size_t control_delay = 1;
constexpr std::size_t control_index = 3;
constexpr std::uint8_t control_transparent = 0x01;
constexpr std::uint8_t control_disposal = 0x1C;
constexpr int control_disposal_shift = 2;

// Frame control block written before every output image:
// 21 F9 04 packed delay(2) index 00.
constexpr std::size_t frame_control_size = 8;
constexpr std::size_t frame_control_packed = 3;
constexpr std::size_t frame_control_delay = 4;
constexpr std::size_t frame_control_index = 6;
constexpr std::uint8_t frame_control_template[frame_control_size] = {
    0x21, 0xF9, 0x04, 0x04, 0x00, 0x00, 0x00, 0x00};
constexpr int disposal_keep = 1;
constexpr int disposal_clear = 2;    // clear the frame's rectangle after it
constexpr int disposal_restore = 3;  // put back what the rectangle held before

// Looping block: application extension "NETSCAPE2.0" with a loop count,
// here 0, which viewers take as "repeat for ever".
constexpr std::size_t loop_block_size = 19;
constexpr std::size_t loop_block_count = 16;
constexpr std::uint8_t loop_block[loop_block_size] = {
    0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0',
    0x03, 0x01, 0x00, 0x00, 0x00};

// Image data: minimum code size byte, then sub-blocks of 1 to 255 bytes,
// each behind its length byte, ended by a zero length byte.
constexpr std::size_t max_sub_block = 255;
constexpr std::uint8_t block_terminator = 0x00;

inline int get_u16(const std::uint8_t* p) { return p[0] | p[1] << 8; }

// Stores the low 16 bits of value.
inline void put_u16(std::uint8_t* p, int value) {
    unsigned v = static_cast<unsigned>(value);
    p[0] = static_cast<std::uint8_t>(v & 0xFF);
    p[1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
}

// Writes an image separator and the descriptor after it: 1 + 9 bytes.
inline void put_image_start(std::uint8_t* p, int left, int top, int width, int height, std::uint8_t packed) {
    p[0] = image_separator;
    put_u16(p + 1 + image_left, left);
    put_u16(p + 1 + image_top, top);
    put_u16(p + 1 + image_width, width);
    put_u16(p + 1 + image_height, height);
    p[1 + image_packed] = packed;
}

}  // namespace layout
