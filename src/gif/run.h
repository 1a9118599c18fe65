// Everything one join holds, from its first file to its trailer: its
// settings, its output and input streams, its buffers, the colours it saved
// and the table it chose, and its canvas. A join owns one, and nothing of
// it is shared with another join, so joins can follow one another with
// other settings, or run at once in other threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gif/canvas.h"
#include "gif/gif.h"
#include "gif/image_data.h"
#include "gif/layout.h"
#include "gif/output.h"
#include "gif/lzw/lzw_encoder.h"
#include "gif/output_table.h"
#include "gif/resident.h"
#include "gif/selection_plan.h"
#include "gif/rebuild/colour_ids.h"
#include "gif/rebuild/cropped_frame.h"
#include "gif/rebuild/file_canvas.h"
#include "gif/rebuild/frame_paint.h"
#include "gif/rebuild/index_plane.h"
#include "gif/rebuild/offered_task.h"
#include "gif/rebuild/painting_behind.h"
#include "gif/rebuild/rebuild_room.h"
#include "gif/rebuild/side_thread.h"
#include "gif/stream.h"

// The entries of the most recent global table read whole, entry by entry.
// Entries above it keep what older, larger tables left there.
struct saved_colours {
    std::uint8_t red[layout::max_table_entries];
    std::uint8_t grn[layout::max_table_entries];
    std::uint8_t blu[layout::max_table_entries];
};

// What a join that takes only some frames of a file works in: the file's
// canvas, the painter that draws frames on it, what writes pictures, and
// where the pictures of a backward range wait. Made for a large screen, it
// sits at the start of a block whose rest is room for its buffers.
struct rebuild_state {
    rebuild_room room;  // first: the buffers below may take it
    file_canvas canvas;
    frame_painter painter;
    painting_behind behind;  // the run's side thread may paint with it until that thread ends
    index_plane plane;
    lzw_encoder encoder;
    lzw_encoder second_encoder;
    room_vector<std::uint8_t> second_codes;  // that part's codes, until the first part's are written
    offered_task* offer = nullptr;  // set: pictures' second parts are offered there, not coded beside
    colour_ids ids;
    colour_ids second_ids;
    std::unique_ptr<frame_crop> crop;  // a frame cut to its screen, made for the first
    output_stream spool;
    std::vector<std::uint8_t> spool_memory;  // the spool where no temporary file can be made

    static void* operator new(std::size_t n) { return resident_new(n); }  // zeroed whole as it is made
    static void operator delete(void* p) { ::operator delete(p); }
};

// Ends a rebuild state, and the block it sits in.
struct rebuild_state_end {
    void operator()(rebuild_state* b) const;
};
using rebuild_ptr = std::unique_ptr<rebuild_state, rebuild_state_end>;

// A rebuild state for files of screen_pixels pixels (0: not known): one
// that fits in a block, but for a small screen, where the block would cost
// more memory than it saves time, gets one.
rebuild_ptr make_rebuild_state(std::uint64_t screen_pixels);

// n bytes of the state's block beside its canvas, where the second coder's
// codes still fit after them; null where they do not.
void* spare_room(rebuild_state& b, std::size_t n);

// The input the run reads after the one it reads now, where it is known:
// a file read ahead must be the one read next, with these frames and role.
struct next_input {
    std::string path;  // empty: none known
    std::vector<selection_range> ranges;
    int role = 0;
};

// A file being read ahead, or read ahead and waiting for its turn
// (reading_ahead.h); its thread ends before the run's other parts go.
struct ahead_job;
struct ahead_slot {
    std::unique_ptr<ahead_job> job;
    ahead_slot();
    ~ahead_slot();
    ahead_slot(const ahead_slot&) = delete;
    ahead_slot& operator=(const ahead_slot&) = delete;
};

// Where a run's messages go, a line at a time without its newline; with
// none, they are printed on standard output.
using message_sink = void (*)(void* context, const char* line);

struct join_run {
    join_settings settings;
    message_sink say = nullptr;
    message_sink warn = nullptr;  // warnings, which the program prints on standard error
    void* say_context = nullptr;   // given to both
    const char* in_name = "";      // the input being read, for its messages
    int fit_width = 0, fit_height = 0;  // with fit_canvas: the largest screen, read before the join
    output_stream out;
    input_stream in;
    std::uint8_t data[data_capacity];  // where blocks are read and assembled
    sub_block_window window;
    saved_colours saved;
    chosen_table table;
    canvas_state canvas;
    rebuild_ptr rebuilding;  // made for the first frame rebuilt or cut
    // The run's second thread: codes part of a large frame and paints
    // frames behind beside the run's own, and reads the next file ahead.
    // It ends before the rebuild state it works in.
    side_thread side;
    next_input next;
    ahead_slot ahead;  // last: what it works in is the run's, or was lent by it

    static void* operator new(std::size_t n) { return resident_new(n); }  // zeroed whole as it is made
    static void operator delete(void* p) { ::operator delete(p); }

    image_data_io io() { return {in, out, window}; }
    // The rebuild state, made for files of screen_pixels pixels where there is none.
    rebuild_state& rebuild(std::uint64_t screen_pixels = 0) {
        if (!rebuilding) rebuilding = make_rebuild_state(screen_pixels);
        return *rebuilding;
    }
};

// Sends one message line of the run where it goes.
void run_message(join_run& r, const char* line);

// A warning: on standard error where the run has no sink for them.
void run_warning(join_run& r, const char* line);
