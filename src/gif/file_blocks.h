// A file's header and blocks as a pass reads them, before anything of the
// header is written: what the pass at the file's turn and the pass that
// reads a later file ahead (reading_ahead.h) both do.
#pragma once

#include <cstddef>

#include "gif/frame.h"
#include "gif/run.h"
#include "gif/selection_pass.h"

// Reads signature, version, screen descriptor and global table into the
// run's buffer, keeps the table where it was read whole, and gives the
// screen; with `grows`, the size the file shows alone. Returns 0 unless
// all of them were read whole; table_size: the global table's bytes.
int read_file_header(join_run& r, screen_info& screen, bool grows, std::size_t& table_size);

// The frames one file has written so far, and the first one's delay.
struct file_frames {
    int count = 0;
    int first_delay = 0;
};

// Where the block loop stands between two blocks.
struct block_place {
    frame_control pending;  // the control extension the next image takes
    file_frames frames;
};

// The frames of a file with this role are shown for this long where they
// do not keep their own delays.
int run_delay_of(const join_run& r, int role);

// Reads and takes the next block; with a pass, takes only its frames.
// Returns 0 once the loop must stop: at the trailer, the end of the input,
// a byte that starts no block, or once the pass has all its frames.
int read_block(join_run& r, int role, const screen_info& screen, pass_state* pass, block_place& at);
