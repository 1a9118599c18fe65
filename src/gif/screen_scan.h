// The screen size of an input, read before the join from its header alone.
#pragma once

// Reads the width and height of path's logical screen when it is a regular
// file that reads as a GIF (signature, screen descriptor and global table
// whole). Nothing is taken from pipes or devices, which can be read only
// once: for them, and for any file that is no GIF, returns 0.
int read_screen_size(const char* path, int& width, int& height);
