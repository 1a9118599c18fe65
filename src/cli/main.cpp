// reeljoin: joins GIF files into one animated GIF that loops for ever,
// copying every image's compressed data through unchanged.
#include <unistd.h>

#include <cstdio>

#include "cli/driver.h"
#include "cli/interrupt.h"
#include "cli/name_list.h"
#include "cli/options.h"

namespace {

// With -o - the animation goes to standard output, so every message goes
// to standard error: descriptor 1 becomes standard error, and the
// animation's descriptor is returned.
int take_standard_output() {
    int fd = dup(STDOUT_FILENO);
    dup2(STDERR_FILENO, STDOUT_FILENO);
    return fd;
}

}  // namespace

int main(int argc, char** argv) {
    command_line cl = parse_options(argc, argv);
    bool to_stdout = cl.output == "-";
    bool terminal = to_stdout && isatty(STDOUT_FILENO);
    int output_fd = to_stdout ? take_standard_output() : -1;
    if (!cl.unknown.empty()) {
        std::printf("Unknown option: %s\n", cl.unknown.c_str());
        return 1;
    }
    if (!cl.invalid.empty()) {
        std::printf("Invalid option value: %s\n", cl.invalid.c_str());
        return 1;
    }
    if (cl.help || cl.long_help) {
        cl.help ? print_usage() : print_long_usage();
        return 0;
    }
    if (cl.version) {
        print_version();
        return 0;
    }
    for (const std::string& list : cl.lists)
        if (!read_name_list(list, cl.inputs)) {
            std::printf("Unable to read file list: %s\n", list.c_str());
            return 1;
        }
    if (terminal) {
        std::printf("reeljoin: standard output is a terminal; redirect it, or name a file with -o\n");
        return 1;
    }
    handle_interrupts();
    join_request q;
    q.output = cl.output;
    q.output_fd = output_fd;
    q.names = std::move(cl.inputs);
    q.settings = cl.settings;
    for (const std::string& list : cl.lists) q.stdin_taken |= list == "-";
    return run_join(q);
}
