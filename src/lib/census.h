// What the named files are before any of them is read.
#pragma once

#include <sys/stat.h>

#include <string>
#include <vector>

#include "lib/table_choice.h"
#include "gif/run.h"
#include "reeljoin/join.h"

struct census {
    int existing = 0;           // names that exist (anything stat can see counts)
    int output_is_input = 0;    // one of them is the output file
    int width = 0, height = 0;  // with fit_canvas: the largest screen
    table_tally tables;         // with compact_tables: the global tables met
};

// Counts the inputs that exist (those in memory always do), and finds whether one of them is the file
// `output` describes (null: none). With screens it also finds the largest
// screen width and height, and with compact_tables it counts the global
// tables (of every file with screens, else of a few hundred spread over the
// list), among the regular files that read as GIFs, from their headers
// alone (pipes and devices can be read only once; standard input's header
// is read ahead into the run's input and kept). The run's settings say
// whether tables are counted.
census take_census(join_run& r, const std::vector<reeljoin::input>& names, int screens, const struct stat* output);
