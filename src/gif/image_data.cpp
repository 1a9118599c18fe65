#include "gif/image_data.h"

#include "gif/layout.h"
#include "gif/lzw_walker.h"
#include "gif/stream.h"

namespace {

int end_image(int complete) {
    write_out(&layout::block_terminator, 1);
    return complete;
}

}  // namespace

int image_data_copy(int code_size) {
    lzw_walker walker;
    lzw_start(walker, code_size);
    for (;;) {
        int len = read_byte();
        if (len <= 0) return end_image(len == 0);
        // Length byte and payload go out together, and only when whole.
        data[0] = static_cast<std::uint8_t>(len);
        std::size_t size = static_cast<std::size_t>(len);
        if (!read_exact(data + 1, size)) return end_image(0);
        write_out(data, size + 1);
        if (lzw_walk(walker, data + 1, size)) return end_image(skip_sub_blocks());
    }
}
