// Runs pieces of the file pass in this process on bytes made by the tests.
#pragma once

#include <initializer_list>
#include <vector>

#include "gif/gif.h"
#include "gif_writer.h"

namespace harness {

using testgif::bytes;

bytes cat(std::initializer_list<bytes> parts);

struct pass_result {
    int result;
    bytes out;
};

// Writes file to a temporary path and runs gif_read on it in the given
// role, in a run of its own with these settings (quiet), collecting what
// it writes.
pass_result run_pass(int role, const bytes& file, const join_settings& settings = {});

// Runs gif_read on each file in turn, each in its role, into one output,
// and ends the output with the trailer when any file was read, as the
// driver does.
struct join_result {
    std::vector<int> results;
    bytes out;
    std::uint64_t reads = 0;   // read calls on the inputs
    std::uint64_t writes = 0;  // write calls on the output
};
struct role_and_file {
    int role;
    bytes file;
};
join_result run_passes(const std::vector<role_and_file>& files, const join_settings& settings = {});

// Runs image_data_copy on input; also reports the input byte after it.
struct copy_result {
    bytes out;
    int result;
    int next;  // -1 at the end of the input
};
copy_result copy_image_data(const bytes& input, int code_size);

}  // namespace harness
