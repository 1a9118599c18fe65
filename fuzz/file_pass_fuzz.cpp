// Fuzz target: the file pass on arbitrary bytes, in every frame role, with
// an intact file after it (and before it, where the role needs a header
// first). After every input it checks what the run must guarantee:
// - the output is byte for byte what an independent reading of the input
//   says the pass writes: frames whose data are the input's sub-blocks up
//   to the end-of-information code, each behind one frame control block,
//   then the intact file's frames;
// - giflib reads the output's block structure to the trailer, one image
//   per control block; and when giflib decodes the input, it decodes the
//   output to the same pixels;
// - the only console text is "Not a GIF file", exactly when the pass
//   refuses the file;
// - the inputs are never opened for writing nor changed, and no file
//   descriptor is left open;
// - with every long option on (--keep-delays, --fit, --compact, --center
//   on every other input), in either order with the intact file: every image's
//   data is copied unchanged, at most one clear frame stands between the
//   files, the output stays within a bound of what was read, and, when
//   giflib decodes both inputs, the join plays as they played alone;
// - with a selection made from the input's bytes (forwards, backwards,
//   counted from the end, beyond the frames it has): giflib reads the
//   output, it stays within a bound of what was read, the canvas of the
//   rebuilt frames never holds more than the pixels the data gave allow,
//   and, when giflib decodes the input, the output shows the selected
//   pictures in order.
// Any failure prints what went wrong and aborts, which the fuzzer reports.
#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "lib/census.h"
#include "gif/gif.h"
#include "gif/layout.h"
#include "gif/lzw/lzw_walker.h"
#include "gif/output_table.h"
#include "gif/reading_ahead.h"
#include "gif/run.h"
#include "gif/lzw/run_code.h"
#include "gif_decode.h"
#include "gif_play.h"
#include "gif_scan.h"
#include "gif_writer.h"

namespace {

using testgif::bytes;

void remove_workspace();

[[noreturn]] void fail(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::fputs("invariant failed: ", stderr);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    va_end(args);
    remove_workspace();
    std::abort();
}

#define CHECK(cond, ...) \
    do {                  \
        if (!(cond)) fail(__VA_ARGS__); \
    } while (0)

// Frame delays of the run; 300 takes both bytes of the delay field.
constexpr int frame_delay = 300, last_delay = 7;
// Pixels giflib may be asked to decode for one input: its raster is
// allocated whole, and a crafted descriptor can claim four billion.
constexpr std::uint64_t pixel_budget = 1 << 20;
constexpr std::uint32_t change_events = IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF;

// A file with a full global table, so that reading it leaves the saved
// colours in a known state, and with a local table and interlacing.
bytes intact_file() {
    testgif::image_spec second = testgif::picture(5, 4, 4, 3, testgif::palette(4, 4));
    second.interlace = true;
    second.left = 2;
    return testgif::gif_builder()
        .header(8, 6, testgif::palette(256, 1))
        .image(testgif::picture(8, 6, 200, 2))
        .gce({2, false, true, 3, 9})
        .image(second)
        .trailer()
        .data();
}

struct workspace {
    std::string dir, input, intact, output, console;
    bytes intact_bytes;
    testgif::scanned_file intact_scan;
    testgif::decoded intact_decoded;
    std::FILE* out = nullptr;
    int watch = -1;
    testgif::saved_colours saved;  // what the program holds after the last pass
    join_run* run = nullptr;       // one for every pass: its saved colours carry over, as the model's do
    join_run* ahead_run = nullptr;    // joins that read the input ahead,
    join_run* at_turn_run = nullptr;  // and the same joins that do not
};

std::string scratch_root() {
    for (const char* dir : {static_cast<const char*>(std::getenv("TMPDIR")), "/dev/shm", "/tmp"}) {
        struct stat st;
        if (dir && *dir && stat(dir, &st) == 0 && S_ISDIR(st.st_mode) && access(dir, W_OK) == 0) return dir;
    }
    return ".";
}

workspace* ws = nullptr;

void ignore_line(void*, const char*) {}

void remove_workspace() {
    if (!ws) return;
    for (const std::string* f : {&ws->input, &ws->intact, &ws->output, &ws->console}) unlink(f->c_str());
    rmdir(ws->dir.c_str());
}

void write_input(const std::string& path, const std::uint8_t* p, std::size_t n) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    CHECK(fd >= 0, "cannot create %s", path.c_str());
    for (std::size_t done = 0; done < n;) {
        ssize_t w = write(fd, p + done, n - done);
        CHECK(w > 0, "cannot write %s", path.c_str());
        done += static_cast<std::size_t>(w);
    }
    close(fd);
}

bytes read_back(int fd) {
    struct stat st;
    CHECK(fstat(fd, &st) == 0, "fstat failed");
    bytes b(static_cast<std::size_t>(st.st_size));
    CHECK(pread(fd, b.data(), b.size(), 0) == static_cast<ssize_t>(b.size()), "short read back");
    return b;
}

int open_descriptors() {
    DIR* d = opendir("/proc/self/fd");
    if (!d) return -1;
    int n = 0;
    while (readdir(d)) ++n;
    closedir(d);
    return n;
}

