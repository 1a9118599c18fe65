#include "cli/driver.h"

#include <sys/stat.h>

#include <cstdio>

#include "cli/census.h"
#include "gif/gif.h"
#include "gif/layout.h"
#include "gif/output_table.h"
#include "gif/stream.h"

namespace {

// Flushes and closes the output; a write that failed on the way, or the
// close itself, is reported once. Returns 1 when all of it was written.
int finish_output(const std::string& output) {
    int ok = close_output();
    if (!ok) std::printf("Unable to write output file: %s\n", output.c_str());
    return ok;
}

// Gives every name its frame role and reads it. The first file read
// successfully gets the header; once all existing files but one have been
// read, the rest get the last-frame delay. A file that fails leaves its
// role to the next. Returns 1 when at least one file was read.
int read_inputs(const std::vector<std::string>& names, int existing) {
    if (existing == 1) {
        int any = 0;
        for (const std::string& name : names) any |= gif_read(role_single, name.c_str());
        return any;
    }
    int k = 0;
    std::size_t i = 0;
    for (; i < names.size() && k < existing - 1; ++i)
        if (gif_read(k, names[i].c_str())) ++k;
    int any = k > 0;
    for (; i < names.size(); ++i) any |= gif_read(role_last, names[i].c_str());
    return any;
}

}  // namespace

int run_join(const std::string& output, const std::vector<std::string>& names) {
    // An output that exists already is a name the census sees the same
    // before and after it is opened, so one census serves both to find it
    // among the inputs and to count them. One that does not exist yet is
    // created first, and may then count as one of the names.
    struct stat existing_output;
    bool output_exists = stat(output.c_str(), &existing_output) == 0;
    // With --fit into a regular file the header's size is rewritten as
    // larger inputs come; centring must know the canvas before the first
    // frame, and a pipe cannot be rewritten, so those read every header
    // first.
    bool regular = !output_exists || S_ISREG(existing_output.st_mode);
    int screens = fit_canvas && (center_frames || !regular);
    census c;
    if (output_exists) {
        c = take_census(names, screens, &existing_output);
        if (c.output_is_input) {
            std::printf("Output file is also an input: %s\n", output.c_str());
            return 1;
        }
    }
    if (!open_output(output.c_str())) {
        std::printf("Unable to open output file: %s\n", output.c_str());
        return 1;
    }
    if (!output_exists) c = take_census(names, screens, nullptr);
    if (const table_candidate* common = most_common_table(c.tables))
        set_output_table(common->table, common->entries);
    fit_width = c.width;
    fit_height = c.height;
    int existing = c.existing;
    int any = existing > 0 && read_inputs(names, existing);
    if (any) write_out(&layout::trailer, 1);
    int written = finish_output(output);
    return any && written ? 0 : 1;
}
