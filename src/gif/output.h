// The output file, written through a buffer of the program's own. A block
// written a moment ago can still be changed: a frame's control block goes
// out before the file pass knows whether the frame is its file's last, and
// its timing may change once the file's end shows that it was. A regular
// file is changed in place. For anything else (a pipe, a device) bytes are
// held back until the run says they will not change: in the buffer, or
// where they are more than it holds, in a spool file; so a pipe gets the
// same bytes as a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "gif/output_spool.h"

constexpr std::size_t output_buffer_size = 256 * 1024;

// Where an output that is no file hands its bytes, in order, as they go
// out: take returns false where it cannot take them.
struct byte_sink {
    bool (*take)(void* context, const std::uint8_t* p, std::size_t n) = nullptr;
    void* context = nullptr;
};

struct output_stream {
    int fd = -1;
    bool regular = false;       // a regular file: bytes already written can be rewritten
    bool held = false;          // not one: bytes wait until released
    bool failed = false;        // a write failed; the rest is not attempted
    std::uint64_t written = 0;  // bytes out of the buffer: handed to the file, or spooled
    std::uint64_t released = 0; // held output: the bytes before this may go out
    output_spool spool;         // held output: bytes out of the buffer not yet sent
    std::vector<std::uint8_t>* memory = nullptr;  // an output in memory, written there instead of fd
    byte_sink sink;             // or one handed out as it goes, as a pipe is written
    std::uint64_t writes = 0;   // write calls made for them
    std::size_t fill = 0;       // bytes waiting in buf
    std::size_t capacity = output_buffer_size;  // of buf, as its owner chose before the stream was first opened
    std::unique_ptr<std::uint8_t[]> buf;        // made then, and untouched until written
};

// Writes to a descriptor that is open for writing; the stream closes it.
void output_to(output_stream& o, int fd);

// Writes into `bytes`, emptied first, which must stay until the stream is
// closed.
void output_to_memory(output_stream& o, std::vector<std::uint8_t>& bytes);

// Hands the bytes to `sink` as they go out, held back as for a pipe while
// they may still change.
void output_to_sink(output_stream& o, const byte_sink& sink);

// Appends n bytes.
void write_out(output_stream& o, const std::uint8_t* p, std::size_t n);

// The number of bytes appended so far: where the next byte goes.
std::uint64_t output_position(output_stream& o);

// The bytes before position `at` will not change again: a held output may
// send them.
void release_output(output_stream& o, std::uint64_t at);

// Puts n bytes at position at, over bytes appended earlier. Returns 1 when
// done, 0 when those bytes have left for a file that cannot be rewritten
// (released to a pipe or a device).
int rewrite_output(output_stream& o, std::uint64_t at, const std::uint8_t* p, std::size_t n);

// Reads n bytes appended earlier, from position at, into p. Returns 1 when
// done, 0 when they have left for a file that cannot be read back (released
// to a pipe or a device, or a file opened for writing only).
int read_back_output(output_stream& o, std::uint64_t at, std::uint8_t* p, std::size_t n);

// Takes back everything appended from position at on, so that the next
// byte goes there. Returns 1 when done, 0 (and nothing changed) when those
// bytes have left for a file that cannot be rewritten.
int truncate_output(output_stream& o, std::uint64_t at);

// Writes what waits in the buffer; a held output sends what is released.
void flush_output(output_stream& o);

// Flushes and closes the output, sending everything. Returns 1 when every
// byte was written.
int close_output(output_stream& o);
