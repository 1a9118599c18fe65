#include "gif/clear_frame.h"

#include <cstring>

#include "gif/layout.h"
#include "gif/lzw_walker.h"
#include "gif/output.h"

namespace {

using namespace layout;

// Image data of one colour index, 0, repeated. After a clear code the first
// code is 0 itself, and every code after it names the entry the decoder is
// about to make, the run one pixel longer than the code before: such a code
// needs no table to be made, and the run doubles as its own dictionary.
// Codes follow the decoder's width, and a clear starts over once the table
// is full.
constexpr int run_code_size = 2;  // the smallest a GIF allows
constexpr unsigned run_clear = 1u << run_code_size;
constexpr unsigned run_end = run_clear + 1;
constexpr unsigned run_first_entry = run_clear + 2;

// Collects codes into data sub-blocks; counts their bytes when not writing.
struct code_sink {
    explicit code_sink(bool write) : writing(write) {}
    bool writing;
    std::uint64_t bytes = 0;  // sub-block bytes so far, length bytes included
    std::uint32_t acc = 0;
    int bits = 0;
    std::uint8_t block[1 + max_sub_block] = {};
    std::size_t fill = 0;

    void put_byte(std::uint8_t b) {
        block[1 + fill++] = b;
        if (fill == max_sub_block) end_block();
    }
    void end_block() {
        if (fill == 0) return;
        bytes += 1 + fill;
        if (writing) {
            block[0] = static_cast<std::uint8_t>(fill);
            write_out(block, 1 + fill);
        }
        fill = 0;
    }
    void put(unsigned code, int width) {
        acc |= code << bits;
        for (bits += width; bits >= 8; bits -= 8, acc >>= 8) put_byte(static_cast<std::uint8_t>(acc));
    }
    void finish() {
        if (bits > 0) put_byte(static_cast<std::uint8_t>(acc));
        end_block();
    }
};

void encode_run(std::uint64_t pixels, code_sink& out) {
    int width = run_code_size + 1;
    unsigned next = run_first_entry;  // the decoder's next entry
    bool first = true;                // no code since the last clear
    out.put(run_clear, width);
    while (pixels > 0) {
        if (first) {
            out.put(0, width);
            pixels -= 1;
            first = false;
            continue;
        }
        std::uint64_t run = next - run_first_entry + 2;  // pixels the code `next` names
        unsigned code = next;
        if (pixels < run) {  // the rest: a shorter run made before
            run = pixels;
            code = run == 1 ? 0 : static_cast<unsigned>(run + run_first_entry - 2);
        }
        out.put(code, width);
        pixels -= run;
        if (++next == (1u << width) && width < lzw_max_width) ++width;
        if (next == static_cast<unsigned>(lzw_table_size) && pixels > 0) {
            out.put(run_clear, width);
            width = run_code_size + 1;
            next = run_first_entry;
            first = true;
        }
    }
    out.put(run_end, width);
    out.finish();
}

// Control block, descriptor with a two-entry table and the minimum code
// size: everything before the data sub-blocks.
constexpr std::size_t head_size = frame_control_size + 1 + image_descriptor_size + 2 * entry_size + 1;

}  // namespace

std::uint64_t clear_frame_size(std::uint64_t pixels) {
    code_sink count(false);
    encode_run(pixels, count);
    return head_size + count.bytes + 1;
}

void write_clear_frame(const clear_area& area, int delay) {
    std::uint8_t head[head_size] = {};
    std::memcpy(head, frame_control_template, frame_control_size);
    head[frame_control_packed] = disposal_clear << control_disposal_shift | control_transparent;
    put_u16(head + frame_control_delay, delay);
    std::uint8_t* desc = head + frame_control_size;
    desc[0] = image_separator;
    put_u16(desc + 1 + image_left, area.left);
    put_u16(desc + 1 + image_top, area.top);
    put_u16(desc + 1 + image_width, area.width);
    put_u16(desc + 1 + image_height, area.height);
    desc[1 + image_packed] = table_flag;  // a local table of two entries, both black
    head[head_size - 1] = run_code_size;
    write_out(head, head_size);
    code_sink sink(true);
    encode_run(std::uint64_t(area.width) * std::uint64_t(area.height), sink);
    write_out(&block_terminator, 1);
}
