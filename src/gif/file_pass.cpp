// The per-file pass: header, then the block loop that re-frames every image
// and skips everything else.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "gif/canvas.h"
#include "gif/file_blocks.h"
#include "gif/frame.h"
#include "gif/frame_count.h"
#include "gif/gif.h"
#include "gif/layout.h"
#include "gif/output_table.h"
#include "gif/reading_ahead.h"
#include "gif/rebuild/reverse_spool.h"
#include "gif/run.h"
#include "gif/selection_pass.h"
#include "gif/selection_plan.h"
#include "gif/stream.h"

namespace {

using namespace layout;

constexpr std::size_t header_size = signature_size + version_size + screen_size;

int writes_header(int role) { return role == role_first || role == role_single; }

void write_loop_block(join_run& r) {
    std::uint8_t block[loop_block_size];
    std::memcpy(block, loop_block, loop_block_size);
    put_u16(block + loop_block_count, r.settings.loop_count);
    write_out(r.out, block, loop_block_size);
}

// Gives the output's screen the global table chosen for it; returns the
// table's size. The screen descriptor's other bits stay as they were.
std::size_t put_output_table(join_run& r, std::uint8_t* screen_desc) {
    std::size_t entries = output_table_entries(r.table);
    std::uint8_t size_field = 0;
    while (table_entries(size_field) < entries) ++size_field;
    std::uint8_t& packed = screen_desc[screen_packed];
    packed = static_cast<std::uint8_t>((packed & ~(table_flag | table_size_field)) | table_flag | size_field);
    std::memcpy(r.data + header_size, output_table(r.table), entry_size * entries);
    return entry_size * entries;
}

// Makes the output's screen as large as the largest input's.
void widen_screen(join_run& r, std::uint8_t* screen_desc) {
    put_u16(screen_desc + screen_width, std::max(get_u16(screen_desc + screen_width), r.fit_width));
    put_u16(screen_desc + screen_height, std::max(get_u16(screen_desc + screen_height), r.fit_height));
}

// Gives the output's screen the size the file shows alone. Browsers grow
// a file's canvas to its first image where that reaches beyond the screen;
// a selection's first frame may be rebuilt smaller than that image, or
// leave it out, and would not grow the canvas as much.
void grow_screen(std::uint8_t* screen_desc, const screen_info& screen) {
    put_u16(screen_desc + screen_width, screen.width);
    put_u16(screen_desc + screen_height, screen.height);
}

// Moves the file's frames so that its screen sits in the middle of the
// canvas (at its left or top where the screen is the larger).
void centre_on_canvas(join_run& r, int width, int height, screen_info& screen) {
    screen.left_offset = std::max(0, (canvas_width(r.canvas) - width) / 2);
    screen.top_offset = std::max(0, (canvas_height(r.canvas) - height) / 2);
}

// In the default mode a later file's frames keep the first file's canvas,
// which cuts off what lies beyond it: the run says so.
void warn_if_clipped(join_run& r, int width, int height) {
    if (!r.settings.verb || (width <= r.canvas.width && height <= r.canvas.height)) return;
    char line[512];
    std::snprintf(line, sizeof line, "reeljoin: %s is %dx%d, larger than the canvas (%dx%d); --fit or --center makes room for it",
                  r.in_name, width, height, r.canvas.width, r.canvas.height);
    run_warning(r, line);
}

// Reads signature, version, screen descriptor and global table, and writes
// them for a role that gives the header; with `grows`, finds the size the
// file shows alone. Nothing is written, and the saved
// table is left alone, unless all of them were read whole.
int read_header(join_run& r, int role, screen_info& screen, bool grows) {
    std::size_t table_size = 0;
    if (!read_file_header(r, screen, grows, table_size)) return 0;
    std::uint8_t* screen_desc = r.data + signature_size + version_size;
    int width = get_u16(screen_desc + screen_width), height = get_u16(screen_desc + screen_height);
    if (writes_header(role)) {
        if (r.settings.fit_canvas)
            widen_screen(r, screen_desc);
        else if (grows)
            grow_screen(screen_desc, screen);
        if (r.settings.compact_tables && output_table_entries(r.table)) table_size = put_output_table(r, screen_desc);
        canvas_open(r.canvas, r.out, r.settings.fit_canvas, get_u16(screen_desc + screen_width), get_u16(screen_desc + screen_height),
                    output_position(r.out) + signature_size + version_size);
        r.data[signature_size + version_digit] = '9';
        write_out(r.out, r.data, header_size + table_size);
        if (role == role_first ? r.settings.loop_mode != loop_none : r.settings.loop_mode == loop_given) write_loop_block(r);
    }
    if (r.settings.fit_canvas) canvas_include(r.canvas, screen.width, screen.height);
    if (r.settings.center_frames) centre_on_canvas(r, screen.width, screen.height, screen);
    if (!r.settings.fit_canvas && !writes_header(role)) warn_if_clipped(r, width, height);
    return 1;
}

// With keep_delays, a still (a file of one image without a delay of its
// own) shows for the run's delay: alone it would show for ever, and a
// sequence of stills must step. Frames of an animation keep their own,
// even 0, which viewers show as 10 hundredths, as they did before.
void time_still(join_run& r, const file_frames& frames, int run_delay) {
    if (r.settings.keep_delays && frames.count == 1 && frames.first_delay == 0) retime_last_frame(r.canvas, run_delay);
}

// Whether a pass that takes some frames of a file read all of it, one image.
bool whole_still(const pass_state* pass) { return !pass || (!pass_done(*pass) && pass->frame == 1); }

// Reads the blocks up to the trailer or the end of the input; with a pass,
// takes only its frames, and stops once it has them all. Once the file
// needs no canvas, the next file may be read ahead with it.
void block_loop(join_run& r, int role, const screen_info& screen, pass_state* pass, block_place at) {
    bool lend = ahead_wanted(r);
    if (lend && pass && !pass_release(*pass)) ahead_prepare(r);  // it starts later
    do {
        // Once the pass only copies, its frames go as the plain join's do.
        bool released = pass && pass_release(*pass);
        if (lend && (!pass || released)) {
            ahead_start(r);
            lend = false;
        }
    } while (read_block(r, role, screen, pass, at));
    if (whole_still(pass)) time_still(r, at.frames, run_delay_of(r, role));
}

// The pass over an input that is open. A file whose frames are taken in
// several passes is announced by its first.
int read_open_input(join_run& r, int role, const char* name, pass_state* pass = nullptr, bool first_pass = true) {
    r.in_name = name;
    if (r.settings.verb && first_pass) run_message(r, ("Processing: " + std::string(name)).c_str());
    screen_info screen;
    int read = read_header(r, role, screen, r.settings.fit_canvas || pass);
    if (read) {
        canvas_next_file(r.canvas);
        block_place at;
        bool resumed = pass && first_pass && ahead_resume(r, role, screen, *pass, at);
        if (pass && !resumed) pass_begin(r, *pass, screen, !first_pass && !r.settings.fit_canvas);
        block_loop(r, role, screen, pass, at);
        if (pass) pass_end(r, *pass);
    } else if (first_pass) {
        run_message(r, "Not a GIF file");
    }
    close_input(r.in);
    return read;
}

// The canvas writes where the run does, as its settings say.
void bind_canvas(join_run& r) {
    r.canvas.out = &r.out;
    r.canvas.fit = r.settings.fit_canvas != 0;
}

// Where an input is read from, each time it is opened.
struct input_source {
    const char* path;  // null: the bytes
    byte_source bytes;
};

int open_source(join_run& r, const input_source& src) {
    if (src.path) return open_input(r.in, src.path);
    open_source_input(r.in, src.bytes);
    return 1;
}

void warn_all(join_run& r, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) run_warning(r, line.c_str());
}

