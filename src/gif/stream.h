// The input of a file pass, read in large blocks, and the checked reads
// that every block goes through.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::size_t data_capacity = 2000;  // the run's I/O buffer: fits the largest block assembled

// The input file, read a block at a time. Bytes [pos, end) of buf have been
// read and not yet taken.
constexpr std::size_t input_block_size = 128 * 1024;
// The input named "-" is standard input, which can be read once: its
// header may be read before the join, and is then kept for the pass.
constexpr std::size_t kept_header_capacity = 13 + 3 * 256;
// Bytes that are not a file: held in memory, or read on demand from
// whoever holds them (a caller's buffer, a page's file), at any offset.
struct byte_source {
    const std::uint8_t* bytes = nullptr;  // all of them, where they are in memory
    std::uint64_t size = 0;
    // Else: copies n bytes from offset `at` into p; false where it cannot.
    bool (*read)(void* context, std::uint64_t at, std::uint8_t* p, std::size_t n) = nullptr;
    void* context = nullptr;
};

struct input_stream {
    int fd = -1;
    std::size_t pos = 0, end = 0;
    bool at_end = false;  // the file has no more bytes, or a read failed
    std::uint64_t reads = 0;  // read calls since the file was opened
    bool stdin_taken = false;  // standard input was read to its end, or is being read
    std::size_t stdin_kept = 0;  // bytes of its start read ahead, in stdin_header
    std::uint8_t stdin_header[kept_header_capacity];
    byte_source source;  // an input that is no file, read from there
    bool from_source = false;
    std::uint64_t source_at = 0;
    std::uint8_t buf[input_block_size];
};

// Whether the name stands for standard input.
inline bool names_standard_input(const char* path) { return path[0] == '-' && path[1] == '\0'; }

// Opens path as the input; "-" opens standard input, once. Directories are
// refused; a FIFO does not wait for a writer (without one it reads as
// empty). Returns 1 when open.
int open_input(input_stream& in, const char* path);

// Opens bytes that are no file as the input; they must stay until it is
// closed.
void open_source_input(input_stream& in, const byte_source& source);

// Reads the first n bytes of standard input ahead, keeping them for the
// pass that opens it (more than were kept already; n at most
// kept_header_capacity). Returns the bytes kept, fewer where it ends first.
std::size_t read_standard_input_ahead(input_stream& in, std::size_t n);

// Standard input was used for something else (a list of names).
void take_standard_input(input_stream& in);
void close_input(input_stream& in);

// Where the next byte taken comes from in a file opened by name: its
// offset, or -1 where the input is no file that can be sought in.
std::int64_t input_offset(const input_stream& in);

// Makes the byte at this offset of such a file the next one taken.
// Returns 1 when it can.
int input_seek(input_stream& in, std::uint64_t offset);

// Makes at least n bytes (n <= input_block_size) wait in in.buf, unless
// the input ends first. Returns how many wait, which may be fewer than n.
std::size_t input_fill(input_stream& in, std::size_t n);

// Reads exactly n bytes into p: 1 when all of them arrived, else 0.
int read_exact(input_stream& in, std::uint8_t* p, std::size_t n);

// The next input byte, or -1 at the end of the input.
int read_byte(input_stream& in);

// Skips data sub-blocks up to and including the zero length byte. Returns 1
// when that byte was read, 0 when the input ended first.
int skip_sub_blocks(input_stream& in);
