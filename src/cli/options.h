// The command line: options into the run settings, and the usage text.
#pragma once

#include <string>
#include <vector>

struct command_line {
    int help = 0;                     // -h was seen: print the usage text
    std::string output = "out.gif";   // -o
    std::vector<std::string> inputs;  // the input names, in order
    std::string unknown;              // a word taken for a long option that is none
};

// Reads the command line from argv[1] on into the run settings.
// Short options (-s, -o, -d, -e, -h) end at the first argument that is not
// one, and one standing last is taken as a name, except -h; the value of
// -o, -d or -e is taken whatever it looks like. Long options (--NAME) are
// recognised anywhere before a "--", which ends them; every argument after
// it is an input name. Parsing stops at the first unknown long option.
command_line parse_options(int argc, char** argv);

void print_usage();
