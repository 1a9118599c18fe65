#include "harness.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "gif/gif.h"
#include "gif/image_data.h"
#include "gif/layout.h"
#include "gif/stream.h"

namespace harness {

namespace {

// Sends the program's output to a scratch file.
std::FILE* output_to_scratch() {
    std::FILE* f = std::tmpfile();
    output_to(dup(fileno(f)));
    return f;
}

// Closes the program's output and reads back what it wrote.
bytes drain(std::FILE* f) {
    close_output();
    std::fseek(f, 0, SEEK_END);
    bytes b(static_cast<std::size_t>(std::ftell(f)));
    std::rewind(f);
    if (!b.empty() && std::fread(b.data(), 1, b.size(), f) != b.size()) b.clear();
    std::fclose(f);
    return b;
}

// Named by process: ctest runs test cases side by side.
std::string temp_input_path() {
    return ::testing::TempDir() + "reeljoin_pass_" + std::to_string(getpid()) + ".gif";
}

}  // namespace

bytes cat(std::initializer_list<bytes> parts) {
    bytes all;
    for (const bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

pass_result run_pass(int role, const bytes& file) {
    join_result j = run_passes({{role, file}});
    if (!j.out.empty()) j.out.pop_back();  // the trailer
    return {j.results[0], j.out};
}

join_result run_passes(const std::vector<role_and_file>& files) {
    std::string path = temp_input_path();
    std::FILE* scratch = output_to_scratch();
    int saved_verb = verb;
    verb = 0;
    join_result r;
    for (const role_and_file& f : files) {
        testgif::write_file(path, f.file);
        r.results.push_back(gif_read(f.role, path.c_str()));
        r.reads += ifile.reads;
    }
    verb = saved_verb;
    for (int read : r.results)
        if (read) {
            write_out(&layout::trailer, 1);
            break;
        }
    r.out = drain(scratch);
    r.writes = ofile.writes;
    std::remove(path.c_str());
    return r;
}

copy_result copy_image_data(const bytes& input, int code_size) {
    std::string path = temp_input_path();
    testgif::write_file(path, input);
    std::FILE* scratch = output_to_scratch();
    copy_result r;
    r.result = 0;
    r.next = -2;
    if (open_input(path.c_str())) {
        r.result = image_data_copy(code_size);
        r.next = read_byte();
        close_input();
    }
    r.out = drain(scratch);
    std::remove(path.c_str());
    return r;
}

}  // namespace harness
