// Counts a file's frames without writing anything, for selections that
// count from the end: the images the file pass would write, found by their
// blocks alone.
#pragma once

#include <cstdint>

#include "gif/stream.h"

// Reads the open input to its end; returns its frames, -1 when it is not a GIF.
std::int64_t count_frames(input_stream& in);
