#include "gif/screen_scan.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "gif/layout.h"

namespace {

using namespace layout;

constexpr std::size_t screen_at = signature_size + version_size;
constexpr std::size_t header_size = screen_at + screen_size;

}  // namespace

int read_screen_size(const char* path, std::uint64_t file_size, int& width, int& height) {
    if (file_size < header_size) return 0;
    int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return 0;
    std::uint8_t header[header_size];
    bool read = ::read(fd, header, header_size) == static_cast<ssize_t>(header_size);
    ::close(fd);
    if (!read || std::memcmp(header, "GIF", signature_size) != 0) return 0;
    std::uint8_t packed = header[screen_at + screen_packed];
    std::size_t table = (packed & table_flag) ? entry_size * table_entries(packed) : 0;
    if (file_size < header_size + table) return 0;
    width = get_u16(header + screen_at + screen_width);
    height = get_u16(header + screen_at + screen_height);
    return 1;
}
