#include "gif/output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>


namespace {

// Writes all of [p, p + n) at the descriptor's offset, or at `at` when
// at >= 0. A failure marks the stream failed.
void write_all(output_stream& o, const std::uint8_t* p, std::size_t n, off_t at = -1) {
    if (o.memory) {
        std::vector<std::uint8_t>& m = *o.memory;
        std::size_t from = at < 0 ? m.size() : static_cast<std::size_t>(at);
        if (from + n > m.size()) m.resize(from + n);
        if (n) std::memcpy(m.data() + from, p, n);
        ++o.writes;
        return;
    }
    if (o.sink.take) {
        if (!o.failed && n && !o.sink.take(o.sink.context, p, n)) o.failed = true;
        ++o.writes;
        return;
    }
    while (n > 0 && !o.failed) {
        ssize_t done = at < 0 ? ::write(o.fd, p, n) : ::pwrite(o.fd, p, n, at);
        ++o.writes;
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) {
            o.failed = true;
            return;
        }
        p += done;
        n -= static_cast<std::size_t>(done);
        if (at >= 0) at += done;
    }
}

}  // namespace

void output_to_memory(output_stream& o, std::vector<std::uint8_t>& bytes) {
    output_to(o, -1);
    bytes.clear();
    o.memory = &bytes;
    o.regular = true;
    o.held = false;
}

void output_to_sink(output_stream& o, const byte_sink& sink) {
    output_to(o, -1);
    o.sink = sink;
    o.regular = false;
    o.held = true;
}

void output_to(output_stream& o, int fd) {
    if (!o.buf) o.buf.reset(new std::uint8_t[o.capacity]);
    o.fd = fd;
    o.memory = nullptr;
    o.sink = byte_sink{};
    struct stat st;
    bool known = ::fstat(fd, &st) == 0;
    // Positions are offsets from the start of a regular file: one that
    // appends, or that the descriptor entered part-way, is held as a pipe.
    o.regular = known && S_ISREG(st.st_mode) && !(::fcntl(fd, F_GETFL) & O_APPEND) && ::lseek(fd, 0, SEEK_CUR) == 0;
    // Nothing reads what /dev/null takes: it need not wait.
    bool discards = known && S_ISCHR(st.st_mode) && st.st_rdev == makedev(1, 3);
    o.held = !o.regular && !discards;
#ifdef F_SETPIPE_SZ
    // A pipe of the default 64 KiB makes every buffer of ours four writes
    // and four wake-ups of the reader: ask for a larger one (best effort).
    if (known && S_ISFIFO(st.st_mode)) ::fcntl(fd, F_SETPIPE_SZ, static_cast<int>(o.capacity));
#endif
    o.failed = false;
    o.written = 0;
    o.released = 0;
    spool_close(o.spool);
    o.writes = 0;
    o.fill = 0;
}

namespace {

bool spooled(output_stream& o) { return o.spool.start < o.spool.end; }

bool send_out(void* stream, const std::uint8_t* p, std::size_t n) {
    output_stream& o = *static_cast<output_stream*>(stream);
    write_all(o, p, n);
    return !o.failed;
}

// Sends the spooled bytes before `to`; a failure marks the stream failed.
void send_spooled(output_stream& o, std::uint64_t to) {
    if (spooled(o) && !o.failed && !spool_send(o.spool, to, send_out, &o)) o.failed = true;
}

// Empties the buffer of a held output: the released bytes go to the file,
// the rest stay in the buffer while they take at most half of it, else
// join the spool. Where there is no spool they go out all the same.
void send_held(output_stream& o, bool everything) {
    std::uint64_t end = o.written + o.fill;
    std::uint64_t go = everything ? end : std::min(o.released, end);
    send_spooled(o, go);
    if (spooled(o)) {  // bytes before the buffer still wait: the buffer joins them
        if (!spool_append(o.spool, o.written, o.buf.get(), o.fill)) o.failed = true;
        o.written = end;
        o.fill = 0;
        return;
    }
    std::size_t sent = go > o.written ? static_cast<std::size_t>(go - o.written) : 0;
    write_all(o, o.buf.get(), sent);
    std::size_t rest = o.fill - sent;
    if (rest <= o.capacity / 2) {
        std::memmove(o.buf.get(), o.buf.get() + sent, rest);
    } else if (spool_ready(o.spool)) {
        if (!spool_append(o.spool, o.written + sent, o.buf.get() + sent, rest)) o.failed = true;
        rest = 0;
    } else {
        write_all(o, o.buf.get() + sent, rest);
        rest = 0;
    }
    o.written = end - rest;
    o.fill = rest;
}

// Whether bytes [at, at + n), all before the buffer, wait in the spool.
bool in_spool(output_stream& o, std::uint64_t at, std::size_t n) {
    return o.held && spooled(o) && at >= o.spool.start && at + n <= o.spool.end;
}

}  // namespace

