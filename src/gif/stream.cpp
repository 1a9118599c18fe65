#include "gif/stream.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

std::uint8_t data[data_capacity];
input_stream ifile;

namespace {

// Reads what the file gives into the free space after end. Returns 0, or
// the error that ended the input.
int read_more() {
    for (;;) {
        ssize_t got = ::read(ifile.fd, ifile.buf + ifile.end, input_block_size - ifile.end);
        ++ifile.reads;
        if (got > 0) {
            ifile.end += static_cast<std::size_t>(got);
            return 0;
        }
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && errno == EAGAIN) {
            // A pipe or device with nothing to give yet: from now on, wait.
            int flags = ::fcntl(ifile.fd, F_GETFL);
            if (flags >= 0 && ::fcntl(ifile.fd, F_SETFL, flags & ~O_NONBLOCK) == 0) continue;
        }
        ifile.at_end = true;  // end of file, or an error that ends it
        return got < 0 ? errno : 0;
    }
}

}  // namespace

// The input is opened without waiting, so that a named pipe nobody writes
// to reads as empty, and its first block is read at once: a directory,
// which opens but does not read, is refused like a file that does not open.
int open_input(const char* path) {
    bool standard = names_standard_input(path);
    if (standard && ifile.stdin_taken) return 0;
    int fd = standard ? ::dup(STDIN_FILENO) : ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return 0;
    ifile.fd = fd;
    ifile.pos = ifile.end = 0;
    ifile.at_end = false;
    ifile.reads = 0;
    if (standard) {
        ifile.stdin_taken = true;
        std::memcpy(ifile.buf, ifile.stdin_header, ifile.stdin_kept);
        ifile.end = ifile.stdin_kept;
        if (ifile.end == 0) read_more();
        return 1;
    }
    if (read_more() == EISDIR) {
        close_input();
        return 0;
    }
    return 1;
}

std::size_t read_standard_input_ahead(std::size_t n) {
    while (ifile.stdin_kept < n && !ifile.stdin_taken) {
        ssize_t got = ::read(STDIN_FILENO, ifile.stdin_header + ifile.stdin_kept, n - ifile.stdin_kept);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        ifile.stdin_kept += static_cast<std::size_t>(got);
    }
    return ifile.stdin_kept;
}

void take_standard_input() { ifile.stdin_taken = true; }

void close_input() {
    if (ifile.fd >= 0) ::close(ifile.fd);
    ifile.fd = -1;
    ifile.pos = ifile.end = 0;
}

std::size_t input_fill(std::size_t n) {
    while (ifile.end - ifile.pos < n && !ifile.at_end) {
        if (ifile.pos > 0) {
            std::memmove(ifile.buf, ifile.buf + ifile.pos, ifile.end - ifile.pos);
            ifile.end -= ifile.pos;
            ifile.pos = 0;
        }
        read_more();
    }
    return ifile.end - ifile.pos;
}

int read_exact(std::uint8_t* p, std::size_t n) {
    while (n > 0) {
        std::size_t got = std::min(input_fill(std::min(n, input_block_size)), n);
        if (got == 0) return 0;
        std::memcpy(p, ifile.buf + ifile.pos, got);
        ifile.pos += got;
        p += got;
        n -= got;
    }
    return 1;
}

int read_byte() {
    if (ifile.pos == ifile.end && input_fill(1) == 0) return -1;
    return ifile.buf[ifile.pos++];
}

int skip_sub_blocks() {
    for (;;) {
        int len = read_byte();
        if (len < 0) return 0;
        if (len == 0) return 1;
        std::size_t size = static_cast<std::size_t>(len);
        if (input_fill(size) < size) {
            ifile.pos = ifile.end;  // a short sub-block ends the input
            return 0;
        }
        ifile.pos += size;
    }
}
