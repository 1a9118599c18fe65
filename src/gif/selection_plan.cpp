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

// Adds the span to the pass where its frames come after the pass's.
bool extend(std::vector<frame_span>& spans, const frame_span& s) {
    if (!spans.empty() && s.first <= spans.back().last) return false;
    if (!spans.empty() && !s.backwards && !spans.back().backwards && s.first == spans.back().last + 1)
        spans.back().last = s.last;
    else
        spans.push_back(s);
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
        if (std::min(r.first, r.to_end ? r.first : r.last) <= last) return false;
        last = r.to_end ? open_end : std::max(r.first, r.last);
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
        frame_span s = f.first <= f.last ? frame_span{f.first, f.last, false} : frame_span{f.last, f.first, true};
        if (!extend(spans, s)) break;
        ++p.next_range;
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
