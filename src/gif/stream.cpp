#include "gif/stream.h"

#include "gif/gif.h"

std::uint8_t data[data_capacity];
std::FILE* ifile = nullptr;

namespace {
constexpr std::size_t stream_buffer_size = 64 * 1024;
}

std::FILE* open_stream(const char* path, const char* mode) {
    std::FILE* f = std::fopen(path, mode);
    if (f) std::setvbuf(f, nullptr, _IOFBF, stream_buffer_size);
    return f;
}

int read_exact(std::uint8_t* p, std::size_t n) {
    return std::fread(p, 1, n, ifile) == n;
}

int read_byte() {
    int c = getc_unlocked(ifile);
    return c == EOF ? -1 : c;
}

void write_out(const std::uint8_t* p, std::size_t n) {
    std::fwrite(p, 1, n, ofile);
}

int skip_sub_blocks() {
    for (;;) {
        int len = read_byte();
        if (len < 0) return 0;
        if (len == 0) return 1;
        if (!read_exact(data, static_cast<std::size_t>(len))) return 0;
    }
}
