// What the named files are before any of them is read.
#pragma once

#include <string>
#include <vector>

// How many of the names exist (anything stat can see counts).
int count_existing(const std::vector<std::string>& names);

// 1 when the output name already exists and is the same file as one of the
// input names, which opening the output would empty before it is read.
int output_is_input(const std::string& output, const std::vector<std::string>& names);

// The largest screen width and height among the named regular files that
// read as GIFs, from their headers alone; 0 when there is none.
void largest_screen(const std::vector<std::string>& names, int& width, int& height);
