#include "gif/screen_scan.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

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

// Grows the screen to the first image among the bytes after the header;
// false where it is not among them.
bool grow_to_first_image(const std::uint8_t* file, std::size_t got, screen_header& screen) {
    std::uint8_t packed = file[screen_at + screen_packed];
    std::size_t blocks_at = header_size + ((packed & table_flag) ? entry_size * table_entries(packed) : 0);
    int right, bottom;
    if (got < blocks_at || !first_image_extent(file + blocks_at, got - blocks_at, right, bottom)) return false;
    screen.width = std::min(max_position, std::max(screen.width, right));
    screen.height = std::min(max_position, std::max(screen.height, bottom));
    return true;
}

// Reads from fd until `file` holds `want` bytes or the file ends.
std::size_t read_up_to(int fd, std::vector<std::uint8_t>& file, std::size_t got, std::size_t want) {
    file.resize(want);
    for (ssize_t n; got < want && (n = ::read(fd, file.data() + got, want - got)) > 0;) got += static_cast<std::size_t>(n);
    return got;
}

// Most files' first image follows their header within this many bytes.
constexpr std::size_t first_look = 1024;

}  // namespace

bool first_image_extent(const std::uint8_t* p, std::size_t n, int& right, int& bottom) {
    std::size_t i = 0;
    while (i < n && p[i] == extension) {
        for (i += 2; i < n && p[i] != 0; i += 1 + std::size_t{p[i]}) {
        }
        ++i;  // the terminator
    }
    if (i >= n || p[i] != image_separator || n - i < 1 + image_descriptor_size) return false;
    const std::uint8_t* d = p + i + 1;
    right = get_u16(d + image_left) + get_u16(d + image_width);
    bottom = get_u16(d + image_top) + get_u16(d + image_height);
    return true;
}

int read_screen(int fd, std::uint64_t file_size, int with_table, screen_header& screen, bool grow) {
    if (file_size < header_size) return 0;
    auto capped = [&](std::size_t n) { return static_cast<std::size_t>(std::min<std::uint64_t>(file_size, n)); };
    std::vector<std::uint8_t> file;
    std::size_t want = with_table || grow ? capped(header_size + sizeof screen.table + (grow ? first_look : 0)) : header_size;
    std::size_t got = read_up_to(fd, file, 0, want);
    if (!parse_screen(file.data(), got, file_size, with_table, screen)) return 0;
    if (grow && !grow_to_first_image(file.data(), got, screen) && got == want) {
        got = read_up_to(fd, file, got, capped(header_size + sizeof screen.table + first_image_window));
        grow_to_first_image(file.data(), got, screen);
    }
    return 1;
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

int read_screen_bytes(const std::uint8_t* bytes, std::size_t size, int with_table, screen_header& screen, bool grow) {
    if (!parse_screen(bytes, std::min(size, header_size + sizeof screen.table), size, with_table, screen)) return 0;
    if (grow) grow_to_first_image(bytes, std::min(size, header_size + sizeof screen.table + first_image_window), screen);
    return 1;
}
