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

}  // namespace

command_line parse_options(int argc, char** argv) {
    command_line cl;
    int& i = cl.first_input;
    for (;;) {
        if (i < argc && is(argv[i], "-h")) {
            cl.help = 1;
            return cl;
        }
        if (i + 1 >= argc) return cl;
        const char* arg = argv[i];
        if (is(arg, "-s")) {
            verb = 0;
            i += 1;
        } else if (is(arg, "-o")) {
            cl.output = argv[i + 1];
            i += 2;
        } else if (is(arg, "-d")) {
            read_number(argv[i + 1], loop_delay);
            i += 2;
        } else if (is(arg, "-e")) {
            read_number(argv[i + 1], loop_end_delay);
            i += 2;
        } else {
            return cl;
        }
    }
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