void flush_output(output_stream& o) {
    if (o.held) return send_held(o, false);
    write_all(o, o.buf.get(), o.fill);
    o.written += o.fill;
    o.fill = 0;
}

void write_out(output_stream& o, const std::uint8_t* p, std::size_t n) {
    if (n > o.capacity - o.fill) {
        flush_output(o);
        if (n >= o.capacity && !o.held) {  // too large to gain from the buffer
            write_all(o, p, n);
            o.written += n;
            return;
        }
    }
    while (n > o.capacity - o.fill) {  // held bytes go through the buffer
        std::size_t part = o.capacity - o.fill;
        std::memcpy(o.buf.get() + o.fill, p, part);
        o.fill = o.capacity;
        p += part;
        n -= part;
        flush_output(o);
    }
    std::memcpy(o.buf.get() + o.fill, p, n);
    o.fill += n;
}

void release_output(output_stream& o, std::uint64_t at) {
    o.released = std::max(o.released, at);
    if (o.held) send_spooled(o, o.released);
}

std::uint64_t output_position(output_stream& o) { return o.written + o.fill; }

int rewrite_output(output_stream& o, std::uint64_t at, const std::uint8_t* p, std::size_t n) {
    if (at + n > output_position(o)) return 0;
    if (at < o.written) {
        std::size_t early = static_cast<std::size_t>(o.written - at) < n
                                ? static_cast<std::size_t>(o.written - at)
                                : n;
        if (in_spool(o, at, early)) {
            if (!spool_write_at(o.spool, at, p, early)) o.failed = true;
        } else if (o.regular) {
            write_all(o, p, early, static_cast<off_t>(at));
        } else {
            return 0;
        }
        at += early;
        p += early;
        n -= early;
    }
    std::memcpy(o.buf.get() + (at - o.written), p, n);
    return !o.failed;
}

int read_back_output(output_stream& o, std::uint64_t at, std::uint8_t* p, std::size_t n) {
    if (at + n > output_position(o)) return 0;
    while (n > 0 && at < o.written) {
        std::size_t early = static_cast<std::size_t>(std::min<std::uint64_t>(o.written - at, n));
        if (in_spool(o, at, early)) {
            if (!spool_read_at(o.spool, at, p, early)) return 0;
            at += early;
            p += early;
            n -= early;
            continue;
        }
        if (o.memory) {
            std::memcpy(p, o.memory->data() + at, early);
            at += early;
            p += early;
            n -= early;
            continue;
        }
        ssize_t got = o.regular ? ::pread(o.fd, p, early, static_cast<off_t>(at)) : -1;
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return 0;
        at += static_cast<std::uint64_t>(got);
        p += got;
        n -= static_cast<std::size_t>(got);
    }
    if (n > 0) std::memcpy(p, o.buf.get() + (at - o.written), n);
    return 1;
}

int truncate_output(output_stream& o, std::uint64_t at) {
    if (at > output_position(o)) return 0;
    if (at >= o.written) {
        o.fill = static_cast<std::size_t>(at - o.written);
        return 1;
    }
    if (o.failed) return 0;
    if (in_spool(o, at, 0)) {
        if (!spool_cut(o.spool, at)) return 0;
        o.written = at;
        o.fill = 0;
        return 1;
    }
    if (!o.regular) return 0;
    if (o.memory) {
        o.memory->resize(at);
    } else if (::ftruncate(o.fd, static_cast<off_t>(at)) != 0 ||
        ::lseek(o.fd, static_cast<off_t>(at), SEEK_SET) < 0)
        return 0;
    o.written = at;
    o.fill = 0;
    return 1;
}

int close_output(output_stream& o) {
    if (o.held)
        send_held(o, true);
    else
        flush_output(o);
    int ok = !o.failed;
    if (!o.memory && !o.sink.take && ::close(o.fd) != 0) ok = 0;
    o.memory = nullptr;
    o.sink = byte_sink{};
    o.fd = -1;
    spool_close(o.spool);
    return ok;
}
