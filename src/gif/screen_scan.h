// The screen size of an input, read before the join from its header alone.
#pragma once

#include <cstdint>

// Reads the width and height of the logical screen of path, a regular file
// of file_size bytes, when it reads as a GIF (signature, screen descriptor
// and global table whole). Returns 0, with nothing read, for any other.
int read_screen_size(const char* path, std::uint64_t file_size, int& width, int& height);
