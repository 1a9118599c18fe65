// The run after the options: output, census, frame roles, trailer, status.
#pragma once

#include <string>
#include <vector>

// Joins the named files into the output; returns the exit status.
int run_join(const std::string& output, const std::vector<std::string>& names);
