// reeljoin: joins GIF files into one animated GIF that loops for ever,
// copying every image's compressed data through unchanged.
#include <cstdio>

#include "cli/driver.h"
#include "cli/interrupt.h"
#include "cli/name_list.h"
#include "cli/options.h"

int main(int argc, char** argv) {
    command_line cl = parse_options(argc, argv);
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
    handle_interrupts();
    return run_join(cl.output, cl.inputs);
}
