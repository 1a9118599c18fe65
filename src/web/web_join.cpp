// The library's face for JavaScript, in the WebAssembly build: plain C
// calls on one join at a time. Its inputs stay with JavaScript, which
// gives their bytes a block at a time as the join reads them
// (Module.readInput), and its output goes back to JavaScript in blocks as
// they are final (Module.takeOutput), so WebAssembly memory stays small
// whatever the inputs' size. Each message and warning is handed over as it
// comes (Module.onJoinMessage), for a page that shows progress, and kept
// for the caller.
#include <emscripten.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "reeljoin/join.h"

// Copies n bytes of input k from offset `at` to `into`; false where it cannot.
EM_JS(int, read_javascript, (int k, double at, std::uint8_t* into, int n), {
    return Module["readInput"](k, at, into, n) ? 1 : 0;
});
// Takes n bytes of the output; false where it cannot.
EM_JS(int, give_javascript, (const std::uint8_t* bytes, int n), {
    return Module["takeOutput"](bytes, n) ? 1 : 0;
});
EM_JS(void, tell_javascript, (const char* line), {
    if (Module["onJoinMessage"]) Module["onJoinMessage"](UTF8ToString(line));
});

#define FACE extern "C" EMSCRIPTEN_KEEPALIVE

struct web_join {
    std::vector<reeljoin::input> inputs;
    reeljoin::settings settings;
    std::vector<std::string> messages;  // messages and warnings, in the order they came
};

FACE web_join* rj_create() { return new web_join; }

FACE void rj_destroy(web_join* j) { delete j; }

// Adds input number k (counted from 0) of `size` bytes, read through Module.readInput.
FACE void rj_add_input(web_join* j, const char* name, double size) {
    int k = static_cast<int>(j->inputs.size());
    j->inputs.push_back(reeljoin::input::reader(
        static_cast<std::uint64_t>(size),
        [k](std::uint64_t at, std::uint8_t* into, std::size_t n) {
            return read_javascript(k, static_cast<double>(at), into, static_cast<int>(n)) != 0;
        },
        name));
}

// Adds a selection ("#3-8") to the last input. Returns 0 where the text
// is none, or no input comes before it.
FACE int rj_add_selection(web_join* j, const char* text) {
    reeljoin::frame_range range;
    if (j->inputs.empty() || !reeljoin::parse_selection(text, range)) return 0;
    j->inputs.back().select(range);
    return 1;
}

// Sets a setting by its command line name; returns 0 for a name it has not.
FACE int rj_set(web_join* j, const char* name, int value) {
    reeljoin::settings& s = j->settings;
    std::string n = name;
    if (n == "delay") s.delay = value;
    else if (n == "last-delay") s.last_delay = value;
    else if (n == "keep-delays") s.keep_delays = value != 0;
    else if (n == "fit") s.fit = value != 0;
    else if (n == "center") s.center = value != 0;
    else if (n == "compact") s.compact = value != 0;
    else if (n == "loop") s.loop = value;
    else if (n == "no-loop") s.no_loop = value != 0;
    else if (n == "quiet") s.quiet = value != 0;
    else return 0;
    return 1;
}

// Runs the join, its output going to Module.takeOutput; returns 1 where
// it was written whole.
FACE int rj_run(web_join* j) {
    reeljoin::events on;
    auto keep = [j](const std::string& line) {
        j->messages.push_back(line);
        tell_javascript(line.c_str());
    };
    on.message = keep;
    on.warning = keep;
    reeljoin::output out = reeljoin::output::writer(
        [](const std::uint8_t* p, std::size_t n) { return give_javascript(p, static_cast<int>(n)) != 0; }, "-");
    return reeljoin::join(j->inputs, out, j->settings, on).written ? 1 : 0;
}

FACE int rj_message_count(web_join* j) { return static_cast<int>(j->messages.size()); }
FACE const char* rj_message(web_join* j, int i) { return j->messages[static_cast<std::size_t>(i)].c_str(); }
