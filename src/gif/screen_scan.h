// The screen of an input, read before the join from its header alone.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gif/layout.h"
#include "gif/stream.h"

struct screen_header {
    int width = 0, height = 0;
    std::size_t table_entries = 0;  // entries of its global table, 0 without one
    std::uint8_t table[layout::max_table_entries * layout::entry_size];
};

// Reads the logical screen, and with_table the global table too, from the
// start of fd, a regular file of file_size bytes, when it reads as a GIF
// (signature, screen descriptor and global table whole). Returns 0 for any
// other.
int read_screen(int fd, std::uint64_t file_size, int with_table, screen_header& screen);

// The same from standard input, whose header is read ahead and kept for
// the pass that reads it.
int read_standard_screen(input_stream& in, int with_table, screen_header& screen);

// The same from `size` bytes held in memory.
int read_screen_bytes(const std::uint8_t* bytes, std::size_t size, int with_table, screen_header& screen);
