#include "harness.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "gif/gif.h"
#include "gif/image_data.h"
#include "gif/stream.h"

namespace harness {

namespace {

bytes drain(std::FILE* f) {
    bytes b;
    std::fflush(f);
    std::rewind(f);
    for (int c; (c = std::fgetc(f)) != EOF;) b.push_back(static_cast<std::uint8_t>(c));
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
    std::string path = temp_input_path();
    testgif::write_file(path, file);
    ofile = std::tmpfile();
    int saved_verb = verb;
    verb = 0;
    pass_result r;
    r.result = gif_read(role, path.c_str());
    verb = saved_verb;
    r.out = drain(ofile);
    std::fclose(ofile);
    ofile = nullptr;
    std::remove(path.c_str());
    return r;
}

copy_result copy_image_data(const bytes& input, int code_size) {
    std::string path = temp_input_path();
    testgif::write_file(path, input);
    ofile = std::tmpfile();
    copy_result r;
    r.result = 0;
    r.next = -2;
    if (open_input(path.c_str())) {
        r.result = image_data_copy(code_size);
        r.next = read_byte();
        close_input();
    }
    r.out = drain(ofile);
    std::fclose(ofile);
    ofile = nullptr;
    std::remove(path.c_str());
    return r;
}

}  // namespace harness
