// The library's face for JavaScript, in the WebAssembly build: plain C
// calls on one join at a time, its inputs placed straight in WebAssembly
// memory by the caller (one copy, no file system), its output and every
// message and warning read back when it is done. Each message is also
// handed to JavaScript as it comes, for a page that shows progress.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "reeljoin/join.h"

#ifdef __EMSCRIPTEN__
#include <emscripten.h>
// Calls Module.onJoinMessage(line), where the page has set one.
EM_JS(void, tell_javascript, (const char* line), {
    if (Module["onJoinMessage"]) Module["onJoinMessage"](UTF8ToString(line));
});
#define FACE extern "C" EMSCRIPTEN_KEEPALIVE
#else
void tell_javascript(const char*) {}
#define FACE extern "C"
#endif

namespace {

struct pending_input {
    std::string name;
    std::vector<std::uint8_t> data;
    std::vector<reeljoin::frame_range> selection;
};

}  // namespace

struct web_join {
    std::vector<pending_input> inputs;
    reeljoin::settings settings;
    std::vector<std::uint8_t> gif;
    std::vector<std::string> messages;  // messages and warnings, in the order they came
};

FACE web_join* rj_create() { return new web_join; }

FACE void rj_destroy(web_join* j) { delete j; }

// Adds an input of `size` bytes; returns where the caller puts them.
FACE std::uint8_t* rj_add_input(web_join* j, const char* name, std::size_t size) {
    j->inputs.push_back({name, std::vector<std::uint8_t>(size), {}});
    return j->inputs.back().data.data();
}

// Adds a selection ("#3-8") to the last input. Returns 0 where the text
// is none, or no input comes before it.
FACE int rj_add_selection(web_join* j, const char* text) {
    reeljoin::frame_range range;
    if (j->inputs.empty() || !reeljoin::parse_selection(text, range)) return 0;
    j->inputs.back().selection.push_back(range);
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

// Runs the join; returns 1 where it was written whole. The inputs' bytes
// are given up to it.
FACE int rj_run(web_join* j) {
    std::vector<reeljoin::input> inputs;
    std::size_t total = 0;
    for (pending_input& p : j->inputs) {
        total += p.data.size();
        inputs.push_back(reeljoin::input::bytes(std::move(p.data), p.name));
        for (const reeljoin::frame_range& r : p.selection) inputs.back().select(r);
    }
    j->inputs.clear();
    j->gif.reserve(total + 4096);  // a join is about its inputs' size: grown once at most
    reeljoin::events on;
    auto keep = [j](const std::string& line) {
        j->messages.push_back(line);
        tell_javascript(line.c_str());
    };
    on.message = keep;
    on.warning = keep;
    reeljoin::report r = reeljoin::join(inputs, reeljoin::output::bytes(j->gif), j->settings, on);
    return r.written ? 1 : 0;
}

FACE const std::uint8_t* rj_output(web_join* j) { return j->gif.data(); }
FACE std::size_t rj_output_size(web_join* j) { return j->gif.size(); }
FACE int rj_message_count(web_join* j) { return static_cast<int>(j->messages.size()); }
FACE const char* rj_message(web_join* j, int i) { return j->messages[static_cast<std::size_t>(i)].c_str(); }
