// The join: the census, the output, every input in its frame role, the
// trailer, and what to report.
#include "reeljoin/join.h"

#include <sys/stat.h>

#include <memory>

#include "gif/gif.h"
#include "gif/layout.h"
#include "gif/output.h"
#include "gif/output_file.h"
#include "gif/output_table.h"
#include "gif/run.h"
#include "lib/census.h"

namespace reeljoin {

input input::file(std::string path) {
    input in;
    in.name_ = std::move(path);
    return in;
}

struct input::held {
    std::vector<std::uint8_t> data;
    byte_reader read;  // empty for bytes in memory
    std::uint64_t size = 0;
};

input input::bytes(std::vector<std::uint8_t> data, std::string name) {
    input in;
    in.name_ = std::move(name);
    auto h = std::make_shared<held>();
    h->size = data.size();
    h->data = std::move(data);
    in.bytes_ = std::move(h);
    return in;
}

input input::reader(std::uint64_t size, byte_reader read, std::string name) {
    input in;
    in.name_ = std::move(name);
    auto h = std::make_shared<held>();
    h->read = std::move(read);
    h->size = size;
    in.bytes_ = std::move(h);
    return in;
}

bool input::in_memory() const { return bytes_ && !bytes_->read; }

const std::vector<std::uint8_t>& input::data() const {
    static const std::vector<std::uint8_t> none;
    return bytes_ ? bytes_->data : none;
}

std::uint64_t input::size() const { return bytes_ ? bytes_->size : 0; }

const byte_reader* input::read() const { return bytes_ && bytes_->read ? &bytes_->read : nullptr; }

output output::file(std::string path) {
    output o;
    o.name_ = std::move(path);
    return o;
}

output output::bytes(std::vector<std::uint8_t>& into) {
    output o;
    o.kind_ = kind::bytes;
    o.into_ = &into;
    return o;
}

output output::writer(byte_writer take, std::string name) {
    output o;
    o.kind_ = kind::writer;
    o.name_ = std::move(name);
    o.take_ = std::make_shared<const byte_writer>(std::move(take));
    return o;
}

output output::descriptor(int fd, std::string name) {
    output o;
    o.kind_ = kind::descriptor;
    o.fd_ = fd;
    o.name_ = std::move(name);
    return o;
}

namespace {

join_settings run_settings(const settings& s) {
    join_settings j;
    j.verb = !s.quiet;
    j.loop_delay = s.delay;
    j.loop_end_delay = s.last_delay;
    j.keep_delays = s.keep_delays;
    j.fit_canvas = s.fit || s.center;
    j.center_frames = s.center;
    j.compact_tables = s.compact;
    if (s.loop >= 0) {
        j.loop_count = s.loop;
        j.loop_mode = loop_given;
    }
    if (s.no_loop) j.loop_mode = loop_none;
    return j;
}

// A join in progress: its run, its report, and how it tells what happens.
struct joining {
    join_run& r;
    report& rep;
    const events& on;

