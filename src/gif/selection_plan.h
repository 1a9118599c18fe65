// Which frames of a file a join takes, in which order, and in how many
// passes over the file: a pass takes frames in the file's order, so the
// frames a selection names are split into passes wherever they go back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Frames first through last of a file, counted from 0, a negative number
// from the end; first above last goes backwards; to_end: to the last frame.
struct selection_range {
    std::int64_t first = 0, last = 0;
    bool to_end = false;
    std::string text;  // as the user wrote it, for messages
};

constexpr std::int64_t frames_unknown = -1;
constexpr std::int64_t open_end = INT64_MAX;  // a span to the file's last frame

// Frames first through last, read in the file's order; backwards: they
// play from last to first.
struct frame_span {
    std::int64_t first, last;
    bool backwards = false;
};

struct selection_plan {
    std::vector<selection_range> ranges;
    std::int64_t frames = frames_unknown;  // the file's frame count, once known
    std::size_t next_range = 0;  // the range the next pass starts in
};

// Whether the ranges count from the end, so that the file's frames must be
// counted before the first pass.
bool counts_from_end(const std::vector<selection_range>& ranges);

// Whether they take every frame in one pass (what a file that can be read
// only once allows), given that none counts from the end.
bool one_pass(const std::vector<selection_range>& ranges);

// The spans of the next pass; false when no frames are left. A pass may be
// empty of frames only where the plan has none at all.
bool next_pass(selection_plan& p, std::vector<frame_span>& spans);

// The file turns out to have `frames` frames: later passes take only those.
// Returns a line for each range that names frames the file has not.
std::vector<std::string> learn_frame_count(selection_plan& p, std::int64_t frames, const std::string& name);
