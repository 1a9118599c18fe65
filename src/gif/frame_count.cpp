#include "gif/frame_count.h"

#include <cstring>

#include "gif/layout.h"
#include "gif/lzw/lzw_walker.h"

namespace {

using namespace layout;

constexpr std::size_t header_size = signature_size + version_size + screen_size;

// Skips n bytes; returns 0 when the input ends first.
int skip_bytes(input_stream& in, std::size_t n) {
    std::uint8_t scratch[entry_size * max_table_entries];
    return read_exact(in, scratch, n);
}

// Reads past an image after its separator: 1 when its frame would be
// written (its descriptor, table and code size were read whole), and
// whether the input goes on after it.
int skip_image(input_stream& in, bool& goes_on) {
    std::uint8_t desc[image_descriptor_size];
    goes_on = false;
    if (!read_exact(in, desc, image_descriptor_size)) return 0;
    std::uint8_t packed = desc[image_packed];
    if ((packed & table_flag) && !skip_bytes(in, entry_size * table_entries(packed))) return 0;
    int code_size = read_byte(in);
    if (code_size < 0 || code_size > lzw_max_code_size) return 0;
    goes_on = skip_sub_blocks(in);
    return 1;
}

}  // namespace

std::int64_t count_frames(input_stream& in) {
    std::uint8_t header[header_size];
    if (!read_exact(in, header, header_size) || std::memcmp(header, "GIF", signature_size) != 0) return -1;
    std::uint8_t packed = header[signature_size + version_size + screen_packed];
    if ((packed & table_flag) && !skip_bytes(in, entry_size * table_entries(packed))) return 0;
    std::int64_t frames = 0;
    for (;;) {
        int introducer = read_byte(in);
        bool goes_on = false;
        if (introducer == extension)
            goes_on = read_byte(in) >= 0 && skip_sub_blocks(in);
        else if (introducer == image_separator)
            frames += skip_image(in, goes_on);
        if (!goes_on) return frames;
    }
}
