// reeljoin as a library: joins GIF files, or GIFs held in memory, into one
// animated GIF, copying every image's compressed data through unchanged,
// exactly as the reeljoin program does. Every join is whole in itself: joins
// may follow one another with other settings, or run at once in threads.
//
//     std::vector<std::uint8_t> gif;
//     reeljoin::settings s;
//     s.keep_delays = s.center = true;
//     reeljoin::report r = reeljoin::join({reeljoin::input::file("intro.gif"),
//                                          reeljoin::input::bytes(clip, "clip.gif")},
//                                         reeljoin::output::bytes(gif), s);
//     if (!r.written) for (const std::string& m : r.messages) std::fprintf(stderr, "%s\n", m.c_str());
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace reeljoin {

// What the command line's options set; the defaults are the program's.
struct settings {
    int delay = 20;            // -d: frame delay, hundredths of a second
    int last_delay = 80;       // -e: delay of the last file's frames
    bool keep_delays = false;  // --keep-delays
    bool fit = false;          // --fit
    bool center = false;       // --center (implies fit)
    bool compact = false;      // --compact
    int loop = -1;             // --loop=N, 0 to 65535 (0: for ever); -1: as without it
    bool no_loop = false;      // --no-loop
    bool quiet = false;        // -s: no "Processing: NAME" message per input
    bool standard_input_used = false;  // standard input was read already: an input "-" fails
};

// Frames of an input, as "#N", "#A-B" or "#A-" selects them: frames first
// through last, counted from 0, a negative number from the end (-1 is the
// last frame). A first above last plays them backwards.
struct frame_range {
    std::int64_t first = 0;
    std::int64_t last = 0;
    bool to_end = false;  // "#A-": last is the file's last frame
};

// Reads a selection as the command line gives it, '#' first. Returns false
// when the text is none.
bool parse_selection(const std::string& text, frame_range& range);
std::string selection_text(const frame_range& range);  // "#A-B" and the like

// An input: a file by its path ("-" is standard input), or bytes held in
// memory with a name for the messages; with selections, the frames they
// select in their order, else all of its frames.
class input {
public:
    static input file(std::string path);
    static input bytes(std::vector<std::uint8_t> data, std::string name);
    input& select(const frame_range& range);

    const std::string& name() const { return name_; }
    bool in_memory() const { return data_ != nullptr; }
    const std::vector<std::uint8_t>& data() const;  // empty for a file
    const std::vector<frame_range>& selection() const;  // empty: every frame

private:
    std::string name_;
    std::shared_ptr<const std::vector<std::uint8_t>> data_;  // small where a list names 100,000 files
    std::shared_ptr<std::vector<frame_range>> selection_;
};

// Where the join goes: a file by its path, replaced whole only once the
// join has succeeded (a new file beside it, renamed over it; a link keeps
// its link, a device or pipe is written directly); bytes in memory; or a
// descriptor open for writing, which the join closes.
class output {
public:
    static output file(std::string path);
    static output bytes(std::vector<std::uint8_t>& into);
    static output descriptor(int fd, std::string name = "-");

    enum class kind { file, bytes, descriptor };
    kind what() const { return kind_; }
    const std::string& name() const { return name_; }
    std::vector<std::uint8_t>* into() const { return into_; }
    int fd() const { return fd_; }

private:
    kind kind_ = kind::file;
    std::string name_;
    std::vector<std::uint8_t>* into_ = nullptr;
    int fd_ = -1;
};

// Why a join wrote nothing, where it did not.
enum class failure {
    none,
    no_inputs,           // no input was given
    nothing_exists,      // none of the inputs exists
    nothing_read,        // none read as a GIF
    output_is_input,     // the output is one of the inputs
    cannot_open_output,  // the output could not be opened or made
    cannot_write_output, // writing it failed (a full disk), or replacing the old one
    cannot_select,       // an input that can be read only once has selections that need it twice
};

struct report {
    bool written = false;               // the join was written whole
    std::vector<std::string> messages;  // the lines the program would print, without newlines
    std::vector<std::string> warnings;  // the lines it would print on standard error
    failure cause = failure::none;
    std::string file;                   // the file the failure concerns, where one does
};

// Calls a join makes as it goes, all optional: each message and warning as it comes,
// and around the making of an output file's new file (for a program that
// removes it on a signal: `opening` before it is made, `opened` with its
// path just after, "" when the output is written directly, `closed` once it
// is renamed or removed).
struct events {
    std::function<void(const std::string& line)> message;
    std::function<void(const std::string& line)> warning;
    std::function<void()> opening;
    std::function<void(const std::string& new_file)> opened;
    std::function<void()> closed;
};

report join(const std::vector<input>& inputs, output out, const settings& s = {}, const events& on = {});

}  // namespace reeljoin