    void say(const std::string& line) {
        rep.messages.push_back(line);
        if (on.message) on.message(line);
    }
    void warn(const std::string& line) {
        rep.warnings.push_back(line);
        if (on.warning) on.warning(line);
    }
    report& fail(failure cause, const std::string& file, const std::string& line) {
        rep.cause = cause;
        rep.file = file;
        if (!line.empty()) say(line);
        return rep;
    }
};

void tell(void* context, const char* line) { static_cast<joining*>(context)->say(line); }
void warn(void* context, const char* line) { static_cast<joining*>(context)->warn(line); }

std::vector<selection_range> ranges_of(const input& in) {
    std::vector<selection_range> ranges;
    for (const frame_range& f : in.selection()) ranges.push_back({f.first, f.last, f.to_end, selection_text(f)});
    return ranges;
}

bool read_through(void* context, std::uint64_t at, std::uint8_t* p, std::size_t n) {
    return (*static_cast<const byte_reader*>(context))(at, p, n);
}

int read_one(join_run& r, int role, const input& in) {
    std::vector<selection_range> ranges = ranges_of(in);
    if (in.is_file()) return gif_read(r, role, in.name().c_str(), &ranges);
    byte_source source;
    source.size = in.size();
    if (in.in_memory()) {
        source.bytes = in.data().data();
    } else {
        source.read = read_through;
        source.context = const_cast<byte_reader*>(in.read());
    }
    return gif_read_source(r, role, in.name().c_str(), source, &ranges);
}

// A file that can be read only once (standard input, a pipe) can give
// frames only in its own order, counted from its start. Returns the first
// input whose selection needs more, or null.
const input* unselectable(const std::vector<input>& inputs) {
    struct stat st;
    for (const input& in : inputs) {
        if (!in.is_file() || in.selection().empty()) continue;
        std::vector<selection_range> ranges = ranges_of(in);
        if (one_pass(ranges) && !counts_from_end(ranges)) continue;
        if (in.name() == "-" || (stat(in.name().c_str(), &st) == 0 && !S_ISREG(st.st_mode))) return &in;
    }
    return nullptr;
}

// Tells the run which file it reads after inputs[i], and with which role
// once inputs[i] is read: it may read that one ahead.
void tell_next(join_run& r, const std::vector<input>& inputs, std::size_t i, int role) {
    r.next = next_input{};
    if (i + 1 >= inputs.size() || !inputs[i + 1].is_file()) return;
    r.next.path = inputs[i + 1].name();
    r.next.ranges = ranges_of(inputs[i + 1]);
    r.next.role = role;
}

// Gives every input its frame role and reads it. The first one read
// successfully gets the header; once all existing ones but one have been
// read, the rest get the last-frame delay. One that fails leaves its role
// to the next. Returns 1 when at least one was read.
int read_inputs(join_run& r, const std::vector<input>& inputs, int existing) {
    if (existing == 1) {
        int any = 0;
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            tell_next(r, inputs, i, role_single);
            any |= read_one(r, role_single, inputs[i]);
        }
        return any;
    }
    int k = 0;
    std::size_t i = 0;
    for (; i < inputs.size() && k < existing - 1; ++i) {
        tell_next(r, inputs, i, k + 1 < existing - 1 ? k + 1 : role_last);
        if (read_one(r, k, inputs[i])) ++k;
    }
    int any = k > 0;
    for (; i < inputs.size(); ++i) {
        tell_next(r, inputs, i, role_last);
        any |= read_one(r, role_last, inputs[i]);
    }
    return any;
}

// What stat says of the output where it exists already.
bool stat_output(const output& out, struct stat& st) {
    if (out.what() == output::kind::bytes || out.what() == output::kind::writer) return false;
    if (out.what() == output::kind::descriptor) return fstat(out.fd(), &st) == 0;
    return stat(out.name().c_str(), &st) == 0;
}

// Opens the output: a file's new file, with the caller told around its
// making. Returns 1 when open.
int open_output(joining& j, const output& out, output_file& f) {
    f = output_file{};
    if (out.what() == output::kind::bytes) {
        output_to_memory(j.r.out, *out.into());
        return 1;
    }
    if (out.what() == output::kind::descriptor) {
        output_to(j.r.out, out.fd());
        return 1;
    }
    if (out.what() == output::kind::writer) {
        byte_sink sink;
        sink.take = [](void* take, const std::uint8_t* p, std::size_t n) { return (*static_cast<const byte_writer*>(take))(p, n); };
        sink.context = const_cast<byte_writer*>(out.take());
        output_to_sink(j.r.out, sink);
        return 1;
    }
    if (j.on.opening) j.on.opening();
    int opened = open_output_file(out.name(), f);
    if (j.on.opened) j.on.opened(opened ? f.temp : std::string());
    if (opened) output_to(j.r.out, f.fd);
    return opened;
}

// Closes the output, and where the join was written makes it the output,
// else takes the new file away. Returns 1 when all of it was written.
int finish_output(joining& j, output_file& f, int any) {
    int ok = close_output(j.r.out);
    if (any && ok)
        ok = commit_output_file(f, output_position(j.r.out));
    else
        abandon_output_file(f);
    if (j.on.closed) j.on.closed();
    return ok;
}

}  // namespace

report join(const std::vector<input>& inputs, output out, const settings& s, const events& on) {
    report rep;
    auto run = std::make_unique<join_run>();
    joining j{*run, rep, on};
    join_run& r = *run;
    r.settings = run_settings(s);
    r.in.stdin_taken = s.standard_input_used;
    r.say = tell;
    r.warn = warn;
    r.say_context = &j;
    if (inputs.empty()) return j.fail(failure::no_inputs, "", "");
    if (const input* once = unselectable(inputs))
        return j.fail(failure::cannot_select, once->name(),
                      "reeljoin: " + once->name() +
                          " can be read only once: its selections must take frames in its order, counted from its start");
    // The output is not touched before the census: an output that exists
    // is found among the inputs by what stat says of it.
    struct stat existing_output;
    bool output_exists = stat_output(out, existing_output);
    // With --fit into a regular file the header's size is rewritten as
    // larger inputs come; centring must know the canvas before the first
    // frame, and a pipe cannot be rewritten, so those read every header
    // first.
    bool regular = out.what() == output::kind::bytes ||
                   (out.what() != output::kind::writer && (!output_exists || S_ISREG(existing_output.st_mode)));
    int screens = r.settings.fit_canvas && (r.settings.center_frames || !regular);
    census c = take_census(r, inputs, screens, output_exists ? &existing_output : nullptr);
    if (c.output_is_input)
        return j.fail(failure::output_is_input, out.name(), "Output file is also an input: " + out.name());
    if (c.existing == 0) {  // each is reported as a missing file is
        for (const input& in : inputs) j.say("Unable to open GIF file: " + in.name());
        return j.fail(failure::nothing_exists, "", "");
    }
    output_file f;
    if (!open_output(j, out, f))
        return j.fail(failure::cannot_open_output, out.name(), "Unable to open output file: " + out.name());
    if (const table_candidate* common = most_common_table(c.tables))
        set_output_table(r.table, common->table, common->entries);
    r.fit_width = c.width;
    r.fit_height = c.height;
    int any = read_inputs(r, inputs, c.existing);
    if (any) write_out(r.out, &layout::trailer, 1);
    if (!finish_output(j, f, any))
        return j.fail(failure::cannot_write_output, out.name(), "Unable to write output file: " + out.name());
    if (!any) return j.fail(failure::nothing_read, "", "");
    rep.written = true;
    return rep;
}

}  // namespace reeljoin
