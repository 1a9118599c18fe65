#include "gif/reading_ahead.h"

#include <sys/stat.h>

#include <cstring>

#include "gif/rebuild/offered_task.h"
#include "gif/rebuild/reverse_spool.h"
#include "gif/selection_plan.h"
#include "gif/stream.h"

static_assert(alignof(join_run) <= 64, "room is taken 64 bytes aligned");

// Ends the job's run: made in a rebuild state's room, it is only ended
// there, and the room goes with the state.
struct job_run_end {
    bool in_room = false;
    void operator()(join_run* r) const {
        if (in_room)
            r->~join_run();
        else
            delete r;
    }
};

struct ahead_job {
    std::unique_ptr<join_run, job_run_end> run;  // its own input, buffers and saved colours, and what it was lent
    void* run_room = nullptr;       // room in a rebuild state's block, taken for the run before it is made
    rebuild_state* home = nullptr;  // that state: it must outlive the run
    rebuild_ptr home_kept;          // the same, where the run's thread made another meanwhile
    next_input file;                // the file it reads
    join_settings settings;         // the run's, and its saved colours, given by the run's thread
    saved_colours saved;
    rebuild_ptr lent;
    std::vector<std::uint8_t> stray;  // where the job's run would write: nothing may go there
    bool running = false;           // the second thread reads it, or has read it
    bool ready = false;             // a picture waits in the spool, and the pass can go on
    bool said = false;              // it had something to say: the pass at the file's turn says it
    struct stat read;               // the file as it was read: at its turn it must be the same
    screen_info screen;
    pass_state pass;
    block_place at;
    int delay = 0;                  // the picture's
    std::uint64_t resume_at = 0;    // where the file's pass goes on
    offered_task offer;             // the picture's second part, for the run's thread while it waits
    side_thread* worker = nullptr;  // the run's side thread, which reads it
};

ahead_slot::ahead_slot() = default;

// A run that ends with a file read ahead, not yet at its turn, closes its spool.
ahead_slot::~ahead_slot() {
    if (!job) return;
    if (job->worker) job->worker->wait();
    rebuild_ptr states[] = {std::move(job->lent), job->run ? std::move(job->run->rebuilding) : nullptr,
                            std::move(job->home_kept)};
    for (rebuild_ptr& s : states)
        if (s) spool_done(s->spool);
    job.reset();  // its run may lie in one of the states' room: it ends first
}

namespace {

void note_said(void* context, const char*) { static_cast<ahead_job*>(context)->said = true; }

bool same_ranges(const std::vector<selection_range>& a, const std::vector<selection_range>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].first != b[i].first || a[i].last != b[i].last || a[i].to_end != b[i].to_end) return false;
    return true;
}

// The same file, unchanged since: a file rewritten or replaced meanwhile is read again.
bool same_file(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

bool same_screen(const screen_info& a, const screen_info& b) {
    return a.width == b.width && a.height == b.height && a.size_field == b.size_field &&
           a.glob_color_size == b.glob_color_size && a.left_offset == b.left_offset && a.top_offset == b.top_offset;
}

// Reads the file up to its first picture, made into the spool; false
// where anything went otherwise than a pass at its turn would allow.
bool read_to_first_picture(ahead_job& j) {
    join_run& a = *j.run;
    if (!open_input(a.in, j.file.path.c_str()) || ::fstat(a.in.fd, &j.read) != 0 || !S_ISREG(j.read.st_mode)) return false;
    std::size_t table_size = 0;
    if (!read_file_header(a, j.screen, true, table_size)) return false;
    selection_plan plan;
    plan.ranges = j.file.ranges;
    j.pass = pass_state{};
    next_pass(plan, j.pass.spans);
    j.pass.last_pass = plan.next_range >= plan.ranges.size();
    pass_begin(a, j.pass, j.screen, false);
    j.pass.ahead = true;
    // The picture's second part is not coded beside, where it would take
    // the processor the run's copying needs: this thread codes it after the
    // first, unless the run's thread, done and waiting, takes it first.
    a.rebuild().offer = &j.offer;
    j.at = block_place{};
    output_stream& spool = a.rebuild().spool;
    const std::uint64_t out_at = output_position(a.out);
    for (;;) {
        int delay = a.settings.keep_delays ? j.at.pending.delay : run_delay_of(a, j.file.role);
        std::uint64_t before = output_position(spool);
        if (!read_block(a, j.file.role, j.screen, &j.pass, j.at)) return false;
        if (j.said || output_position(a.out) != out_at) return false;  // only the file's turn may copy or speak
        if (output_position(spool) > before) {
            j.delay = delay;
            break;
        }
    }
    std::int64_t at = input_offset(a.in);
    if (at < 0 || j.pass.behind || j.pass.short_of_room || a.rebuild().canvas.short_of_room) return false;
    j.resume_at = static_cast<std::uint64_t>(at);
    return true;
}

void make_run(void* context);

// Gives the job's run what the run lent it and what it reads with.
void set_up(ahead_job& j) {
    if (!j.run) make_run(&j);
    join_run& a = *j.run;
    a.settings = j.settings;
    a.say = a.warn = note_said;
    a.say_context = &j;
    a.saved = j.saved;
    a.canvas = canvas_state{};
    a.canvas.out = &a.out;
    a.in.stdin_taken = true;  // never standard input
    a.in_name = j.file.path.c_str();
    a.rebuilding = std::move(j.lent);
}

void read_ahead(void* context) {
    ahead_job& j = *static_cast<ahead_job*>(context);
    try {
        set_up(j);
        j.ready = read_to_first_picture(j);
    } catch (...) {
        j.ready = false;
    }
    if (!j.run) return;  // nothing was read: what was lent is still in the job
    if (j.run->rebuilding) j.run->rebuilding->offer = nullptr;
    if (!j.ready) {
        try {
            pass_end(*j.run, j.pass);  // a frame may still be painted behind
        } catch (...) {
        }
        if (j.run->rebuilding) spool_done(j.run->rebuilding->spool);
    }
    close_input(j.run->in);
}

// Forgets a picture made ahead that will not go out.
void discard(join_run& r, ahead_job& j) {
    if (!j.ready) return;
    j.ready = false;
    if (r.rebuilding) spool_done(r.rebuilding->spool);
}

}  // namespace

