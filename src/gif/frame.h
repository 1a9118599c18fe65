// Re-framing of one input image: a frame control block of the program's
// own, the image descriptor with a colour table of the image's own, the
// minimum code size and the copied image data.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gif/run.h"

// What an image takes from its own graphic control extension.
struct frame_control {
    int present = 0;
    std::uint8_t packed = 0;
    std::uint8_t index = 0;
    int delay = 0;  // hundredths of a second; 0 when not given
};

// The current file's screen: size field and entry count of its global
// table (the count is set whether or not the table is there), and how far
// its frames are moved on the output's canvas.
struct screen_info {
    int width = 0, height = 0;  // as the file shows alone: its screen, grown to its first image
    std::uint8_t size_field = 0;
    std::size_t glob_color_size = 2;
    int left_offset = 0, top_offset = 0;
};

// Keeps the entries of a global table that was read whole; an image
// without a local table whose file has none borrows them later.
void save_global_table(join_run& r, const std::uint8_t* table, std::size_t entries);

// Fills the 8-byte frame control block: the run's delay, and the
// transparency and disposal of the image's own control extension.
void build_frame_control(std::uint8_t* out, int delay, const frame_control& own);

// An image's descriptor, table and minimum code size, as read.
struct image_head {
    std::size_t table_size = 0;        // bytes of its colour table (its own or the file's)
    const std::uint8_t* table = nullptr;  // the table, in the run's buffer
    int code_size = 0;
    int left = 0, top = 0, width = 0, height = 0;  // on the file's screen
    bool interlaced = false;
};

// Reads the descriptor, table and minimum code size of the image whose
// separator has just been read, into the run's buffer. Returns 0 when the
// input ended first or the code size cannot be walked.
int read_image_head(join_run& r, const screen_info& screen, image_head& h);

// Writes the image whose head was read, its image data copied (and given
// to the tap as it is read). Returns what reframe_image returns.
int write_image(join_run& r, int delay, const frame_control& own, const screen_info& screen, image_head& h,
                data_tap tap);

// Re-frames the image whose separator has just been read. Nothing of it is
// written unless its descriptor, local table and minimum code size byte
// were read whole and the code size can be walked. Returns 1 when the pass
// can go on with the next block, 0 when it must end there.
int reframe_image(join_run& r, int delay, const frame_control& own, const screen_info& screen);
