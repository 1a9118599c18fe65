#include "gif/output_spool.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace {

// The directory for temporary files: $TMPDIR, else /tmp.
std::string temp_dir() {
    const char* dir = std::getenv("TMPDIR");
    return dir && *dir ? dir : "/tmp";
}

}  // namespace

int open_unnamed_file() {
    std::string dir = temp_dir();
    int fd = -1;
#ifdef O_TMPFILE
    fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
#endif
    std::string name = dir + "/.reeljoin-spool-XXXXXX";
    fd = ::mkstemp(&name[0]);
    if (fd >= 0) ::unlink(name.c_str());
    return fd;
}

namespace {

int write_all_at(int fd, const std::uint8_t* p, std::size_t n, std::uint64_t at) {
    while (n > 0) {
        ssize_t done = ::pwrite(fd, p, n, static_cast<off_t>(at));
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return 0;
        p += done;
        n -= static_cast<std::size_t>(done);
        at += static_cast<std::uint64_t>(done);
    }
    return 1;
}

}  // namespace

int spool_ready(output_spool& s) {
    if (s.fd < 0) s.fd = open_unnamed_file();
    return s.fd >= 0;
}

int spool_append(output_spool& s, std::uint64_t at, const std::uint8_t* p, std::size_t n) {
    if (s.start == s.end) s.base = s.start = s.end = at;
    if (!write_all_at(s.fd, p, n, s.end - s.base)) return 0;
    s.end += n;
    return 1;
}

int spool_write_at(output_spool& s, std::uint64_t at, const std::uint8_t* p, std::size_t n) {
    return write_all_at(s.fd, p, n, at - s.base);
}

int spool_read_at(const output_spool& s, std::uint64_t at, std::uint8_t* p, std::size_t n) {
    std::uint64_t from = at - s.base;
    while (n > 0) {
        ssize_t got = ::pread(s.fd, p, n, static_cast<off_t>(from));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return 0;
        p += got;
        n -= static_cast<std::size_t>(got);
        from += static_cast<std::uint64_t>(got);
    }
    return 1;
}

int spool_cut(output_spool& s, std::uint64_t at) {
    if (::ftruncate(s.fd, static_cast<off_t>(at - s.base)) != 0) return 0;
    s.end = at;
    return 1;
}

int spool_send(output_spool& s, std::uint64_t to, bool (*send)(void* context, const std::uint8_t* p, std::size_t n),
               void* context) {
    std::uint8_t chunk[64 * 1024];
    to = to < s.end ? to : s.end;
    while (s.start < to) {
        std::size_t n = static_cast<std::size_t>(to - s.start < sizeof chunk ? to - s.start : sizeof chunk);
        if (!spool_read_at(s, s.start, chunk, n) || !send(context, chunk, n)) return 0;
        s.start += n;
    }
    if (s.start == s.end && s.end != s.base) {
        if (::ftruncate(s.fd, 0) != 0) return 0;
        s.base = s.start;
    }
    return 1;
}

void spool_close(output_spool& s) {
    if (s.fd >= 0) ::close(s.fd);
    s = output_spool{};
}
