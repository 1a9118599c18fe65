// reeljoin: joins GIF files into one animated GIF that loops for ever,
// copying every image's compressed data through unchanged.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/driver.h"
#include "cli/interrupt.h"
#include "cli/name_list.h"
#include "cli/options.h"

namespace {

// With the animation on standard output, every message goes to standard
// error: descriptor 1 becomes standard error, and the animation's
// descriptor is returned.
int take_standard_output() {
    int fd = dup(STDOUT_FILENO);
    dup2(STDERR_FILENO, STDOUT_FILENO);
    return fd;
}

// Whether the output is standard output under another name (/dev/stdout,
// or the file standard output was sent to): written through descriptor 1,
// with the messages beside it on standard error, as with -o -.
bool names_standard_output(const std::string& output) {
    struct stat named, out;
    return output != "-" && stat(output.c_str(), &named) == 0 && fstat(STDOUT_FILENO, &out) == 0 &&
           named.st_dev == out.st_dev && named.st_ino == out.st_ino;
}

// A short option after the first name is a name; where no file has it,
// the user most likely meant the option, and is told.
void warn_of_options_taken_as_names(const std::vector<reeljoin::input>& inputs) {
    struct stat st;
    for (const reeljoin::input& in : inputs) {
        const std::string& name = in.name();
        bool short_option = name == "-s" || name == "-o" || name == "-d" || name == "-e" || name == "-h";
        if (short_option && stat(name.c_str(), &st) != 0)
            std::fprintf(stderr, "reeljoin: '%s' is taken as a file name here; options go before the first file\n",
                         name.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    command_line cl = parse_options(argc, argv);
    bool terminal = cl.output == "-" && isatty(STDOUT_FILENO);
    bool to_standard_output = cl.output == "-" || names_standard_output(cl.output);
    int output_fd = to_standard_output ? take_standard_output() : -1;
    if (to_standard_output && output_fd < 0) {  // else the join would make a file of that name
        std::printf("Unable to open output file: %s\n", cl.output.c_str());
        return 1;
    }
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
        if (!read_name_list(list, cl.inputs, cl.wrong_selection)) {
            std::printf("Unable to read file list: %s\n", list.c_str());
            return 1;
        }
    if (!cl.wrong_selection.empty()) {
        std::printf("%s\n", cl.wrong_selection.c_str());
        return 1;
    }
    if (terminal) {
        std::printf("reeljoin: standard output is a terminal; redirect it, or name a file with -o\n");
        return 1;
    }
    warn_of_options_taken_as_names(cl.inputs);
    handle_interrupts();
    join_request q;
    q.output = cl.output;
    q.output_fd = output_fd;
    q.inputs = std::move(cl.inputs);
    q.settings = cl.settings;
    for (const std::string& list : cl.lists) q.stdin_taken |= list == "-";
    return run_join(q);
}
