// The screen of an input, read before the join from its header alone.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gif/layout.h"
#include "gif/stream.h"

// How far ahead of its blocks a file's first image is looked for: browsers
// grow a file's canvas to its first image where that reaches beyond the
// screen, and so does the join, for the file's size.
constexpr std::size_t first_image_window = 64 * 1024;

// The right and bottom edges of the first image, from the n bytes that
// follow a file's header and global table; false where its descriptor
// does not lie whole among them.
bool first_image_extent(const std::uint8_t* p, std::size_t n, int& right, int& bottom);

// The most bytes of a file's start that its screen and first image are read from.
constexpr std::size_t screen_read_most = layout::signature_size + layout::version_size + layout::screen_size +
                                         layout::max_table_entries * layout::entry_size + first_image_window;

struct screen_header {
    int width = 0, height = 0;  // grown to the first image where asked
    std::size_t table_entries = 0;  // entries of its global table, 0 without one
    std::uint8_t table[layout::max_table_entries * layout::entry_size];
};

// Reads the logical screen, and with_table the global table too, from the
// start of fd, a regular file of file_size bytes, when it reads as a GIF
// (signature, screen descriptor and global table whole); with `grow`, the
// screen grows to the first image as browsers grow it. Returns 0 for any
// other.
int read_screen(int fd, std::uint64_t file_size, int with_table, screen_header& screen, bool grow = false);

// The same from standard input, whose header is read ahead and kept for
// the pass that reads it.
int read_standard_screen(input_stream& in, int with_table, screen_header& screen);

// The same from `size` bytes held in memory.
int read_screen_bytes(const std::uint8_t* bytes, std::size_t size, int with_table, screen_header& screen, bool grow = false);
