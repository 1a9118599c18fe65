// The run after the options: output, census, frame roles, trailer, status.
#pragma once

#include <string>
#include <vector>

// Joins the named files into the output, or into output_fd where it is
// open already (standard output); returns the exit status.
int run_join(const std::string& output, const std::vector<std::string>& names, int output_fd = -1);
