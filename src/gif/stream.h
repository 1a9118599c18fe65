// The input stream of the current file pass, the shared I/O buffer, and the
// checked reads and plain writes that every block goes through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

constexpr std::size_t data_capacity = 2000;  // fits the largest block assembled
extern std::uint8_t data[data_capacity];     // shared I/O buffer
extern std::FILE* ifile;                     // open for one call of gif_read

// Opens a stream with a buffer large enough to move data in big blocks.
std::FILE* open_stream(const char* path, const char* mode);

// Reads exactly n bytes into p: 1 when all of them arrived, else 0.
int read_exact(std::uint8_t* p, std::size_t n);

// The next input byte, or -1 at the end of the input.
int read_byte();

// Appends to ofile. A failed write stays in ofile's error indicator, which
// the driver checks when it closes the output.
void write_out(const std::uint8_t* p, std::size_t n);

// Skips data sub-blocks up to and including the zero length byte. Returns 1
// when that byte was read, 0 when the input ended first.
int skip_sub_blocks();
