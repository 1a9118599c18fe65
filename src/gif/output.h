// The output file, written through a buffer of the program's own. A block
// written a moment ago can still be changed: a frame's control block goes
// out before the file pass knows whether the frame is its file's last, and
// its timing may change once the file's end shows that it was.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::size_t output_buffer_size = 256 * 1024;

struct output_stream {
    int fd = -1;
    bool regular = false;       // a regular file: bytes already written can be rewritten
    bool failed = false;        // a write failed; the rest is not attempted
    std::uint64_t written = 0;  // bytes handed to the file
    std::uint64_t writes = 0;   // write calls made for them
    std::size_t fill = 0;       // bytes waiting in buf
    std::uint8_t buf[output_buffer_size];
};
extern output_stream ofile;  // the output stream, owned by the driver

// Creates or empties path for writing. Returns 1 when open.
int open_output(const char* path);

// Writes to a descriptor that is already open (the tests' scratch files).
void output_to(int fd);

// Appends n bytes.
void write_out(const std::uint8_t* p, std::size_t n);

// The number of bytes appended so far: where the next byte goes.
std::uint64_t output_position();

// Puts n bytes at position at, over bytes appended earlier. Returns 1 when
// done, 0 when those bytes have left the buffer for a file that cannot be
// rewritten (a pipe or a device).
int rewrite_output(std::uint64_t at, const std::uint8_t* p, std::size_t n);

// Reads n bytes appended earlier, from position at, into p. Returns 1 when
// done, 0 when they have left the buffer for a file that cannot be read
// back (a pipe or a device, or a file opened for writing only).
int read_back_output(std::uint64_t at, std::uint8_t* p, std::size_t n);

// Takes back everything appended from position at on, so that the next
// byte goes there. Returns 1 when done, 0 (and nothing changed) when those
// bytes have left the buffer for a file that cannot be rewritten.
int truncate_output(std::uint64_t at);

// Writes what waits in the buffer.
void flush_output();

// Flushes and closes the output. Returns 1 when every byte was written.
int close_output();
