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
    // Positions are offsets from the start of a regular file: one that
    // appends, or that the descriptor entered part-way, is held as a pipe.
    ofile.regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && !(::fcntl(fd, F_GETFL) & O_APPEND) &&
                    ::lseek(fd, 0, SEEK_CUR) == 0;
    ofile.held = !ofile.regular;
    ofile.failed = false;
    ofile.written = 0;
    ofile.released = 0;
    spool_close(ofile.spool);
    ofile.writes = 0;
    ofile.fill = 0;
}

namespace {

bool spooled() { return ofile.spool.start < ofile.spool.end; }

// Sends the spooled bytes before `to`; a failure marks the stream failed.
void send_spooled(std::uint64_t to) {
    if (spooled() && !ofile.failed && !spool_send(ofile.spool, to, ofile.fd)) ofile.failed = true;
}

// Empties the buffer of a held output: the released bytes go to the file,
// the rest stay in the buffer while they take at most half of it, else
// join the spool. Where there is no spool they go out all the same.
void send_held(bool everything) {
    std::uint64_t end = ofile.written + ofile.fill;
    std::uint64_t go = everything ? end : std::min(ofile.released, end);
    send_spooled(go);
    if (spooled()) {  // bytes before the buffer still wait: the buffer joins them
        if (!spool_append(ofile.spool, ofile.written, ofile.buf, ofile.fill)) ofile.failed = true;
        ofile.written = end;
        ofile.fill = 0;
        return;
    }
    std::size_t sent = go > ofile.written ? static_cast<std::size_t>(go - ofile.written) : 0;
    write_all(ofile.buf, sent);
    std::size_t rest = ofile.fill - sent;
    if (rest <= output_buffer_size / 2) {
        std::memmove(ofile.buf, ofile.buf + sent, rest);
    } else if (spool_ready(ofile.spool)) {
        if (!spool_append(ofile.spool, ofile.written + sent, ofile.buf + sent, rest)) ofile.failed = true;
        rest = 0;
    } else {
        write_all(ofile.buf + sent, rest);
        rest = 0;
    }
    ofile.written = end - rest;
    ofile.fill = rest;
}

// Whether bytes [at, at + n), all before the buffer, wait in the spool.
bool in_spool(std::uint64_t at, std::size_t n) {
    return ofile.held && spooled() && at >= ofile.spool.start && at + n <= ofile.spool.end;
}

}  // namespace

void flush_output() {
    if (ofile.held) return send_held(false);
    write_all(ofile.buf, ofile.fill);
    ofile.written += ofile.fill;
    ofile.fill = 0;
}

void write_out(const std::uint8_t* p, std::size_t n) {
    if (n > output_buffer_size - ofile.fill) {
        flush_output();
        if (n >= output_buffer_size && !ofile.held) {  // too large to gain from the buffer
            write_all(p, n);
            ofile.written += n;
            return;
        }
    }
    while (n > output_buffer_size - ofile.fill) {  // held bytes go through the buffer
        std::size_t part = output_buffer_size - ofile.fill;
        std::memcpy(ofile.buf + ofile.fill, p, part);
        ofile.fill = output_buffer_size;
        p += part;
        n -= part;
        flush_output();
    }
    std::memcpy(ofile.buf + ofile.fill, p, n);
    ofile.fill += n;
}

void release_output(std::uint64_t at) {
    ofile.released = std::max(ofile.released, at);
    if (ofile.held) send_spooled(ofile.released);
}

std::uint64_t output_position() { return ofile.written + ofile.fill; }

int rewrite_output(std::uint64_t at, const std::uint8_t* p, std::size_t n) {
    if (at + n > output_position()) return 0;
    if (at < ofile.written) {
        std::size_t early = static_cast<std::size_t>(ofile.written - at) < n
                                ? static_cast<std::size_t>(ofile.written - at)
                                : n;
        if (in_spool(at, early)) {
            if (!spool_write_at(ofile.spool, at, p, early)) ofile.failed = true;
        } else if (ofile.regular) {
            write_all(p, early, static_cast<off_t>(at));
        } else {
            return 0;
        }
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
        if (in_spool(at, early)) {
            if (!spool_read_at(ofile.spool, at, p, early)) return 0;
            at += early;
            p += early;
            n -= early;
            continue;
        }
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
    if (ofile.failed) return 0;
    if (in_spool(at, 0)) {
        if (!spool_cut(ofile.spool, at)) return 0;
        ofile.written = at;
        ofile.fill = 0;
        return 1;
    }
    if (!ofile.regular) return 0;
    if (::ftruncate(ofile.fd, static_cast<off_t>(at)) != 0 ||
        ::lseek(ofile.fd, static_cast<off_t>(at), SEEK_SET) < 0)
        return 0;
    ofile.written = at;
    ofile.fill = 0;
    return 1;
}

int close_output() {
    if (ofile.held)
        send_held(true);
    else
        flush_output();
    int ok = !ofile.failed;
    if (::close(ofile.fd) != 0) ok = 0;
    ofile.fd = -1;
    spool_close(ofile.spool);
    return ok;
}
