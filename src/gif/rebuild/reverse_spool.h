// Pictures that wait to go out in the reverse of the order they were made:
// a backward range is painted forwards, each picture drawn over the one
// after it, and written last first. They wait in a file, not in memory:
// each picture's frames, each behind a head saying where it is placed and
// how long it is, then a tail saying where the picture starts and what
// its clear frame clears.
#pragma once

#include <cstdint>
#include <vector>

#include "gif/canvas.h"
#include "gif/output.h"

// Opens the spool where it is not open: an unnamed temporary file, or
// memory where none can be made.
void spool_open(output_stream& s, std::vector<std::uint8_t>& fallback);

// Closes the spool where it is open.
void spool_done(output_stream& s);

std::uint64_t spool_frame_begin(output_stream& s, const placed_frame& placed);
void spool_frame_end(output_stream& s, std::uint64_t begun_at);
void spool_item_end(output_stream& s, std::uint64_t item_at, const box& clear, std::size_t frames);

// Writes the pictures to the output, last first, each after its clear
// frame, and empties the spool.
void write_spooled(output_stream& s, canvas_state& c, output_stream& out);
