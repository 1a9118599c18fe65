// One pass over a file that takes only some of its frames. A frame is
// copied when the output shows, at that moment, what the file alone shows
// before it: then its own image data gives its picture. Otherwise (the
// first frame after frames left out, or after one whose disposal the
// output cannot follow) the file's canvas is painted up to it and the
// picture is written as frames of the program's own. A backward range is
// painted forwards, each picture drawn over the one after it and kept in
// a spool, and written last first once its last frame is painted. The
// canvas is painted only while a later frame may need it.
#pragma once

#include <cstdint>
#include <vector>

#include "gif/canvas.h"
#include "gif/frame.h"
#include "gif/rebuild/shown_mask.h"
#include "gif/run.h"
#include "gif/selection_plan.h"

// A frame's disposal, done on the canvas only when the next frame comes,
// which may need the picture before it.
struct pending_disposal {
    box rect;
    int disposal = 0;
};

struct pass_state {
    std::vector<frame_span> spans;  // the frames the pass takes; none: it only counts them
    std::size_t span = 0;           // the span the next frame falls in or before
    std::int64_t frame = 0;         // the number of the next image
    std::int64_t paint_before = 0;  // frames before this one are painted
    bool in_step = true;     // the output shows what the file alone shows before the next frame
    box unsynced;            // where it may show otherwise, when not in step
    shown_mask shown;        // what it may show drawn on the file's screen, when not in step
    box owed;                // a rectangle the file alone has cleared and the output not yet
    box written;             // what the file's passes so far may have drawn on its screen
    bool short_of_room = false;  // a pass left out pixels its canvas could not grow to hold
    int left_offset = 0, top_offset = 0;  // the file's place on the output's canvas
    pending_disposal pending;
    bool behind = false;  // the last frame, only painted, is painted beside this thread
    std::int64_t only_painted = 0;  // frames of the pass painted, not shown, so far
    box behind_rect;
    bool last_pass = false;  // no pass over the file follows
    bool released = false;   // the rest is copied as it comes: the canvas went to another file
    bool ahead = false;      // the file is read ahead of its turn: pictures wait in the spool
    // Within a backward range: the previous frame, and what the range changes.
    box previous_rect;
    int previous_delay = 0;
    box reversed;
    bool range_open = false;    // its first frame is painted, its pictures not yet written
    shown_mask after_reversal;  // the output once the range is written: its first picture
};

// Starts a pass over a file with this screen. A pass after the file's
// first, where no clear frame takes earlier pictures away, starts with
// what earlier passes drew to draw again.
void pass_begin(join_run& r, pass_state& s, const screen_info& screen, bool redraw_all);

// The file has no more frames: a backward range it cut short is written
// from the last frame it has.
void pass_end(join_run& r, pass_state& s);

// Whether the pass has taken all its frames, so that it can stop reading.
bool pass_done(const pass_state& s);

// Whether the pass will copy all its frames to come, so that another file
// may have the canvas and what goes with it; once true, the pass no longer
// touches them.
bool pass_release(pass_state& s);

// Takes the image whose separator has just been read: copies it, paints
// it, writes its picture, or reads past it. Returns what reframe_image
// returns.
int pass_image(join_run& r, pass_state& s, int delay, const frame_control& own, const screen_info& screen);
