#include "gif/selection_plan.h"

#include <algorithm>

namespace {

// A frame number as the file's count resolves it; unresolved without one.
std::int64_t resolve(std::int64_t n, std::int64_t frames) { return n < 0 && frames >= 0 ? frames + n : n; }

struct resolved {
    std::int64_t first, last;  // first > last: backwards
    bool empty;
};

// The range's frames that the file has.
resolved frames_of(const selection_range& r, std::int64_t frames) {
    std::int64_t first = resolve(r.first, frames);
    std::int64_t last = r.to_end ? (frames >= 0 ? frames - 1 : open_end) : resolve(r.last, frames);
    std::int64_t top = frames >= 0 ? frames - 1 : open_end;
    if (first <= last || r.to_end) {
        first = std::max<std::int64_t>(first, 0);
        last = std::min(last, top);
        return {first, last, first > last};
    }
    first = std::min(first, top);
    last = std::max<std::int64_t>(last, 0);
    return {first, last, first < last};
}

// Adds frames [first, last] to the pass where they come after its frames.
bool extend(std::vector<frame_span>& spans, std::int64_t first, std::int64_t last) {
    if (!spans.empty() && first <= spans.back().last) return false;
    if (!spans.empty() && first == spans.back().last + 1)
        spans.back().last = last;
    else
        spans.push_back({first, last});
    return true;
}

std::string frames_text(const resolved& f) {
    if (f.empty) return "none of them";
    if (f.first == f.last) return "frame " + std::to_string(f.first);
    return "frames " + std::to_string(f.first) + " to " + std::to_string(f.last);
}

}  // namespace

bool counts_from_end(const std::vector<selection_range>& ranges) {
    for (const selection_range& r : ranges)
        if (r.first < 0 || (!r.to_end && r.last < 0)) return true;
    return false;
}

bool one_pass(const std::vector<selection_range>& ranges) {
    std::int64_t last = -1;
    for (const selection_range& r : ranges) {
        if (r.first <= last || (!r.to_end && r.last < r.first)) return false;
        last = r.to_end ? open_end : r.last;
    }
    return true;
}

bool next_pass(selection_plan& p, std::vector<frame_span>& spans) {
    spans.clear();
    while (p.next_range < p.ranges.size()) {
        resolved f = frames_of(p.ranges[p.next_range], p.frames);
        if (f.empty) {
            ++p.next_range;
            continue;
        }
        if (f.first <= f.last) {
            if (!extend(spans, f.first, f.last)) break;
            ++p.next_range;
            continue;
        }
        // Backwards: a frame at a time, each where it comes after the pass's.
        p.next_frame = p.within ? std::min(p.next_frame, f.first) : f.first;
        p.within = true;
        if (!extend(spans, p.next_frame, p.next_frame)) break;
        if (p.next_frame-- == f.last) {
            p.within = false;
            ++p.next_range;
        }
    }
    return !spans.empty();
}

std::vector<std::string> learn_frame_count(selection_plan& p, std::int64_t frames, const std::string& name) {
    std::vector<std::string> lines;
    if (p.frames >= 0) return lines;
    p.frames = frames;
    for (const selection_range& r : p.ranges) {
        resolved have = frames_of(r, frames);
        bool beyond = r.first >= frames || r.first < -frames || (!r.to_end && (r.last >= frames || r.last < -frames));
        if (beyond)
            lines.push_back("reeljoin: " + name + " has " + std::to_string(frames) + " frames; " + r.text + " selects " +
                            frames_text(have));
    }
    return lines;
}
