#include "gif/lzw/run_code.h"

#include <cstdint>

#include "gif/lzw/lzw_walker.h"

void encode_run(int code_size, int width, unsigned index, std::uint64_t pixels, code_sink& out) {
    const unsigned clear = 1u << code_size, first_entry = clear + 2;
    unsigned next = first_entry;  // the decoder's next entry
    bool first = true;            // no code since the last clear
    out.put(clear, width);
    width = code_size + 1;
    while (pixels > 0 && (!out.counting() || out.bytes <= out.limit)) {
        if (first) {
            out.put(index, width);
            pixels -= 1;
            first = false;
            continue;
        }
        std::uint64_t run = next - first_entry + 2;  // pixels the code `next` names
        unsigned code = next;
        if (pixels < run) {  // the rest: a shorter run made before
            run = pixels;
            code = run == 1 ? index : static_cast<unsigned>(run + first_entry - 2);
        }
        out.put(code, width);
        pixels -= run;
        if (++next == (1u << width) && width < lzw_max_width) ++width;
        if (next == static_cast<unsigned>(lzw_table_size) && pixels > 0) {
            out.put(clear, width);
            width = code_size + 1;
            next = first_entry;
            first = true;
        }
    }
    out.put(clear + 1, width);
    out.finish();
}

std::uint64_t run_size(int code_size, std::uint64_t pixels, std::uint64_t limit) {
    code_sink count;
    count.limit = limit;
    encode_run(code_size, code_size + 1, 0, pixels, count);
    return count.bytes;
}
