#include "cli/options.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/input_words.h"
#include "gif/gif.h"

namespace {

// Reads a delay from a leading decimal number ("12abc" gives 12) into
// value; an argument that does not start with one leaves value as it is.
// A number outside 0 to 65535, which a frame cannot hold, returns 0.
int read_delay(const char* text, int& value) {
    char* end = nullptr;
    long n = std::strtol(text, &end, 10);
    if (end == text) return 1;
    if (n < 0 || n > 0xFFFF) return 0;
    value = static_cast<int>(n);
    return 1;
}

int is(const char* arg, const char* option) { return std::strcmp(arg, option) == 0; }

int is_long_option(const char* arg) { return std::strncmp(arg, "--", 2) == 0; }

// Reads a loop count: decimal digits only, 0 to 65535.
int read_loop_count(const char* text, join_settings& s) {
    char* end = nullptr;
    unsigned long n = std::strtoul(text, &end, 10);
    if (end == text || *end || !std::isdigit(static_cast<unsigned char>(*text)) || n > 0xFFFF) return 0;
    s.loop_count = static_cast<int>(n);
    s.loop_mode = loop_given;
    return 1;
}

// The long options. Those that take a value get it after "=" or in the
// next argument; each applies itself and returns 0 when its value is wrong.
struct long_option {
    const char* name;
    int takes_value;
    int (*apply)(const char* value, command_line& cl);
    const char* usage;  // its line in the long usage text
};
const long_option long_options[] = {
    {"--keep-delays", 0, [](const char*, command_line& cl) { return cl.settings.keep_delays = 1; },
     "      --keep-delays   - Each frame keeps its own delay instead of -d/-e"},
    {"--fit", 0, [](const char*, command_line& cl) { return cl.settings.fit_canvas = 1; },
     "      --fit           - Canvas fits every file; each file starts on a clear one"},
    {"--center", 0, [](const char*, command_line& cl) { return cl.settings.fit_canvas = cl.settings.center_frames = 1; },
     "      --center        - As --fit, with each file centred on the canvas"},
    {"--compact", 0, [](const char*, command_line& cl) { return cl.settings.compact_tables = 1; },
     "      --compact       - No colour table for frames whose colours the global table holds"},
    {"--loop", 1, [](const char* value, command_line& cl) { return read_loop_count(value, cl.settings); },
     "      --loop=N        - Repeat N times after the first play (0: for ever)"},
    {"--no-loop", 0, [](const char*, command_line& cl) { return (cl.settings.loop_mode = loop_none), 1; },
     "      --no-loop       - No looping: the animation plays once"},
    {"--files-from", 1, [](const char* value, command_line& cl) { return cl.lists.emplace_back(value), 1; },
     "      --files-from=FILE - More file names from FILE, one a line (-: standard input)"},
    {"--help", 0, [](const char*, command_line& cl) { return cl.long_help = 1; },
     "      --help          - Print this text"},
    {"--version", 0, [](const char*, command_line& cl) { return cl.version = 1; },
     "      --version       - Print the program's name and version"},
};

// The option that arg names, with its value when it is given after "=".
const long_option* find_long_option(const char* arg, const char*& value) {
    const char* equals = std::strchr(arg, '=');
    std::size_t length = equals ? static_cast<std::size_t>(equals - arg) : std::strlen(arg);
    for (const long_option& option : long_options) {
        if (std::strlen(option.name) != length || std::strncmp(arg, option.name, length) != 0) continue;
        if (equals && !option.takes_value) return nullptr;
        value = equals ? equals + 1 : nullptr;
        return &option;
    }
    return nullptr;
}

// Applies the long option at argv[i] and returns how many arguments it took;
// 0, with the word kept in cl, when it is unknown or its value is wrong.
int apply_long_option(int i, int argc, char** argv, command_line& cl) {
    const char* value = nullptr;
    const long_option* option = find_long_option(argv[i], value);
    if (!option) {
        cl.unknown = argv[i];
        return 0;
    }
    int taken = 1;
    if (option->takes_value && !value && i + 1 < argc) {
        value = argv[i + 1];
        taken = 2;
    }
    if ((option->takes_value && !value) || !option->apply(value, cl)) {
        cl.invalid = taken == 2 ? std::string(argv[i]) + " " + value : argv[i];
        return 0;
    }
    return taken;
}

// Applies the short option at argv[i] and returns how many arguments it
// took, or 0 when argv[i] is none (or stands last, with nothing to take).
int apply_short_option(int i, int argc, char** argv, command_line& cl) {
    if (i + 1 >= argc) return 0;
    const char* arg = argv[i];
    if (is(arg, "-s")) {
        cl.settings.verb = 0;
        return 1;
    }
    int ok = 1;
    if (is(arg, "-o")) cl.output = argv[i + 1];
    else if (is(arg, "-d")) ok = read_delay(argv[i + 1], cl.settings.loop_delay);
    else if (is(arg, "-e")) ok = read_delay(argv[i + 1], cl.settings.loop_end_delay);
    else return 0;
    if (!ok && cl.invalid.empty()) cl.invalid = std::string(arg) + " " + argv[i + 1];
    return 2;
}

}  // namespace

command_line parse_options(int argc, char** argv) {
    command_line cl;
    int shorts = 1;  // short options are still recognised
    int longs = 1;   // long options are still recognised (no "--" yet)
    for (int i = 1; i < argc;) {
        const char* arg = argv[i];
        if (longs && is(arg, "--")) {
            longs = shorts = 0;
            ++i;
            continue;
        }
        if (longs && is_long_option(arg)) {
            int taken = apply_long_option(i, argc, argv, cl);
            if (!taken || cl.long_help || cl.version) return cl;
            i += taken;
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
        std::string wrong = add_input_word(cl.inputs, arg);
        if (cl.wrong_selection.empty()) cl.wrong_selection = wrong;
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

void print_long_usage() {
    print_usage();
    std::puts("      -h              - Print the usage text above");
    for (const long_option& option : long_options) std::puts(option.usage);
    std::puts("      --              - Ends the long options: the rest are file names");
}

void print_version() { std::puts("reeljoin " REELJOIN_VERSION); }
