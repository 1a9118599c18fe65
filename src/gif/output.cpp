#include "gif/output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

output_stream ofile;

namespace {

// Writes all of [p, p + n) at the descriptor's offset, or at `at` when
// at >= 0. A failure marks the stream failed.
void write_all(const std::uint8_t* p, std::size_t n, off_t at = -1) {
    while (n > 0 && !ofile.failed) {
        ssize_t done = at < 0 ? ::write(ofile.fd, p, n) : ::pwrite(ofile.fd, p, n, at);
        ++ofile.writes;
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) {
            ofile.failed = true;
            return;
        }
        p += done;
        n -= static_cast<std::size_t>(done);
        if (at >= 0) at += done;
    }
}

}  // namespace

void output_to(int fd) {
    ofile.fd = fd;
    struct stat st;
    ofile.regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ofile.failed = false;
    ofile.written = 0;
    ofile.writes = 0;
    ofile.fill = 0;
}

// A regular file is opened for reading too, so that what was written can be
// read back where its permissions allow; anything else (a pipe, a device)
// for writing alone, as before.
int open_output(const char* path) {
    struct stat st;
    int fd = -1;
    if (::stat(path, &st) != 0 || S_ISREG(st.st_mode)) fd = ::open(path, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return 0;
    output_to(fd);
    return 1;
}

void flush_output() {
    write_all(ofile.buf, ofile.fill);
    ofile.written += ofile.fill;
    ofile.fill = 0;
}

void write_out(const std::uint8_t* p, std::size_t n) {
    if (n > output_buffer_size - ofile.fill) {
        flush_output();
        if (n >= output_buffer_size) {  // too large to gain from the buffer
            write_all(p, n);
            ofile.written += n;
            return;
        }
    }
    std::memcpy(ofile.buf + ofile.fill, p, n);
    ofile.fill += n;
}

std::uint64_t output_position() { return ofile.written + ofile.fill; }

int rewrite_output(std::uint64_t at, const std::uint8_t* p, std::size_t n) {
    if (at + n > output_position()) return 0;
    if (at < ofile.written) {
        std::size_t early = static_cast<std::size_t>(ofile.written - at) < n
                                ? static_cast<std::size_t>(ofile.written - at)
                                : n;
        if (!ofile.regular) return 0;
        write_all(p, early, static_cast<off_t>(at));
        at += early;
        p += early;
        n -= early;
    }
    std::memcpy(ofile.buf + (at - ofile.written), p, n);
    return !ofile.failed;
}

int read_back_output(std::uint64_t at, std::uint8_t* p, std::size_t n) {
    if (at + n > output_position()) return 0;
    while (n > 0 && at < ofile.written) {
        std::size_t early = static_cast<std::size_t>(std::min<std::uint64_t>(ofile.written - at, n));
        ssize_t got = ofile.regular ? ::pread(ofile.fd, p, early, static_cast<off_t>(at)) : -1;
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return 0;
        at += static_cast<std::uint64_t>(got);
        p += got;
        n -= static_cast<std::size_t>(got);
    }
    if (n > 0) std::memcpy(p, ofile.buf + (at - ofile.written), n);
    return 1;
}

int truncate_output(std::uint64_t at) {
    if (at > output_position()) return 0;
    if (at >= ofile.written) {
        ofile.fill = static_cast<std::size_t>(at - ofile.written);
        return 1;
    }
    if (!ofile.regular || ofile.failed) return 0;
    if (::ftruncate(ofile.fd, static_cast<off_t>(at)) != 0 ||
        ::lseek(ofile.fd, static_cast<off_t>(at), SEEK_SET) < 0)
        return 0;
    ofile.written = at;
    ofile.fill = 0;
    return 1;
}

int close_output() {
    flush_output();
    int ok = !ofile.failed;
    if (::close(ofile.fd) != 0) ok = 0;
    ofile.fd = -1;
    return ok;
}
