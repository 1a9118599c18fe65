// Input names read from a file, for lists too long for a command line.
#pragma once

#include <string>
#include <vector>

#include "reeljoin/join.h"

// Appends the names in path ("-": standard input), one a line, to names.
// Blank lines are skipped; every other byte of a line, spaces included,
// is part of the name, but for one carriage return that ends it (a list
// written on Windows). A line may select frames of the name before it, as
// a word of the command line does; `error` is set for one that cannot.
// Returns 0 when the list cannot be opened or read.
int read_name_list(const std::string& path, std::vector<reeljoin::input>& names, std::string& error);
