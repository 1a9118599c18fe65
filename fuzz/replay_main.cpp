// Runs the fuzz target's checks once on each file named, and on every file
// in each directory named, without the fuzzer: ctest uses it to hold the
// seeds and the inputs that once found a fault.
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "gif_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        DIR* d = opendir(argv[i]);
        if (!d) {
            files.push_back(argv[i]);
            continue;
        }
        std::vector<std::string> names;
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') names.push_back(std::string(argv[i]) + "/" + e->d_name);
        closedir(d);
        std::sort(names.begin(), names.end());
        files.insert(files.end(), names.begin(), names.end());
    }
    int console = dup(STDOUT_FILENO);  // the checks take standard output for the program
    for (const std::string& f : files) {
        testgif::bytes b = testgif::read_file(f);
        LLVMFuzzerTestOneInput(b.data(), b.size());
    }
    std::fflush(stdout);
    dup2(console, STDOUT_FILENO);
    std::printf("%zu inputs checked\n", files.size());
    return files.empty() ? 1 : 0;
}
