// reeljoin: joins GIF files into one animated GIF that loops for ever,
// copying every image's compressed data through unchanged.
#include <string>
#include <vector>

#include "cli/driver.h"
#include "cli/options.h"

int main(int argc, char** argv) {
    command_line cl = parse_options(argc, argv);
    if (cl.help) {
        print_usage();
        return 0;
    }
    std::vector<std::string> names(argv + cl.first_input, argv + argc);
    return run_join(cl.output, names);
}
