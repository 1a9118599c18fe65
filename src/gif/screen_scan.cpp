#include "gif/screen_scan.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "gif/layout.h"
#include "gif/stream.h"

namespace {

using namespace layout;

constexpr std::size_t screen_at = signature_size + version_size;
constexpr std::size_t header_size = screen_at + screen_size;

}  // namespace

namespace {

// The screen from the first `got` bytes of a file of file_size bytes.
int parse_screen(const std::uint8_t* header, std::size_t got, std::uint64_t file_size, int with_table,
                 screen_header& screen) {
    if (got < header_size || std::memcmp(header, "GIF", signature_size) != 0) return 0;
    std::uint8_t packed = header[screen_at + screen_packed];
    std::size_t entries = (packed & table_flag) ? table_entries(packed) : 0;
    if (file_size < header_size + entry_size * entries) return 0;
    screen.width = get_u16(header + screen_at + screen_width);
    screen.height = get_u16(header + screen_at + screen_height);
    screen.table_entries = 0;
    if (with_table && got >= header_size + entry_size * entries) {
        screen.table_entries = entries;
        std::memcpy(screen.table, header + header_size, entry_size * entries);
    }
    return 1;
}

}  // namespace

int read_screen(int fd, std::uint64_t file_size, int with_table, screen_header& screen) {
    if (file_size < header_size) return 0;
    std::uint8_t header[header_size + sizeof screen.table];
    std::size_t want = with_table && file_size > header_size
                           ? std::min<std::uint64_t>(file_size, sizeof header)
                           : header_size;
    ssize_t got = ::read(fd, header, want);
    return got > 0 && parse_screen(header, static_cast<std::size_t>(got), file_size, with_table, screen);
}

int read_standard_screen(input_stream& in, int with_table, screen_header& screen) {
    std::size_t got = read_standard_input_ahead(in, header_size);
    const std::uint8_t* header = in.stdin_header;
    if (got < header_size) return 0;
    std::uint8_t packed = header[screen_at + screen_packed];
    std::size_t table = (packed & table_flag) ? entry_size * table_entries(packed) : 0;
    got = read_standard_input_ahead(in, header_size + table);
    // Standard input has no size: it holds what it gave.
    return parse_screen(header, got, got, with_table, screen);
}

int read_screen_bytes(const std::uint8_t* bytes, std::size_t size, int with_table, screen_header& screen) {
    return parse_screen(bytes, std::min(size, header_size + sizeof screen.table), size, with_table, screen);
}
