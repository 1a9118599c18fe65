// An independent reading of a GIF file's block structure, as the file pass
// is meant to see it, and the bytes the pass must write for it. It works on
// the whole file in memory and finds the end of each code stream with its
// own code counter, so that it shares no code with the program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "gif_writer.h"

namespace testgif {

// Where an image's code stream ends: feed it the stream's bytes in order.
class code_counter {
public:
    explicit code_counter(int min_code_size);
    // Takes one byte; returns true once the end-of-information code has
    // been read (bytes after it are not looked at).
    bool take(std::uint8_t byte);
    // Acts on one code, as take() does for each code it completes.
    void code(unsigned c);
    bool ended() const { return ended_; }
    int entries() const { return next_; }  // the number of the next table entry
    int width() const { return width_; }   // bits of the next code
    unsigned clear_code() const { return clear_; }
    int previous() const { return prev_; }  // the last data code, -1 after a clear
    // Whether a data code named an entry not made yet (looked for from
    // minimum code size 2 on).
    bool named_unmade() const { return unmade_; }

private:
    unsigned clear_;
    int min_, width_, next_;
    int prev_ = -1;
    bool ended_ = false, unmade_ = false;
    std::uint32_t acc_ = 0;
    int bits_ = 0;
};

struct own_control {
    bool present = false;
    std::uint8_t packed = 0, index = 0;
    int delay = 0;
};

struct scanned_image {
    std::size_t at = 0;         // offset of the image separator
    bytes descriptor;           // the 9 bytes after the separator
    bytes local_table;          // empty when the image has none
    int code_size = 0;
    bytes data;                 // the sub-blocks the pass copies, length bytes included,
                                // up to the one that holds the end code; no terminator
    bool whole = false;         // the stream reached its end code or its own terminator
    bool end_code = false;      // it reached its end code
    bool unmade_code = false;   // a code before the end named an entry not made yet
    std::size_t data_end = 0;   // offset just past what was read of the image
    own_control control;        // the image's own graphic control extension
};

struct scanned_file {
    bool is_gif = false;        // signature, screen descriptor and global table whole
    bytes header;               // signature to the end of the global table
    int size_field = 0;         // N of the screen descriptor
    bytes global_table;         // empty when the file has none
    std::vector<scanned_image> images;  // every image the pass re-frames
    std::size_t end = 0;        // offset where the pass stops reading blocks
};

// Largest minimum code size that 12-bit codes can carry.
constexpr int max_min_code_size = 11;

scanned_file scan_gif(const bytes& file);

// Colour entries saved from the most recent global tables (768 bytes).
using saved_colours = bytes;

// What the pass writes for `file` in `role` (0 first, > 0 middle, -1 last,
// -2 single) with frame delay `delay`; updates `saved` as the pass does.
bytes expected_pass(const scanned_file& file, int role, int delay, saved_colours& saved);

// Offset of the first byte where a and b differ, or their common length.
std::size_t first_difference(const bytes& a, const bytes& b);

}  // namespace testgif
