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

// Copies n bytes of an input, from offset `at` on, into `into`; returns
// false where it cannot (the input then ends there).
using byte_reader = std::function<bool(std::uint64_t at, std::uint8_t* into, std::size_t n)>;

// An input: a file by its path ("-" is standard input), bytes held in
// memory, or `size` bytes that a reader gives on demand, a block at a time
// (so that they need not all be in memory at once), with a name for the
// messages; with selections, the frames they select in their order, else
// all of its frames.
class input {
public:
    static input file(std::string path);
    static input bytes(std::vector<std::uint8_t> data, std::string name);
    static input reader(std::uint64_t size, byte_reader read, std::string name);
    input& select(const frame_range& range);

    const std::string& name() const { return name_; }
    bool is_file() const { return bytes_ == nullptr; }
    bool in_memory() const;
    const std::vector<std::uint8_t>& data() const;  // empty but for bytes in memory
    std::uint64_t size() const;                     // 0 for a file
    const byte_reader* read() const;                // null but for a reader
    const std::vector<frame_range>& selection() const;  // empty: every frame

private:
    struct held;  // the bytes, or their reader
    std::string name_;
    std::shared_ptr<const held> bytes_;  // small where a list names 100,000 files
    std::shared_ptr<std::vector<frame_range>> selection_;
};

// Takes the next n bytes of a join's output; returns false where it cannot
// (the join then fails as a full disk fails it).
using byte_writer = std::function<bool(const std::uint8_t* bytes, std::size_t n)>;

// Where the join goes: a file by its path, replaced whole only once the
// join has succeeded (a new file beside it, renamed over it; a link keeps
// its link, a device or pipe is written directly); bytes in memory; a
// descriptor open for writing, which the join closes; or a writer that
// takes the bytes in order as they are final, in blocks, as a pipe takes
// them (so that the join need not be held in memory whole).
class output {
public:
    static output file(std::string path);
    static output bytes(std::vector<std::uint8_t>& into);
    static output descriptor(int fd, std::string name = "-");
    static output writer(byte_writer take, std::string name = "");

    enum class kind { file, bytes, descriptor, writer };
    kind what() const { return kind_; }
    const std::string& name() const { return name_; }
    std::vector<std::uint8_t>* into() const { return into_; }
    int fd() const { return fd_; }
    const byte_writer* take() const { return take_.get(); }

private:
    kind kind_ = kind::file;
    std::string name_;
    std::vector<std::uint8_t>* into_ = nullptr;
    int fd_ = -1;
    std::shared_ptr<const byte_writer> take_;
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