// Reads the events queued on the watched inputs; returns the mask of the
// first, 0 when there was none.
std::uint32_t take_events() {
    alignas(inotify_event) char buf[4096];
    std::uint32_t first = 0;
    for (ssize_t n; (n = read(ws->watch, buf, sizeof buf)) > 0;)
        if (!first) first = reinterpret_cast<const inotify_event*>(buf)->mask;
    return first;
}

void setup() {
    ws = new workspace;
    std::string tmpl = scratch_root() + "/reeljoin-fuzz-XXXXXX";
    CHECK(mkdtemp(&tmpl[0]), "cannot make a scratch directory");
    ws->dir = tmpl;
    ws->input = ws->dir + "/input.gif";
    ws->intact = ws->dir + "/intact.gif";
    ws->output = ws->dir + "/out.gif";
    ws->console = ws->dir + "/console.txt";
    std::atexit(remove_workspace);

    ws->intact_bytes = intact_file();
    write_input(ws->intact, ws->intact_bytes.data(), ws->intact_bytes.size());
    write_input(ws->input, nullptr, 0);
    ws->intact_scan = testgif::scan_gif(ws->intact_bytes);
    ws->intact_decoded = testgif::decode_gif(ws->intact_bytes);
    CHECK(ws->intact_decoded.ok, "the intact file does not decode");

    // The program's console goes to a file that is read after every pass.
    int console = open(ws->console.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    CHECK(console >= 0 && dup2(console, STDOUT_FILENO) >= 0, "cannot redirect the console");
    close(console);

    ws->out = std::fopen(ws->output.c_str(), "w+b");
    CHECK(ws->out, "cannot open the output");
    ws->watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    CHECK(ws->watch >= 0, "inotify unavailable");
    CHECK(inotify_add_watch(ws->watch, ws->input.c_str(), change_events) >= 0 &&
              inotify_add_watch(ws->watch, ws->intact.c_str(), change_events) >= 0,
          "cannot watch the inputs");

    for (join_run** made : {&ws->ahead_run, &ws->at_turn_run}) {
        *made = new join_run;
        (*made)->settings.verb = 0;
        (*made)->settings.keep_delays = 1;
        (*made)->say = (*made)->warn = ignore_line;
    }
    ws->run = new join_run;
    ws->run->settings.verb = 0;
    ws->run->settings.loop_delay = frame_delay;
    ws->run->settings.loop_end_delay = last_delay;
    // One pass of the intact file leaves its table as the saved colours.
    output_to(ws->run->out, dup(fileno(ws->out)));
    gif_read(*ws->run, 1, ws->intact.c_str());
    close_output(ws->run->out);
    ws->saved = ws->intact_scan.global_table;
}

std::string console_text() {
    std::fflush(stdout);
    char buf[256];
    ssize_t n = pread(STDOUT_FILENO, buf, sizeof buf, 0);
    return std::string(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
}

void clear_console() {
    std::fflush(stdout);
    CHECK(ftruncate(STDOUT_FILENO, 0) == 0 && lseek(STDOUT_FILENO, 0, SEEK_SET) == 0, "cannot reset the console");
}

std::uint64_t area_of(const testgif::scanned_image& im) {
    const bytes& d = im.descriptor;
    return std::uint64_t(d[4] | d[5] << 8) * std::uint64_t(d[6] | d[7] << 8);
}

// Whether the program takes a frame as whole without reading it back: its
// data held its end code, no code before it named an entry not made yet,
// and the data could hold all its pixels.
bool taken_as_whole(const testgif::scanned_image& im) {
    return im.end_code && !im.unmade_code && lzw_most_pixels(im.code_size, im.data.size()) >= area_of(im);
}

// Where the program may leave a frame short of pixels: it is taken as
// whole unread; or the codes to complete it would take more than 16 KiB
// more than its data; or its code size is below 2, too small for a run to
// be coded.
bool may_stay_short(const testgif::scanned_image& im, std::size_t have) {
    std::uint64_t data = im.data.size();
    return taken_as_whole(im) || im.code_size < 2 ||
           run_size(im.code_size, area_of(im) - have, data + 16 * 1024) > data + 16 * 1024;
}

// The lowest index below 2^code_size that no pixel takes, -1 when the
// pixels take every index such codes can name.
int lowest_untaken(const std::vector<int>& pixels, int code_size) {
    std::vector<bool> taken(std::size_t{1} << code_size);
    for (int p : pixels) taken[static_cast<std::size_t>(p)] = true;
    auto at = std::find(taken.begin(), taken.end(), false);
    return at == taken.end() ? -1 : static_cast<int>(at - taken.begin());
}

// An image the program completed: the input image `in` is short of pixels,
// and the output image `out` gives all of them, the input's first, then
// one index: the input's own transparent index where it has one a code can
// name; else the lowest index none of the input's pixels takes, which the
// output's control block makes transparent, or which stays opaque where
// the pixels take every index (then 0) or where `opaque` (a file's first
// frame that earlier drawing lies under). Returns "" when so, else what is
// wrong.
std::string completion_problem(const testgif::scanned_image& out, const std::uint8_t* out_control,
                               const testgif::scanned_image& in, int in_transparent, bool opaque = false) {
    std::size_t want = static_cast<std::size_t>(area_of(in));
    std::vector<int> have = testgif::decode_pixels(in.data, in.code_size, want);
    std::vector<int> got = testgif::decode_pixels(out.data, out.code_size, want);
    if (have.size() == want) return "the image data changed";
    if (got.size() != want) return "a short frame was not completed";
    if (!std::equal(have.begin(), have.end(), got.begin())) return "the completed frame lost pixels of its own";
    int index = got.back();
    if (std::any_of(got.begin() + static_cast<long>(have.size()), got.end(), [&](int p) { return p != index; }))
        return "the added pixels are not one index";
    bool own = in_transparent >= 0 && in_transparent < 1 << in.code_size;
    int untaken = lowest_untaken(have, in.code_size);
    int expected = own ? in_transparent : std::max(untaken, 0);
    bool transparent = own || (!opaque && untaken >= 0);
    if (index != expected) return "the added pixels are not of the index expected";
    bool marked = out_control[layout::frame_control_packed] & 1 && out_control[layout::frame_control_index] == index;
    if (transparent != marked) return transparent ? "the added index is not transparent" : "the added index is transparent";
    return "";
}

// Blank frames are many where the fuzzer makes them: each is decoded to
// check its pixels only up to this size.
constexpr std::uint64_t blank_pixel_budget = 1 << 16;

// An image the program gave blank data, as browsers decode no frame of the
// input image's minimum code size: `out` takes one index at every pixel,
// the input's own transparent index or else 0, coded at the smallest code
// size from 2 that names it, and its control block makes it transparent;
// it has the input's size, or one pixel where the blank data would take
// more than 16 KiB more than the input's. Returns "" when so.
std::string blank_problem(const testgif::scanned_image& out, const std::uint8_t* out_control,
                          const testgif::scanned_image& in, int in_transparent) {
    int index = std::max(in_transparent, 0), code_size = 2;
    while (1 << code_size <= index) ++code_size;
    if (out.code_size != code_size) return "the blank data has another code size";
    if (!(out_control[layout::frame_control_packed] & 1) || out_control[layout::frame_control_index] != index)
        return "the blank index is not transparent";
    std::uint64_t allowed = in.data.size() + 16 * 1024;
    bool fits = run_size(code_size, area_of(in), allowed) <= allowed;
    bool same_size = std::equal(out.descriptor.begin() + 4, out.descriptor.begin() + 8, in.descriptor.begin() + 4);
    if (fits ? !same_size : area_of(out) != 1 || out.descriptor[4] != 1 || out.descriptor[6] != 1)
        return "the blank frame has another size";
    if (area_of(out) > blank_pixel_budget) return "";
    std::vector<int> got = testgif::decode_pixels(out.data, out.code_size, static_cast<std::size_t>(area_of(out)));
    if (got.size() != area_of(out) || std::any_of(got.begin(), got.end(), [&](int p) { return p != index; }))
        return "the blank data is not one index at every pixel";
    return "";
}

bool browsers_refuse(const testgif::scanned_image& im) { return im.code_size < 2 || im.code_size > 8; }

// The output is the model's bytes, but for frames the program completed,
// whose control blocks may then name a transparent index, and frames it
// gave blank data. No frame is short where the program must complete it.
// Returns "" when so.
std::string differences_from_model(const bytes& out, const bytes& model) {
    testgif::scanned_file so = testgif::scan_gif(out), sm = testgif::scan_gif(model);
    if (so.images.size() != sm.images.size()) return out == model ? "" : "another number of images";
    std::size_t po = 0, pm = 0;
    for (std::size_t i = 0; i < so.images.size(); ++i) {
        const testgif::scanned_image &a = so.images[i], &b = sm.images[i];
        std::size_t ca = a.at - layout::frame_control_size, cb = b.at - layout::frame_control_size;
        std::size_t da = a.data_end, db = b.data_end;
        std::string at = "image " + std::to_string(i) + ": ";
        if (!std::equal(out.begin() + po, out.begin() + ca, model.begin() + pm, model.begin() + cb))
            return at + "the blocks before it differ";
        bool same = std::equal(out.begin() + ca, out.begin() + da, model.begin() + cb, model.begin() + db);
        bool decodable = area_of(a) <= pixel_budget;  // the checks below decode it whole
        int transparent = model[cb + layout::frame_control_packed] & 1 ? model[cb + layout::frame_control_index] : -1;
        if (browsers_refuse(b)) {
            std::string problem = blank_problem(a, &out[ca], b, transparent);
            if (!problem.empty()) return at + problem;
        } else if (!same && decodable) {
            bytes control_b(model.begin() + cb, model.begin() + b.at);
            bytes control_a(out.begin() + ca, out.begin() + a.at);
            control_a[layout::frame_control_packed] &= ~1;
            control_b[layout::frame_control_packed] &= ~1;
            control_a[layout::frame_control_index] = control_b[layout::frame_control_index] = 0;
            if (control_a != control_b || a.descriptor != b.descriptor || a.local_table != b.local_table ||
                a.code_size != b.code_size)
                return at + "its control block or descriptor differs";
            std::string problem = completion_problem(a, &out[ca], b, transparent);
            if (!problem.empty()) return at + problem;
        }
        if (browsers_refuse(b)) decodable = false;  // its pixels were checked above
        std::size_t have = decodable ? testgif::decode_pixels(a.data, a.code_size, area_of(a)).size() : area_of(a);
        if (have < area_of(a) && !may_stay_short(b, have)) return at + "a frame short of pixels";
        po = da;
        pm = db;
    }
    if (!std::equal(out.begin() + po, out.end(), model.begin() + pm, model.end())) return "the blocks after the images differ";
    return "";
}

// One run: the passes in order into a fresh output, then the trailer, as
// the driver does it; the output must match the model's bytes.
struct run {
    const char* name;
    const testgif::scanned_file& fuzzed;
    bytes expected, out;
    int frames = 0;
    std::size_t images = 0;  // in the files read, each a frame of the output

    run(const char* n, const testgif::scanned_file& f) : name(n), fuzzed(f) {
        CHECK(ftruncate(fileno(ws->out), 0) == 0 && lseek(fileno(ws->out), 0, SEEK_SET) == 0,
              "cannot empty the output");
        output_to(ws->run->out, dup(fileno(ws->out)));
    }

    // Reads one file; returns the pass's result.
    int pass(bool is_fuzzed, int role) {
        const testgif::scanned_file& f = is_fuzzed ? fuzzed : ws->intact_scan;
        const std::string& path = is_fuzzed ? ws->input : ws->intact;
        clear_console();
        int result = gif_read(*ws->run, role, path.c_str());
        std::string console = console_text();
        CHECK(result == (f.is_gif ? 1 : 0), "%s: %s file in role %d returned %d", name,
              is_fuzzed ? "fuzzed" : "intact", role, result);
        CHECK(console == (result ? "" : "Not a GIF file\n"), "%s: role %d printed \"%s\"", name, role,
              console.c_str());
        bytes mine = testgif::expected_pass(f, role, role == role_last ? last_delay : frame_delay, ws->saved);
        expected.insert(expected.end(), mine.begin(), mine.end());
        if (f.is_gif) images += f.images.size();
        return result;
    }

    void finish() {
        if (!expected.empty()) {
            write_out(ws->run->out, &layout::trailer, 1);
            expected.push_back(0x3B);
        }
        CHECK(close_output(ws->run->out), "%s: the output could not be written", name);
        out = read_back(fileno(ws->out));
        std::string diff = differences_from_model(out, expected);
        if (!diff.empty()) {
            std::size_t at = testgif::first_difference(out, expected);
            fail("%s: output differs from the model at byte %zu (output %zu bytes, model %zu): %s", name, at,
                 out.size(), expected.size(), diff.c_str());
        }
        frames = static_cast<int>(images);
        if (out.empty()) return;
        // Every frame has a code size giflib takes.
        testgif::walked w = testgif::walk_gif(out);
        CHECK(w.ok, "%s: giflib cannot read the output: %s", name, w.error.c_str());
        CHECK(w.images == frames, "%s: giflib read %d images, expected %d", name, w.images, frames);
        CHECK(w.control_before_each, "%s: an image without its control block", name);
        CHECK(w.controls == frames, "%s: %d control blocks for %d images", name, w.controls, w.images);
    }
};

std::uint64_t pixels_of(const testgif::scanned_file& f) {
    std::uint64_t total = 0;
    for (const auto& im : f.images)
        total += std::uint64_t(im.descriptor[4] | im.descriptor[5] << 8) * (im.descriptor[6] | im.descriptor[7] << 8);
    return total;
}

// giflib's decoding of the file, but where a frame's data gives fewer
// pixels than it holds, which giflib makes up and browsers refuse, the
// pixels it gives where the program completes such a frame: the canvas
// shows through where they have none, unless the frame has no transparent
// index and its pixels take every index, or it is a file's first frame
// that another file's drawing lies under (first_covers): then the rest are
// opaque, of the lowest index its pixels do not take (0 when none).
testgif::decoded decode_as_shown(const bytes& input, const testgif::scanned_file& scan, bool first_covers = false) {
    testgif::decoded in = testgif::decode_gif(input);
    for (std::size_t i = 0; in.ok && i < in.frames.size() && i < scan.images.size(); ++i) {
        const testgif::scanned_image& im = scan.images[i];
        std::vector<int> have = testgif::decode_pixels(im.data, im.code_size, area_of(im));
        if (have.size() == area_of(im) || may_stay_short(im, have.size())) continue;
        testgif::frame& f = in.frames[i];
        f.pixels.assign(have.begin(), have.end());
        bool own = f.transparent >= 0 && f.transparent < 1 << im.code_size;
        int untaken = lowest_untaken(have, im.code_size);
        if (!own && ((first_covers && i == 0) || untaken < 0))
            f.pixels.resize(area_of(im), static_cast<std::uint8_t>(std::max(untaken, 0)));
    }
    return in;
}

// When giflib reads the fuzzed file to its trailer, it finds the images the
// scan found. When it also decodes them, the output of the first-role run
// holds the same pictures, then the intact file's, pixel for pixel.
// Whether giflib reads every image's codes as the program does. Below a
// minimum code size of 2 it widens the codes as the table grows, where the
// program keeps them as wide as the first entry needs (GIF allows no such
// size; browsers refuse such frames too); above 8 it reads no codes at all.
bool giflib_reads_alike(const testgif::scanned_file& scan) {
    return std::all_of(scan.images.begin(), scan.images.end(),
                       [](const testgif::scanned_image& im) { return im.code_size >= 2 && im.code_size <= 8; });
}

void expect_same_pictures(const bytes& input, const testgif::scanned_file& scan, const run& first) {
    testgif::walked walk = testgif::walk_gif(input);
    if (!walk.ok || !giflib_reads_alike(scan)) return;
    CHECK(walk.images == static_cast<int>(scan.images.size()), "giflib reads %d images, the scan %zu", walk.images,
          scan.images.size());
    if (pixels_of(scan) + pixels_of(ws->intact_scan) > pixel_budget) return;
    testgif::decoded in = decode_as_shown(input, scan);
    // giflib 5.2.1 decoding a whole file reads one sub-block too many after
    // an extension whose first sub-block is empty, and then loses its way.
    if (!in.ok || in.frames.size() != scan.images.size()) return;
    testgif::decoded out = testgif::decode_gif(first.out);
    CHECK(out.ok, "giflib decodes the input but not the output: %s", out.error.c_str());
    std::vector<const testgif::frame*> want;
    for (const auto& f : in.frames) want.push_back(&f);
    for (const auto& f : ws->intact_decoded.frames) want.push_back(&f);
    CHECK(out.frames.size() == want.size(), "output has %zu frames, expected %zu", out.frames.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        const testgif::frame &a = *want[i], &b = out.frames[i];
        // A short frame's added pixels are checked with the output's bytes.
        bool same_pixels = a.pixels.size() <= b.pixels.size() && std::equal(a.pixels.begin(), a.pixels.end(), b.pixels.begin());
        CHECK(same_pixels && a.width == b.width && a.height == b.height && a.left == b.left &&
                  a.top == b.top && a.interlace == b.interlace,
              "frame %zu decodes differently", i);
        CHECK(a.colours.empty() || a.colours == b.colours, "frame %zu has other colours", i);
    }
}

// Frames, each a whole canvas, that a timeline may hold for the player.
constexpr std::uint64_t played_pixel_budget = 1 << 20;

// Whether the player can show `g` as the program's modes promise to keep
// it: decoded, and each frame with colours of its own (an image without
// any table borrows the program's saved ones).
bool playable(const testgif::decoded& g) {
    if (!g.ok) return false;
    for (const testgif::frame& f : g.frames)
        if (f.colours.empty()) return false;
    return true;
}

struct named_file {
    const std::string& path;
    const testgif::scanned_file& scan;
};

// The first file then the second, as the driver joins two files. The
// model's saved colours follow the program's, as the other runs keep them.
// The canvas comes from the headers read before the join, or, where
// screens is 0, grows in the header as the files come.
bytes join_with_long_options(const named_file& first, const named_file& second, int screens) {
    CHECK(ftruncate(fileno(ws->out), 0) == 0 && lseek(fileno(ws->out), 0, SEEK_SET) == 0, "cannot empty the output");
    census c = take_census(*ws->run, {reeljoin::input::file(first.path), reeljoin::input::file(second.path)}, screens, nullptr);
    ws->run->fit_width = c.width;
    ws->run->fit_height = c.height;
    const table_candidate* common = most_common_table(c.tables);
    set_output_table(ws->run->table, common ? common->table : nullptr, common ? common->entries : 0);
    output_to(ws->run->out, dup(fileno(ws->out)));
    int read = gif_read(*ws->run, role_first, first.path.c_str());
    testgif::expected_pass(first.scan, role_first, frame_delay, ws->saved);
    int role = read ? role_last : role_first;
    read |= gif_read(*ws->run, role, second.path.c_str());
    testgif::expected_pass(second.scan, role, last_delay, ws->saved);
    if (read) write_out(ws->run->out, &layout::trailer, 1);
    CHECK(close_output(ws->run->out), "the output could not be written");
    return read_back(fileno(ws->out));
}

// With --fit, an image that reaches beyond its file's screen is cut to it:
// `out` has the part of `in` on the screen, its pixels those of the rows
// and columns that stay (the rest, where the data gives too few, made up),
// or one pixel where no part stays. Returns "" when so.
// The size a file shows alone: its screen, grown to its first image where
// the program finds that within 64 KiB of blocks after the header.
struct shown_size {
    int width, height;
};

shown_size size_shown(const testgif::scanned_file& f) {
    shown_size s{f.header[6] | f.header[7] << 8, f.header[8] | f.header[9] << 8};
    if (f.images.empty() || f.images[0].at + 10 > f.header.size() + 64 * 1024) return s;
    const bytes& d = f.images[0].descriptor;
    s.width = std::min(65535, std::max(s.width, (d[0] | d[1] << 8) + (d[4] | d[5] << 8)));
    s.height = std::min(65535, std::max(s.height, (d[2] | d[3] << 8) + (d[6] | d[7] << 8)));
    return s;
}

std::string cut_problem(const testgif::scanned_image& out, const testgif::scanned_image& in, shown_size size) {
    int sw = size.width, sh = size.height;
    const bytes& d = in.descriptor;
    int left = d[0] | d[1] << 8, top = d[2] | d[3] << 8, w = d[4] | d[5] << 8, h = d[6] | d[7] << 8;
    int keep_w = std::max(0, std::min(w, sw - left)), keep_h = std::max(0, std::min(h, sh - top));
    const bytes& o = out.descriptor;
    int ow = o[4] | o[5] << 8, oh = o[6] | o[7] << 8;
    if (keep_w == 0 || keep_h == 0) return ow == 1 && oh == 1 ? "" : "a frame beyond its screen is not one pixel";
    if (ow != keep_w || oh != keep_h) return "a frame is not cut to its screen";
    if (out.code_size != in.code_size) return "a cut frame has another code size";
    if (area_of(in) > pixel_budget) return "";
    std::vector<int> have = testgif::decode_pixels(in.data, in.code_size, area_of(in));
    std::vector<int> got = testgif::decode_pixels(out.data, out.code_size, area_of(out));
    bool interlaced = d[8] & 0x40;
    std::size_t k = 0, whole_rows = 0;
    for (int r = 0; r < h; ++r) {
        int shown = r;
        if (interlaced) {  // stored row r of an interlaced frame
            const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
            int left_rows = r;
            for (int pass = 0; pass < 4; ++pass) {
                int rows = h > start[pass] ? (h - start[pass] + step[pass] - 1) / step[pass] : 0;
                if (left_rows < rows) {
                    shown = start[pass] + left_rows * step[pass];
                    break;
                }
                left_rows -= rows;
            }
        }
        if (shown >= keep_h) continue;
        whole_rows += (static_cast<std::size_t>(r) + 1) * w <= have.size();
        for (int c = 0; c < keep_w; ++c, ++k) {
            std::size_t at = static_cast<std::size_t>(r) * w + c;
            if (at < have.size() && k < got.size() && got[k] != have[at]) return "a cut frame has other pixels";
        }
    }
    // Made-up pixels may take 16 KiB more than the frame's data, as a copied frame's.
    std::uint64_t missing = (static_cast<std::uint64_t>(keep_h) - whole_rows) * keep_w, allowed = in.data.size() + 16 * 1024;
    if (got.size() < area_of(out) && run_size(in.code_size, missing, allowed) <= allowed) return "a cut frame is short of pixels";
    return "";
}

bool beyond_screen(const testgif::scanned_image& im, shown_size size) {
    const bytes& d = im.descriptor;
    return (d[0] | d[1] << 8) + (d[4] | d[5] << 8) > size.width || (d[2] | d[3] << 8) + (d[6] | d[7] << 8) > size.height;
}

void check_long_options(const bytes& input, const testgif::scanned_file& scan, bool fuzzed_first) {
    bool centre = input.size() % 2;
    ws->run->settings.keep_delays = ws->run->settings.fit_canvas = ws->run->settings.compact_tables = 1;
    ws->run->settings.center_frames = centre;
    const char* order = fuzzed_first ? "fuzzed first" : "intact first";
    named_file fuzzed{ws->input, scan}, intact{ws->intact, ws->intact_scan};
    int screens = centre || input.size() % 4 == 0;
    bytes out = fuzzed_first ? join_with_long_options(fuzzed, intact, screens)
                             : join_with_long_options(intact, fuzzed, screens);
    ws->run->settings.keep_delays = ws->run->settings.fit_canvas = ws->run->settings.center_frames = ws->run->settings.compact_tables = 0;

    // Every image of both files, in order, with its data as it was; a
    // clear frame at most between the two.
    std::vector<const testgif::scanned_image*> want;
    const testgif::scanned_file* files[] = {fuzzed_first ? &scan : &ws->intact_scan,
                                            fuzzed_first ? &ws->intact_scan : &scan};
    std::vector<shown_size> sizes;
    for (const testgif::scanned_file* f : files)
        if (f->is_gif)
            for (const auto& im : f->images) {
                want.push_back(&im);
                sizes.push_back(size_shown(*f));
            }
    std::size_t first_images = files[0]->is_gif ? files[0]->images.size() : 0;
    testgif::scanned_file got = testgif::scan_gif(out);
    std::size_t extra = got.images.size() - want.size();
    CHECK(got.images.size() >= want.size() && extra <= 1, "%s: %zu images for %zu", order, got.images.size(),
          want.size());
    for (std::size_t i = 0, j = 0; i < got.images.size(); ++i) {
        if (extra && i == first_images) continue;  // the clear frame
        shown_size size = sizes[j];
        const testgif::scanned_image &a = got.images[i], &b = *want[j++];
        int transparent = b.control.present && b.control.packed & 1 ? b.control.index : -1;
        bool decodable = area_of(a) <= pixel_budget;
        const std::uint8_t* control = &out[a.at - layout::frame_control_size];
        if (!browsers_refuse(b) && beyond_screen(b, size)) {
            std::string problem = cut_problem(a, b, size);
            CHECK(problem.empty(), "%s: image %zu: %s", order, i, problem.c_str());
            continue;
        }
        std::string problem = browsers_refuse(b) ? blank_problem(a, control, b, transparent)
                              : a.data == b.data || !decodable
                                  ? ""
                                  : completion_problem(a, control, b, transparent,
                                                       !fuzzed_first && extra == 0 && j == first_images + 1);
        CHECK((a.code_size == b.code_size || browsers_refuse(b)) && problem.empty(), "%s: image %zu has other data: %s",
              order, i, problem.c_str());
        if (browsers_refuse(b)) decodable = false;  // its pixels were checked above
        std::size_t have = decodable ? testgif::decode_pixels(a.data, a.code_size, area_of(a)).size() : area_of(a);
        CHECK(have == area_of(a) || may_stay_short(b, have), "%s: image %zu is short of pixels", order, i);
    }
    // The completion of every frame the program reads back may take 16 KiB
    // more than its data, and a clear frame 16 KiB more than the data it
    // follows, completions included.
    std::size_t read_back = 0;
    for (const testgif::scanned_image* im : want)
        read_back += !taken_as_whole(*im);
    CHECK(out.size() <= 4 * input.size() + ws->intact_bytes.size() + 800 * (want.size() + 1) + 17 * 1024 * (2 * read_back + 1),
          "%s: %zu bytes out of %zu and %zu", order, out.size(), input.size(), ws->intact_bytes.size());

    // giflib allocates every image whole: decode only what the scan and
    // giflib's own walk agree is small.
    testgif::walked walk = testgif::walk_gif(input);
    if (!walk.ok || walk.images != static_cast<int>(scan.images.size()) || !giflib_reads_alike(scan) ||
        pixels_of(scan) > pixel_budget)
        return;
    testgif::decoded in = decode_as_shown(input, scan, !fuzzed_first && extra == 0);
    if (!playable(in) || in.frames.size() != scan.images.size()) return;
    shown_size fuzzed_size = size_shown(scan);
    std::uint64_t canvas = std::uint64_t(std::max(fuzzed_size.width, 8)) * std::max(fuzzed_size.height, 6);
    // A clear frame may cover the part of the canvas frames far outside
    // their screens reach: giflib allocates it whole too.
    if (canvas * (want.size() + 2) > played_pixel_budget || pixels_of(got) > pixel_budget) return;
    testgif::decoded joined = testgif::decode_gif(out);
    CHECK(joined.ok, "%s: giflib decodes the inputs but not the join: %s", order, joined.error.c_str());
    std::vector<testgif::decoded> gifs = {in, ws->intact_decoded};
    if (!fuzzed_first) std::swap(gifs[0], gifs[1]);
    testgif::join_rules rules{centre, true, frame_delay, last_delay};
    std::string diff = testgif::compare(testgif::expected_join(gifs, rules, {extra == 1}), testgif::play(joined));
    CHECK(diff.empty(), "%s: the join plays otherwise: %s", order, diff.c_str());
}

// Up to three selections made from the input's bytes, of frames up to one
// beyond either end of its frames.
std::vector<selection_range> selections_of(const bytes& input, std::int64_t frames) {
    std::uint32_t h = static_cast<std::uint32_t>(input.size()) * 2654435761u;
    for (std::size_t i = 0; i < input.size(); i += 1 + input.size() / 8) h = (h ^ input[i]) * 16777619u;
    std::int64_t span = 2 * frames + 3;
    std::vector<selection_range> ranges(1 + h % 3);
    for (selection_range& r : ranges) {
        h = h * 1103515245u + 12345u;
        r.first = static_cast<std::int64_t>(h >> 8) % span - frames - 1;
        r.last = static_cast<std::int64_t>(h >> 16) % span - frames - 1;
        r.to_end = (h >> 30) == 0;
        r.text = "#";
    }
    return ranges;
}

// The frames a selection takes, in order, given the file's count.
std::vector<int> frames_taken(const std::vector<selection_range>& ranges, std::int64_t frames) {
    std::vector<int> taken;
    for (const selection_range& r : ranges) {
        std::int64_t a = r.first < 0 ? frames + r.first : r.first;
        std::int64_t b = r.to_end ? frames - 1 : r.last < 0 ? frames + r.last : r.last;
        std::int64_t step = a <= b || r.to_end ? 1 : -1;
        for (std::int64_t k = a;; k += step) {
            if (k >= 0 && k < frames) taken.push_back(static_cast<int>(k));
            if (k == b || (step > 0 && k > b)) break;
        }
    }
    return taken;
}

// How many colours the picture has; pictures of more are shown in steps.
std::size_t colours_in(const testgif::snapshot& pic) {
    std::vector<std::uint32_t> c(pic.pixels);
    std::sort(c.begin(), c.end());
    return static_cast<std::size_t>(std::unique(c.begin(), c.end()) - c.begin());
}

// The intact file, then the input with its selections, as a join reads
// them, in a run of the two kept for it; with `ahead`, the run knows the
// input comes next and may read it ahead while the intact file is copied.
// Both runs read the same files in the same order, so each starts from
// what the other holds.
bytes join_after_intact(join_run& r, const std::vector<selection_range>& ranges, bool ahead) {
    bytes out;
    output_to_memory(r.out, out);
    r.next = ahead ? next_input{ws->input, ranges, role_last} : next_input{};
    gif_read(r, role_first, ws->intact.c_str());
    r.next = next_input{};  // the input is the last
    gif_read(r, role_last, ws->input.c_str(), &ranges);
    close_output(r.out);
    return out;
}

// Where the input's selections let it be read ahead, reading it ahead
// gives the join that reading it at its turn gives.
void check_reading_ahead(const std::vector<selection_range>& ranges) {
    ws->ahead_run->next = next_input{ws->input, ranges, role_last};
    if (!ahead_wanted(*ws->ahead_run)) return;
    bytes ahead = join_after_intact(*ws->ahead_run, ranges, true);
    CHECK(ahead == join_after_intact(*ws->at_turn_run, ranges, false), "selection: read ahead, the join differs");
}

void check_selection(const bytes& input, const testgif::scanned_file& scan) {
    if (!scan.is_gif) return;
    // A canvas of up to 4 Mi pixels is held at once, in 16 MiB, which is as
    // much as the fuzzer lets one allocation take.
    shown_size size = size_shown(scan);
    if (std::uint64_t(size.width) * std::uint64_t(size.height) > (4u << 20)) return;
    std::int64_t frames = static_cast<std::int64_t>(scan.images.size());
    std::vector<selection_range> ranges = selections_of(input, frames);
    std::vector<int> taken = frames_taken(ranges, frames);
    CHECK(ftruncate(fileno(ws->out), 0) == 0 && lseek(fileno(ws->out), 0, SEEK_SET) == 0, "cannot empty the output");
    output_to(ws->run->out, dup(fileno(ws->out)));
    ws->run->settings.keep_delays = 1;
    ws->run->warn = ignore_line;
    clear_console();
    int read = gif_read(*ws->run, role_single, ws->input.c_str(), &ranges);
    ws->run->settings.keep_delays = 0;
    ws->run->warn = nullptr;
    CHECK(read == 1 && console_text().empty(), "selection: the pass returned %d and printed \"%s\"", read,
          console_text().c_str());
    write_out(ws->run->out, &layout::trailer, 1);
    CHECK(close_output(ws->run->out), "selection: the output could not be written");
    bytes out = read_back(fileno(ws->out));
    testgif::walked w = testgif::walk_gif(out);
    CHECK(w.ok && w.control_before_each, "selection: giflib cannot read the output: %s", w.error.c_str());
    check_reading_ahead(ranges);
    CHECK((w.images > 0) == !taken.empty(), "selection: %d images for %zu frames", w.images, taken.size());
    const file_canvas& c = ws->run->rebuild().canvas;
    CHECK(c.pixels.size() <= std::max<std::uint64_t>(4u << 20, 8 * c.drawn_pixels) &&
              c.pixels.size() <= std::uint64_t(c.width) * std::uint64_t(c.height),
          "selection: a canvas of %zu pixels for %llu drawn", c.pixels.size(), (unsigned long long)c.drawn_pixels);
    // Each pass reads the file again, and each picture written takes at
    // most its canvas, a byte and a half a pixel, beside a clear frame.
    std::size_t passes = taken.size() + 2, canvas_bytes = 3 * c.pixels.size() / 2 + 3 * 1024;
    CHECK(out.size() <= passes * (input.size() + 1024) + taken.size() * (canvas_bytes + 17 * 1024),
          "selection: %zu bytes out of %zu", out.size(), input.size());

    testgif::walked walk = testgif::walk_gif(input);
    if (taken.empty() || !walk.ok || walk.images != static_cast<int>(frames) || !giflib_reads_alike(scan) ||
        pixels_of(scan) > pixel_budget)
        return;
    testgif::decoded in = decode_as_shown(input, scan);
    if (!playable(in) || in.frames.size() != scan.images.size() ||
        std::uint64_t(size_shown(scan).width) * size_shown(scan).height * (taken.size() + in.frames.size() + 2) >
            played_pixel_budget)
        return;
    testgif::timeline alone = testgif::play(in), want;
    for (int k : taken) want.push_back(alone[static_cast<std::size_t>(k)]);
    for (const testgif::shown& s : want)
        if (colours_in(s.pic) > 256) return;
    if (pixels_of(testgif::scan_gif(out)) > pixel_budget) return;
    testgif::decoded got = testgif::decode_gif(out);
    CHECK(got.ok, "selection: giflib decodes the input but not the output: %s", got.error.c_str());
    want = testgif::merge_repeats(want);
    testgif::timeline shown = testgif::merge_repeats(testgif::play(got));
    CHECK(shown.size() == want.size(), "selection: %zu pictures, expected %zu", shown.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) CHECK(shown[i].pic == want[i].pic, "selection: picture %zu differs", i);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!ws) setup();
    int descriptors = open_descriptors();
    bytes input(data, data + size);
    write_input(ws->input, data, size);
    take_events();  // those of writing it
    testgif::scanned_file scan = testgif::scan_gif(input);

    run first("first", scan);
    int read = first.pass(true, role_first);
    first.pass(false, read ? role_last : role_first);
    first.finish();

    run middle("middle", scan);
    middle.pass(false, role_first);
    read = middle.pass(true, 1);
    middle.pass(false, read ? role_last : 1);
    middle.finish();

    run last("last", scan);
    last.pass(false, role_first);
    last.pass(true, role_last);
    last.pass(false, role_last);
    last.finish();

    run single("single", scan);
    if (single.pass(true, role_single)) single.pass(false, 1);
    single.finish();

    expect_same_pictures(input, scan, first);
    check_long_options(input, scan, true);
    check_long_options(input, scan, false);
    check_selection(input, scan);

    std::uint32_t events = take_events();
    CHECK(events == 0, "an input was opened for writing or changed (inotify mask 0x%x)", events);
    int fd = open(ws->input.c_str(), O_RDONLY);
    CHECK(fd >= 0 && read_back(fd) == input, "the fuzzed input was changed");
    close(fd);
    CHECK(open_descriptors() == descriptors, "a file descriptor was left open");
    return 0;
}
