// The words that name inputs, on the command line or in a list of names:
// a file name, or after one a selection of its frames ("#3-8"). A word
// that names an existing file is always that file.
#pragma once

#include <string>
#include <vector>

#include "reeljoin/join.h"

// Adds the word to the inputs. A selection takes the last input, which
// must be one from `own` on (a list's selections select its own names).
// Returns "" or, for a selection that is malformed or stands before any
// input, the line that says so.
std::string add_input_word(std::vector<reeljoin::input>& inputs, const std::string& word, std::size_t own = 0);
