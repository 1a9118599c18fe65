// Frames of the program's own that make the output show a picture: each
// draws the picture's pixels within the smallest rectangle that holds the
// ones it must draw, from a local table of the colours there (of a canvas
// of one table's indices: of those its frames have drawn), and leaves the
// rest of it transparent. A picture of more than 256 colours takes
// several such frames, 255 colours each; all but the last are shown for 2
// hundredths, taken from the picture's time. Where the output may show
// pixels that the picture has not, a clear frame takes them away first.
// Where the output's picture is known exactly, only what differs from it
// is drawn.
#pragma once

#include "gif/canvas.h"
#include "gif/lzw/lzw_encoder.h"
#include "gif/output.h"
#include "gif/rebuild/colour_ids.h"
#include "gif/rebuild/file_canvas.h"
#include "gif/rebuild/index_plane.h"
#include "gif/rebuild/row_coding.h"
#include "gif/rebuild/shown_mask.h"
#include "gif/rebuild/side_thread.h"

struct rebuilt_picture {
    picture_view pic;
    const canvas_journal* undo = nullptr;  // pixels of pic put back, where it is a canvas that has changed since
    box region;            // the part of the file's screen that must show the picture
    const shown_mask* shown = nullptr;     // what the output may show drawn there; null: nothing
    const picture_view* under = nullptr;   // exactly what it shows there, where that is known
    box owed;              // a part of the region to clear all the same
    int delay = 0;         // the picture's time, hundredths of a second
    bool restore = false;  // the picture goes again after its time (disposal 3), where one frame draws it
    int left_offset = 0, top_offset = 0;  // where the file's screen lies on the output's canvas
};

// What rebuilding works in: the run's. With a spool, the frames wait there
// (see reverse_spool.h) instead of going out.
struct rebuild_tools {
    canvas_state& canvas;  // the output's
    output_stream& out;
    row_coders coders;            // the second thread among them also looks over a large picture's lower rows
    colour_ids& ids;
    colour_ids& second_ids;       // the colours of a large picture's lower rows, met there
    index_plane& plane;           // the picture's colours as numbered, for coding
    output_stream* spool = nullptr;
};

// Writes the frames; the last one keeps its picture (disposal 1), or with
// `restore` puts back what was under it where it is the only one.
struct picture_written {
    box drawn;      // the part of the screen the frames draw
    bool restores;  // the frame is disposed of by putting back what was under it
};
picture_written write_picture(const rebuild_tools& t, const rebuilt_picture& p);
