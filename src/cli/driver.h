// The run after the options: the join, as the library does it, with its
// messages printed, the new output file guarded from signals, and a status.
#pragma once

#include <string>
#include <vector>

#include "gif/gif.h"
#include "reeljoin/join.h"

// A join as the command line asks for it.
struct join_request {
    std::string output;              // the output's name
    int output_fd = -1;              // where it is open already (standard output)
    std::vector<reeljoin::input> inputs;
    join_settings settings;
    bool stdin_taken = false;        // standard input gave a list of names
};

// Joins the inputs into the output; returns the exit status.
int run_join(const join_request& q);
