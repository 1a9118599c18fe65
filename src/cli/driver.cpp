#include "cli/driver.h"

#include <sys/stat.h>

#include <cstdio>
#include <memory>

#include "cli/census.h"
#include "cli/interrupt.h"
#include "gif/gif.h"
#include "gif/layout.h"
#include "gif/output.h"
#include "gif/output_file.h"
#include "gif/output_table.h"
#include "gif/run.h"
#include "gif/stream.h"

namespace {

// Gives every name its frame role and reads it. The first file read
// successfully gets the header; once all existing files but one have been
// read, the rest get the last-frame delay. A file that fails leaves its
// role to the next. Returns 1 when at least one file was read.
int read_inputs(join_run& r, const std::vector<std::string>& names, int existing) {
    if (existing == 1) {
        int any = 0;
        for (const std::string& name : names) any |= gif_read(r, role_single, name.c_str());
        return any;
    }
    int k = 0;
    std::size_t i = 0;
    for (; i < names.size() && k < existing - 1; ++i)
        if (gif_read(r, k, names[i].c_str())) ++k;
    int any = k > 0;
    for (; i < names.size(); ++i) any |= gif_read(r, role_last, names[i].c_str());
    return any;
}

// Opens the output with the signals held, so that its new file is removed
// on a signal from the moment it exists; an output already open (standard
// output) is taken as it is. Returns 1 when open.
int open_guarded(join_run& r, const std::string& output, int output_fd, output_file& f) {
    if (output_fd >= 0) {
        f = output_file{};
        f.fd = output_fd;
        output_to(r.out, f.fd);
        return 1;
    }
    hold_interrupts();
    int opened = open_output_file(output, f);
    if (opened) guard_file(f.temp.c_str());
    release_interrupts();
    if (opened) output_to(r.out, f.fd);
    return opened;
}

// Flushes and closes the output, then makes it the output where the run
// wrote a join, else takes it away; a write that failed on the way, the
// close or the replacement is reported once. Returns 1 when all of it was
// written.
int finish_output(join_run& r, const std::string& output, output_file& f, int any) {
    int ok = close_output(r.out);
    if (any && ok)
        ok = commit_output_file(f, output_position(r.out));
    else
        abandon_output_file(f);
    guard_file(nullptr);
    if (!ok) std::printf("Unable to write output file: %s\n", output.c_str());
    return ok;
}

}  // namespace

int run_join(const join_request& q) {
    const std::string& output = q.output;
    if (q.names.empty()) {
        std::fprintf(stderr, "reeljoin: no input files; try 'reeljoin --help'\n");
        return 1;
    }
    auto run = std::make_unique<join_run>();
    join_run& r = *run;
    r.settings = q.settings;
    r.in.stdin_taken = q.stdin_taken;
    // The output is not touched before the census: an output that exists
    // is found among the inputs by what stat says of it.
    struct stat existing_output;
    bool output_exists = q.output_fd >= 0 ? fstat(q.output_fd, &existing_output) == 0
                                          : stat(output.c_str(), &existing_output) == 0;
    // With --fit into a regular file the header's size is rewritten as
    // larger inputs come; centring must know the canvas before the first
    // frame, and a pipe cannot be rewritten, so those read every header
    // first.
    bool regular = !output_exists || S_ISREG(existing_output.st_mode);
    int screens = r.settings.fit_canvas && (r.settings.center_frames || !regular);
    census c = take_census(r, q.names, screens, output_exists ? &existing_output : nullptr);
    if (c.output_is_input) {
        std::printf("Output file is also an input: %s\n", output.c_str());
        return 1;
    }
    if (c.existing == 0) return 1;
    output_file f;
    if (!open_guarded(r, output, q.output_fd, f)) {
        std::printf("Unable to open output file: %s\n", output.c_str());
        return 1;
    }
    if (const table_candidate* common = most_common_table(c.tables))
        set_output_table(r.table, common->table, common->entries);
    r.fit_width = c.width;
    r.fit_height = c.height;
    int any = read_inputs(r, q.names, c.existing);
    if (any) write_out(r.out, &layout::trailer, 1);
    int written = finish_output(r, output, f, any);
    return any && written ? 0 : 1;
}
