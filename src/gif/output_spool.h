// Where bytes for a pipe wait, beyond what the output's buffer holds,
// while they may still change: an unnamed temporary file, so that a large
// frame costs disk pages, not memory. It holds the output positions
// [start, end); the file's byte k is position base + k.
#pragma once

#include <cstddef>
#include <cstdint>

struct output_spool {
    int fd = -1;
    std::uint64_t base = 0;   // output position of the file's first byte
    std::uint64_t start = 0;  // first position held, not yet sent
    std::uint64_t end = 0;    // position after the last byte held
};

// An unnamed temporary file, open for reading and writing, which goes when
// it is closed or the process ends; -1 where none can be made.
int open_unnamed_file();

// Makes the spool's file where it has none yet. Returns 1 when there is one.
int spool_ready(output_spool& s);

// Appends n bytes, which come at output position `at`: `end`, or any
// position when the spool is empty. Returns 1 when written.
int spool_append(output_spool& s, std::uint64_t at, const std::uint8_t* p, std::size_t n);

// Puts n bytes at output position at, or reads them from there; the bytes
// must lie in the spool. Return 1 when done.
int spool_write_at(output_spool& s, std::uint64_t at, const std::uint8_t* p, std::size_t n);
int spool_read_at(const output_spool& s, std::uint64_t at, std::uint8_t* p, std::size_t n);

// Takes back the bytes from output position at on.
int spool_cut(output_spool& s, std::uint64_t at);

// Sends the bytes before output position `to` through `send`, a chunk at
// a time, and drops them; the file is emptied once all are gone. Returns 1
// when all were sent.
int spool_send(output_spool& s, std::uint64_t to, bool (*send)(void* context, const std::uint8_t* p, std::size_t n),
               void* context);

void spool_close(output_spool& s);
