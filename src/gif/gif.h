// The GIF side of reeljoin: the per-file pass that re-frames one input into
// the output stream, the frame roles that say what a file contributes, and
// the run settings that the command line fills in before any file is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "gif/selection_plan.h"


// Frame role, passed to gif_read. Zero and positive values come from the
// driver's count of files read so far; the negative ones are fixed.
constexpr int role_first = 0;    // header, global table and looping block, then frames
constexpr int role_last = -1;    // frames only, with the last-frame delay
constexpr int role_single = -2;  // header and global table but no looping block
// Any positive role: a middle file, whose frames are appended.

// Whether the output loops: by default only a join of several files does;
// a loop count given explicitly applies to a single file too.
constexpr int loop_default = 0;
constexpr int loop_given = 1;
constexpr int loop_none = 2;

// A join's settings: set by the caller before the first file, read by
// the file pass.
struct join_settings {
    int verb = 1;             // 1: print "Processing: NAME" per file
    int loop_delay = 20;      // frame delay, hundredths of a second
    int loop_end_delay = 80;  // delay of the last file's frames
    int keep_delays = 0;      // 1: frames keep the delays of their own control extensions
    int fit_canvas = 0;       // 1: the canvas fits every input, and each file starts on a clear one
    int center_frames = 0;    // 1: with fit_canvas, each file's frames are centred on the canvas
    int compact_tables = 0;   // 1: frames whose colours the output's global table holds get no table
    int loop_count = 0;       // the looping block's count: 0 loops for ever
    int loop_mode = loop_default;  // loop_default, loop_given or loop_none
};

struct join_run;
struct byte_source;

// Reads one input file and writes its contribution to the run's output:
// every frame, or those a selection takes. Returns 1 when the file was
// read (to its trailer, the end of its data or a byte that starts no
// block), 0 when it cannot be opened or is not a GIF.
int gif_read(join_run& r, int role, const char* path, const std::vector<selection_range>* select = nullptr);

// The same for an input that is no file (held in memory, or read on
// demand), named `name` in the run's messages.
int gif_read_source(join_run& r, int role, const char* name, const byte_source& source,
                    const std::vector<selection_range>* select = nullptr);
