// Writes the three example animations: make_examples DIR
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <string>

#include "gif_writer.h"

using namespace testgif;

namespace {

const double pi = 3.14159265358979323846;

struct rgb { double r, g, b; };

// Appends `n` entries blended evenly through the colour stops.
void ramp(bytes& table, int n, std::initializer_list<rgb> stops) {
    const rgb* s = stops.begin();
    int segments = static_cast<int>(stops.size()) - 1;
    for (int i = 0; i < n; ++i) {
        double pos = n > 1 ? double(i) * segments / (n - 1) : 0;
        int k = std::min(static_cast<int>(pos), segments - 1);
        double f = pos - k;
        table.push_back(static_cast<std::uint8_t>(s[k].r + (s[k + 1].r - s[k].r) * f));
        table.push_back(static_cast<std::uint8_t>(s[k].g + (s[k + 1].g - s[k].g) * f));
        table.push_back(static_cast<std::uint8_t>(s[k].b + (s[k + 1].b - s[k].b) * f));
    }
}

int clamp(double v, int lo, int hi) { return std::max(lo, std::min(hi, static_cast<int>(v))); }

image_spec render(int w, int h, int min_code_size, const std::function<int(int, int)>& pixel) {
    image_spec im;
    im.width = w;
    im.height = h;
    im.min_code_size = min_code_size;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) im.pixels.push_back(static_cast<std::uint8_t>(pixel(x, y)));
    return im;
}

bool save(const std::string& dir, const std::string& name, const bytes& data) {
    try {
        write_file(dir + "/" + name, data);
    } catch (const std::exception& e) {
        std::printf("%s\n", e.what());
        return false;
    }
    std::printf("%s: %zu bytes\n", name.c_str(), data.size());
    return true;
}

// A sun rising out of the ground into a brightening sky.
bytes sunrise() {
    const int w = 96, h = 96, frames = 12, horizon = 78;
    bytes table;
    ramp(table, 48, {{30, 20, 60}, {120, 40, 90}, {230, 110, 40}, {255, 220, 140}});  // sky
    ramp(table, 8, {{255, 255, 230}, {255, 190, 50}});                                  // sun
    ramp(table, 8, {{70, 50, 30}, {30, 20, 15}});                                       // ground
    gif_builder g;
    g.header(w, h, table).netscape_loop(0).comment({"reeljoin example: sunrise"});
    for (int t = 0; t < frames; ++t) {
        double s = double(t) / (frames - 1), sun_y = 96 - 60 * s;
        g.gce({1, false, false, 0, t == frames - 1 ? 150 : 15});
        g.image(render(w, h, 6, [&](int x, int y) {
            if (y >= horizon) return 56 + clamp((y - horizon) / 2.5 + ((x / 4 + y) % 3 == 0), 0, 7);
            double d = std::hypot(x - 48.0, y - sun_y);
            if (d < 11) return 48 + clamp(d * 8 / 11, 0, 7);
            return clamp(y * 28.0 / horizon + s * 19 + std::max(0.0, 12 - d / 3), 0, 47);
        }));
    }
    return g.trailer().data();
}

// Two sine waves running across each other, looping without a seam.
bytes waves() {
    const int w = 96, h = 96, frames = 12;
    bytes table;
    ramp(table, 32, {{5, 20, 60}, {20, 80, 160}, {30, 160, 170}, {90, 200, 120}, {220, 250, 240}});
    gif_builder g;
    g.header(w, h, table).netscape_loop(0);
    for (int t = 0; t < frames; ++t) {
        double phase = 2 * pi * t / frames;
        g.gce({1, false, false, 0, 8});
        g.image(render(w, h, 5, [&](int x, int y) {
            double crest = 6 * std::sin(2 * pi * x / w + phase) + 3 * std::sin(2 * pi * x / 40 - 2 * phase);
            return clamp(16 + 15 * std::sin((y + crest) / 7), 0, 31);
        }));
    }
    return g.trailer().data();
}

// Coloured dots orbiting a small sun; the second half of the frames carry
// local colour tables in which the dots trade colours.
bytes orbit() {
    const int w = 96, h = 96, frames = 16;
    const rgb dots[] = {{240, 80, 80}, {80, 220, 120}, {90, 150, 255}, {240, 200, 60}};
    const double radius[] = {14, 24, 34, 43}, turns[] = {2, 1, -1, 1}, start[] = {0, 2, 4, 1};
    auto table = [&](int shift) {
        bytes t;
        ramp(t, 5, {{8, 8, 20}, {60, 60, 90}, {200, 200, 230}});  // sky, faint ring, star
        ramp(t, 3, {{255, 240, 160}, {240, 150, 40}});              // sun
        for (int i = 0; i < 4; ++i) {
            const rgb& c = dots[(i + shift) % 4];
            ramp(t, 2, {c, {c.r / 2, c.g / 2, c.b / 2}});
        }
        return t;
    };
    gif_builder g;
    g.header(w, h, table(0)).netscape_loop(0);
    for (int t = 0; t < frames; ++t) {
        g.gce({1, false, false, 0, 6});
        image_spec im = render(w, h, 4, [&](int x, int y) {
            double dx = x - 47.5, dy = y - 47.5, r = std::hypot(dx, dy);
            for (int i = 0; i < 4; ++i) {
                double a = 2 * pi * turns[i] * t / frames + start[i];
                double d = std::hypot(dx - radius[i] * std::cos(a), dy - radius[i] * std::sin(a));
                if (d < 4) return 8 + 2 * i + (d > 2.5);
            }
            if (r < 7) return 5 + clamp(r / 3, 0, 2);
            for (double rr : radius)
                if (std::fabs(r - rr) < 0.5) return 2;
            unsigned hash = static_cast<unsigned>(x) * 374761393u + static_cast<unsigned>(y) * 668265263u;
            hash = (hash ^ hash >> 13) * 1274126177u;
            return (hash ^ hash >> 16) % 67 == 0 ? 4 : 0;  // scattered stars
        });
        if (t >= frames / 2) im.local_table = table(1);
        g.image(im);
    }
    return g.trailer().data();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::printf("usage: make_examples DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    bool ok = save(dir, "sunrise.gif", sunrise()) && save(dir, "waves.gif", waves()) &&
              save(dir, "orbit.gif", orbit());
    return ok ? 0 : 1;
}
