// play_check [--center] [-d N] [-e N] OUT.gif IN1.gif IN2.gif ...
//
// Checks that a join made with --keep-delays --fit (or --center) plays as
// its inputs played alone, one after the other, each on its place of the
// largest canvas. Prints one line, "OK: ..." or the first difference, and
// exits 0 or 1. Where the join may differ by design, the expected playback
// follows the program and the line says so:
//  - a still (one image, delay 0 or none) shows for -d, or -e when last,
//    instead of for ever (defaults 20 and 80, as the program's);
//  - a last frame of 2 or 3 hundredths before a clear frame shows 2 longer;
//  - frames beyond their own file's screen are not clipped to it.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gif_decode.h"
#include "gif_play.h"

namespace {

using testgif::decoded;
using testgif::frame;

// The join's frame is the input's frame moved by (dx, dy): same size and
// the same decoded indices.
bool same_image(const frame& a, const frame& b, int dx, int dy) {
    return a.width == b.width && a.height == b.height && a.left == b.left + dx && a.top == b.top + dy &&
           a.pixels == b.pixels;
}

bool reaches_beyond(const decoded& g) {
    for (const frame& f : g.frames)
        if (f.left + f.width > g.width || f.top + f.height > g.height) return true;
    return false;
}

int usage() {
    std::puts("usage: play_check [--center] [-d N] [-e N] OUT.gif IN.gif...");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    bool centre = false;
    int run_delay = 20, end_delay = 80;
    std::vector<std::string> names;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--center") centre = true;
        else if ((a == "-d" || a == "-e") && i + 1 < argc) (a == "-d" ? run_delay : end_delay) = std::atoi(argv[++i]);
        else names.push_back(a);
    }
    if (names.size() < 2) return usage();

    std::vector<decoded> gifs;
    int width = 0, height = 0;
    for (const std::string& n : names) {
        gifs.push_back(testgif::decode_gif_file(n));
        if (!gifs.back().ok) {
            std::printf("FAIL: %s does not decode: %s\n", n.c_str(), gifs.back().error.c_str());
            return 1;
        }
        if (gifs.size() > 1) {
            width = std::max(width, gifs.back().width);
            height = std::max(height, gifs.back().height);
        }
    }
    const decoded& out = gifs[0];
    std::vector<decoded> ins(gifs.begin() + 1, gifs.end());

    std::string notes;
    auto note = [&](const std::string& what, std::size_t i) { notes += "; " + what + " (" + names[i + 1] + ")"; };
    std::vector<bool> cleared_after(ins.size(), false);
    std::size_t at = 0;    // the join's frame that the next input should start at
    std::size_t prev = 0;  // the input that played last
    int clears = 0;
    for (std::size_t i = 0; i < ins.size(); ++i) {
        const decoded& g = ins[i];
        if (g.frames.empty()) continue;
        const int dx = centre ? (width - g.width) / 2 : 0, dy = centre ? (height - g.height) / 2 : 0;
        if (g.frames.size() == 1 && g.frames[0].delay <= 0) note("still", i);
        if (reaches_beyond(g)) note("frames beyond its screen not clipped", i);
        // A frame of the join's own before this input's first: a clear frame.
        if (at > 0 && at < out.frames.size() && !same_image(out.frames[at], g.frames[0], dx, dy)) {
            ++at, ++clears;
            cleared_after[prev] = true;
            const int last = ins[prev].frames.back().delay;
            if (last == 2 || last == 3) note("last frame of " + std::to_string(last) + " shown 2 longer before a clear frame", prev);
        }
        at += g.frames.size();
        prev = i;
    }

    const testgif::timeline want = testgif::merge_repeats(
        testgif::expected_join(ins, {centre, true, run_delay, end_delay}, cleared_after));
    const std::string diff = testgif::compare(want, testgif::play(out));
    if (!diff.empty()) {
        std::printf("FAIL: %s%s\n", diff.c_str(), notes.c_str());
        return 1;
    }
    int total = 0;
    for (const testgif::shown& s : want) total += s.time;
    std::printf("OK: %zu pictures, %d hundredths, %d clear frames%s\n", want.size(), total, clears, notes.c_str());
    return 0;
}
