#include "cli/options.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "gif/gif.h"

namespace {

// Reads a leading decimal number ("12abc" gives 12) into value; an argument
// that does not start with one leaves value as it is.
void read_number(const char* text, int& value) {
    char* end = nullptr;
    long n = std::strtol(text, &end, 10);
    if (end == text) return;
    if (n > INT_MAX) n = INT_MAX;
    if (n < INT_MIN) n = INT_MIN;
    value = static_cast<int>(n);
}

int is(const char* arg, const char* option) { return std::strcmp(arg, option) == 0; }

int is_long_option(const char* arg) { return std::strncmp(arg, "--", 2) == 0; }

// The long options: each switches run settings on.
struct long_option {
    const char* name;
    int* setting;
    int* also;  // a second setting it implies, or null
};
const long_option long_options[] = {
    {"--keep-delays", &keep_delays, nullptr},
    {"--fit", &fit_canvas, nullptr},
    {"--center", &center_frames, &fit_canvas},
};

// Switches on the settings that arg names; 0 when it names none.
int apply_long_option(const char* arg) {
    for (const long_option& option : long_options)
        if (is(arg, option.name)) {
            *option.setting = 1;
            if (option.also) *option.also = 1;
            return 1;
        }
    return 0;
}

// Applies the short option at argv[i] and returns how many arguments it
// took, or 0 when argv[i] is none (or stands last, with nothing to take).
int apply_short_option(int i, int argc, char** argv, command_line& cl) {
    if (i + 1 >= argc) return 0;
    const char* arg = argv[i];
    if (is(arg, "-s")) {
        verb = 0;
        return 1;
    }
    if (is(arg, "-o")) cl.output = argv[i + 1];
    else if (is(arg, "-d")) read_number(argv[i + 1], loop_delay);
    else if (is(arg, "-e")) read_number(argv[i + 1], loop_end_delay);
    else return 0;
    return 2;
}

}  // namespace

command_line parse_options(int argc, char** argv) {
    command_line cl;
    int shorts = 1;  // short options are still recognised
    int longs = 1;   // long options are still recognised (no "--" yet)
    for (int i = 1; i < argc;) {
        const char* arg = argv[i];
        if (longs && is_long_option(arg)) {
            ++i;
            if (is(arg, "--")) {
                longs = shorts = 0;
            } else if (!apply_long_option(arg)) {
                cl.unknown = arg;
                return cl;
            }
            continue;
        }
        if (shorts && is(arg, "-h")) {
            cl.help = 1;
            return cl;
        }
        int taken = shorts ? apply_short_option(i, argc, argv, cl) : 0;
        if (taken) {
            i += taken;
            continue;
        }
        shorts = 0;
        cl.inputs.push_back(arg);
        ++i;
    }
    return cl;
}

void print_usage() {
    std::puts("reeljoin: Concatenates GIF files into an animated GIF");
    std::puts("   syntax: reeljoin [options] file1 file2 ...");
    std::puts("   options:");
    std::puts("      -s           - Silent mode");
    std::puts("      -o filename  - Output filename (default out.gif)");
    std::puts("      -d delay     - Frame delay in .01 sec (default 20)");
    std::puts("      -e delay     - Last frame delay in .01 sec (default 80)");
    std::puts("      file1 file2 ... - List of GIF files to include");
}
