#include "gif/stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>


namespace {

// Reads what the file gives into the free space after end. Returns 0, or
// the error that ended the input.
int read_more(input_stream& in) {
    if (in.from_source) {  // bytes that are no file: copied as a file would give them
        const byte_source& s = in.source;
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(input_block_size - in.end, s.size - in.source_at));
        bool got = n == 0 || (s.bytes ? (std::memcpy(in.buf + in.end, s.bytes + in.source_at, n), true)
                                      : s.read(s.context, in.source_at, in.buf + in.end, n));
        ++in.reads;
        if (!got) n = 0;  // a reader that fails ends the input, as a failed read does
        in.source_at += n;
        in.end += n;
        in.at_end = n == 0;
        return 0;
    }
    for (;;) {
        ssize_t got = ::read(in.fd, in.buf + in.end, input_block_size - in.end);
        ++in.reads;
        if (got > 0) {
            in.end += static_cast<std::size_t>(got);
            return 0;
        }
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && errno == EAGAIN) {
            // A pipe or device with nothing to give yet: from now on, wait.
            int flags = ::fcntl(in.fd, F_GETFL);
            if (flags >= 0 && ::fcntl(in.fd, F_SETFL, flags & ~O_NONBLOCK) == 0) continue;
        }
        in.at_end = true;  // end of file, or an error that ends it
        return got < 0 ? errno : 0;
    }
}

}  // namespace

// The input is opened without waiting, so that a named pipe nobody writes
// to reads as empty, and its first block is read at once: a directory,
// which opens but does not read, is refused like a file that does not open.
int open_input(input_stream& in, const char* path) {
    bool standard = names_standard_input(path);
    if (standard && in.stdin_taken) return 0;
    int fd = standard ? ::dup(STDIN_FILENO) : ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return 0;
    in.fd = fd;
    in.from_source = false;
    in.pos = in.end = 0;
    in.at_end = false;
    in.reads = 0;
    if (standard) {
#ifdef F_SETPIPE_SZ
        // A larger pipe gives larger reads (best effort).
        struct stat st;
        if (::fstat(fd, &st) == 0 && S_ISFIFO(st.st_mode)) ::fcntl(fd, F_SETPIPE_SZ, static_cast<int>(input_block_size));
#endif
        in.stdin_taken = true;
        std::memcpy(in.buf, in.stdin_header, in.stdin_kept);
        in.end = in.stdin_kept;
        if (in.end == 0) read_more(in);
        return 1;
    }
    if (read_more(in) == EISDIR) {
        close_input(in);
        return 0;
    }
    return 1;
}

std::size_t read_standard_input_ahead(input_stream& in, std::size_t n) {
    while (in.stdin_kept < n && !in.stdin_taken) {
        ssize_t got = ::read(STDIN_FILENO, in.stdin_header + in.stdin_kept, n - in.stdin_kept);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        in.stdin_kept += static_cast<std::size_t>(got);
    }
    return in.stdin_kept;
}

void take_standard_input(input_stream& in) { in.stdin_taken = true; }

void open_source_input(input_stream& in, const byte_source& source) {
    in.fd = -1;
    in.source = source;
    in.from_source = true;
    in.source_at = 0;
    in.pos = in.end = 0;
    in.at_end = false;
    in.reads = 0;
    read_more(in);
}

void close_input(input_stream& in) {
    in.from_source = false;
    if (in.fd >= 0) ::close(in.fd);
    in.fd = -1;
    in.pos = in.end = 0;
}

std::int64_t input_offset(const input_stream& in) {
    if (in.from_source || in.fd < 0) return -1;
    off_t after = ::lseek(in.fd, 0, SEEK_CUR);
    return after < 0 ? -1 : static_cast<std::int64_t>(after) - static_cast<std::int64_t>(in.end - in.pos);
}

int input_seek(input_stream& in, std::uint64_t offset) {
    std::int64_t next = input_offset(in);
    if (next < 0) return 0;
    std::int64_t held = next - static_cast<std::int64_t>(in.pos);  // the offset of buf[0]
    std::int64_t to = static_cast<std::int64_t>(offset);
    if (to >= held && to <= held + static_cast<std::int64_t>(in.end)) {
        in.pos = static_cast<std::size_t>(to - held);
        return 1;
    }
    if (::lseek(in.fd, static_cast<off_t>(offset), SEEK_SET) < 0) return 0;
    in.pos = in.end = 0;
    in.at_end = false;
    return 1;
}

std::size_t input_fill(input_stream& in, std::size_t n) {
    while (in.end - in.pos < n && !in.at_end) {
        if (in.pos > 0) {
            std::memmove(in.buf, in.buf + in.pos, in.end - in.pos);
            in.end -= in.pos;
            in.pos = 0;
        }
        read_more(in);
    }
    return in.end - in.pos;
}

int read_exact(input_stream& in, std::uint8_t* p, std::size_t n) {
    while (n > 0) {
        std::size_t got = std::min(input_fill(in, std::min(n, input_block_size)), n);
        if (got == 0) return 0;
        std::memcpy(p, in.buf + in.pos, got);
        in.pos += got;
        p += got;
        n -= got;
    }
    return 1;
}

int read_byte(input_stream& in) {
    if (in.pos == in.end && input_fill(in, 1) == 0) return -1;
    return in.buf[in.pos++];
}

int skip_sub_blocks(input_stream& in) {
    for (;;) {
        int len = read_byte(in);
        if (len < 0) return 0;
        if (len == 0) return 1;
        std::size_t size = static_cast<std::size_t>(len);
        if (input_fill(in, size) < size) {
            in.pos = in.end;  // a short sub-block ends the input
            return 0;
        }
        in.pos += size;
    }
}
