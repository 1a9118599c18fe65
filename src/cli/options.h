// The command line: options into a join's settings, and the usage text.
#pragma once

#include <string>
#include <vector>

#include "gif/gif.h"
#include "reeljoin/join.h"

struct command_line {
    join_settings settings;           // what the options set
    int help = 0;                     // -h was seen: print the usage text
    int long_help = 0;                // --help: the usage text and the long options
    int version = 0;                  // --version
    std::string output = "out.gif";   // -o
    std::vector<reeljoin::input> inputs;  // the inputs, in order
    std::vector<std::string> lists;   // --files-from: files naming more inputs
    std::string unknown;              // a word taken for a long option that is none
    std::string invalid;              // a long option whose value is missing or wrong
    std::string wrong_selection;      // the line saying why a selection cannot be taken
};

// Reads the command line from argv[1] on.
// Short options (-s, -o, -d, -e, -h) end at the first argument that is not
// one, and one standing last is taken as a name, except -h; the value of
// -o, -d or -e is taken whatever it looks like. Long options (--NAME) are
// recognised anywhere before a "--", which ends them; every argument after
// it is an input name. A long option's value follows an "=" or stands in
// the next argument. Parsing stops at -h, --help, --version and at the
// first long option that is unknown or has a wrong value.
command_line parse_options(int argc, char** argv);

void print_usage();
void print_long_usage();  // the usage text, then a line for each long option
void print_version();
