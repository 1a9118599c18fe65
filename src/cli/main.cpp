// reeljoin: joins GIF files into one animated GIF that loops for ever,
// copying every image's compressed data through unchanged.
#include <cstdio>

#include "cli/driver.h"
#include "cli/options.h"

int main(int argc, char** argv) {
    command_line cl = parse_options(argc, argv);
    if (!cl.unknown.empty()) {
        std::printf("Unknown option: %s\n", cl.unknown.c_str());
        return 1;
    }
    if (cl.help) {
        print_usage();
        return 0;
    }
    return run_join(cl.output, cl.inputs);
}
