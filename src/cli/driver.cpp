#include "cli/driver.h"

#include <cstdio>

#include "cli/interrupt.h"
#include "reeljoin/join.h"

namespace {

reeljoin::settings library_settings(const join_settings& j, bool stdin_taken) {
    reeljoin::settings s;
    s.quiet = !j.verb;
    s.delay = j.loop_delay;
    s.last_delay = j.loop_end_delay;
    s.keep_delays = j.keep_delays;
    s.fit = j.fit_canvas;
    s.center = j.center_frames;
    s.compact = j.compact_tables;
    if (j.loop_mode == loop_given) s.loop = j.loop_count;
    s.no_loop = j.loop_mode == loop_none;
    s.standard_input_used = stdin_taken;
    return s;
}

}  // namespace

int run_join(const join_request& q) {
    if (q.inputs.empty()) {
        std::fprintf(stderr, "reeljoin: no input files; try 'reeljoin --help'\n");
        return 1;
    }
    reeljoin::output out = q.output_fd >= 0 ? reeljoin::output::descriptor(q.output_fd, q.output)
                                            : reeljoin::output::file(q.output);
    // Messages are printed as they come; the new output file is removed on
    // a signal from the moment it exists.
    reeljoin::events on;
    on.message = [](const std::string& line) { std::printf("%s\n", line.c_str()); };
    on.warning = [](const std::string& line) {
        std::fflush(stdout);  // where both are one terminal, the lines stay in order
        std::fprintf(stderr, "%s\n", line.c_str());
    };
    on.opening = hold_interrupts;
    on.opened = [](const std::string& file) {
        guard_file(file.c_str());
        release_interrupts();
    };
    on.closed = [] { guard_file(nullptr); };
    reeljoin::report r = reeljoin::join(q.inputs, out, library_settings(q.settings, q.stdin_taken), on);
    return r.written ? 0 : 1;
}