bool ahead_wanted(join_run& r) {
    const next_input& n = r.next;
    if (n.path.empty() || n.ranges.empty() || r.settings.fit_canvas || r.settings.center_frames) return false;
    if (names_standard_input(n.path.c_str()) || (r.ahead.job && (r.ahead.job->running || r.ahead.job->ready))) return false;
    if (counts_from_end(n.ranges) || !one_pass(n.ranges)) return false;
    selection_plan plan;
    plan.ranges = n.ranges;
    std::vector<frame_span> spans;
    next_pass(plan, spans);
    return !spans.empty() && spans[0].first >= 1 && !spans[0].backwards;
}

namespace {

// The job's run, made on the side thread while the run's is busy with the
// file before: making it writes all its memory, which in the room of a
// rebuild state's block is already in place.
void make_run(void* context) {
    ahead_job& j = *static_cast<ahead_job*>(context);
    if (j.run_room)
        j.run = {::new (j.run_room) join_run(), job_run_end{true}};
    else
        j.run = {new join_run(), job_run_end{}};
    output_to_memory(j.run->out, j.stray);
    // It runs on the run's side thread: what it would give a thread of
    // its own, it does itself.
    j.run->side.decline();
}

}  // namespace

void ahead_prepare(join_run& r) {
    std::unique_ptr<ahead_job>& made = r.ahead.job;
    if (!made) made = std::make_unique<ahead_job>();
    if (made->running) return;
    made->worker = &r.side;
    made->worker->wait();  // for a run it may be making still: a file read in several passes prepares each time
    if (made->run) return;
    made->run_room = r.rebuilding ? spare_room(*r.rebuilding, sizeof(join_run)) : nullptr;
    if (made->run_room) made->home = r.rebuilding.get();
    if (!made->worker->start(make_run, made.get())) make_run(made.get());
}

void ahead_start(join_run& r) {
    if (!r.ahead.job) r.ahead.job = std::make_unique<ahead_job>();
    ahead_job& j = *r.ahead.job;
    j.file = r.next;
    j.settings = r.settings;
    j.saved = r.saved;
    j.said = false;
    j.ready = false;
    j.lent = std::move(r.rebuilding);
    j.worker = &r.side;
    j.worker->wait();  // for the run it may be making; else the job makes it
    if (!j.worker->start(read_ahead, &j)) {
        r.rebuilding = std::move(j.lent);
        return;
    }
    j.running = true;
}

namespace {

void help(void* offer) { static_cast<offered_task*>(offer)->help(); }

// Waits for the job, coding the second part of its picture where it is
// offered meanwhile, and takes back what was lent.
void take_back(join_run& r, ahead_job& j) {
    if (!j.running) return;
    j.worker->wait_awake(std::chrono::microseconds(3000), help, &j.offer);
    j.running = false;
    rebuild_ptr& lent = j.run && !j.lent ? j.run->rebuilding : j.lent;
    if (!r.rebuilding) r.rebuilding = std::move(lent);
    if (lent) spool_done(lent->spool);
    if (lent && lent.get() == j.home)
        j.home_kept = std::move(lent);  // the job's run lies in its room
    lent.reset();
}

}  // namespace

void ahead_finish(join_run& r, const char* path, const std::vector<selection_range>* ranges) {
    if (!r.ahead.job) return;
    ahead_job& j = *r.ahead.job;
    take_back(r, j);
    if (!path || !ranges || j.file.path != path || !same_ranges(j.file.ranges, *ranges)) discard(r, j);
}

bool ahead_waiting(join_run& r) {
    if (!r.ahead.job) return false;
    take_back(r, *r.ahead.job);
    return r.ahead.job->ready;
}

bool ahead_resume(join_run& r, int role, const screen_info& screen, pass_state& pass, block_place& at) {
    if (!r.ahead.job || !r.ahead.job->ready) return false;
    ahead_job& j = *r.ahead.job;
    struct stat now;
    bool same = j.file.role == role && r.in.fd >= 0 && ::fstat(r.in.fd, &now) == 0 &&
                same_file(j.read, now) && same_screen(j.screen, screen) &&
                std::memcmp(&j.run->saved, &r.saved, sizeof r.saved) == 0;
    if (!same || !input_seek(r.in, j.resume_at)) {
        discard(r, j);
        return false;
    }
    j.ready = false;
    pass = j.pass;
    pass.ahead = false;
    rebuild_state& b = r.rebuild();
    std::uint64_t before = output_position(r.out);
    write_spooled(b.spool, r.canvas, r.out);
    at = j.at;
    at.frames = output_position(r.out) > before ? file_frames{1, j.delay} : file_frames{};
    return true;
}
