// Reading a file ahead of its turn. While the frames of one file are
// copied, the second thread reads the next file up to the first picture
// its selection must rebuild, and makes that picture into the spool; at
// the file's turn the picture goes out and the pass goes on from there.
//
// Only a file named by a path whose selection takes frames forwards in one
// pass, starting after its first, is read ahead, in a run that keeps the
// first file's canvas (no --fit, no --center), and only once the file
// before needs no canvas of its own. Where the file at its turn is not as
// it was read ahead (rewritten or replaced since, or with another role,
// screen or saved table), where reading ahead had something to say, or
// where it met anything else unusual, its pass reads it from the start as
// before: the output is the same either way.
#pragma once

#include <vector>

#include "gif/file_blocks.h"
#include "gif/frame.h"
#include "gif/run.h"
#include "gif/selection_pass.h"

// Whether the run's next input is one to read ahead, now that the canvas
// is free to lend.
bool ahead_wanted(join_run& r);

// Makes ready what reading ahead needs, before it is needed.
void ahead_prepare(join_run& r);

// Lends the canvas and what goes with it to the second thread, which reads
// the next input ahead; where there is no second thread, nothing happens.
void ahead_start(join_run& r);

// Waits for a read ahead to end and takes back what was lent. A picture
// made ahead is kept only for the file read now, by path with these
// frames; null: a file read whole, or no file.
void ahead_finish(join_run& r, const char* path, const std::vector<selection_range>* ranges);

// Whether a picture made ahead waits for its file's turn, once the read
// ahead has ended.
bool ahead_waiting(join_run& r);

// At the file's turn, its header read (ahead_finish kept a picture only
// for this file): where it was read ahead as it is now, writes the picture made ahead, moves the input past the frames that
// were read, and gives the pass and the block loop's place to go on from.
// Returns false where the pass must read the file from its start.
bool ahead_resume(join_run& r, int role, const screen_info& screen, pass_state& pass, block_place& at);
