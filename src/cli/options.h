// The command line: options into the run settings, and the usage text.
#pragma once

#include <string>

struct command_line {
    int help = 0;                     // -h was seen: print the usage text
    std::string output = "out.gif";   // -o
    int first_input = 1;              // index of the first input name
};

// Reads the options from argv[1] on; sets verb, loop_delay and
// loop_end_delay. Options end at the first argument that is not one, and
// an option standing last is taken as a name, except -h.
command_line parse_options(int argc, char** argv);

void print_usage();
