#include "cli/census.h"

#include <sys/stat.h>

#include <algorithm>

#include "gif/screen_scan.h"

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

void largest_screen(const std::vector<std::string>& names, int& width, int& height) {
    width = height = 0;
    for (const std::string& name : names) {
        int w = 0, h = 0;
        if (!read_screen_size(name.c_str(), w, h)) continue;
        width = std::max(width, w);
        height = std::max(height, h);
    }
}
