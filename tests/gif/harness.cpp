#include "harness.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "gif/gif.h"
#include "gif/image_data.h"
#include "gif/layout.h"
#include "gif/run.h"
#include "gif/stream.h"

namespace harness {

namespace {

// Sends the run's output to a scratch file.
std::FILE* output_to_scratch(join_run& r) {
    std::FILE* f = std::tmpfile();
    output_to(r.out, dup(fileno(f)));
    return f;
}

// Closes the run's output and reads back what it wrote.
bytes drain(join_run& r, std::FILE* f) {
    close_output(r.out);
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

pass_result run_pass(int role, const bytes& file, const join_settings& settings) {
    join_result j = run_passes({{role, file}}, settings);
    if (!j.out.empty()) j.out.pop_back();  // the trailer
    return {j.results[0], j.out};
}

join_result run_passes(const std::vector<role_and_file>& files, const join_settings& settings) {
    std::string path = temp_input_path();
    auto run = std::make_unique<join_run>();
    std::FILE* scratch = output_to_scratch(*run);
    run->settings = settings;
    run->settings.verb = 0;
    join_result r;
    for (const role_and_file& f : files) {
        testgif::write_file(path, f.file);
        r.results.push_back(gif_read(*run, f.role, path.c_str()));
        r.reads += run->in.reads;
    }
    for (int read : r.results)
        if (read) {
            write_out(run->out, &layout::trailer, 1);
            break;
        }
    r.writes = run->out.writes;
    r.out = drain(*run, scratch);
    std::remove(path.c_str());
    return r;
}

copy_result copy_image_data(const bytes& input, int code_size) {
    std::string path = temp_input_path();
    testgif::write_file(path, input);
    auto run = std::make_unique<join_run>();
    std::FILE* scratch = output_to_scratch(*run);
    copy_result r;
    r.result = 0;
    r.next = -2;
    if (open_input(run->in, path.c_str())) {
        r.result = image_data_copy(run->io(), code_size);
        r.next = read_byte(run->in);
        close_input(run->in);
    }
    r.out = drain(*run, scratch);
    std::remove(path.c_str());
    return r;
}

}  // namespace harness
