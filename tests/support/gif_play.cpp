#include "gif_play.h"

#include <algorithm>
#include <cstdio>

namespace testgif {
namespace {

constexpr std::uint32_t opaque = 0xFF000000u;

std::uint32_t colour(const bytes& table, int index) {
    std::size_t at = static_cast<std::size_t>(index) * 3;
    if (at + 2 >= table.size()) return opaque;  // beyond the table: black
    return opaque | std::uint32_t(table[at]) << 16 | std::uint32_t(table[at + 1]) << 8 | table[at + 2];
}

// Display row of each stored row: interlaced images store every 8th row from
// 0, then every 8th from 4, every 4th from 2 and every 2nd from 1.
std::vector<int> display_rows(int height, bool interlace) {
    std::vector<int> rows;
    static const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
    for (int pass = 0; pass < (interlace ? 4 : 1); ++pass)
        for (int y = interlace ? start[pass] : 0; y < height; y += interlace ? step[pass] : 1)
            rows.push_back(y);
    return rows;
}

// A part of the canvas, [x0, x1) x [y0, y1).
struct rect { int x0, y0, x1, y1; };

// The frame's rectangle clipped to the part of the canvas frames show in.
rect clip(const frame& f, const rect& shown) {
    return {std::max(std::min(f.left, shown.x1), shown.x0), std::max(std::min(f.top, shown.y1), shown.y0),
            std::min(f.left + f.width, shown.x1), std::min(f.top + f.height, shown.y1)};
}

void draw(const frame& f, snapshot& canvas, const rect& shown) {
    const std::vector<int> rows = display_rows(f.height, f.interlace);
    for (int r = 0; r < f.height; ++r) {
        int y = f.top + rows[r];
        if (y < shown.y0 || y >= shown.y1) continue;
        for (int c = 0; c < f.width && f.left + c < shown.x1; ++c) {
            std::size_t i = static_cast<std::size_t>(r) * f.width + c;
            if (i >= f.pixels.size()) return;
            if (f.pixels[i] == f.transparent || f.left + c < shown.x0) continue;
            canvas.pixels[static_cast<std::size_t>(y) * canvas.width + f.left + c] = colour(f.colours, f.pixels[i]);
        }
    }
}

// Plays the frames on the canvas, each shown only within `shown`.
timeline play_within(const decoded& gif, const rect& shown) {
    timeline out;
    snapshot canvas{gif.width, gif.height,
                   std::vector<std::uint32_t>(static_cast<std::size_t>(gif.width) * gif.height, 0)};
    for (const frame& f : gif.frames) {
        const snapshot before = f.disposal == 3 ? canvas : snapshot{};
        draw(f, canvas, shown);
        int delay = std::max(f.delay, 0);
        out.push_back({canvas, delay <= 1 ? 10 : delay});
        const rect r = clip(f, shown);
        if (f.disposal != 2 && f.disposal != 3) continue;
        for (int y = r.y0; y < r.y1; ++y)
            for (int x = r.x0; x < r.x1; ++x) {
                std::size_t i = static_cast<std::size_t>(y) * canvas.width + x;
                canvas.pixels[i] = f.disposal == 2 ? 0 : before.pixels[i];
            }
    }
    return out;
}

std::string hex(std::uint32_t v) {
    char buf[12];
    std::snprintf(buf, sizeof buf, "%08X", v);
    return buf;
}

}  // namespace

bool operator==(const snapshot& a, const snapshot& b) {
    return a.width == b.width && a.height == b.height && a.pixels == b.pixels;
}

namespace {

// Browsers grow a file's canvas to its first frame where that reaches
// beyond the screen.
decoded grown(decoded gif) {
    if (!gif.frames.empty()) {
        const frame& f = gif.frames[0];
        gif.width = std::min(65535, std::max(gif.width, f.left + f.width));
        gif.height = std::min(65535, std::max(gif.height, f.top + f.height));
    }
    return gif;
}

}  // namespace

timeline play(const decoded& gif) {
    decoded g = grown(gif);
    return play_within(g, {0, 0, g.width, g.height});
}

timeline merge_repeats(timeline t) {
    timeline out;
    for (shown& s : t) {
        if (!out.empty() && out.back().pic == s.pic)
            out.back().time += s.time;
        else
            out.push_back(std::move(s));
    }
    return out;
}

timeline expected_join(std::vector<decoded> inputs, const join_rules& rules,
                       const std::vector<bool>& cleared_after, const std::vector<std::vector<int>>& picks) {
    for (decoded& g : inputs) g = grown(g);
    int width = 0, height = 0;
    for (const decoded& g : inputs) {
        width = std::max(width, g.width);
        height = std::max(height, g.height);
    }
    timeline out;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        decoded& g = inputs[i];
        int run_delay = i + 1 == inputs.size() ? rules.end_delay : rules.run_delay;
        int left = rules.centre ? (width - g.width) / 2 : 0, top = rules.centre ? (height - g.height) / 2 : 0;
        for (frame& f : g.frames) {
            if (!rules.keep_delays || (g.frames.size() == 1 && f.delay <= 0)) f.delay = run_delay;
            f.left += left;
            f.top += top;
        }
        if (i < cleared_after.size() && cleared_after[i] && !g.frames.empty() &&
            (g.frames.back().delay == 2 || g.frames.back().delay == 3))
            g.frames.back().delay += 2;
        // Alone, a file shows its frames only on its own screen.
        const rect own{left, top, left + g.width, top + g.height};
        g.width = width;
        g.height = height;
        timeline t = play_within(g, own);
        if (i < picks.size() && !picks[i].empty()) {
            timeline picked;
            for (int k : picks[i]) picked.push_back(t.at(static_cast<std::size_t>(k)));
            t = picked;
        }
        out.insert(out.end(), t.begin(), t.end());
    }
    return out;
}

std::string compare(const timeline& expected, const timeline& actual) {
    const timeline e = merge_repeats(expected), a = merge_repeats(actual);
    for (std::size_t i = 0; i < std::min(e.size(), a.size()); ++i) {
        const std::string at = "picture " + std::to_string(i) + ": ";
        const snapshot &ep = e[i].pic, &ap = a[i].pic;
        if (ep.width != ap.width || ep.height != ap.height)
            return at + "size " + std::to_string(ap.width) + "x" + std::to_string(ap.height) +
                   ", expected " + std::to_string(ep.width) + "x" + std::to_string(ep.height);
        for (std::size_t p = 0; p < ep.pixels.size(); ++p)
            if (ep.pixels[p] != ap.pixels[p])
                return at + "pixel (" + std::to_string(p % ep.width) + "," + std::to_string(p / ep.width) +
                       ") is " + hex(ap.pixels[p]) + ", expected " + hex(ep.pixels[p]);
        if (e[i].time != a[i].time)
            return at + "shown for " + std::to_string(a[i].time) + ", expected " + std::to_string(e[i].time);
    }
    if (e.size() != a.size())
        return std::to_string(a.size()) + " pictures after merging repeats, expected " + std::to_string(e.size());
    return "";
}

}  // namespace testgif
