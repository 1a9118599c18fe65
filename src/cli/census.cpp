#include "cli/census.h"

#include <sys/stat.h>

int count_existing(const std::vector<std::string>& names) {
    int existing = 0;
    struct stat st;
    for (const std::string& name : names)
        if (stat(name.c_str(), &st) == 0) ++existing;
    return existing;
}

int output_is_input(const std::string& output, const std::vector<std::string>& names) {
    struct stat out, in;
    if (stat(output.c_str(), &out) != 0) return 0;
    for (const std::string& name : names)
        if (stat(name.c_str(), &in) == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino)
            return 1;
    return 0;
}