// Reads the file once for each pass the plan needs; the first pass has the
// file's role, the later ones add frames only. Returns the first pass's result.
int read_passes(join_run& r, int role, const input_source& src, const char* name, selection_plan& plan, pass_state& pass) {
    next_pass(plan, pass.spans);  // a plan without frames still reads the file once
    int read = 0;
    for (bool first = true;; first = false) {
        if (!open_source(r, src)) {
            if (first) run_message(r, ("Unable to open GIF file: " + std::string(name)).c_str());
            return read;
        }
        int pass_role = first || role == role_last ? role : 1;
        pass.last_pass = plan.next_range >= plan.ranges.size();
        int ok = read_open_input(r, pass_role, name, &pass, first);
        if (first) read = ok;
        if (!ok) return read;
        if (!pass_done(pass)) warn_all(r, learn_frame_count(plan, pass.frame, name));
        if (!next_pass(plan, pass.spans)) return read;
    }
}

// Reads a file whose frames a selection takes, after counting its frames
// where the selection counts from the end.
int read_selected(join_run& r, int role, const input_source& src, const char* name,
                  const std::vector<selection_range>& ranges) {
    selection_plan plan;
    plan.ranges = ranges;
    if (counts_from_end(ranges) && open_source(r, src)) {
        std::int64_t frames = count_frames(r.in);
        close_input(r.in);
        if (frames >= 0) warn_all(r, learn_frame_count(plan, frames, name));
    }
    pass_state pass;
    int read = read_passes(r, role, src, name, plan, pass);
    if (r.rebuilding) spool_done(r.rebuilding->spool);
    // Only a crafted file spreads a few pixels over a vast screen.
    if (pass.short_of_room)
        run_warning(r, ("reeljoin: " + std::string(name) +
                        ": frames lie too far apart on its screen for their pictures to be rebuilt whole; pixels far from the rest are left out")
                           .c_str());
    return read;
}

}  // namespace

int gif_read(join_run& r, int role, const char* path, const std::vector<selection_range>* select) {
    ahead_finish(r, path, select);
    bind_canvas(r);
    if (select && !select->empty()) return read_selected(r, role, {path, {}}, path, *select);
    if (!open_input(r.in, path)) {
        run_message(r, ("Unable to open GIF file: " + std::string(path)).c_str());
        return 0;
    }
    return read_open_input(r, role, path);
}

int gif_read_source(join_run& r, int role, const char* name, const byte_source& source,
                    const std::vector<selection_range>* select) {
    ahead_finish(r, nullptr, nullptr);
    bind_canvas(r);
    if (select && !select->empty()) return read_selected(r, role, {nullptr, source}, name, *select);
    open_source_input(r.in, source);
    return read_open_input(r, role, name);
}
